// The map view with its real page in QtWebEngine on the offscreen platform, without network:
// the page comes from the program's resources, tiles from a local server that answers none.
#include "ui/widgets/CMapView.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cmath>
#include <limits>

namespace {

bool Near(double a, double b) {
    return std::fabs(a - b) < 1e-9;
}

} // namespace

class MapViewTest : public QObject {
    Q_OBJECT

private:
    MapPageState Read() {
        MapPageState state;
        bool answered = false;
        m_view->ReadMarker([&](const MapPageState& read) {
            state = read;
            answered = true;
        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(answered, 10000); }();
        return state;
    }

    QString Run(const QString& url) {
        QString result = QStringLiteral("(none)");
        bool answered = false;
        m_view->RunScriptUrl(url, [&](const QString& text) {
            result = text;
            answered = true;
        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(answered, 10000); }();
        return result;
    }

    void RunRaw(const QString& script) {
        QWebEnginePage* page = m_view->findChild<QWebEngineView*>()->page();
        bool done = false;
        page->runJavaScript(script, [&](const QVariant&) { done = true; });
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    }

    CMapView* m_view = nullptr;
    QTcpServer m_tileServer; // notes each tile asked for and answers 404
    QStringList m_tileRequests;
    QString m_tiles;

private slots:
    void initTestCase() {
        QVERIFY(m_tileServer.listen(QHostAddress::LocalHost));
        connect(&m_tileServer, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = m_tileServer.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                m_tileRequests << QString::fromLatin1(socket->readLine()).section(u' ', 1, 1);
                socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n"
                              "Connection: close\r\n\r\n");
                socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        });
        m_tiles =
            QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(m_tileServer.serverPort());

        m_view = new CMapView;
        m_view->resize(320, 180);
        m_view->SetTileSource(m_tiles, QStringLiteral("Test <b>tiles</b>"));
        m_view->SetReachabilityProbe([] { return false; });
        m_view->SetOfflineText(QStringLiteral("No network"));
        // Nothing heavy before the first page load; calls are harmless.
        QVERIFY(m_view->findChild<QWebEngineView*>() == nullptr);
        m_view->DrawCurrentPosition(1, 2);
        QCOMPARE(Run(QStringLiteral("javascript:ReadMarker()")), QString());
        m_view->show();

        QSignalSpy loaded(m_view, &CMapView::loaded);
        m_view->LoadMapPage();
        QVERIFY(!m_view->Ready());
        QVERIFY(loaded.wait(30000));
        QCOMPARE(loaded.takeFirst().at(0).toBool(), true);
        QVERIFY(m_view->Ready());
    }

    void cleanupTestCase() { delete m_view; }

    void loadsFromResourcesOfflineAtTheDefaultCentre() {
        const MapPageState state = Read();
        QVERIFY(state.ok);
        QVERIFY(state.ready);
        QVERIFY(state.offline);
        QCOMPARE(state.tiles, m_tiles);
        // Tiles of zoom 16 are asked for from the configured source.
        QTRY_VERIFY_WITH_TIMEOUT(!m_tileRequests.isEmpty(), 10000);
        QVERIFY2(m_tileRequests.first().startsWith(QStringLiteral("/16/")),
                 qPrintable(m_tileRequests.first()));
        QVERIFY(Near(state.marker.latitude, 37.5660483));
        QVERIFY(Near(state.marker.longitude, 126.9779299));
        QCOMPARE(state.routePoints, 0);
        // The page interface the program relies on.
        RunRaw(QStringLiteral("window.names = ['initialize','DrawCurrent','addMarker','setAllMap',"
                              "'clearMarkers','showMarkers','deleteMarkers','AddRoutePoint',"
                              "'ClearRoute','ReadMarker'].filter(n => typeof window[n] !== "
                              "'function').join(',') + '|' + document.getElementById("
                              "'offline-note').textContent + '|' + document.querySelector("
                              "'.leaflet-control-attribution').textContent"));
        QString missing;
        bool done = false;
        m_view->findChild<QWebEngineView*>()->page()->runJavaScript(QStringLiteral("window.names"),
                                                                    [&](const QVariant& v) {
                                                                        missing = v.toString();
                                                                        done = true;
                                                                    });
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
        // The credit is shown as text, never as markup.
        QCOMPARE(missing, QStringLiteral("|No network|Test <b>tiles</b>"));
    }

    void drawCurrentMovesTheMarker() {
        m_view->DrawCurrentPosition(35.1795543, 129.0756416);
        MapPageState state = Read();
        QVERIFY(Near(state.marker.latitude, 35.179554));
        QVERIFY(Near(state.marker.longitude, 129.075642));
        // Positions that are no positions leave it where it is.
        m_view->DrawCurrentPosition(std::numeric_limits<double>::quiet_NaN(), 1);
        m_view->DrawCurrentPosition(91, 1);
        QCOMPARE(Run(QStringLiteral("javascript:DrawCurrent('abc', '1')")), QString());
        QCOMPARE(Run(QStringLiteral("javascript:DrawCurrent('1')")), QString());
        state = Read();
        QVERIFY(Near(state.marker.latitude, 35.179554));
        // The window's call, as text.
        Run(QStringLiteral("javascript:  DrawCurrent ('-33.868820', '151.209290')"));
        state = Read();
        QVERIFY(Near(state.marker.latitude, -33.86882));
        QVERIFY(Near(state.marker.longitude, 151.20929));
    }

    void routeGrowsWithNewPointsOnly() {
        m_view->ClearRoute();
        QCOMPARE(Read().routePoints, 0);
        m_view->AddRoutePoint(37.5, 127.0);
        m_view->AddRoutePoint(37.5, 127.0); // the same fix on the next tick
        m_view->AddRoutePoint(37.501, 127.002);
        m_view->AddRoutePoint(std::numeric_limits<double>::infinity(), 127.0);
        QCOMPARE(Read().routePoints, 2);
        // The page's function answers a number, which is no text.
        QCOMPARE(Run(QStringLiteral("javascript:AddRoutePoint('37.502', '127.003')")), QString());
        QCOMPARE(Read().routePoints, 3);
        m_view->ClearRoute();
        QCOMPARE(Read().routePoints, 0);
        // The window's call for each new fix: marker and route in one go.
        m_view->ShowPosition(37.51, 127.01);
        m_view->ShowPosition(37.51, 127.01);
        m_view->ShowPosition(37.52, 127.02);
        const MapPageState state = Read();
        QCOMPARE(state.routePoints, 2);
        QVERIFY(Near(state.marker.latitude, 37.52));
        QVERIFY(Near(state.marker.longitude, 127.02));
        m_view->ClearRoute();
    }

    void keptMarkersComeAndGo() {
        Run(QStringLiteral("javascript:addMarker('37.1', '127.1')"));
        Run(QStringLiteral("javascript:addMarker('37.2', '127.2')"));
        Run(QStringLiteral("javascript:addMarker('x', '127.2')"));
        QCOMPARE(Read().markers, 2);
        Run(QStringLiteral("javascript:clearMarkers()"));
        Run(QStringLiteral("javascript:showMarkers()"));
        QCOMPARE(Read().markers, 2);
        Run(QStringLiteral("javascript:deleteMarkers()"));
        QCOMPARE(Read().markers, 0);
    }

    void scriptErrorsAndForeignCallsLeaveThePageWorking() {
        RunRaw(QStringLiteral("setTimeout(function () { noSuchFunction(); }, 0); "
                              "setTimeout(function () { throw new Error('x'); }, 0)"));
        QTest::qWait(50);
        // Only the page's own functions run; the rest are refused before reaching the page.
        QCOMPARE(Run(QStringLiteral("javascript:eval('ClearRoute`1`')")), QString());
        QCOMPARE(Run(QStringLiteral("javascript:setAllMap(null)")), QString());
        QCOMPARE(Run(QStringLiteral("javascript:x=1;ReadMarker()")), QString());
        // The page does not leave for other places.
        RunRaw(QStringLiteral("window.location.href = 'https://example.org/'"));
        QTest::qWait(100);
        QCOMPARE(m_view->findChild<QWebEngineView*>()->url().scheme(), QStringLiteral("qrc"));

        m_view->DrawCurrentPosition(37.0, 127.0);
        const MapPageState state = Read();
        QVERIFY(state.ready);
        QVERIFY(Near(state.marker.latitude, 37.0));
        QVERIFY(Run(QStringLiteral("javascript:ReadMarker()")).startsWith(QStringLiteral("{")));
    }

    void reloadStartsOverAndDrawsWhatCameWhileLoading() {
        m_view->AddRoutePoint(10, 20);
        m_view->SetReachabilityProbe([] { return true; });
        QSignalSpy loaded(m_view, &CMapView::loaded);
        // A recording opened right after another: the first load is abandoned.
        m_view->LoadMapPage();
        m_view->AddRoutePoint(1, 1);
        m_view->LoadMapPage();
        m_view->AddRoutePoint(37.6, 127.1);
        m_view->AddRoutePoint(37.7, 127.2);
        m_view->DrawCurrentPosition(37.7, 127.2);
        QVERIFY(!m_view->Ready());
        QVERIFY(loaded.wait(30000));
        QTest::qWait(100);
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.takeFirst().at(0).toBool(), true);
        const MapPageState state = Read();
        QVERIFY(!state.offline);
        QCOMPARE(state.routePoints, 2);
        QVERIFY(Near(state.marker.latitude, 37.7));
        QVERIFY(Near(state.marker.longitude, 127.2));
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    MapViewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MapViewTest.moc"
