#include "CMapView.h"

#include "CMapPage.h"
#include "LocalTileSchemeHandler.h"
#include "ui/logic/LocalTiles.h"
#include "ui/logic/MapScript.h"
#include "ui/logic/ScriptUrl.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInformation>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>
#include <limits>

namespace {

const char kPageUrl[] = "qrc:/map/map.html";
const char kLoadKey[] = "load"; // query item that numbers the loads

// Online unless Qt's network information says the machine reaches no more than its own
// network; without a backend the answer is unknown and counts as online.
bool SystemReachable() {
    static const bool backend = QNetworkInformation::loadDefaultBackend();
    const QNetworkInformation* info = backend ? QNetworkInformation::instance() : nullptr;
    if (info == nullptr)
        return true;
    const auto reachability = info->reachability();
    return reachability != QNetworkInformation::Reachability::Disconnected &&
           reachability != QNetworkInformation::Reachability::Local;
}

QString Encoded(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

CMapView::CMapView(QWidget* parent)
    : QWidget(parent), m_alive(std::make_shared<bool>(true)), m_tiles(DefaultTileSource()),
      m_offlineText(QStringLiteral("Offline")), m_reachable(SystemReachable) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

CMapView::~CMapView() {
    m_alive.reset();
    // The browser and page go before the profile they use.
    delete m_browser;
    delete m_page;
    delete m_profile;
    delete m_localTiles;
}

void CMapView::EnsureBrowser() {
    if (m_browser != nullptr)
        return;
    if (m_cacheFolder.isEmpty()) {
        // A private in-memory profile: tiles are cached for the session, nothing is written to
        // disk.
        m_profile = new QWebEngineProfile(this);
    } else {
        // A named profile whose every file lies in the cache folder: the HTTP cache, and the
        // browser's own storage (no cookies are kept).
        QDir().mkpath(m_cacheFolder);
        m_profile = new QWebEngineProfile(QStringLiteral("map"), this);
        m_profile->setCachePath(m_cacheFolder);
        m_profile->setPersistentStoragePath(
            QDir(m_cacheFolder).filePath(QStringLiteral("storage")));
        m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        m_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        m_profile->setHttpCacheMaximumSize(
            static_cast<int>(std::min<qint64>(m_cacheBytes, std::numeric_limits<int>::max())));
    }
    m_profile->setHttpUserAgent(m_profile->httpUserAgent() + QStringLiteral(" tatview"));
    m_page = new CMapPage(m_profile, this);
    m_page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    m_browser = new QWebEngineView(this);
    m_browser->setPage(m_page);
    m_browser->setContextMenuPolicy(Qt::NoContextMenu);
    layout()->addWidget(m_browser);
    connect(m_page, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) { OnLoadingChanged(info); });
}

void CMapView::SetTileSource(const QString& urlTemplate, const QString& attribution) {
    m_tiles = UsableTileSource({urlTemplate.toStdString(), attribution.toStdString()});
}

void CMapView::SetCache(const QString& folder, qint64 maxBytes) {
    if (m_profile != nullptr)
        return;
    m_cacheFolder = maxBytes > 0 ? folder : QString();
    m_cacheBytes = maxBytes;
}

void CMapView::OpenLocalTiles() {
    const std::optional<std::string> path = MbtilesPathOf(m_tiles.urlTemplate);
    m_localOpen = false;
    m_localAttribution.clear();
    if (!path)
        return;
    if (m_localTiles == nullptr) {
        m_localTiles = new LocalTileSchemeHandler;
        m_profile->installUrlSchemeHandler(LocalTileSchemeHandler::SchemeName(), m_localTiles);
    }
    // Opened afresh for every page, so that a file replaced meanwhile is read as it is now.
    m_localOpen = m_localTiles->Open(QString::fromStdString(*path));
    if (m_localOpen)
        m_localAttribution =
            QTextDocumentFragment::fromHtml(m_localTiles->File().Attribution()).toPlainText();
}

void CMapView::SetReachabilityProbe(Reachability probe) {
    m_reachable = probe ? std::move(probe) : Reachability(SystemReachable);
}

QUrl CMapView::PageUrl(bool online) const {
    QUrlQuery query;
    const bool local = MbtilesPathOf(m_tiles.urlTemplate).has_value();
    // A local file's tiles come through our scheme; the page is given its template only.
    query.addQueryItem(
        QStringLiteral("tiles"),
        Encoded(local ? QString::fromLatin1(kLocalTileTemplate.data(), kLocalTileTemplate.size())
                      : QString::fromStdString(m_tiles.urlTemplate)));
    QString attribution = QString::fromStdString(m_tiles.attribution);
    if (local && attribution.isEmpty())
        attribution = m_localAttribution;
    query.addQueryItem(QStringLiteral("attribution"), Encoded(attribution));
    // Deeper than the file's deepest level, the page enlarges that level's tiles.
    if (local && m_localOpen && m_localTiles->File().MaxZoom() >= 0)
        query.addQueryItem(QStringLiteral("maxNativeZoom"),
                           QString::number(m_localTiles->File().MaxZoom()));
    if (!online) {
        query.addQueryItem(QStringLiteral("offline"), QStringLiteral("1"));
        query.addQueryItem(QStringLiteral("offlineText"), Encoded(m_offlineText));
    }
    QUrl url(QString::fromLatin1(kPageUrl));
    url.setQuery(query);
    return url;
}

void CMapView::LoadMapPage() {
    EnsureBrowser();
    OpenLocalTiles();
    m_track.Clear();
    m_ready = false;
    m_loading = true;
    // A map drawn from a local file that opened needs no network: no offline note over it. A
    // file that would not open leaves the map blank, and the note says why tiles may be missing.
    QUrl url = PageUrl(m_localOpen || m_reachable());
    // Each load has its own URL, so that the end of an earlier, abandoned load is not taken
    // for this one.
    QUrlQuery query(url);
    query.addQueryItem(QLatin1String(kLoadKey), QString::number(++m_generation));
    url.setQuery(query);
    m_browser->load(url);
}

void CMapView::OnLoadingChanged(const QWebEngineLoadingInfo& info) {
    // Once our page is up, later load signals come from refused navigations: the page stays.
    if (!m_loading || info.status() == QWebEngineLoadingInfo::LoadStartedStatus ||
        QUrlQuery(info.url()).queryItemValue(QLatin1String(kLoadKey)) !=
            QString::number(m_generation))
        return;
    m_loading = false;
    if (info.status() != QWebEngineLoadingInfo::LoadSucceededStatus || info.isErrorPage()) {
        emit loaded(false);
        return;
    }
    const unsigned generation = m_generation;
    RunScriptUrl(QStringLiteral("javascript:ReadMarker()"),
                 [this, generation](const QString& state) {
                     if (generation != m_generation)
                         return;
                     const QJsonObject page = QJsonDocument::fromJson(state.toUtf8()).object();
                     m_ready = page.value(QStringLiteral("ready")).toBool();
                     if (m_ready)
                         SendTrack();
                     emit loaded(m_ready);
                 });
}

namespace {

// Appends the script of a page call given as a script URL, when the URL is one.
void AppendCall(QString& script, const std::optional<std::string>& url) {
    const std::optional<ScriptCall> call = url ? ParseScriptUrl(*url) : std::nullopt;
    const std::optional<std::string> code = call ? ScriptForCall(*call) : std::nullopt;
    if (code)
        script += QString::fromStdString(*code) + QStringLiteral(";\n");
}

} // namespace

void CMapView::SendTrack() {
    QString script;
    if (m_track.Marker())
        AppendCall(script, DrawCurrentUrl(*m_track.Marker()));
    for (const GeoPoint& point : m_track.Route())
        AppendCall(script, AddRoutePointUrl(point));
    if (!script.isEmpty())
        RunScript(script, {});
}

void CMapView::DrawCurrentPosition(double latitude, double longitude) {
    const GeoPoint point{latitude, longitude};
    if (!m_track.SetMarker(point) || !m_ready)
        return;
    RunScriptUrl(QString::fromStdString(*DrawCurrentUrl(point)));
}

void CMapView::AddRoutePoint(double latitude, double longitude) {
    const GeoPoint point{latitude, longitude};
    if (!m_track.AddRoutePoint(point) || !m_ready)
        return;
    RunScriptUrl(QString::fromStdString(*AddRoutePointUrl(point)));
}

void CMapView::ShowPosition(double latitude, double longitude) {
    const GeoPoint point{latitude, longitude};
    QString script;
    if (m_track.SetMarker(point))
        AppendCall(script, DrawCurrentUrl(point));
    if (m_track.AddRoutePoint(point))
        AppendCall(script, AddRoutePointUrl(point));
    if (m_ready && !script.isEmpty())
        RunScript(script, {});
}

void CMapView::ClearRoute() {
    m_track.ClearRoute();
    if (m_ready)
        RunScriptUrl(QStringLiteral("javascript:ClearRoute()"));
}

void CMapView::SetRoute(const std::vector<GeoPoint>& points) {
    m_track.ClearRoute();
    QString script;
    AppendCall(script, std::string("javascript:ClearRoute()"));
    for (const GeoPoint& point : points)
        if (m_track.AddRoutePoint(point))
            AppendCall(script, AddRoutePointUrl(point));
    if (m_ready)
        RunScript(script, {});
}

void CMapView::RunScriptUrl(const QString& url, ScriptResult done) {
    const std::optional<ScriptCall> call = ParseScriptUrl(url.toStdString());
    const std::optional<std::string> script = call ? ScriptForCall(*call) : std::nullopt;
    if (!script || m_page == nullptr) {
        Answer(std::move(done), QString());
        return;
    }
    RunScript(QString::fromStdString(*script), std::move(done));
}

void CMapView::RunScript(const QString& script, ScriptResult done) {
    const std::weak_ptr<bool> alive = m_alive;
    m_page->runJavaScript(script, [alive, done = std::move(done)](const QVariant& result) {
        if (alive.expired() || !done)
            return;
        done(result.typeId() == QMetaType::QString ? result.toString() : QString());
    });
}

void CMapView::Answer(ScriptResult done, const QString& result) {
    if (!done)
        return;
    QTimer::singleShot(0, this, [done = std::move(done), result] { done(result); });
}

void CMapView::ReadMarker(StateResult done) {
    RunScriptUrl(QStringLiteral("javascript:ReadMarker()"),
                 [done = std::move(done)](const QString& text) {
                     const QJsonDocument json = QJsonDocument::fromJson(text.toUtf8());
                     MapPageState state;
                     state.ok = json.isObject();
                     const QJsonObject page = json.object();
                     state.ready = page.value(QStringLiteral("ready")).toBool();
                     state.offline = page.value(QStringLiteral("offline")).toBool();
                     state.marker = {page.value(QStringLiteral("lat")).toDouble(),
                                     page.value(QStringLiteral("lng")).toDouble()};
                     state.routePoints = page.value(QStringLiteral("route")).toInt();
                     state.markers = page.value(QStringLiteral("markers")).toInt();
                     state.tiles = page.value(QStringLiteral("tiles")).toString();
                     if (done)
                         done(state);
                 });
}
