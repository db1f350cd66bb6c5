#include "ui/logic/CMapTrack.h"
#include "ui/logic/LocalTiles.h"
#include "ui/logic/MapScript.h"
#include "ui/logic/MapUpdateRule.h"
#include "ui/logic/RouteGate.h"
#include "ui/logic/ScriptUrl.h"
#include "ui/logic/TileSource.h"

#include "telemetry/CGPSData.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
} // namespace

TEST(MapScript, FormatsPositionsWithSixDecimals) {
    EXPECT_EQ(FormatCoordinate(37.5660483), "37.566048");
    EXPECT_EQ(FormatCoordinate(126.9779299), "126.977930");
    EXPECT_EQ(FormatCoordinate(-33.8688197), "-33.868820");
    EXPECT_EQ(FormatCoordinate(0), "0.000000");
    EXPECT_EQ(FormatCoordinate(-180), "-180.000000");

    EXPECT_EQ(DrawCurrentUrl({37.5660483, 126.9779299}),
              "javascript:DrawCurrent('37.566048', '126.977930')");
    EXPECT_EQ(AddRoutePointUrl({-1.25, -70.5}),
              "javascript:AddRoutePoint('-1.250000', '-70.500000')");
    // What the window formats reads back as the two texts, in order.
    EXPECT_EQ(ParseScriptUrl(*DrawCurrentUrl({35.1, 129.04})),
              (ScriptCall{"DrawCurrent", {"35.100000", "129.040000"}}));
}

TEST(MapScript, NeverFormatsAPointOffTheEarth) {
    for (const GeoPoint point : {GeoPoint{kNaN, 0}, GeoPoint{0, kNaN}, GeoPoint{kInf, 0},
                                 GeoPoint{90.0001, 0}, GeoPoint{0, -180.5}, GeoPoint{1e300, 1}}) {
        EXPECT_FALSE(DrawCurrentUrl(point));
        EXPECT_FALSE(AddRoutePointUrl(point));
    }
    EXPECT_TRUE(DrawCurrentUrl({-90, 180}));
}

TEST(MapScript, DecimalPointDoesNotFollowTheLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        switched = switched || std::setlocale(LC_NUMERIC, name) != nullptr;
    if (!switched)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const std::string url = DrawCurrentUrl({37.5660483, 126.9779299}).value_or("");
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(url, "javascript:DrawCurrent('37.566048', '126.977930')");
}

TEST(MapRefresh, FollowsOnlyTheNewestValidFix) {
    EXPECT_EQ(MapRefreshFor(std::nullopt), MapRefresh{});
    // The newest fix decides: not valid leaves the map where it was.
    EXPECT_EQ(MapRefreshFor(NewestFix{false, {37.5, 127.0}}), MapRefresh{});
    EXPECT_EQ(MapRefreshFor(NewestFix{true, {37.5, 127.0}}),
              (MapRefresh{true, true, {37.5, 127.0}}));
    EXPECT_EQ(MapRefreshFor(NewestFix{true, {0, 0}}), (MapRefresh{true, true, {0, 0}}));
    // Marked valid but garbled.
    EXPECT_EQ(MapRefreshFor(NewestFix{true, {99.99, 127.0}}), MapRefresh{});
    EXPECT_EQ(MapRefreshFor(NewestFix{true, {kNaN, 127.0}}), MapRefresh{});
}

TEST(MapTrack, KeepsTheRouteAsThePageDrawsIt) {
    CMapTrack track;
    EXPECT_TRUE(track.AddRoutePoint({37.5, 127.0}));
    // The same fix on the next tick, or one that differs below a microdegree, adds nothing.
    EXPECT_FALSE(track.AddRoutePoint({37.5, 127.0}));
    EXPECT_FALSE(track.AddRoutePoint({37.5000000004, 127.0}));
    EXPECT_TRUE(track.AddRoutePoint({37.500001, 127.0}));
    EXPECT_TRUE(track.AddRoutePoint({37.5, 127.0})); // back to an earlier point: a new segment
    EXPECT_FALSE(track.AddRoutePoint({kNaN, 127.0}));
    EXPECT_EQ(track.Route().size(), 3u);

    EXPECT_FALSE(track.SetMarker({0, 181}));
    EXPECT_FALSE(track.Marker());
    EXPECT_TRUE(track.SetMarker({1, 2}));
    track.ClearRoute();
    EXPECT_TRUE(track.Route().empty());
    EXPECT_EQ(track.Marker(), (GeoPoint{1, 2}));
    EXPECT_TRUE(track.AddRoutePoint({37.5, 127.0}));
    track.Clear();
    EXPECT_FALSE(track.Marker());
    EXPECT_TRUE(track.Route().empty());
}

TEST(TileSource, TakesUsableTemplatesAndFallsBackToOpenStreetMap) {
    EXPECT_EQ(DefaultTileSource().urlTemplate, "https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    EXPECT_NE(DefaultTileSource().attribution.find("OpenStreetMap contributors"),
              std::string::npos);
    for (const char* usable :
         {"https://{s}.tile.example.org/{z}/{x}/{y}.png?key=a%20b",
          "http://localhost:8080/{z}/{y}/{x}", "file:///srv/tiles/{z}/{x}/{y}.png"})
        EXPECT_TRUE(IsUsableTileTemplate(usable)) << usable;
    for (const char* refused : {"", "https://tile.example.org/{z}/{x}.png", "javascript:{z}{x}{y}",
                                "ftp://example.org/{z}/{x}/{y}", "https://a.org/{z}/{x}/{y} x",
                                "https://a.org/{z}/{x}/{y}\"><img", "https://a.org/{z}/{x}/{y}\n"})
        EXPECT_FALSE(IsUsableTileTemplate(refused)) << refused;
    const TileSource own{"https://tiles.example.org/{z}/{x}/{y}.png", "Example <b>tiles</b>"};
    EXPECT_EQ(UsableTileSource(own), own);
    EXPECT_EQ(UsableTileSource({"nonsense", "x"}), DefaultTileSource());
}

TEST(TileSource, TakesALocalMbtilesFileByItsAbsolutePath) {
    EXPECT_EQ(MbtilesPathOf("mbtiles:/home/me/My Maps/seoul.mbtiles"),
              "/home/me/My Maps/seoul.mbtiles");
    EXPECT_TRUE(IsUsableTileTemplate("mbtiles:/srv/a.mbtiles"));
    for (const char* refused :
         {"mbtiles:", "mbtiles:/", "mbtiles:relative.mbtiles", "mbtiles:~/a.mbtiles",
          "mbtiles:/a\nb.mbtiles", "/a.mbtiles", "MBTILES:/a.mbtiles"}) {
        EXPECT_FALSE(MbtilesPathOf(refused)) << refused;
        EXPECT_FALSE(IsUsableTileTemplate(refused)) << refused;
    }
    const TileSource local{"mbtiles:/srv/a.mbtiles", ""};
    EXPECT_EQ(UsableTileSource(local), local);
}

TEST(LocalTiles, ReadsThePagesTileAddressesAndFlipsTheRow) {
    EXPECT_EQ(ParseTilePath("/16/55876/25378"), (TileAddress{16, 55876, 25378}));
    EXPECT_EQ(ParseTilePath("/0/0/0.png"), (TileAddress{0, 0, 0}));
    EXPECT_EQ(ParseTilePath("/30/1073741823/0.jpg"), (TileAddress{30, 1073741823, 0}));
    // Off the level's grid, not digits, too deep, or not a tile path at all.
    for (const char* refused : {"", "/", "/1/2/0", "/1/0/2", "/31/0/0", "16/1/1", "/16/1",
                                "/16/1/1/1", "/16/-1/1", "/16/+1/1", "/16/1/1.gif", "/16/1/ 1",
                                "/16//1", "/99999999999/1/1", "/1/0x1/0", "/16/1/1.png.png"})
        EXPECT_FALSE(ParseTilePath(refused)) << refused;
    // MBTiles numbers rows from the south.
    EXPECT_EQ(TmsRow({0, 0, 0}), 0);
    EXPECT_EQ(TmsRow({1, 0, 0}), 1);
    EXPECT_EQ(TmsRow({16, 55876, 25378}), 65535 - 25378);
    EXPECT_EQ(TmsRow({30, 0, 0}), (int64_t{1} << 30) - 1);
}

TEST(LocalTiles, TellsPicturesFromOtherBytes) {
    using namespace std::string_literals;
    EXPECT_EQ(SniffTileImage("\x89PNG\r\n\x1A\n..."), TileImage::Png);
    EXPECT_EQ(SniffTileImage("\xFF\xD8\xFF\xE0"), TileImage::Jpeg);
    EXPECT_EQ(SniffTileImage("RIFF\0\0\0\0WEBPVP8 "s), TileImage::Webp);
    // Vector tiles (gzip), truncated headers and nothing at all are no pictures.
    for (const std::string& other :
         {"\x1F\x8B\x08"s, "\x89PNG"s, "\xFF\xD8"s, "RIFF\0\0\0\0WEB"s, ""s})
        EXPECT_EQ(SniffTileImage(other), TileImage::Other);
    EXPECT_EQ(TileImageMime(TileImage::Jpeg), "image/jpeg");
    EXPECT_TRUE(TileImageMime(TileImage::Other).empty());
}

TEST(RouteGate, ASpikeRepeatedOnEveryTickStaysOffTheRoute) {
    const CGPSData here("G$GPRMC,000000,A,3730.0000,N,12700.0000,E,0,0,010124,,,A", 0);
    const CGPSData spike("G$GPRMC,000001,A,3800.0000,N,12700.0000,E,0,0,010124,,,A", 0);
    const CGPSData next("G$GPRMC,000002,A,3730.0060,N,12700.0000,E,0,0,010124,,,A", 0);
    auto at = [](const CGPSData& fix) {
        return GeoPoint{fix.LatitudeDegrees(), fix.LongitudeDegrees()};
    };
    RouteGate gate;
    EXPECT_TRUE(gate.Draw(here, at(here), 0));
    EXPECT_TRUE(gate.Draw(here, at(here), 100)); // the same fix on the next tick
    // The window sees the spike on ten ticks: it is still one fix, and refused.
    for (int tick = 0; tick < 10; ++tick)
        EXPECT_FALSE(gate.Draw(spike, at(spike), 1000 + tick * 100));
    EXPECT_TRUE(gate.Draw(next, at(next), 2000));
    // A new recording starts anywhere.
    gate.Reset();
    EXPECT_TRUE(gate.Draw(spike, at(spike), 0));
}
