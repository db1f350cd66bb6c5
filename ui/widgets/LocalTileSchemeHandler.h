#pragma once

#include "MbtilesFile.h"

#include <QWebEngineUrlSchemeHandler>

// Serves the map page's tiles from a local MBTiles file through the program's own URL scheme
// (kLocalTileScheme, "tatvtiles:/Z/X/Y"). A tile the file lacks, or an address that is no tile,
// is answered "not found": the map stays blank there, as offline.
//
// GUI thread only (QtWebEngine calls requestStarted there). Owns the open file. Installed on
// the map's profile by CMapView, which owns it and deletes it after the profile.
class LocalTileSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    explicit LocalTileSchemeHandler(QObject* parent = nullptr);

    // Registers the scheme with QtWebEngine; once per process, before the QApplication is
    // made (later calls do nothing).
    static void RegisterScheme();
    // The scheme's name, as installUrlSchemeHandler takes it.
    static QByteArray SchemeName();

    // Opens the file whose tiles are served (see MbtilesFile::Open); until then, and after a
    // failed open, every tile is "not found".
    bool Open(const QString& path, QString* why = nullptr) { return m_file.Open(path, why); }
    const MbtilesFile& File() const { return m_file; }

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    MbtilesFile m_file;
};
