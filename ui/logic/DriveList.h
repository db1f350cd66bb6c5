#pragma once

#include "storage/CTATLibrary.h"

#include <string>
#include <string_view>
#include <vector>

// The list of the drive selection dialog: each card as its root followed by " SD CARD", and
// the root a chosen or typed text names.
namespace DriveList {

inline constexpr std::string_view kSuffix = " SD CARD";

// The roots the library looks at: the mounted removable volumes that hold the camera's storage
// (when the source scans them) and the card folder given on the command line, listed whether
// or not it holds a card.
std::vector<std::string> CardRoots(const TatCardSource& source);

// The entries of roots, "<root> SD CARD", each root once, in the order of the dialog's sorted
// combo box (ASCII letters compared without case).
std::vector<std::string> Entries(const std::vector<std::string>& roots);

// The root of an entry: the text before a final " SD CARD"; a text without it (a root the user
// typed) is the root itself.
std::string RootOf(std::string_view text);

} // namespace DriveList
