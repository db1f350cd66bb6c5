#pragma once
#include "ui/logic/KeyTable.h"

#include <QtCore/qnamespace.h>

class QKeyEvent;

// The keys of the window's key table from Qt's key codes and modifiers.

// Key::Other for a key outside the table. Ctrl (with or without other modifiers) turns Left
// and Right into Ctrl+Left and Ctrl+Right; "u" counts with or without Shift, but not with
// Ctrl, Alt or Meta (those are other programs' shortcuts); the other keys ignore modifiers.
Key KeyOfQtKey(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// The same for a key event: its key and modifiers.
Key KeyOfEvent(const QKeyEvent& event);

// The virtual-key number the diagnostic line "Press Button => %d" shows: the table's own for
// its keys, the system's otherwise.
int VirtualKeyOf(const QKeyEvent& event);
