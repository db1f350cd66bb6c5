#pragma once

#include <QWebEnginePage>

// The web page behind the map view. It stays on the program's own map page: navigation to any
// other place (a link in a tile provider's credit, a dropped file) is refused. The page's
// console messages are dropped; the program is quiet unless asked otherwise.
//
// GUI thread only. The profile must outlive the page.
class CMapPage : public QWebEnginePage {
public:
    CMapPage(QWebEngineProfile* profile, QObject* parent);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceId) override;
};
