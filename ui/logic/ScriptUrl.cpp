#include "ScriptUrl.h"

#include "base/AsciiText.h"

#include <algorithm>

namespace {

constexpr std::string_view kPrefix = "javascript:";
constexpr std::string_view kSeparators = " ,'\"\t();";
constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool IsIdentifierStart(char c) {
    return ascii::IsAlpha(c) || c == '_' || c == '$';
}

} // namespace

bool IsScriptIdentifier(std::string_view name) {
    if (name.empty() || !IsIdentifierStart(name.front()))
        return false;
    for (const char c : name) {
        if (!IsIdentifierStart(c) && !ascii::IsDigit(c))
            return false;
    }
    return true;
}

std::optional<ScriptCall> ParseScriptUrl(std::string_view url) {
    std::string_view code = url;
    if (const size_t prefix = code.find(kPrefix); prefix != std::string_view::npos)
        code.remove_prefix(prefix + kPrefix.size());
    const size_t open = code.find('(');
    if (open == std::string_view::npos)
        return std::nullopt;
    const std::string_view name = Trim(code.substr(0, open));
    if (!IsScriptIdentifier(name))
        return std::nullopt;

    ScriptCall call{std::string(name), {}};
    std::string_view rest = code.substr(open + 1);
    while (!rest.empty()) {
        const size_t start = rest.find_first_not_of(kSeparators);
        if (start == std::string_view::npos)
            break;
        rest.remove_prefix(start);
        const size_t end = std::min(rest.find_first_of(kSeparators), rest.size());
        call.arguments.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    return call;
}
