#pragma once

#include <string>
#include <vector>

// Finding cards with the camera's storage.

// True when the folder holds the storage's volume record.
bool IsTatCard(const std::string& root);

// Mount points of removable volumes (USB card readers, built-in SD slots) that hold the
// storage, in the order of the mounts list. mountsFile is in /proc/mounts format; a device
// counts as removable when /sys/block/DEV/removable says 1 or it is an MMC/SD device.
std::vector<std::string> FindRemovableCards(const std::string& mountsFile,
                                            const std::string& sysBlockFolder);

// What a path given as a card is: the camera's storage (a folder holding its volume record),
// a folder of ordinary dash-cam video files (any other folder), one video file, or nothing.
enum class SourceKind { kNone, kCard, kFolder, kFile };
SourceKind ClassifySource(const std::string& path);

// A removable volume worth listing: its mount point and whether it holds the camera's storage
// (else it holds dash-cam video files).
struct RemovableSource {
    std::string root;
    bool isCard = false;
};
// Mount points of removable volumes that hold the storage or, looking at no more than
// maxEntries directory entries of each, video files; in the order of the mounts list.
std::vector<RemovableSource> FindRemovableSources(const std::string& mountsFile,
                                                  const std::string& sysBlockFolder,
                                                  int maxEntries = 2000);

// Undoes the octal escapes (\040 and the like) of a path in a mounts list.
std::string UnescapeMountPath(const std::string& path);

// The block device under a partition's name: sdb1 → sdb, mmcblk0p1 → mmcblk0, nvme0n1p2 →
// nvme0n1.
std::string BlockDeviceOf(const std::string& partition);
