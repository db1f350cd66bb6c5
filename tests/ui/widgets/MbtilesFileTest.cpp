// The reader of local MBTiles files on files the tests make with Qt SQL: tiles found at the
// page's rows, missing ones, JPEG and PNG, and files that are no raster MBTiles file.
#include "ui/widgets/MbtilesFile.h"
#include "MbtilesMaker.h"
#include "WidgetTestSuites.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool Near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
           std::abs(a.blue() - b.blue()) <= 8;
}

QColor ColourOf(const QByteArray& picture) {
    return QImage::fromData(picture).pixelColor(128, 128);
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class MbtilesFileTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void findsTilesAtThePagesRowsInBothPictureKinds() {
        const QString path = Path("seoul.mbtiles");
        // Zoom 2 has rows 0 to 3; the file keeps row 0 (north) as TMS row 3.
        QVERIFY(MakeMbtiles(path,
                            {{"name", "test"},
                             {"format", "png"},
                             {"maxzoom", "2"},
                             {"attribution", "<a href=\"x\">Test maps</a>"}},
                            {{2, 1, 0, SolidTile(Qt::red, "PNG")},
                             {2, 1, 3, SolidTile(Qt::blue, "JPEG")},
                             {0, 0, 0, SolidTile(Qt::green, "PNG")}}));
        const QByteArray before =
            QCryptographicHash::hash(Contents(path), QCryptographicHash::Sha256);
        const QDateTime modified = QFileInfo(path).lastModified();

        MbtilesFile file;
        QString why;
        QVERIFY2(file.Open(path, &why), qPrintable(why));
        QCOMPARE(file.MaxZoom(), 2);
        QCOMPARE(file.Attribution(), QStringLiteral("<a href=\"x\">Test maps</a>"));

        auto north = file.Read({2, 1, 0});
        QVERIFY(north);
        QCOMPARE(north->kind, TileImage::Png);
        QVERIFY(Near(ColourOf(north->data), Qt::red));
        auto south = file.Read({2, 1, 3});
        QVERIFY(south);
        QCOMPARE(south->kind, TileImage::Jpeg);
        QVERIFY(Near(ColourOf(south->data), Qt::blue));
        QVERIFY(file.Read({0, 0, 0}));
        // Where the file has nothing, and addresses off the level's grid.
        QVERIFY(!file.Read({2, 1, 1}));
        QVERIFY(!file.Read({2, 0, 0}));
        QVERIFY(!file.Read({3, 2, 0}));
        QVERIFY(!file.Read({2, 4, 0}));
        QVERIFY(!file.Read({2, -1, 0}));
        QVERIFY(!file.Read({31, 0, 0}));

        // Reading leaves the user's file as it was, with nothing beside it.
        file.Close();
        QVERIFY(!file.Read({2, 1, 0}));
        QCOMPARE(QCryptographicHash::hash(Contents(path), QCryptographicHash::Sha256), before);
        QCOMPARE(QFileInfo(path).lastModified(), modified);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"seoul.mbtiles"});
        QFile::remove(path);
    }

    void takesTheDeepestLevelFromTheTilesWithoutMetadata() {
        const QString path = Path("bare.mbtiles");
        QVERIFY(MakeMbtiles(
            path, {},
            {{5, 3, 4, SolidTile(Qt::red, "PNG")}, {7, 3, 4, SolidTile(Qt::red, "PNG")}}));
        MbtilesFile file;
        QVERIFY(file.Open(path));
        QCOMPARE(file.MaxZoom(), 7);
        QVERIFY(file.Attribution().isEmpty());
        QVERIFY(file.Read({7, 3, 4}));
        // Bytes that are no picture are not served.
        QVERIFY(MakeMbtiles(path, {}, {{1, 0, 0, QByteArray("\x1F\x8B\x08 not a picture")}}));
        QVERIFY(file.Open(path));
        QVERIFY(!file.Read({1, 0, 0}));
    }

    void refusesFilesThatAreNoRasterMbtiles() {
        MbtilesFile file;
        QVERIFY(!file.Open(Path("missing.mbtiles")));
        QVERIFY(!file.Open(m_dir.path()));
        QVERIFY(Write(Path("empty.mbtiles"), {}));
        QVERIFY(!file.Open(Path("empty.mbtiles")));
        QVERIFY(Write(Path("text.mbtiles"), QByteArray(5000, 'x')));
        QString why;
        QVERIFY(!file.Open(Path("text.mbtiles"), &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(!file.IsOpen());
        QVERIFY(!file.Read({0, 0, 0}));
        // Vector tiles.
        QVERIFY(MakeMbtiles(Path("vector.mbtiles"), {{"format", "pbf"}},
                            {{0, 0, 0, QByteArray("\x1F\x8B\x08")}}));
        QVERIFY(!file.Open(Path("vector.mbtiles")));
        // An SQLite database of another schema.
        QVERIFY(MakeMbtiles(Path("other.mbtiles"), {{"format", "png"}}, {}));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
            db.setDatabaseName(Path("other.mbtiles"));
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("DROP TABLE tiles"));
            QSqlQuery(db).exec(QStringLiteral("CREATE TABLE tiles (z INTEGER, data BLOB)"));
            db.close();
        }
        QSqlDatabase::removeDatabase("other");
        QVERIFY(!file.Open(Path("other.mbtiles")));
    }

    void damagedFilesGiveNoTilesAndNoCrash() {
        const QString path = Path("damaged.mbtiles");
        std::vector<MadeTile> tiles;
        for (int x = 0; x < 64; ++x)
            tiles.push_back({6, x, 10, SolidTile(QColor(x * 4, 0, 0), "PNG")});
        QVERIFY(MakeMbtiles(path, {{"format", "png"}}, tiles));
        const QByteArray whole = Contents(path);
        QVERIFY(whole.size() > 8192);
        // Cut off, and overwritten past the header.
        for (const QByteArray& damaged :
             {whole.left(whole.size() / 3), whole.left(2048),
              whole.left(1024) + QByteArray(whole.size() - 1024, '\xA5')}) {
            QVERIFY(Write(path, damaged));
            MbtilesFile file;
            if (file.Open(path)) {
                for (int x = 0; x < 64; ++x)
                    file.Read({6, x, 10});
            }
        }
    }
};

int RunMbtilesFileTests(int argc, char** argv) {
    MbtilesFileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MbtilesFileTest.moc"
