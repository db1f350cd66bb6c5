#include "MbtilesFile.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char kDriver[] = "QSQLITE";

void Tell(QString* why, const QString& text) {
    if (why != nullptr)
        *why = text;
}

// A zoom level from metadata or a query; -1 when it is none.
int ZoomOf(const QVariant& value) {
    bool ok = false;
    const int zoom = value.toString().trimmed().toInt(&ok);
    return ok && zoom >= 0 && zoom <= kMaxTileZoom ? zoom : -1;
}

} // namespace

MbtilesFile::MbtilesFile()
    : m_connection(
          QStringLiteral("tatview-mbtiles-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {}

MbtilesFile::~MbtilesFile() {
    Close();
}

void MbtilesFile::Close() {
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_open = false;
    m_path.clear();
    m_attribution.clear();
    m_maxZoom = -1;
}

bool MbtilesFile::Open(const QString& path, QString* why) {
    Close();
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        Tell(why, QStringLiteral("no readable file"));
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(kDriver))) {
        Tell(why, QStringLiteral("Qt's SQLite driver is not installed"));
        return false;
    }
    // The connection's objects go before the connection is closed on a failure.
    const QString failure = Check(info.absoluteFilePath());
    if (!failure.isEmpty()) {
        Tell(why, failure);
        Close();
        return false;
    }
    m_path = path;
    m_open = true;
    return true;
}

QString MbtilesFile::Check(const QString& path) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(kDriver), m_connection);
    db.setDatabaseName(path);
    // Read-only: SQLite neither writes the user's file nor makes a journal beside it.
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        return db.lastError().text();
    // SQLite reads the header on the first statement: a file that is not SQLite, or is
    // damaged, fails here. The tiles' columns must all be there.
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT zoom_level, tile_column, tile_row, tile_data "
                                   "FROM tiles LIMIT 0")))
        return probe.lastError().text();
    QString format;
    QSqlQuery metadata(db);
    if (metadata.exec(QStringLiteral("SELECT name, value FROM metadata"))) {
        while (metadata.next()) {
            const QString name = metadata.value(0).toString().trimmed().toLower();
            if (name == QLatin1String("format"))
                format = metadata.value(1).toString().trimmed().toLower();
            else if (name == QLatin1String("attribution"))
                m_attribution = metadata.value(1).toString().left(1000);
            else if (name == QLatin1String("maxzoom"))
                m_maxZoom = ZoomOf(metadata.value(1));
        }
    }
    if (!format.isEmpty() && format != QLatin1String("png") && format != QLatin1String("jpg") &&
        format != QLatin1String("jpeg") && format != QLatin1String("webp"))
        return QStringLiteral("tiles of format %1 are not pictures").arg(format.left(20));
    if (m_maxZoom < 0) {
        QSqlQuery deepest(db);
        if (deepest.exec(QStringLiteral("SELECT MAX(zoom_level) FROM tiles")) && deepest.next())
            m_maxZoom = ZoomOf(deepest.value(0));
    }
    return {};
}

std::optional<MbtilesFile::Tile> MbtilesFile::Read(const TileAddress& tile) {
    if (!m_open || tile.zoom < 0 || tile.zoom > kMaxTileZoom || tile.column < 0 || tile.row < 0 ||
        tile.column >= (int64_t{1} << tile.zoom) || tile.row >= (int64_t{1} << tile.zoom))
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.prepare(QStringLiteral("SELECT tile_data FROM tiles WHERE zoom_level = ? AND "
                                      "tile_column = ? AND tile_row = ? AND length(tile_data) <= ? "
                                      "LIMIT 1")))
        return std::nullopt;
    query.addBindValue(tile.zoom);
    query.addBindValue(static_cast<qlonglong>(tile.column));
    query.addBindValue(static_cast<qlonglong>(TmsRow(tile)));
    query.addBindValue(static_cast<qlonglong>(kMaxTileBytes));
    if (!query.exec() || !query.next())
        return std::nullopt;
    const QVariant value = query.value(0);
    if (value.typeId() != QMetaType::QByteArray && value.typeId() != QMetaType::QString)
        return std::nullopt;
    Tile found;
    found.data = value.toByteArray();
    found.kind = SniffTileImage(
        std::string_view(found.data.constData(), static_cast<size_t>(found.data.size())));
    if (found.kind == TileImage::Other)
        return std::nullopt;
    return found;
}
