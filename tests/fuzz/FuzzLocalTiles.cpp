// Fuzz target for the rules of local map tiles: the page's tile path, the file's row for it, the
// picture kind of a tile's bytes and the "mbtiles:" tile source. An address that is taken lies
// on its zoom level's grid and its row flips back to itself; the input is copied into a buffer
// of exactly its size so that a read past the end is caught.
#include "ui/logic/LocalTiles.h"
#include "ui/logic/TileSource.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto copy = std::make_unique<char[]>(size == 0 ? 1 : size);
    if (size != 0)
        std::memcpy(copy.get(), data, size);
    const std::string_view input(copy.get(), size);

    if (const auto tile = ParseTilePath(input)) {
        Check(tile->zoom >= 0 && tile->zoom <= kMaxTileZoom);
        const int64_t side = int64_t{1} << tile->zoom;
        Check(tile->column >= 0 && tile->column < side && tile->row >= 0 && tile->row < side);
        const int64_t row = TmsRow(*tile);
        Check(row >= 0 && row < side);
        Check(TmsRow({tile->zoom, tile->column, row}) == tile->row);
    }
    const TileImage kind = SniffTileImage(input);
    Check(TileImageMime(kind).empty() == (kind == TileImage::Other));
    if (const auto path = MbtilesPathOf(input)) {
        Check(!path->empty() && path->front() == '/');
        Check(IsUsableTileTemplate(input));
    }
    return 0;
}
