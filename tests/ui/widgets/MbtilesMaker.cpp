#include "MbtilesMaker.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>
#include <numbers>

bool MakeMbtiles(const QString& path, const std::vector<std::pair<QString, QString>>& metadata,
                 const std::vector<MadeTile>& tiles) {
    QFile::remove(path);
    const QString connection = QStringLiteral("test-mbtiles-maker");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        ok = ok && query.exec(QStringLiteral("CREATE TABLE metadata (name TEXT, value TEXT)"));
        ok = ok && query.exec(QStringLiteral("CREATE TABLE tiles (zoom_level INTEGER, "
                                             "tile_column INTEGER, tile_row INTEGER, "
                                             "tile_data BLOB)"));
        ok = ok && db.transaction();
        for (const auto& [name, value] : metadata) {
            ok = ok && query.prepare(QStringLiteral("INSERT INTO metadata VALUES (?, ?)"));
            query.addBindValue(name);
            query.addBindValue(value);
            ok = ok && query.exec();
        }
        for (const MadeTile& tile : tiles) {
            ok = ok && query.prepare(QStringLiteral("INSERT INTO tiles VALUES (?, ?, ?, ?)"));
            query.addBindValue(tile.zoom);
            query.addBindValue(tile.column);
            query.addBindValue((qint64{1} << tile.zoom) - 1 - tile.row);
            query.addBindValue(tile.data);
            ok = ok && query.exec();
        }
        ok = ok && db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

QByteArray SolidTile(QColor color, const char* format) {
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return bytes;
}

MadeTile TileAt(double latitude, double longitude, int zoom) {
    const double side = std::ldexp(1.0, zoom);
    const double lat = latitude * std::numbers::pi / 180.0;
    MadeTile tile;
    tile.zoom = zoom;
    tile.column = static_cast<qint64>(std::floor((longitude + 180.0) / 360.0 * side));
    tile.row = static_cast<qint64>(
        std::floor((1.0 - std::asinh(std::tan(lat)) / std::numbers::pi) / 2.0 * side));
    return tile;
}
