#include "RecordingListView.h"

#include "WindowText.h"
#include "resources/strings/StringTable.h"
#include "ui/logic/RecordingList.h"

#include <QHeaderView>

#include <iterator>

namespace {

// The columns: title id (either half of its pair), widths in Korean and English (0: hidden),
// and the width in the trip view (both languages): there Type holds the tree's steps and
// Size a trip's length and distance, about the list's width together.
struct ListColumn {
    int title;
    int koreanWidth;
    int englishWidth;
    int tripWidth;
};
constexpr ListColumn kListColumns[] = {
    {431, 60, 60, 76}, {405, 0, 0, 0},   {407, 130, 180, 138},
    {443, 40, 60, 24}, {409, 0, 90, 92}, {411, 0, 0, 0},
};
constexpr int kColumnCount = static_cast<int>(std::size(kListColumns));
// The trip view: the indentation of each level, a trip's Type and its colour when it holds
// events.
constexpr int kTripIndentation = 10;
constexpr const char* kTripLabel = "TRIP";
const QColor kEventTripColor(255, 80, 80);

} // namespace

RecordingListView::RecordingListView(uint16_t languageId, QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setStyleSheet(
        QStringLiteral("QTreeWidget { background: black; color: white; border: 1px solid #202833; }"
                       "QHeaderView::section { background: #10151c; color: #8d99a6; border: 0;"
                       " border-right: 1px solid #1c2430; padding: 1px 4px; }"
                       "QScrollBar { background: #0a0d11; width: 9px; height: 9px; }"
                       "QScrollBar::handle { background: #2b3643; border-radius: 4px; }"
                       "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"));
    setColumnCount(kColumnCount);
    QStringList titles;
    for (const ListColumn& column : kListColumns)
        titles << WindowText::Text(column.title, languageId);
    setHeaderLabels(titles);
    korean_ = IsKorean(languageId);
    setIndentation(kTripIndentation);
    ApplyColumns();
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setEnabled(false);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { OnDoubleClicked(item); });
}

void RecordingListView::ApplyColumns() {
    setRootIsDecorated(showsTrips_);
    for (int c = 0; c < kColumnCount; ++c) {
        const ListColumn& column = kListColumns[c];
        const int width = showsTrips_ ? column.tripWidth
                          : korean_   ? column.koreanWidth
                                      : column.englishWidth;
        setColumnWidth(c, width);
        setColumnHidden(c, width == 0);
    }
}

void RecordingListView::OnDoubleClicked(QTreeWidgetItem* item) {
    if (!showsTrips_) {
        emit rowActivated(indexOfTopLevelItem(item));
        return;
    }
    if (QTreeWidgetItem* trip = item->parent())
        emit recordingActivated(indexOfTopLevelItem(trip), trip->indexOfChild(item));
    else
        emit tripActivated(indexOfTopLevelItem(item));
}

QTreeWidgetItem* RecordingListView::RecordingItem(const RecordingList::Row& row) {
    auto* item = new QTreeWidgetItem(
        QStringList{QString::fromStdString(row.label), QString::fromStdString(row.name),
                    QString::fromStdString(row.dateText), QString::fromStdString(row.rear),
                    QString(), QString()});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    for (int c : {0, 2, 3, 4, 5})
        item->setTextAlignment(c, Qt::AlignCenter);
    return item;
}

std::vector<QTreeWidgetItem*> RecordingListView::RecordingItems() const {
    std::vector<QTreeWidgetItem*> items;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = topLevelItem(row);
        if (!showsTrips_) {
            items.push_back(item);
            continue;
        }
        for (int member = 0; member < item->childCount(); ++member)
            items.push_back(item->child(member));
    }
    return items;
}

void RecordingListView::ShowNames(const std::vector<std::string>& names) {
    std::vector<RecordingList::Row> rows;
    rows.reserve(names.size());
    for (const std::string& name : names)
        rows.push_back(RecordingList::RowOfName(name));
    ShowRows(rows);
}

void RecordingListView::ShowRows(const std::vector<RecordingList::Row>& rows) {
    clear();
    showsTrips_ = false;
    ApplyColumns();
    for (const RecordingList::Row& row : rows)
        addTopLevelItem(RecordingItem(row));
}

void RecordingListView::ShowTrips(const std::vector<TripRow>& trips) {
    clear();
    showsTrips_ = true;
    ApplyColumns();
    for (const TripRow& trip : trips) {
        QString size = QString::fromStdString(trip.length);
        if (!trip.distance.empty())
            size += QLatin1Char(' ') + QString::fromStdString(trip.distance);
        auto* item = new QTreeWidgetItem(QStringList{
            QString::fromStdString(kTripLabel), QString(), QString::fromStdString(trip.start),
            QString::fromStdString(trip.count), size, QString()});
        // The trip's box follows its recordings' boxes and sets them all.
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        for (int c : {0, 2, 3, 4, 5})
            item->setTextAlignment(c, Qt::AlignCenter);
        QString tip = QStringLiteral("%1, %2, %3 recordings")
                          .arg(item->text(2), QString::fromStdString(trip.length),
                               QString::fromStdString(trip.count));
        if (!trip.distance.empty())
            tip += QStringLiteral(", ") + QString::fromStdString(trip.distance);
        if (trip.holdsEvents) {
            item->setForeground(0, kEventTripColor);
            QFont bold = item->font(0);
            bold.setBold(true);
            item->setFont(0, bold);
            tip += QStringLiteral(", with events");
        }
        for (int c = 0; c < kColumnCount; ++c)
            item->setToolTip(c, tip);
        for (const RecordingList::Row& member : trip.members)
            item->addChild(RecordingItem(member));
        item->setCheckState(0, Qt::Unchecked);
        addTopLevelItem(item);
    }
}

QString RecordingListView::RowName(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr ? item->text(1) : QString();
}

int RecordingListView::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.front());
}

void RecordingListView::SelectRow(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr)
        return;
    clearSelection();
    setCurrentItem(item);
    item->setSelected(true);
    scrollToItem(item);
    setFocus();
}

int RecordingListView::MemberCount(int trip) const {
    const QTreeWidgetItem* item = showsTrips_ ? topLevelItem(trip) : nullptr;
    return item != nullptr ? item->childCount() : 0;
}

QString RecordingListView::MemberName(int trip, int member) const {
    const QTreeWidgetItem* item = showsTrips_ ? topLevelItem(trip) : nullptr;
    const QTreeWidgetItem* child = item != nullptr ? item->child(member) : nullptr;
    return child != nullptr ? child->text(1) : QString();
}

void RecordingListView::SelectTripMember(int trip, int member) {
    QTreeWidgetItem* item = showsTrips_ ? topLevelItem(trip) : nullptr;
    if (item == nullptr)
        return;
    if (member >= 0) {
        QTreeWidgetItem* child = item->child(member);
        if (child == nullptr)
            return;
        item->setExpanded(true);
        item = child;
    }
    clearSelection();
    setCurrentItem(item);
    item->setSelected(true);
    scrollToItem(item);
    setFocus();
}

RecordingListView::TripPlace RecordingListView::SelectedTripMember() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (!showsTrips_ || selected.isEmpty())
        return {};
    QTreeWidgetItem* item = selected.front();
    if (QTreeWidgetItem* trip = item->parent())
        return {indexOfTopLevelItem(trip), trip->indexOfChild(item)};
    return {indexOfTopLevelItem(item), -1};
}

std::vector<std::string> RecordingListView::CheckedNames() const {
    std::vector<std::string> names;
    for (const QTreeWidgetItem* item : RecordingItems()) {
        if (item->checkState(0) == Qt::Checked)
            names.push_back(item->text(1).toStdString());
    }
    return names;
}

void RecordingListView::SetAllChecked(bool checked) {
    for (QTreeWidgetItem* item : RecordingItems())
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

bool RecordingListView::Contains(const QPoint& globalPointer) const {
    return isVisible() && rect().contains(mapFromGlobal(globalPointer));
}
