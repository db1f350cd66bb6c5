// The map without network, with its real page in QtWebEngine on the offscreen platform, read
// back as pixels: tiles from a local MBTiles file made by the test, and tiles from a local
// server kept in the disk cache and drawn again by a new view once the server is gone.
#include "MbtilesMaker.h"
#include "ui/widgets/CMapView.h"
#include "ui/widgets/LocalTileSchemeHandler.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The page's centre before any position comes.
constexpr double kCentreLatitude = 37.5660483;
constexpr double kCentreLongitude = 126.9779299;

// The share of the view's pixels within a few steps of colour.
double ShareOf(QWidget* view, QColor colour) {
    const QImage image = view->grab().toImage();
    qint64 near = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor seen = image.pixelColor(x, y);
            near += std::abs(seen.red() - colour.red()) <= 12 &&
                    std::abs(seen.green() - colour.green()) <= 12 &&
                    std::abs(seen.blue() - colour.blue()) <= 12;
        }
    return image.isNull() ? 0.0 : double(near) / double(image.width() * image.height());
}

std::unique_ptr<CMapView> LoadedView(const QString& tiles, bool online, const QString& cache = {}) {
    auto view = std::make_unique<CMapView>();
    view->resize(320, 180);
    view->SetTileSource(tiles, QString());
    view->SetReachabilityProbe([online] { return online; });
    if (!cache.isEmpty())
        view->SetCache(cache, 20 * 1000 * 1000);
    view->show();
    QSignalSpy loaded(view.get(), &CMapView::loaded);
    view->LoadMapPage();
    if (!loaded.wait(30000) || !loaded.first().at(0).toBool())
        return nullptr;
    return view;
}

MapPageState StateOf(CMapView& view) {
    MapPageState state;
    bool answered = false;
    view.ReadMarker([&](const MapPageState& read) {
        state = read;
        answered = true;
    });
    if (!QTest::qWaitFor([&] { return answered; }, 10000))
        state.ok = false;
    return state;
}

} // namespace

class MapOfflineTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void drawsTheTilesOfALocalMbtilesFile() {
        // Zoom 16 around the centre, PNG and JPEG tiles of one colour.
        const QColor magenta(200, 30, 160);
        const MadeTile centre = TileAt(kCentreLatitude, kCentreLongitude, 16);
        std::vector<MadeTile> tiles;
        for (int dx = -3; dx <= 3; ++dx)
            for (int dy = -3; dy <= 3; ++dy)
                tiles.push_back({16, centre.column + dx, centre.row + dy,
                                 SolidTile(magenta, (dx + dy) % 2 == 0 ? "PNG" : "JPEG")});
        const QString path = m_dir.filePath(QStringLiteral("city map.mbtiles"));
        QVERIFY(MakeMbtiles(path, {{"format", "png"}, {"attribution", "<b>Our</b> maps"}}, tiles));

        auto view = LoadedView(QStringLiteral("mbtiles:") + path, false);
        QVERIFY(view);
        QVERIFY(view->LocalTiles() != nullptr && view->LocalTiles()->File().IsOpen());
        QTRY_VERIFY_WITH_TIMEOUT(ShareOf(view.get(), magenta) > 0.6, 15000);
        // The file needs no network: no offline note over its map.
        const MapPageState local = StateOf(*view);
        QVERIFY(local.ok && !local.offline);

        // A tile source naming a file that is no MBTiles file: the page loads, the map stays
        // blank.
        const QString text = m_dir.filePath(QStringLiteral("notes.mbtiles"));
        QFile notes(text);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a database");
        notes.close();
        view = LoadedView(QStringLiteral("mbtiles:") + text, false);
        QVERIFY(view);
        QTest::qWait(1000);
        QCOMPARE(ShareOf(view.get(), magenta), 0.0);
        const MapPageState broken = StateOf(*view);
        QVERIFY(broken.ok && broken.offline);
    }

    void enlargesTheDeepestLevelOfAFileWithoutTheViewsZoom() {
        // Only zoom 14 in the file; the page shows zoom 16 from it.
        const QColor teal(20, 150, 140);
        const MadeTile centre = TileAt(kCentreLatitude, kCentreLongitude, 14);
        std::vector<MadeTile> tiles;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                tiles.push_back({14, centre.column + dx, centre.row + dy, SolidTile(teal, "PNG")});
        const QString path = m_dir.filePath(QStringLiteral("coarse.mbtiles"));
        QVERIFY(MakeMbtiles(path, {{"format", "png"}, {"maxzoom", "14"}}, tiles));
        auto view = LoadedView(QStringLiteral("mbtiles:") + path, false);
        QVERIFY(view);
        QTRY_VERIFY_WITH_TIMEOUT(ShareOf(view.get(), teal) > 0.6, 15000);
    }

    void drawsTilesShownBeforeFromTheDiskCacheWithTheServerGone() {
        const QColor orange(240, 140, 20);
        const QByteArray tile = SolidTile(orange, "PNG");
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        int served = 0;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [&served, socket, tile] {
                    if (!socket->canReadLine())
                        return;
                    socket->readAll();
                    ++served;
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n"
                                  "Cache-Control: public, max-age=604800\r\nContent-Length: " +
                                  QByteArray::number(tile.size()) +
                                  "\r\nConnection: close\r\n\r\n" + tile);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        const QString tiles =
            QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server.serverPort());
        const QString cache = m_dir.filePath(QStringLiteral("cache"));

        auto first = LoadedView(tiles, true, cache);
        QVERIFY(first);
        QTRY_VERIFY_WITH_TIMEOUT(ShareOf(first.get(), orange) > 0.6, 15000);
        QVERIFY(served > 0);
        QTest::qWait(1500); // the cache writes its entries on a thread of its own
        first.reset();
        server.close();
        QVERIFY(!QDir(cache).isEmpty());

        const int servedBefore = served;
        auto second = LoadedView(tiles, false, cache);
        QVERIFY(second);
        QTRY_VERIFY_WITH_TIMEOUT(ShareOf(second.get(), orange) > 0.6, 15000);
        QCOMPARE(served, servedBefore);

        // Without a cache folder nothing was kept: a view in memory only shows a blank map.
        auto memoryOnly = LoadedView(tiles, false);
        QVERIFY(memoryOnly);
        QTest::qWait(1000);
        QCOMPARE(ShareOf(memoryOnly.get(), orange), 0.0);
    }
};

int main(int argc, char** argv) {
    // Local tiles come through our scheme, registered before the application exists; the
    // browser composited in software, so that grab() reads its pixels.
    LocalTileSchemeHandler::RegisterScheme();
    qputenv("QT_QUICK_BACKEND", "software");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    MapOfflineTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MapOfflineTest.moc"
