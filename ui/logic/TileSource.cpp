#include "TileSource.h"

#include "LocalTiles.h"

#include <array>

TileSource DefaultTileSource() {
    return {"https://tile.openstreetmap.org/{z}/{x}/{y}.png",
            "\xC2\xA9 OpenStreetMap contributors"};
}

bool IsUsableTileTemplate(std::string_view urlTemplate) {
    if (MbtilesPathOf(urlTemplate))
        return true;
    constexpr std::array<std::string_view, 3> kSchemes = {"https://", "http://", "file://"};
    bool schemeOk = false;
    for (const std::string_view scheme : kSchemes)
        schemeOk = schemeOk || urlTemplate.starts_with(scheme);
    if (!schemeOk)
        return false;
    for (const std::string_view part : {"{z}", "{x}", "{y}"}) {
        if (urlTemplate.find(part) == std::string_view::npos)
            return false;
    }
    for (const char c : urlTemplate) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == '"' || c == '\'' || c == '<' ||
            c == '>' || c == '\\' || c == 0x7F)
            return false;
    }
    return true;
}

TileSource UsableTileSource(const TileSource& source) {
    return IsUsableTileTemplate(source.urlTemplate) ? source : DefaultTileSource();
}
