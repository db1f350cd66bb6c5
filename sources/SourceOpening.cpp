#include "sources/SourceOpening.h"

#include "sources/CardSource.h"
#include "sources/FolderSource.h"
#include "storage/TatCardFinder.h"

namespace sources {

std::shared_ptr<VRecordingSource> Open(const std::string& path, const Options& options) {
    switch (ClassifySource(path)) {
    case SourceKind::kCard:
        return std::make_shared<CardSource>(path, options.diag);
    case SourceKind::kFolder:
        return std::make_shared<FolderSource>(path, VRecordingSource::Type::kFolder, options);
    case SourceKind::kFile:
        return std::make_shared<FolderSource>(path, VRecordingSource::Type::kFile, options);
    case SourceKind::kNone:
        break;
    }
    return nullptr;
}

} // namespace sources
