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
