#include "AppProfile.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

AppProfile::AppProfile(QString folder) : m_ownFolder(folder) {
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/tatview");
    m_path = QDir(folder).filePath(QStringLiteral("varnelplayer.ini"));
}

QString AppProfile::TargetFolder() const {
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(QStringLiteral("Info/TargetFolder"), QString()).toString();
}

void AppProfile::SetTargetFolder(const QString& folder) {
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Info/TargetFolder"), folder);
    settings.sync();
}

TileSource AppProfile::MapTiles() const {
    QSettings settings(m_path, QSettings::IniFormat);
    TileSource source = DefaultTileSource();
    const QString url = settings.value(QStringLiteral("Map/TileUrl")).toString();
    if (!url.isEmpty()) {
        source.urlTemplate = url.toStdString();
        source.attribution =
            settings.value(QStringLiteral("Map/TileAttribution")).toString().toStdString();
    }
    return UsableTileSource(source);
}

int AppProfile::MapCacheMegabytes() const {
    constexpr int kDefault = 200;
    QSettings settings(m_path, QSettings::IniFormat);
    bool ok = false;
    const int megabytes = settings.value(QStringLiteral("Map/CacheMegabytes"), kDefault).toInt(&ok);
    return ok && megabytes >= 0 && megabytes <= 2000 ? megabytes : kDefault;
}

QString AppProfile::MapCacheFolder() const {
    if (!m_ownFolder.isEmpty())
        return QDir(m_ownFolder).filePath(QStringLiteral("map-cache"));
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/tatview/map");
}

bool AppProfile::TripView() const {
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(QStringLiteral("Trips/View"), false).toBool();
}

void AppProfile::SetTripView(bool on) {
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Trips/View"), on);
}

namespace {

// A setting in seconds, 0 to 3600, as milliseconds; fallbackMs when unset or unusable.
int64_t SecondsSetting(const QSettings& settings, const QString& key, int64_t fallbackMs) {
    bool ok = false;
    const double seconds =
        settings.value(key, static_cast<double>(fallbackMs) / 1000.0).toDouble(&ok);
    if (!ok || !(seconds >= 0) || !(seconds <= 3600))
        return fallbackMs;
    return static_cast<int64_t>(seconds * 1000.0);
}

} // namespace

int64_t AppProfile::TripGapMs() const {
    QSettings settings(m_path, QSettings::IniFormat);
    return SecondsSetting(settings, QStringLiteral("Trips/GapSeconds"), 10000);
}

ClipDefaults AppProfile::ClipSpanDefaults() const {
    QSettings settings(m_path, QSettings::IniFormat);
    const ClipDefaults builtIn;
    ClipDefaults defaults;
    defaults.beforeEventMs =
        SecondsSetting(settings, QStringLiteral("Clips/BeforeEventSeconds"), builtIn.beforeEventMs);
    defaults.afterEventMs =
        SecondsSetting(settings, QStringLiteral("Clips/AfterEventSeconds"), builtIn.afterEventMs);
    defaults.aroundMs =
        SecondsSetting(settings, QStringLiteral("Clips/AroundSeconds"), builtIn.aroundMs);
    return defaults;
}

QString AppProfile::ClipFolder() const {
    QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(QStringLiteral("Clips/Folder"), QString()).toString();
}

void AppProfile::SetClipFolder(const QString& folder) {
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Clips/Folder"), folder);
    settings.sync();
}

double AppProfile::PeakThresholdG() const {
    QSettings settings(m_path, QSettings::IniFormat);
    bool ok = false;
    const double g = settings.value(QStringLiteral("Trips/PeakG"), 0.4).toDouble(&ok);
    return ok && g >= 0.05 && g <= 4.0 ? g : 0.4;
}

SpeedUnit AppProfile::Unit() const {
    QSettings settings(m_path, QSettings::IniFormat);
    const SpeedUnit fallback = speedunit::DefaultFromEnvironment();
    return speedunit::FromWord(
        settings.value(QStringLiteral("Units/Speed")).toString().toStdString(), fallback);
}

void AppProfile::SetUnit(SpeedUnit unit) {
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Units/Speed"), QString::fromLatin1(speedunit::Word(unit)));
}

HwDecode AppProfile::HwDecoding() const {
    QSettings settings(m_path, QSettings::IniFormat);
    const std::string word = settings.value(QStringLiteral("Video/hwdec")).toString().toStdString();
    return ParseHwDecode(word).value_or(HwDecode::kAuto);
}

QString AppProfile::MainCamera() const {
    QSettings settings(m_path, QSettings::IniFormat);
    const QString word = settings.value(QStringLiteral("Cameras/Main")).toString();
    return word.isEmpty() ? QStringLiteral("front") : word;
}

void AppProfile::SetMainCamera(const QString& word) {
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Cameras/Main"), word);
    settings.sync();
}
