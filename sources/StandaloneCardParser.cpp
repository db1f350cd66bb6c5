#include "sources/StandaloneCardParser.h"

namespace {

TatCardSource OnlyThisCard(const std::string& root) {
    TatCardSource source;
    source.cardFolder = root;
    source.scanRemovable = false;
    return source;
}

} // namespace

StandaloneCardParser::StandaloneCardParser(const std::string& root, const DiagLog* diag)
    : m_library(OnlyThisCard(root)), m_parser(&m_library) {
    m_library.SetDiagLog(diag);
    if (m_library.PollCardDrive() != 0)
        m_library.MountCard();
}
