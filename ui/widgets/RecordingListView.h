#pragma once

#include "ui/logic/RecordingList.h"
#include "ui/logic/TripRows.h"
#include <QTreeWidget>

#include <cstdint>
#include <string>
#include <vector>

// The recording list of the main window: white-on-black rows with a check box, the columns
// Type, FileName (hidden; the recording's name), Date, Rear and two empty ones, titled and
// sized for the window's language, with fixed, unclickable headers. It shows the names it is
// given; what to list and what a row does are the owner's.
//
// Two views, each replacing what the other showed:
//  - the plain view (ShowNames, ShowRows): one row per recording;
//  - the trip view (ShowTrips): one expandable row per trip, collapsed at first, its Type
//    "TRIP" (red and bold when the trip holds an event recording), its Date the trip's start,
//    its Rear the number of recordings and its Size column the length and distance (the
//    columns sized alike in both languages to fit the list's width); under it one row per
//    recording in the plain view's columns. A trip's tick box ticks or clears all its recordings,
//    and shows ticked, cleared or partly ticked as they are.
// Trips and their recordings are named by index: trip t is the t-th trip given, member m its
// m-th recording.
//
// Threads: GUI thread.
class RecordingListView final : public QTreeWidget {
    Q_OBJECT
public:
    // A row of the trip view: a trip (member -1) or one of its recordings; trip -1 for none.
    struct TripPlace {
        int trip = -1;
        int member = -1;
        bool operator==(const TripPlace&) const = default;
    };

    RecordingListView(uint16_t languageId, QWidget* parent);

    // Replaces the rows with one row per name, in the order given (the plain view).
    void ShowNames(const std::vector<std::string>& names);
    // Replaces the rows with these, in the order given (the plain view).
    void ShowRows(const std::vector<RecordingList::Row>& rows);
    // Replaces the rows with the trips and their recordings, in the order given (the trip
    // view). Nothing is ticked.
    void ShowTrips(const std::vector<TripRow>& trips);
    bool ShowsTrips() const { return showsTrips_; }

    // The plain view's rows (in the trip view: its trip rows, whose names are empty).
    // The recording name of a row; empty for a row that does not exist.
    QString RowName(int row) const;
    int RowCount() const { return topLevelItemCount(); }
    // The first selected row, or -1.
    int SelectedRow() const;
    // Makes a row the current and only selected one, scrolls to it and takes the focus.
    void SelectRow(int row);

    // The trip view's rows: 0 in the plain view.
    int TripCount() const { return showsTrips_ ? topLevelItemCount() : 0; }
    // Recordings of a trip; 0 for a trip that does not exist.
    int MemberCount(int trip) const;
    // The recording name of a trip's member; empty for one that does not exist.
    QString MemberName(int trip, int member) const;
    // Makes a trip's member (member -1: the trip's own row) the current and only selected
    // row, opens its trip, scrolls to it and takes the focus. Nothing for a row that does not
    // exist.
    void SelectTripMember(int trip, int member);
    // The first selected row of the trip view; {-1, -1} for none or in the plain view.
    TripPlace SelectedTripMember() const;

    // The names of the ticked recordings, in row order (in the trip view: trip by trip).
    std::vector<std::string> CheckedNames() const;
    // Ticks or clears every recording (in the trip view their trips follow).
    void SetAllChecked(bool checked);
    // Whether the list shows and the pointer (global coordinates) is over it.
    bool Contains(const QPoint& globalPointer) const;

signals:
    // A row of the plain view was double-clicked.
    void rowActivated(int row);
    // A trip's own row was double-clicked.
    void tripActivated(int trip);
    // A recording of the trip view was double-clicked.
    void recordingActivated(int trip, int member);

private:
    // The columns' widths and visibility for the view shown.
    void ApplyColumns();
    // One row of a recording, unticked.
    static QTreeWidgetItem* RecordingItem(const RecordingList::Row& row);
    void OnDoubleClicked(QTreeWidgetItem* item);
    // The recording rows: the top-level ones in the plain view, the trips' children in the
    // trip view, in row order.
    std::vector<QTreeWidgetItem*> RecordingItems() const;

    bool korean_ = false;
    bool showsTrips_ = false;
};
