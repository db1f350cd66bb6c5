#pragma once

#include "ui/logic/RecordingList.h"
#include <QTreeWidget>

#include <cstdint>
#include <string>
#include <vector>

// The recording list of the main window: white-on-black rows with a check box, the columns
// Type, FileName (hidden; the recording's name), Date, Rear and two empty ones, titled and
// sized for the window's language, with fixed, unclickable headers. It shows the names it is
// given; what to list and what a row does are the owner's.
//
// Threads: GUI thread.
class RecordingListView final : public QTreeWidget {
    Q_OBJECT
public:
    RecordingListView(uint16_t languageId, QWidget* parent);

    // Replaces the rows with one row per name, in the order given.
    void ShowNames(const std::vector<std::string>& names);
    // Replaces the rows with these, in the order given.
    void ShowRows(const std::vector<RecordingList::Row>& rows);
    // The recording name of a row; empty for a row that does not exist.
    QString RowName(int row) const;
    int RowCount() const { return topLevelItemCount(); }
    // The first selected row, or -1.
    int SelectedRow() const;
    // Makes a row the current and only selected one, scrolls to it and takes the focus.
    void SelectRow(int row);
    // The names of the ticked rows, in row order.
    std::vector<std::string> CheckedNames() const;
    // Ticks or clears every row.
    void SetAllChecked(bool checked);
    // Whether the list shows and the pointer (global coordinates) is over it.
    bool Contains(const QPoint& globalPointer) const;

signals:
    // A row was double-clicked.
    void rowActivated(int row);
};
