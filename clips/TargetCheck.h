#pragma once

#include <string>
#include <vector>

// The rule that an export never writes over what it reads: a target that is one of the clip's
// source files (the same file by device and inode, whatever the path says) or that lies in the
// card's storage folder is refused before anything is written.
//
// Plain function; any thread. Asks the file system (stat) only.
namespace clips {

// Why the file at `target` may not be written, for people ("/x/a.mp4 is one of the clip's
// source files"); empty when it may. storageFolder: the source's folder nothing may be written
// into (VRecordingSource::StorageFolder), empty for none.
std::string TargetRefusal(const std::string& target, const std::vector<std::string>& sources,
                          const std::string& storageFolder);

} // namespace clips
