#include "LocalTiles.h"

namespace {

// A run of 1 to 10 decimal digits as a number; nullopt otherwise.
std::optional<int64_t> Digits(std::string_view text) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<TileAddress> ParseTilePath(std::string_view path) {
    if (!path.starts_with('/'))
        return std::nullopt;
    path.remove_prefix(1);
    const size_t first = path.find('/');
    if (first == std::string_view::npos)
        return std::nullopt;
    const size_t second = path.find('/', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    std::string_view last = path.substr(second + 1);
    for (const std::string_view extension : {".png", ".jpg", ".jpeg", ".webp"}) {
        if (last.ends_with(extension)) {
            last.remove_suffix(extension.size());
            break;
        }
    }
    const auto zoom = Digits(path.substr(0, first));
    const auto column = Digits(path.substr(first + 1, second - first - 1));
    const auto row = Digits(last);
    if (!zoom || !column || !row || *zoom > kMaxTileZoom)
        return std::nullopt;
    const int64_t side = int64_t{1} << *zoom;
    if (*column >= side || *row >= side)
        return std::nullopt;
    return TileAddress{static_cast<int>(*zoom), *column, *row};
}

int64_t TmsRow(const TileAddress& tile) {
    return (int64_t{1} << tile.zoom) - 1 - tile.row;
}

TileImage SniffTileImage(std::string_view bytes) {
    if (bytes.starts_with("\x89PNG\r\n\x1A\n"))
        return TileImage::Png;
    if (bytes.starts_with("\xFF\xD8\xFF"))
        return TileImage::Jpeg;
    if (bytes.size() >= 12 && bytes.starts_with("RIFF") && bytes.substr(8, 4) == "WEBP")
        return TileImage::Webp;
    return TileImage::Other;
}

std::string_view TileImageMime(TileImage kind) {
    switch (kind) {
    case TileImage::Png:
        return "image/png";
    case TileImage::Jpeg:
        return "image/jpeg";
    case TileImage::Webp:
        return "image/webp";
    case TileImage::Other:
        break;
    }
    return {};
}

std::optional<std::string> MbtilesPathOf(std::string_view source) {
    constexpr std::string_view kPrefix = "mbtiles:";
    if (!source.starts_with(kPrefix))
        return std::nullopt;
    source.remove_prefix(kPrefix.size());
    if (!source.starts_with('/') || source.size() < 2)
        return std::nullopt;
    for (const char c : source) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
    }
    return std::string(source);
}
