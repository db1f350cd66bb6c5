#include "AsciiText.h"

namespace ascii {

std::string LowerCopy(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = ToLower(c);
    return lower;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ToLower(a[i]) != ToLower(b[i]))
            return false;
    return true;
}

std::string_view ExtensionOf(std::string_view path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return path.substr(dot + 1);
}

bool HasExtension(std::string_view path, std::string_view extension) {
    return EqualsIgnoreCase(ExtensionOf(path), extension);
}

} // namespace ascii
