// The controls the window's trips use: the recording list's trip view (rows, tick boxes,
// activation, selection) beside its plain view, the trip view's toggle button, and the marker
// and unit keys from Qt's key events.
#include "WidgetTestSuites.h"
#include "ui/widgets/KeyTranslation.h"
#include "ui/widgets/RecordingListView.h"
#include "ui/widgets/SkinnedControls.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kEnglish = 0x09;
constexpr uint16_t kKorean = 0x12;
using Names = std::vector<std::string>;

RecordingList::Row Row(const char* name) {
    return RecordingList::RowOfName(name);
}

// Two trips: the morning's three recordings with an event, the evening's one.
std::vector<TripRow> Trips() {
    TripRow morning =
        TripRows::RowOf({2024, 3, 5, 8, 59, 40}, 754000, 3, 12.34, SpeedUnit::kKmh, true);
    morning.members = {Row("REC_20240305_085940_D"), Row("EVENT_20240305_090140_D"),
                       Row("REC_20240305_090300_F")};
    TripRow evening =
        TripRows::RowOf({2024, 3, 5, 18, 0, 10}, 60000, 1, std::nullopt, SpeedUnit::kKmh, false);
    evening.members = {Row("MANUAL_20240305_180010_D")};
    return {morning, evening};
}

struct ListWindow {
    std::unique_ptr<RecordingListView> list;
    explicit ListWindow(uint16_t language = kEnglish)
        : list(std::make_unique<RecordingListView>(language, nullptr)) {
        list->resize(320, 300);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
    }
    QTreeWidgetItem* Trip(int trip) const { return list->topLevelItem(trip); }
    // Ticks or clears a row's box as a click on it does: through the model.
    void Tick(QTreeWidgetItem* item, Qt::CheckState state) const {
        const QModelIndex index = list->indexFromItem(item, 0);
        QVERIFY(list->model()->setData(index, state, Qt::CheckStateRole));
    }
    void DoubleClick(QTreeWidgetItem* item) const {
        const QRect rect = list->visualItemRect(item);
        QVERIFY(rect.isValid());
        // A click, then the second press as a double-click event and its release.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

} // namespace

class TripControlsTest : public QObject {
    Q_OBJECT
private slots:
    void tripRowsShowTheirFiguresAndOpenToTheirRecordings() {
        ListWindow w;
        w.list->ShowTrips(Trips());
        QVERIFY(w.list->ShowsTrips());
        QCOMPARE(w.list->TripCount(), 2);
        QCOMPARE(w.list->MemberCount(0), 3);
        QCOMPARE(w.list->MemberCount(2), 0);
        QTreeWidgetItem* morning = w.Trip(0);
        QCOMPARE(morning->text(0), QStringLiteral("TRIP"));
        QCOMPARE(morning->text(2), QStringLiteral("2024.03.05 08:59:40"));
        QCOMPARE(morning->text(3), QStringLiteral("3"));
        QCOMPARE(morning->text(4), QStringLiteral("12:34 12.3 km"));
        QCOMPARE(w.Trip(1)->text(4), QStringLiteral("01:00"));
        QVERIFY(!morning->isExpanded());
        // The event mark: the morning's Type stands out, the evening's does not.
        QVERIFY(morning->font(0).bold());
        QVERIFY(!w.Trip(1)->font(0).bold());
        QVERIFY(morning->foreground(0) != w.Trip(1)->foreground(0));
        // Children in the plain view's columns.
        QCOMPARE(morning->child(1)->text(0), QStringLiteral("EVT"));
        QCOMPARE(morning->child(1)->text(2), QStringLiteral("2024.03.05 09:01:40"));
        QCOMPARE(morning->child(1)->text(3), QStringLiteral("0"));
        QCOMPARE(w.list->MemberName(0, 2), QStringLiteral("REC_20240305_090300_F"));
        QCOMPARE(w.list->MemberName(0, 3), QString());
        QVERIFY(!w.list->isColumnHidden(4));

        // Back to the plain view: flat rows, the language's columns.
        w.list->ShowNames({"REC_20240305_085940_D", "PARKING_20240306_021530_D"});
        QVERIFY(!w.list->ShowsTrips());
        QCOMPARE(w.list->TripCount(), 0);
        QCOMPARE(w.list->RowCount(), 2);
        QCOMPARE(w.list->RowName(1), QStringLiteral("PARKING_20240306_021530_D"));
        QVERIFY(!w.list->rootIsDecorated());

        // In Korean the Size column is shown for trips only.
        ListWindow korean(kKorean);
        korean.list->ShowNames({"REC_20240305_085940_D"});
        QVERIFY(korean.list->isColumnHidden(4));
        korean.list->ShowTrips(Trips());
        QVERIFY(!korean.list->isColumnHidden(4));
        korean.list->ShowRows({Row("REC_20240305_085940_D")});
        QVERIFY(korean.list->isColumnHidden(4));
    }

    void aTripsBoxTicksItsRecordingsAndFollowsThem() {
        ListWindow w;
        w.list->ShowTrips(Trips());
        QTreeWidgetItem* morning = w.Trip(0);
        QTreeWidgetItem* evening = w.Trip(1);
        QCOMPARE(morning->checkState(0), Qt::Unchecked);
        QVERIFY(w.list->CheckedNames().empty());

        w.Tick(morning, Qt::Checked);
        for (int m = 0; m < 3; ++m)
            QCOMPARE(morning->child(m)->checkState(0), Qt::Checked);
        QCOMPARE(w.list->CheckedNames(), (Names{"REC_20240305_085940_D", "EVENT_20240305_090140_D",
                                                "REC_20240305_090300_F"}));

        w.Tick(morning->child(1), Qt::Unchecked);
        QCOMPARE(morning->checkState(0), Qt::PartiallyChecked);
        w.Tick(evening->child(0), Qt::Checked);
        QCOMPARE(evening->checkState(0), Qt::Checked);
        QCOMPARE(w.list->CheckedNames(), (Names{"REC_20240305_085940_D", "REC_20240305_090300_F",
                                                "MANUAL_20240305_180010_D"}));
        w.Tick(morning->child(0), Qt::Unchecked);
        w.Tick(morning->child(2), Qt::Unchecked);
        QCOMPARE(morning->checkState(0), Qt::Unchecked);

        w.list->SetAllChecked(true);
        QCOMPARE(w.list->CheckedNames().size(), size_t{4});
        QCOMPARE(morning->checkState(0), Qt::Checked);
        w.list->SetAllChecked(false);
        QVERIFY(w.list->CheckedNames().empty());
        QCOMPARE(evening->checkState(0), Qt::Unchecked);

        // The plain view as before.
        w.list->ShowNames({"REC_20240305_085940_D", "PARKING_20240306_021530_D"});
        w.list->SetAllChecked(true);
        QCOMPARE(w.list->CheckedNames(),
                 (Names{"REC_20240305_085940_D", "PARKING_20240306_021530_D"}));
        w.Tick(w.list->topLevelItem(0), Qt::Unchecked);
        QCOMPARE(w.list->CheckedNames(), (Names{"PARKING_20240306_021530_D"}));
    }

    void doubleClicksNameTheTripOrTheRecordingAndSelectionFollows() {
        ListWindow w;
        w.list->ShowTrips(Trips());
        QSignalSpy trips(w.list.get(), &RecordingListView::tripActivated);
        QSignalSpy recordings(w.list.get(), &RecordingListView::recordingActivated);
        QSignalSpy rows(w.list.get(), &RecordingListView::rowActivated);

        w.DoubleClick(w.Trip(1));
        QCOMPARE(trips.count(), 1);
        QCOMPARE(trips.at(0), QVariantList{1});

        w.list->SelectTripMember(0, 2);
        QVERIFY(w.Trip(0)->isExpanded());
        QCOMPARE(w.list->SelectedTripMember(), (RecordingListView::TripPlace{0, 2}));
        QVERIFY(w.list->hasFocus());
        w.DoubleClick(w.Trip(0)->child(2));
        QCOMPARE(recordings.count(), 1);
        QCOMPARE(recordings.at(0), (QVariantList{0, 2}));
        QCOMPARE(rows.count(), 0);

        w.list->SelectTripMember(1, -1);
        QCOMPARE(w.list->SelectedTripMember(), (RecordingListView::TripPlace{1, -1}));
        w.list->SelectTripMember(1, 5); // no such recording: the selection stays
        w.list->SelectTripMember(7, -1);
        QCOMPARE(w.list->SelectedTripMember(), (RecordingListView::TripPlace{1, -1}));

        w.list->ShowNames({"REC_20240305_085940_D", "PARKING_20240306_021530_D"});
        QCOMPARE(w.list->SelectedTripMember(), RecordingListView::TripPlace{});
        w.list->SelectRow(1);
        QCOMPARE(w.list->SelectedRow(), 1);
        w.DoubleClick(w.list->topLevelItem(1));
        QCOMPARE(rows.count(), 1);
        QCOMPARE(rows.at(0), QVariantList{1});
        QCOMPARE(trips.count(), 1);
        w.list->SelectTripMember(0, 0); // not in the plain view
        QCOMPARE(w.list->SelectedRow(), 1);
    }

    void theToggleButtonLightsUpWhileChecked() {
        QWidget window;
        QPushButton* button = MakeToggleButton(QStringLiteral("Trips"), &window);
        button->setGeometry(0, 0, 50, 20);
        window.resize(60, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(button->isCheckable());
        QVERIFY(!button->isChecked());
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        const QColor off = SeenAt(&window, {4, 10});
        QSignalSpy toggled(button, &QPushButton::toggled);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(toggled.count(), 1);
        QVERIFY(button->isChecked());
        QCOMPARE(SeenAt(&window, {4, 10}), QColor(0x1b, 0x58, 0x83));
        QVERIFY(off != QColor(0x1b, 0x58, 0x83));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!button->isChecked());
    }

    void ctrlArrowsAndUFromKeyEvents() {
        QCOMPARE(KeyOfQtKey(Qt::Key_Left), Key::Left);
        QCOMPARE(KeyOfQtKey(Qt::Key_Right, Qt::ShiftModifier), Key::Right);
        QCOMPARE(KeyOfQtKey(Qt::Key_Left, Qt::ControlModifier), Key::CtrlLeft);
        QCOMPARE(KeyOfQtKey(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier),
                 Key::CtrlRight);
        QCOMPARE(KeyOfQtKey(Qt::Key_U), Key::U);
        QCOMPARE(KeyOfQtKey(Qt::Key_U, Qt::ShiftModifier), Key::U);
        QCOMPARE(KeyOfQtKey(Qt::Key_U, Qt::ControlModifier), Key::Other);
        QCOMPARE(KeyOfQtKey(Qt::Key_U, Qt::AltModifier), Key::Other);
        QCOMPARE(KeyOfQtKey(Qt::Key_Period, Qt::ControlModifier), Key::Period);

        const QKeyEvent ctrlRight(QEvent::KeyPress, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(KeyOfEvent(ctrlRight), Key::CtrlRight);
        QCOMPARE(VirtualKeyOf(ctrlRight), 39);
        const QKeyEvent u(QEvent::KeyPress, Qt::Key_U, Qt::NoModifier, QStringLiteral("u"));
        QCOMPARE(KeyOfEvent(u), Key::U);
        QCOMPARE(VirtualKeyOf(u), 85);
    }
};

int RunTripControlsTests(int argc, char** argv) {
    TripControlsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TripControlsTest.moc"
