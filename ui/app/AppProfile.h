#pragma once
#include "player/decoder/HwDecode.h"
#include "telemetry/SpeedUnit.h"
#include "ui/logic/ClipMarks.h"
#include "ui/logic/TileSource.h"

#include <QString>

#include <cstdint>

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
    // "mbtiles:/path/file.mbtiles" names a local MBTiles file instead.
    TileSource MapTiles() const;
    // Section "Map", key "CacheMegabytes": the most the map's tile cache may hold on disk, in
    // MB (10^6 bytes), 0 to 2000; 0 keeps no tiles on disk; default 200. The cache lies in
    // MapCacheFolder(): in the user's XDG cache folder, $XDG_CACHE_HOME/tatview/map (for a
    // profile in a folder of its own, "map-cache" in that folder).
    int MapCacheMegabytes() const;
    QString MapCacheFolder() const;
    // Section "Trips": "View" (the list shows drives: true/false), "GapSeconds" (how far apart
    // two recordings of one drive may be, 0 to 3600; default 10), "PeakG" (the G-force
    // departure that marks the slider, 0.05 to 4 g; default 0.4).
    bool TripView() const;
    void SetTripView(bool on);
    int64_t TripGapMs() const;
    double PeakThresholdG() const;
    // Section "Units", key "Speed": "kmh" or "mph"; the locale's unit when unset.
    SpeedUnit Unit() const;
    void SetUnit(SpeedUnit unit);
    // Section "Clips": the default clip without marks, "BeforeEventSeconds" and
    // "AfterEventSeconds" around the start of the event recording that plays (default 30 and
    // 10), "AroundSeconds" either side of the time played otherwise (default 20); each 0 to
    // 3600, an unusable value gives its default. "Folder": where the last clip went (empty
    // before the first).
    ClipDefaults ClipSpanDefaults() const;
    QString ClipFolder() const;
    void SetClipFolder(const QString& folder);
    // Section "Video", key "hwdec": auto, vaapi, cuda or no; auto when unset or unusable
    // (software stays the fallback whenever no device answers).
    HwDecode HwDecoding() const;
    // Section "Cameras", key "Main": the word of the camera shown large in the grid of a
    // recording with more than two cameras ("front", "back", "left_repeater", ...); "front"
    // when unset.
    QString MainCamera() const;
    void SetMainCamera(const QString& word);
    QString FilePath() const { return m_path; }

private:
    QString m_path;
    QString m_ownFolder; // the folder given, empty for the user's
};
