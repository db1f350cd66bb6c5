#pragma once

#include <string>
#include <string_view>

// Where the map's background pictures come from: a tile URL template in Leaflet's form
// ("https://tile.openstreetmap.org/{z}/{x}/{y}.png", optionally with {s} for sub-domains)
// and the attribution the provider asks for, as plain text (shown as text, never as markup).
// The template may instead name a local MBTiles file, "mbtiles:/path/to/file.mbtiles" (see
// LocalTiles.h); its tiles are then read from the file, with or without network.
struct TileSource {
    std::string urlTemplate;
    std::string attribution;
    bool operator==(const TileSource&) const = default;
};

// OpenStreetMap's standard tiles.
TileSource DefaultTileSource();

// True for an http, https or file URL template that names {z}, {x} and {y} and holds no
// blanks, quotes or angle brackets, and for "mbtiles:" with an absolute path (MbtilesPathOf).
bool IsUsableTileTemplate(std::string_view urlTemplate);

// The source itself when its template is usable, the default otherwise.
TileSource UsableTileSource(const TileSource& source);
