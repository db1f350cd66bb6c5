#include "sources/VRecordingSource.h"

int VRecordingSource::Find(const std::string& name) const {
    const std::vector<SourceRecording>& list = Recordings();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name)
            return static_cast<int>(i);
    return -1;
}

std::vector<trips::Trip> VRecordingSource::Trips(int64_t gapMs) const {
    const std::vector<SourceRecording>& list = Recordings();
    std::vector<trips::Item> items;
    items.reserve(list.size());
    for (const SourceRecording& recording : list)
        items.push_back(
            {recording.start.ToSeconds() * 1000, recording.lengthMs, recording.category});
    return trips::Group(items, gapMs);
}
