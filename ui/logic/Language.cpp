#include "Language.h"

#include "base/AsciiText.h"

#include <array>
#include <utility>

namespace {

// ISO 639-1 codes and their primary language ids.
constexpr std::array<std::pair<std::string_view, uint16_t>, 46> kLanguages{{
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"nn", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16},
    {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A}, {"sr", 0x1A}, {"bs", 0x1A}, {"sk", 0x1B},
    {"sq", 0x1C}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F}, {"ur", 0x20}, {"id", 0x21},
    {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27},
    {"fa", 0x29}, {"vi", 0x2A}, {"hi", 0x39}, {"ms", 0x3E},
}};

} // namespace

uint16_t LanguageIdFromLocale(std::string_view localeName) {
    const size_t end = localeName.find_first_of("_-.@");
    const std::string_view code = localeName.substr(0, end);
    if (code.size() != 2)
        return kLanguageEnglish;
    const char lower[2] = {ascii::ToLower(code[0]), ascii::ToLower(code[1])};
    for (const auto& [name, id] : kLanguages)
        if (name == std::string_view(lower, 2))
            return id;
    return kLanguageEnglish;
}

uint16_t LanguageIdFromEnvironment(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang})
        if (value != nullptr && value[0] != '\0')
            return LanguageIdFromLocale(value);
    return kLanguageEnglish;
}
