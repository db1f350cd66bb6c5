#include "DashcamNaming.h"

#include "base/AsciiText.h"
#include "storage/RecordingName.h"

#include <array>

namespace dashcam {

namespace {

// A cursor over a file stem: each step either takes what it expects and moves on, or fails
// and leaves the cursor where it was.
class Cursor {
public:
    explicit Cursor(std::string_view text) : m_text(text) {}

    bool AtEnd() const { return m_at == m_text.size(); }
    size_t Position() const { return m_at; }
    std::string_view Taken() const { return m_text.substr(0, m_at); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_at]; }

    // Exactly n digits as a number.
    bool Digits(size_t n, int& value) {
        if (m_text.size() - m_at < n)
            return false;
        int v = 0;
        for (size_t i = 0; i < n; ++i) {
            const char c = m_text[m_at + i];
            if (!ascii::IsDigit(c))
                return false;
            v = v * 10 + (c - '0');
        }
        value = v;
        m_at += n;
        return true;
    }
    // One or more digits (at most `most`), the count in `count`.
    bool SomeDigits(size_t most, size_t& count) {
        size_t n = 0;
        while (m_at + n < m_text.size() && n < most && ascii::IsDigit(m_text[m_at + n]))
            ++n;
        if (n == 0)
            return false;
        m_at += n;
        count = n;
        return true;
    }
    bool Literal(char c) {
        if (AtEnd() || m_text[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    // One of the letters (either case); the letter in capitals.
    bool OneOf(std::string_view letters, char& which) {
        if (AtEnd())
            return false;
        const char c = ascii::ToUpper(m_text[m_at]);
        if (letters.find(c) == std::string_view::npos)
            return false;
        which = c;
        ++m_at;
        return true;
    }
    // A word (either case) from a list; its index.
    template <size_t N> bool Word(const std::array<std::string_view, N>& words, size_t& which) {
        for (size_t i = 0; i < N; ++i) {
            const std::string_view w = words[i];
            if (m_text.size() - m_at >= w.size() &&
                ascii::EqualsIgnoreCase(m_text.substr(m_at, w.size()), w)) {
                m_at += w.size();
                which = i;
                return true;
            }
        }
        return false;
    }

private:
    std::string_view m_text;
    size_t m_at = 0;
};

bool ValidTime(const CivilTime& t) {
    return t.year >= 1970 && t.year <= 2200 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= 31 && t.hour <= 23 && t.minute <= 59 && t.second <= 60;
}

// YYYYMMDD
bool Date8(Cursor& c, CivilTime& t) {
    return c.Digits(4, t.year) && c.Digits(2, t.month) && c.Digits(2, t.day);
}
// HHMMSS
bool Time6(Cursor& c, CivilTime& t) {
    return c.Digits(2, t.hour) && c.Digits(2, t.minute) && c.Digits(2, t.second);
}

// What a convention reads from a stem.
struct Match {
    const char* family = "";
    size_t recordingEnd = 0; // the recording's name is the stem's first recordingEnd bytes
    std::string recordingOverride;
    int category = -1; // -1: from the folders
    Channel channel = kFront;
    int quality = 0;
    CivilTime start;
    bool hasTime = true;
    std::string otherCamera;
    int carCamera = -1;
};

Channel ChannelOfLetter(char letter) {
    switch (letter) {
    case 'F':
    case 'A':
        return kFront;
    case 'R':
    case 'B':
    case 'C':
        return kRear;
    case 'I':
        return kInterior;
    default:
        return kOther;
    }
}

// 20240305_090702_NF[L|S] (video) or 20240305_090702_N (side file).
bool BlackVue(std::string_view stem, bool side, Match& m) {
    Cursor c(stem);
    char type = 0;
    if (!Date8(c, m.start) || !c.Literal('_') || !Time6(c, m.start) || !c.Literal('_') ||
        !c.OneOf("NEPMIOATBRXGDLYF", type))
        return false;
    m.recordingEnd = c.Position();
    switch (type) {
    case 'N':
        m.category = kNormal;
        break;
    case 'P':
    case 'I':
        m.category = kParking;
        break;
    case 'M':
        m.category = kManual;
        break;
    default:
        m.category = kEvent;
        break;
    }
    m.family = "blackvue";
    if (side)
        return c.AtEnd();
    char channel = 0;
    char variant = 0;
    if (!c.OneOf("FRIO", channel))
        return false;
    if (!c.AtEnd() && !c.OneOf("LS", variant))
        return false;
    m.channel = channel == 'O' ? kOther : ChannelOfLetter(channel);
    if (channel == 'O')
        m.otherCamera = "optional";
    return c.AtEnd();
}

// 2024_0305_090702_[NNNN][P|E]<F|R|I|T>; 2024_0305_090702_NNN (Novatek, front only).
bool Viofo(std::string_view stem, Match& m) {
    Cursor c(stem);
    if (!c.Digits(4, m.start.year) || !c.Literal('_') || !c.Digits(2, m.start.month) ||
        !c.Digits(2, m.start.day) || !c.Literal('_') || !Time6(c, m.start) || !c.Literal('_'))
        return false;
    size_t digits = 0;
    const bool numbered = c.SomeDigits(8, digits);
    if (numbered && c.AtEnd()) {
        m.family = "novatek";
        m.recordingEnd = stem.size();
        return true;
    }
    char kind = 0;
    if (c.OneOf("PE", kind))
        m.category = kind == 'P' ? kParking : kEvent;
    m.recordingEnd = c.Position();
    char channel = 0;
    if (!c.OneOf("FRIT", channel) || !c.AtEnd()) {
        // Without a channel letter a kind letter may be the last one: P or E alone.
        return false;
    }
    if (!numbered && m.recordingEnd == 17) {
        // 2024_0305_090702_F: the name ends with the underscore; keep it readable.
        m.recordingOverride = std::string(stem.substr(0, 16));
    }
    m.family = "viofo";
    m.channel = channel == 'T' ? kOther : ChannelOfLetter(channel);
    if (channel == 'T')
        m.otherCamera = "telephoto";
    return true;
}

// 20240305090702_000123 (front only).
bool ViofoPlain(std::string_view stem, Match& m) {
    Cursor c(stem);
    size_t digits = 0;
    if (!Date8(c, m.start) || !Time6(c, m.start) || !c.Literal('_') || !c.SomeDigits(8, digits) ||
        !c.AtEnd())
        return false;
    m.family = "viofo";
    m.recordingEnd = stem.size();
    return true;
}

// (REC|EVT|PARK|MAN)_2024_03_05_09_07_02_<F|R>
bool Thinkware(std::string_view stem, Match& m) {
    static constexpr std::array<std::string_view, 4> kWords = {"REC", "EVT", "PARK", "MAN"};
    static constexpr std::array<int, 4> kCategories = {kNormal, kEvent, kParking, kManual};
    Cursor c(stem);
    size_t word = 0;
    if (!c.Word(kWords, word) || !c.Literal('_') || !c.Digits(4, m.start.year) || !c.Literal('_') ||
        !c.Digits(2, m.start.month) || !c.Literal('_') || !c.Digits(2, m.start.day) ||
        !c.Literal('_') || !c.Digits(2, m.start.hour) || !c.Literal('_') ||
        !c.Digits(2, m.start.minute) || !c.Literal('_') || !c.Digits(2, m.start.second) ||
        !c.Literal('_'))
        return false;
    m.recordingEnd = c.Position() - 1;
    char channel = 0;
    if (!c.OneOf("FR", channel) || !c.AtEnd())
        return false;
    m.family = "thinkware";
    m.category = kCategories[word];
    m.channel = ChannelOfLetter(channel);
    return true;
}

// (NO|EV|PA|LA)20240305-090702[-NNN][F|B|I|R]
bool SeventyMai(std::string_view stem, Match& m) {
    static constexpr std::array<std::string_view, 4> kWords = {"NO", "EV", "PA", "LA"};
    static constexpr std::array<int, 4> kCategories = {kNormal, kEvent, kParking, kParking};
    Cursor c(stem);
    size_t word = 0;
    if (!c.Word(kWords, word) || !Date8(c, m.start) || !c.Literal('-') || !Time6(c, m.start))
        return false;
    if (c.Literal('-')) {
        size_t digits = 0;
        if (!c.SomeDigits(8, digits))
            return false;
    }
    m.recordingEnd = c.Position();
    char channel = 'F';
    if (!c.AtEnd() && !c.OneOf("FBIR", channel))
        return false;
    if (!c.AtEnd())
        return false;
    m.family = "70mai";
    m.category = kCategories[word];
    m.channel = ChannelOfLetter(channel);
    return true;
}

// 20240305_090702_0001_<N|E|P>_<A|B|C>: A front, B interior, C rear.
bool Vantrue(std::string_view stem, Match& m) {
    Cursor c(stem);
    size_t digits = 0;
    char kind = 0;
    char channel = 0;
    if (!Date8(c, m.start) || !c.Literal('_') || !Time6(c, m.start) || !c.Literal('_') ||
        !c.SomeDigits(8, digits) || !c.Literal('_') || !c.OneOf("NEP", kind))
        return false;
    m.recordingEnd = c.Position();
    if (!c.Literal('_') || !c.OneOf("ABC", channel) || !c.AtEnd())
        return false;
    m.family = "vantrue";
    m.category = kind == 'N' ? kNormal : kind == 'E' ? kEvent : kParking;
    m.channel = channel == 'A' ? kFront : channel == 'B' ? kInterior : kRear;
    return true;
}

// 2024_03_05_090702_<00|02>_<F|I|R>
bool WolfBox(std::string_view stem, Match& m) {
    Cursor c(stem);
    int kind = 0;
    char channel = 0;
    if (!c.Digits(4, m.start.year) || !c.Literal('_') || !c.Digits(2, m.start.month) ||
        !c.Literal('_') || !c.Digits(2, m.start.day) || !c.Literal('_') || !Time6(c, m.start) ||
        !c.Literal('_') || !c.Digits(2, kind) || (kind != 0 && kind != 2))
        return false;
    m.recordingEnd = c.Position();
    if (!c.Literal('_') || !c.OneOf("FIR", channel) || !c.AtEnd())
        return false;
    m.family = "wolfbox";
    m.category = kind == 2 ? kEvent : kNormal;
    m.channel = ChannelOfLetter(channel);
    return true;
}

// 240305_090702_001_<F|R|B><H|L>
bool Nextbase(std::string_view stem, Match& m) {
    Cursor c(stem);
    int year = 0;
    size_t digits = 0;
    char channel = 0;
    char quality = 0;
    if (!c.Digits(2, year) || !c.Digits(2, m.start.month) || !c.Digits(2, m.start.day) ||
        !c.Literal('_') || !Time6(c, m.start) || !c.Literal('_') || !c.SomeDigits(8, digits))
        return false;
    m.recordingEnd = c.Position();
    if (!c.Literal('_') || !c.OneOf("FRB", channel) || !c.OneOf("HL", quality) || !c.AtEnd())
        return false;
    m.start.year = 2000 + year;
    m.family = "nextbase";
    m.channel = channel == 'F' ? kFront : kRear;
    m.quality = quality == 'H' ? 1 : 0;
    return true;
}

// 2024-03-05_09-07[-02]-<camera>
bool Tesla(std::string_view stem, Match& m) {
    static constexpr std::array<std::string_view, kCarCameraCount> kCameras = {
        kCarCameras[0], kCarCameras[1], kCarCameras[2],
        kCarCameras[3], kCarCameras[4], kCarCameras[5]};
    Cursor c(stem);
    if (!c.Digits(4, m.start.year) || !c.Literal('-') || !c.Digits(2, m.start.month) ||
        !c.Literal('-') || !c.Digits(2, m.start.day) || !c.Literal('_') ||
        !c.Digits(2, m.start.hour) || !c.Literal('-') || !c.Digits(2, m.start.minute))
        return false;
    m.start.second = 0;
    {
        Cursor probe = c;
        if (probe.Literal('-') && probe.Digits(2, m.start.second) && probe.Peek() == '-')
            c = probe;
        else
            m.start.second = 0;
    }
    m.recordingEnd = c.Position();
    size_t camera = 0;
    if (!c.Literal('-') || !c.Word(kCameras, camera) || !c.AtEnd())
        return false;
    m.family = "tesla";
    m.channel = camera == 0 ? kFront : camera == 1 ? kRear : kOther;
    if (camera >= 2)
        m.otherCamera = std::string(kCameras[camera]);
    m.carCamera = static_cast<int>(camera);
    return true;
}

// This viewer's own names: EVENT_20240305_090702_D.
bool OwnExport(std::string_view stem, Match& m) {
    tat::RecordingName name;
    if (!tat::ParseRecordingName(stem, name, nullptr))
        return false;
    m.family = "tatview";
    m.recordingEnd = stem.size();
    m.category = name.category;
    m.start = name.start;
    return true;
}

// The category the folders give, -1 for none. The deepest folder that says something wins.
int CategoryOfFolders(std::string_view folders) {
    int category = -1;
    size_t at = 0;
    while (at < folders.size()) {
        size_t end = folders.find('/', at);
        if (end == std::string_view::npos)
            end = folders.size();
        const std::string_view part = folders.substr(at, end - at);
        at = end + 1;
        static constexpr std::array<std::pair<std::string_view, int>, 18> kFolders = {{
            {"ro", kEvent},
            {"event", kEvent},
            {"evt_rec", kEvent},
            {"emr", kEvent},
            {"protected", kEvent},
            {"sentryclips", kEvent},
            {"cont_rec", kNormal},
            {"normal", kNormal},
            {"recentclips", kNormal},
            {"parking", kParking},
            {"parking_rec", kParking},
            {"motion_rec", kParking},
            {"lapse", kParking},
            {"park", kParking},
            {"manual", kManual},
            {"manual_rec", kManual},
            {"savedclips", kManual},
            {"locked", kEvent},
        }};
        for (const auto& [word, value] : kFolders)
            if (ascii::EqualsIgnoreCase(part, word))
                category = value;
    }
    return category;
}

bool ExtensionIn(std::string_view extension, std::initializer_list<std::string_view> list) {
    for (const std::string_view e : list)
        if (ascii::EqualsIgnoreCase(extension, e))
            return true;
    return false;
}

} // namespace

bool IsVideoExtension(std::string_view extension) {
    return ExtensionIn(extension, {"mp4", "mov", "ts", "m4v", "mkv", "avi", "mts"});
}

bool IsSideExtension(std::string_view extension) {
    return ExtensionIn(extension, {"nmea", "gps", "3gf", "json"});
}

const char* CategoryWord(int category) {
    switch (category) {
    case kEvent:
        return "event";
    case kParking:
        return "parking";
    case kManual:
        return "manual";
    default:
        return "rec";
    }
}

FileNameInfo ReadFileName(std::string_view relativePath) {
    FileNameInfo info;
    const size_t slash = relativePath.rfind('/');
    const std::string_view folders =
        slash == std::string_view::npos ? std::string_view() : relativePath.substr(0, slash);
    const std::string_view file =
        slash == std::string_view::npos ? relativePath : relativePath.substr(slash + 1);
    const size_t dot = file.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return info;
    const std::string_view stem = file.substr(0, dot);
    const std::string_view extension = file.substr(dot + 1);
    const bool video = IsVideoExtension(extension);
    const bool side = !video && IsSideExtension(extension);
    if (!video && !side)
        return info;
    info.role = video ? FileRole::kVideo : FileRole::kSideFile;

    Match m;
    bool matched = false;
    if (video) {
        matched = BlackVue(stem, false, m) || Viofo(stem, m = Match()) ||
                  ViofoPlain(stem, m = Match()) || Thinkware(stem, m = Match()) ||
                  SeventyMai(stem, m = Match()) || Vantrue(stem, m = Match()) ||
                  WolfBox(stem, m = Match()) || Nextbase(stem, m = Match()) ||
                  Tesla(stem, m = Match()) || OwnExport(stem, m = Match());
    } else {
        matched = BlackVue(stem, true, m);
    }
    if (matched && !ValidTime(m.start))
        matched = false;

    const int folderCategory = CategoryOfFolders(folders);
    if (!matched) {
        info.recording = std::string(stem);
        info.category = folderCategory >= 0 ? folderCategory : kNormal;
        return info;
    }
    info.named = true;
    info.family = m.family;
    info.recording = !m.recordingOverride.empty() ? m.recordingOverride
                                                  : std::string(stem.substr(0, m.recordingEnd));
    // A category in the name is the camera's own word; the folders tell the rest.
    if (m.category >= 0)
        info.category = m.category;
    else
        info.category = folderCategory >= 0 ? folderCategory : kNormal;
    info.channel = m.channel;
    info.quality = m.quality;
    info.hasTime = m.hasTime;
    info.start = m.start;
    info.otherCamera = m.otherCamera;
    info.carCamera = m.carCamera;
    return info;
}

} // namespace dashcam
