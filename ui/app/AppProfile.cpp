#include "AppProfile.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

AppProfile::AppProfile(QString folder) {
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
