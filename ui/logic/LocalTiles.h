#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The map's tiles from a local MBTiles file, as plain rules: the address of a tile asked for by
// the map page, the file's row for it, and what kind of picture a tile's bytes hold. The file
// itself is read by MbtilesFile (ui/widgets, Qt SQL); the page asks for its tiles through the
// program's own URL scheme.

// The scheme the map page fetches local tiles through ("tatvtiles:/16/55876/25378"), and the
// template the page is given for it.
inline constexpr std::string_view kLocalTileScheme = "tatvtiles";
inline constexpr std::string_view kLocalTileTemplate = "tatvtiles:/{z}/{x}/{y}";

// Deepest zoom level taken; deeper ones would overflow the row arithmetic of 32-bit readers.
inline constexpr int kMaxTileZoom = 30;

// One tile in the map page's numbering (Leaflet's and OpenStreetMap's: row 0 at the north).
struct TileAddress {
    int zoom = 0;
    int64_t column = 0;
    int64_t row = 0;
    bool operator==(const TileAddress&) const = default;
};

// The tile of a local tile URL's path, "/Z/X/Y" (decimal digits only, an optional image
// extension after Y is allowed: "/Z/X/Y.png"); nullopt for anything else or an address off
// the zoom level's grid (0 <= X, Y < 2^Z, Z <= kMaxTileZoom).
std::optional<TileAddress> ParseTilePath(std::string_view path);

// The MBTiles file's row of a tile: the file numbers rows from the south (TMS), so the row is
// 2^zoom - 1 - the page's row.
int64_t TmsRow(const TileAddress& tile);

// What a tile's bytes hold, from their first bytes.
enum class TileImage { Png, Jpeg, Webp, Other };
TileImage SniffTileImage(std::string_view bytes);
// The MIME type of a picture kind ("image/png"); empty for Other.
std::string_view TileImageMime(TileImage kind);

// The file of a tile source "mbtiles:/absolute/path.mbtiles"; nullopt for any other source, a
// relative path or one holding control characters.
std::optional<std::string> MbtilesPathOf(std::string_view source);
