#include "clips/LosslessCopy.h"

#include "clips/CopyProgress.h"
#include "clips/FileRemux.h"
#include "clips/PacketRemux.h"
#include "sources/FolderSource.h"

#include <algorithm>

namespace clips {

namespace {

const FolderSource* FolderOf(const VRecordingSource& source) {
    if (source.SourceType() == VRecordingSource::Type::kCard)
        return nullptr;
    return dynamic_cast<const FolderSource*>(&source);
}

} // namespace

std::vector<int> LosslessChannels(const VRecordingSource& source, const ClipPlan& plan) {
    std::vector<int> channels;
    if (plan.parts.empty())
        return channels;
    const std::string& first = plan.parts.front().recording;
    if (const FolderSource* folder = FolderOf(source)) {
        const DashcamRecording* recording = folder->Recording(first);
        if (recording == nullptr)
            return channels;
        for (size_t c = 0; c < recording->channels.size(); ++c)
            if (!recording->channels[c].empty())
                channels.push_back(static_cast<int>(c));
        return channels;
    }
    const int index = source.Find(first);
    if (index < 0)
        return channels;
    const int count = std::max(source.Recordings()[static_cast<size_t>(index)].channels, 1);
    for (int c = 0; c < count; ++c)
        channels.push_back(c);
    return channels;
}

LosslessOutcome LosslessCopy(const std::shared_ptr<VRecordingSource>& source, const ClipPlan& plan,
                             bool sound, const std::vector<CameraFile>& files,
                             const ProgressFn& progress, const std::atomic<bool>& cancel) {
    LosslessOutcome outcome;
    if (!source || files.empty() || plan.parts.empty()) {
        outcome.error = "nothing to copy";
        return outcome;
    }
    // The pictures expected: the span at the cameras' usual rate, one file each.
    CopyProgress counted(progress, PicturesIn(plan.endMs - plan.startMs, 30.0) *
                                       static_cast<int64_t>(files.size()));
    if (const FolderSource* folder = FolderOf(*source))
        outcome = RemuxFolderFiles(*folder, plan, sound, files, counted, cancel);
    else
        outcome = RemuxParserPackets(source, plan, sound, files, counted, cancel);
    if (outcome.ok)
        counted.Done();
    return outcome;
}

} // namespace clips
