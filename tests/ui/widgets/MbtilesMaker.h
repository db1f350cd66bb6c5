#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

#include <utility>
#include <vector>

// Makes MBTiles files for tests through Qt SQL: a metadata table and a tiles table, each tile
// given in the map page's numbering (row 0 at the north) and stored at its TMS row. Needs a
// QCoreApplication; GUI thread.
struct MadeTile {
    int zoom = 0;
    qint64 column = 0;
    qint64 row = 0; // the page's row
    QByteArray data;
};

// Writes the file afresh; false when Qt SQL could not. metadata: name and value pairs.
bool MakeMbtiles(const QString& path, const std::vector<std::pair<QString, QString>>& metadata,
                 const std::vector<MadeTile>& tiles);

// A 256 x 256 tile of one colour, encoded as format ("PNG" or "JPEG").
QByteArray SolidTile(QColor color, const char* format);

// The tile of zoom level zoom that holds the position (Web Mercator, as the map page numbers).
MadeTile TileAt(double latitude, double longitude, int zoom);
