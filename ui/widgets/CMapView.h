#pragma once

#include "ui/logic/CMapTrack.h"
#include "ui/logic/TileSource.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;
class CMapPage;
class LocalTileSchemeHandler;

// The map page's state as read back from the page (ReadMarker).
struct MapPageState {
    bool ok = false;      // the page answered
    bool ready = false;   // the map exists
    bool offline = false; // the page was loaded with the offline note
    GeoPoint marker;      // the vehicle marker, degrees
    int routePoints = 0;  // points of the route line
    int markers = 0;      // further kept markers
    QString tiles;        // the tile URL template in use
};

// The map pane: our map page (Leaflet, tiles from a configurable source) in an embedded
// browser. The browser is heavy and is created on the first LoadMapPage; until then the widget
// is an empty pane and every call is cheap.
//
// Tiles come from the tile source: a URL template, or a local MBTiles file ("mbtiles:/path")
// served through the program's own URL scheme (LocalTileSchemeHandler; its scheme must be
// registered before the QApplication is made). Tiles fetched from the network are kept in the
// browser's HTTP cache: on disk when SetCache named a folder (a route driven before then shows
// its tiles offline, for as long as the provider's cache headers allow), else in memory for the
// view's life.
//
// Every script call is asynchronous. Positions and the route are kept here as well, so that
// those that arrive while the page loads are drawn once it is ready.
//
// GUI thread only. Units are decimal degrees. The view owns its browser, page and profile;
// callbacks passed in run later on the GUI thread and never after the view is destroyed.
class CMapView : public QWidget {
    Q_OBJECT
public:
    using ScriptResult = std::function<void(const QString& result)>;
    using StateResult = std::function<void(const MapPageState& state)>;
    using Reachability = std::function<bool()>; // true when the network can reach tiles

    explicit CMapView(QWidget* parent = nullptr);
    ~CMapView() override;
    CMapView(const CMapView&) = delete;
    CMapView& operator=(const CMapView&) = delete;

    // Loads the map page afresh; called whenever a recording opens. The marker and the route
    // start over. The page is loaded online or not; without network it shows the marker and
    // the route on a blank map, with the offline note; a local MBTiles file that opens is
    // drawn without the note, network or not.
    void LoadMapPage();

    // True once the page of the latest LoadMapPage has loaded and built its map.
    bool Ready() const { return m_ready; }

    // Moves the vehicle marker to the position and centres the map there. Ignored when the
    // position is not on the earth.
    void DrawCurrentPosition(double latitude, double longitude);

    // Extends the route line; a point equal to the last one, or not on the earth, is ignored.
    void AddRoutePoint(double latitude, double longitude);
    // Both of the above in one call to the page, so that it draws once.
    void ShowPosition(double latitude, double longitude);
    void ClearRoute();
    // Replaces the route line with the points (those not on the earth, and repeats of the
    // point before, left out), in one call to the page.
    void SetRoute(const std::vector<GeoPoint>& points);

    // Tile URL template and the provider's credit (plain text); used from the next
    // LoadMapPage. An unusable template (see IsUsableTileTemplate) selects OpenStreetMap.
    void SetTileSource(const QString& urlTemplate, const QString& attribution);
    TileSource CurrentTileSource() const { return m_tiles; }

    // Keeps the tiles the page fetches in an HTTP cache on disk in folder (made if missing), of
    // at most maxBytes (bytes; the oldest entries go first). Takes effect only before the first
    // LoadMapPage; an empty folder or maxBytes <= 0 keeps them in memory only (the default).
    void SetCache(const QString& folder, qint64 maxBytes);

    // The note shown over the map when the page was loaded without network.
    void SetOfflineText(const QString& text) { m_offlineText = text; }

    // Replaces the network check (by default Qt's network information; unknown counts as
    // online). Tests inject their own.
    void SetReachabilityProbe(Reachability probe);

    // Runs the page function named in a script URL, "javascript:DrawCurrent('1.5', '2')", and
    // hands its result to done: the function's text, or empty text when it returns anything
    // else, fails, does not exist, is not one of the page's functions, or the URL is refused.
    void RunScriptUrl(const QString& url, ScriptResult done = {});

    // Reads the marker, the route's length and the page options back from the page.
    void ReadMarker(StateResult done);

    // The URL LoadMapPage loads (qrc page, tile source and offline note in its query).
    QUrl PageUrl(bool online) const;

    // The local tile file the page reads, when the tile source names one and LoadMapPage
    // opened it; nullptr otherwise.
    const LocalTileSchemeHandler* LocalTiles() const { return m_localTiles; }

signals:
    // The page of the latest LoadMapPage finished loading: ok when its map is ready.
    void loaded(bool ok);

private:
    void EnsureBrowser();
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);
    void RunScript(const QString& script, ScriptResult done);
    void Answer(ScriptResult done, const QString& result);
    void SendTrack();
    void OpenLocalTiles();

    QWebEngineProfile* m_profile = nullptr;         // owned; deleted after the page
    CMapPage* m_page = nullptr;                     // owned; deleted before the profile
    LocalTileSchemeHandler* m_localTiles = nullptr; // owned; deleted after the profile
    QWebEngineView* m_browser = nullptr;            // child widget
    std::shared_ptr<bool> m_alive;                  // expires when the view goes
    bool m_ready = false;
    bool m_loading = false;    // LoadMapPage's load has not finished yet
    unsigned m_generation = 0; // counts LoadMapPage calls
    CMapTrack m_track;
    TileSource m_tiles;
    QString m_offlineText;
    Reachability m_reachable;
    QString m_cacheFolder;      // empty: the cache is in memory
    qint64 m_cacheBytes = 0;    // the disk cache's limit
    bool m_localOpen = false;   // the tile source's MBTiles file is open
    QString m_localAttribution; // its credit, as plain text
};
