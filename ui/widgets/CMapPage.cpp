#include "CMapPage.h"

#include <QUrl>

CMapPage::CMapPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

bool CMapPage::acceptNavigationRequest(const QUrl& url, NavigationType /*type*/,
                                       bool /*isMainFrame*/) {
    return url.scheme() == QLatin1String("qrc");
}

void CMapPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel /*level*/,
                                        const QString& /*message*/, int /*lineNumber*/,
                                        const QString& /*sourceId*/) {}
