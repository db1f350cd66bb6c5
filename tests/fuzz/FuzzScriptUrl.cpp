// Fuzz target for the map's script URLs: the URL reader, the script text made from what it
// reads, the string literal writer and the tile template check. Whatever the input, the script
// handed to the page must be plain printable ASCII in which every argument stays one string
// literal. The input is copied into a buffer of exactly its size so that a read past the end
// is caught.
#include "ui/logic/LocalTiles.h"
#include "ui/logic/MapScript.h"
#include "ui/logic/ScriptUrl.h"
#include "ui/logic/TileSource.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

constexpr std::string_view kSeparators = " ,'\"\t();";

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// Double quotes that open or close a literal (not written as \").
size_t UnescapedQuotes(std::string_view script) {
    size_t quotes = 0;
    bool escaped = false;
    for (const char c : script) {
        if (escaped)
            escaped = false;
        else if (c == '\\')
            escaped = true;
        else if (c == '"')
            ++quotes;
    }
    Check(!escaped);
    return quotes;
}

void CheckPlainAscii(std::string_view script) {
    for (const char c : script)
        Check(c >= 0x20 && c < 0x7F && c != '<' && c != '>');
}

void CheckCall(std::string_view url) {
    const std::optional<ScriptCall> call = ParseScriptUrl(url);
    if (!call)
        return;
    Check(IsScriptIdentifier(call->function));
    size_t total = call->function.size();
    for (const std::string& argument : call->arguments) {
        Check(!argument.empty());
        Check(argument.find_first_of(kSeparators) == std::string::npos);
        total += argument.size();
    }
    Check(total <= url.size());

    const std::optional<std::string> script = ScriptForCall(*call);
    if (!script)
        return;
    Check(IsPageFunction(call->function));
    CheckPlainAscii(*script);
    // The wrapper's own five empty or fixed strings, then two quotes per argument.
    Check(UnescapedQuotes(*script) == 10 + 2 * call->arguments.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::unique_ptr<char[]> copy(new char[size]);
    if (size > 0)
        std::memcpy(copy.get(), data, size);
    const std::string_view text(copy.get(), size);

    CheckCall(text);

    if (const std::optional<std::string> literal = ScriptStringLiteral(text)) {
        CheckPlainAscii(*literal);
        Check(literal->size() >= 2 && literal->front() == '"' && literal->back() == '"');
        Check(UnescapedQuotes(*literal) == 2);
    }

    // A usable template is a URL with its zoom level, or a local MBTiles file.
    if (IsUsableTileTemplate(text))
        Check(text.find("{z}") != std::string_view::npos || MbtilesPathOf(text).has_value());

    // Eight bytes as a position: what the window formats reads back as the same two texts.
    if (size >= 16) {
        GeoPoint point;
        std::memcpy(&point.latitude, data, sizeof(double));
        std::memcpy(&point.longitude, data + 8, sizeof(double));
        const std::optional<std::string> url = DrawCurrentUrl(point);
        Check(url.has_value() == IsOnEarth(point));
        if (url) {
            const std::optional<ScriptCall> call = ParseScriptUrl(*url);
            Check(call && call->function == "DrawCurrent" && call->arguments.size() == 2);
            Check(call->arguments[0] == FormatCoordinate(point.latitude));
            Check(call->arguments[1] == FormatCoordinate(point.longitude));
            CheckCall(*url);
        }
    }
    return 0;
}
