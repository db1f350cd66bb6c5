#include "sources/StandaloneCardParser.h"

StandaloneCardParser::StandaloneCardParser(const std::string& root, const DiagLog* diag)
    : m_library(TatCardSource::OnlyFolder(root)), m_parser(&m_library) {
    m_library.SetDiagLog(diag);
    if (m_library.PollCardDrive() != 0)
        m_library.MountCard();
}
