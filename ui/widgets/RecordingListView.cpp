#include "RecordingListView.h"

#include "WindowText.h"
#include "resources/strings/StringTable.h"
#include "ui/logic/RecordingList.h"

#include <QHeaderView>

#include <iterator>

namespace {

// The columns: title id (either half of its pair) and widths in Korean and English (0: hidden).
struct ListColumn {
    int title;
    int koreanWidth;
    int englishWidth;
};
constexpr ListColumn kListColumns[] = {
    {431, 60, 60}, {405, 0, 0}, {407, 130, 180}, {443, 40, 60}, {409, 0, 90}, {411, 0, 0},
};
constexpr int kColumnCount = static_cast<int>(std::size(kListColumns));

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
    const bool korean = IsKorean(languageId);
    for (int c = 0; c < kColumnCount; ++c) {
        const int width = korean ? kListColumns[c].koreanWidth : kListColumns[c].englishWidth;
        setColumnWidth(c, width);
        setColumnHidden(c, width == 0);
    }
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setEnabled(false);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { emit rowActivated(indexOfTopLevelItem(item)); });
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
    for (const RecordingList::Row& row : rows) {
        auto* item = new QTreeWidgetItem(
            QStringList{QString::fromStdString(row.label), QString::fromStdString(row.name),
                        QString::fromStdString(row.dateText), QString::fromStdString(row.rear),
                        QString(), QString()});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        for (int c : {0, 2, 3, 4, 5})
            item->setTextAlignment(c, Qt::AlignCenter);
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

std::vector<std::string> RecordingListView::CheckedNames() const {
    std::vector<std::string> names;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = topLevelItem(row);
        if (item->checkState(0) == Qt::Checked)
            names.push_back(item->text(1).toStdString());
    }
    return names;
}

void RecordingListView::SetAllChecked(bool checked) {
    for (int row = 0; row < topLevelItemCount(); ++row)
        topLevelItem(row)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

bool RecordingListView::Contains(const QPoint& globalPointer) const {
    return isVisible() && rect().contains(mapFromGlobal(globalPointer));
}
