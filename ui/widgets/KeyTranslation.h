#pragma once
#include "ui/logic/KeyTable.h"

class QKeyEvent;

// The keys of the window's key table from Qt's key codes.

// Key::Other for a key outside the table.
Key KeyOfQtKey(int qtKey);

// The virtual-key number the diagnostic line "Press Button => %d" shows: the table's own for
// its keys, the system's otherwise.
int VirtualKeyOf(const QKeyEvent& event);
