#pragma once

#include "ui/logic/LocalTiles.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A local MBTiles file (SQLite: a "tiles" table or view of zoom_level, tile_column, tile_row
// and tile_data, rows numbered from the south, and a "metadata" table of name and value),
// read through Qt SQL's SQLite driver. The file is opened read-only and never written; any
// file that is not such a database (not SQLite, damaged, another schema, vector tiles) is
// refused on Open or gives no tiles, never a crash.
//
// Not a widget: plain code that the map's URL scheme handler and tests call. Every call on one
// thread, the one that opened the file (a Qt SQL connection stays on its thread); needs a
// QCoreApplication for the driver plugin. Owns its database connection, closed with it.
class MbtilesFile {
public:
    // One raster tile as stored.
    struct Tile {
        QByteArray data;
        TileImage kind = TileImage::Other;
    };

    MbtilesFile();
    ~MbtilesFile();
    MbtilesFile(const MbtilesFile&) = delete;
    MbtilesFile& operator=(const MbtilesFile&) = delete;

    // Opens the file, closing the one open before. False, with the reason in *why when given,
    // when it cannot be read or is no raster MBTiles file.
    bool Open(const QString& path, QString* why = nullptr);
    void Close();
    bool IsOpen() const { return m_open; }
    QString Path() const { return m_path; }

    // The tile at the map page's address (row 0 at the north); nullopt when the file has none
    // there, its bytes are no PNG, JPEG or WebP picture, are larger than kMaxTileBytes, or the
    // file cannot be read.
    std::optional<Tile> Read(const TileAddress& tile);

    // From the metadata: the provider's credit (as written, possibly markup; empty when
    // absent), and the deepest zoom level with tiles (the metadata's maxzoom, else the
    // deepest level in the tiles; -1 when unknown).
    QString Attribution() const { return m_attribution; }
    int MaxZoom() const { return m_maxZoom; }

    static constexpr qsizetype kMaxTileBytes = 8 * 1024 * 1024;

private:
    // Adds the connection to the file and reads its metadata; the reason it is refused, or
    // empty text.
    QString Check(const QString& path);

    QString m_connection; // Qt SQL connection name, unique to this object
    QString m_path;
    QString m_attribution;
    int m_maxZoom = -1;
    bool m_open = false;
};
