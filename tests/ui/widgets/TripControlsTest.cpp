// The controls the window's trips use: the recording list's trip view (rows, tick boxes,
// activation, selection) beside its plain view, and the marker and unit keys from Qt's key
// events.
#include "WidgetTestSuites.h"
#include "ui/widgets/KeyTranslation.h"
#include "ui/widgets/RecordingListView.h"

#include <QKeyEvent>
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
        QCOMPARE(w.list->TripCount(), 2);
        QCOMPARE(w.list->MemberCount(0), 3);
        QTreeWidgetItem* morning = w.Trip(0);
        const QStringList texts = {morning->text(0), morning->text(2), morning->text(3),
                                   morning->text(4)};
        QCOMPARE(texts, (QStringList{"TRIP", "2024.03.05 08:59:40", "3", "12:34 12.3 km"}));
        QCOMPARE(w.Trip(1)->text(4), QStringLiteral("01:00")); // no fixes, no distance
        QVERIFY(!morning->isExpanded());
        // The event mark: the morning's Type stands out, the evening's does not.
        QVERIFY(morning->font(0).bold() && !w.Trip(1)->font(0).bold());
        QVERIFY(morning->foreground(0) != w.Trip(1)->foreground(0));
        QCOMPARE(morning->child(1)->text(0), QStringLiteral("EVT")); // the plain columns
        QCOMPARE(w.list->MemberName(0, 2), QStringLiteral("REC_20240305_090300_F"));
        QCOMPARE(w.list->MemberName(0, 3), QString());

        // Back to the plain view: flat rows.
        w.list->ShowNames({"REC_20240305_085940_D", "PARKING_20240306_021530_D"});
        QCOMPARE(w.list->TripCount(), 0);
        QCOMPARE(w.list->RowName(1), QStringLiteral("PARKING_20240306_021530_D"));
        QVERIFY(!w.list->rootIsDecorated());

        // In Korean the Size column is shown for trips only.
        ListWindow korean(kKorean);
        korean.list->ShowTrips(Trips());
        QVERIFY(!korean.list->isColumnHidden(4));
        korean.list->ShowRows({Row("REC_20240305_085940_D")});
        QVERIFY(korean.list->isColumnHidden(4));
    }

    void aTripsBoxTicksItsRecordingsAndFollowsThem() {
        ListWindow w;
        w.list->ShowTrips(Trips());
        QTreeWidgetItem* morning = w.Trip(0);
        w.Tick(morning, Qt::Checked);
        QCOMPARE(w.list->CheckedNames(), (Names{"REC_20240305_085940_D", "EVENT_20240305_090140_D",
                                                "REC_20240305_090300_F"}));
        w.Tick(morning->child(1), Qt::Unchecked);
        QCOMPARE(morning->checkState(0), Qt::PartiallyChecked);
        w.Tick(w.Trip(1)->child(0), Qt::Checked);
        QCOMPARE(w.Trip(1)->checkState(0), Qt::Checked);
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

        // The plain view as before.
        w.list->ShowNames({"REC_20240305_085940_D", "PARKING_20240306_021530_D"});
        w.list->SetAllChecked(true);
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
        w.DoubleClick(w.Trip(0)->child(2));
        QCOMPARE(recordings.count(), 1);
        QCOMPARE(recordings.at(0), (QVariantList{0, 2}));
        w.list->SelectTripMember(1, -1);
        w.list->SelectTripMember(1, 5); // no such recording: the selection stays
        QCOMPARE(w.list->SelectedTripMember(), (RecordingListView::TripPlace{1, -1}));

        w.list->ShowNames({"REC_20240305_085940_D", "PARKING_20240306_021530_D"});
        w.DoubleClick(w.list->topLevelItem(1));
        QCOMPARE(rows.count(), 1);
        QCOMPARE(rows.at(0), QVariantList{1});
        QCOMPARE(trips.count() + recordings.count(), 2);
    }

    void ctrlArrowsAndUFromKeyEvents() {
        QCOMPARE(KeyOfQtKey(Qt::Key_Left, Qt::ShiftModifier), Key::Left);
        QCOMPARE(KeyOfQtKey(Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier), Key::CtrlLeft);
        QCOMPARE(KeyOfQtKey(Qt::Key_U, Qt::ShiftModifier), Key::U);
        QCOMPARE(KeyOfQtKey(Qt::Key_U, Qt::ControlModifier), Key::Other); // another shortcut
        const QKeyEvent ctrlRight(QEvent::KeyPress, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(KeyOfEvent(ctrlRight), Key::CtrlRight);
        QCOMPARE(VirtualKeyOf(ctrlRight), 39);
    }
};

int RunTripControlsTests(int argc, char** argv) {
    TripControlsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TripControlsTest.moc"
