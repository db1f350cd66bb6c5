#pragma once
#include "ui/logic/TileSource.h"

#include <QString>

// The application's own profile: values that must survive between runs, kept in the user's
// XDG configuration folder ($XDG_CONFIG_HOME/tatview/varnelplayer.ini).
//
// Section "Info", key "TargetFolder": the folder that receives downloaded recordings.
// Section "Map": the map's tile source.
// Threads: GUI thread.
class AppProfile {
public:
    // folder: where the file lives; empty for the user's configuration folder (tests pass a
    // temporary one).
    explicit AppProfile(QString folder = {});

    QString TargetFolder() const;
    void SetTargetFolder(const QString& folder);
    // Section "Map", keys "TileUrl" and "TileAttribution": where the map's tiles come from
    // ({z}/{x}/{y} URL template). OpenStreetMap's when unset or unusable.
    TileSource MapTiles() const;
    QString FilePath() const { return m_path; }

private:
    QString m_path;
};
