#include "resources/SkinBitmaps.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

struct Placed {
    int control;
    QRect rect; // normal layout; the full-screen restore button at its right-hand place
    std::vector<int> bitmaps;
    bool plate; // a plate that covers the button but for its rounded corners
};

// Every skinned button of the main window with its bitmaps (normal, pressed, disabled).
const std::vector<Placed> kButtons = {
    {1000, {898, 5, 25, 25}, {451, 452}, false},
    {1001, {946, 5, 25, 25}, {434, 435}, false},
    {1018, {922, 5, 25, 25}, {440, 441}, false},
    {1025, {882, 5, 25, 25}, {502, 503}, false},
    {1101, {485, 38, 161, 24}, {428, 429, 430}, true},
    {1152, {650, 38, 65, 24}, {463, 464}, true},
    {1150, {714, 38, 65, 24}, {437, 438}, true},
    {1151, {778, 38, 65, 24}, {457, 458}, true},
    {1153, {842, 38, 65, 24}, {445, 446}, true},
    {1154, {906, 38, 65, 24}, {417, 418}, true},
    {1143, {825, 218, 117, 20}, {505, 506}, true},
    {1012, {28, 473, 19, 17}, {466, 467}, false},
    {1007, {87, 474, 15, 17}, {489, 490}, false},
    {1005, {137, 473, 31, 17}, {472, 473}, false},
    {1009, {198, 473, 25, 16}, {478, 479}, false},
    {1006, {261, 473, 15, 17}, {469, 470}, false},
    {1120, {261, 473, 15, 17}, {511}, false},
    {1010, {313, 473, 25, 16}, {481, 482}, false},
    {1008, {368, 473, 31, 17}, {460, 461}, false},
    {1121, {431, 471, 21, 21}, {496, 497}, false},
    {1017, {484, 472, 30, 20}, {425, 426}, false},
    {1016, {546, 471, 21, 21}, {484, 485}, false},
    {1237, {832, 472, 24, 25}, {424}, false},
};
const QRect kMute(684, 472, 27, 22);
const QRgb kKey = qRgb(0, 0, 0);
constexpr uint16_t kKorean = 0x12;
constexpr uint16_t kEnglish = 0x09;

int KeyPixels(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += image.pixel(x, y) == kKey ? 1 : 0;
        }
    }
    return count;
}

QImage Keyed(const QImage& bitmap) {
    QImage keyed = bitmap.convertToFormat(QImage::Format_ARGB32);
    keyed.setAlphaChannel(bitmap.createMaskFromColor(kKey, Qt::MaskOutColor));
    return keyed;
}

TEST(SkinBitmapsTest, ButtonBitmapsHaveTheirControlsSizeAndSeeThroughCorners) {
    for (const Placed& button : kButtons) {
        QImage first;
        for (int id : button.bitmaps) {
            SCOPED_TRACE(id);
            const QImage bitmap = SkinBitmap(id);
            ASSERT_EQ(bitmap.size(), button.rect.size());
            const QRect all = bitmap.rect();
            for (QPoint corner :
                 {all.topLeft(), all.topRight(), all.bottomLeft(), all.bottomRight()}) {
                EXPECT_EQ(bitmap.pixel(corner), kKey);
            }
            EXPECT_LT(KeyPixels(bitmap, all), all.width() * all.height() * 9 / 10);
            if (button.plate) {
                EXPECT_EQ(KeyPixels(bitmap, all.adjusted(3, 3, -3, -3)), 0);
            }
            if (first.isNull()) {
                first = bitmap;
            } else {
                EXPECT_NE(bitmap, first) << "a state that looks like the normal one";
            }
        }
    }
}

TEST(SkinBitmapsTest, OpaqueBitmapsHaveNoKeyColour) {
    EXPECT_EQ(SkinBitmap(421).size(), QSize(975, 635));
    for (int id : {421, 494, 495}) {
        const QImage bitmap = SkinBitmap(id);
        EXPECT_EQ(KeyPixels(bitmap, bitmap.rect()), 0) << id;
    }
    EXPECT_EQ(SkinBitmap(494).size(), kMute.size());
    EXPECT_EQ(SkinBitmap(495).size(), kMute.size());
    EXPECT_NE(SkinBitmap(494), SkinBitmap(495));
}

TEST(SkinBitmapsTest, SliderChannelsAndThumbKeyTheirTopLeftPixel) {
    const struct {
        int id;
        QSize size;
    } parts[] = {{443, {410, 14}}, {444, {410, 14}}, {422, {81, 14}}, {423, {81, 14}}};
    const QImage thumb = SkinBitmap(420);
    for (const auto& part : parts) {
        const QImage channel = SkinBitmap(part.id);
        ASSERT_EQ(channel.size(), part.size) << part.id;
        EXPECT_EQ(channel.pixel(0, 0), kKey);
        EXPECT_EQ(KeyPixels(channel, QRect(3, 7, part.size.width() - 6, 1)), 0) << part.id;
        EXPECT_LE(thumb.height(), channel.height());
    }
    EXPECT_NE(SkinBitmap(443), SkinBitmap(444));
    EXPECT_EQ(thumb.size(), QSize(11, 14));
    EXPECT_EQ(thumb.pixel(0, 0), kKey);
    EXPECT_NE(thumb.pixel(5, 7), kKey);
}

TEST(SkinBitmapsTest, UnknownIdsAreNull) {
    EXPECT_TRUE(SkinBitmap(419).isNull());
    EXPECT_TRUE(SkinBitmap(0).isNull());
    EXPECT_TRUE(SkinBitmap(419, kKorean).isNull());
    EXPECT_TRUE(SkinBitmap(419, kEnglish).isNull());
}

// The pictures with words, and their sizes; every other picture has none.
const std::map<int, QSize> kCaptioned = {
    {417, {65, 24}},  {418, {65, 24}},  {437, {65, 24}},  {438, {65, 24}},   {445, {65, 24}},
    {446, {65, 24}},  {457, {65, 24}},  {458, {65, 24}},  {463, {65, 24}},   {464, {65, 24}},
    {428, {161, 24}}, {429, {161, 24}}, {430, {161, 24}}, {421, {975, 635}},
};

TEST(SkinBitmapsTest, PicturesWithWordsFollowTheLanguage) {
    int pictures = 0;
    for (int id = 417; id <= 511; ++id) {
        SCOPED_TRACE(id);
        const QImage korean = SkinBitmap(id, kKorean);
        const QImage english = SkinBitmap(id, kEnglish);
        ASSERT_EQ(korean.isNull(), english.isNull());
        if (korean.isNull()) {
            continue;
        }
        ++pictures;
        EXPECT_EQ(korean.size(), english.size());
        const auto captioned = kCaptioned.find(id);
        if (captioned == kCaptioned.end()) {
            EXPECT_EQ(korean, english);
            continue;
        }
        EXPECT_EQ(korean.size(), captioned->second);
        EXPECT_NE(korean, english);
        // Only the primary language counts: Korean (Korea) is Korean, German is English, and
        // the one-argument form is English.
        EXPECT_EQ(SkinBitmap(id, 0x0412), korean);
        EXPECT_EQ(SkinBitmap(id, 0x0407), english);
        EXPECT_EQ(SkinBitmap(id), english);
    }
    EXPECT_EQ(pictures, 53);
}

bool HasHangul(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x1100 && u <= 0x11FF) || (u >= 0x3130 && u <= 0x318F) ||
            (u >= 0xAC00 && u <= 0xD7A3)) {
            return true;
        }
    }
    return false;
}

// Every Korean word the skin draws is the Korean choice of a language switch whose other
// choice, the one every other language gets, has no Korean in it.
TEST(SkinBitmapsTest, KoreanWordsInTheSkinHaveAnEnglishCounterpart) {
    const QDir skin(QStringLiteral(TATV_SKIN_SOURCE_DIR));
    const QStringList sources = skin.entryList({QStringLiteral("*.svg")}, QDir::Files);
    ASSERT_GE(sources.size(), 20);
    const QRegularExpression textElement(QStringLiteral("<text([^>]*)>([^<]*)</text>"));
    const QRegularExpression switchElement(QStringLiteral("<switch[^>]*>(.*?)</switch>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QString korean = QStringLiteral("systemLanguage=\"ko\"");
    int switches = 0;
    for (const QString& name : sources) {
        SCOPED_TRACE(name.toStdString());
        QFile file(skin.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString svg = QString::fromUtf8(file.readAll());
        for (const auto& text : textElement.globalMatch(svg)) {
            if (HasHangul(text.captured(2))) {
                EXPECT_TRUE(text.captured(1).contains(korean)) << text.captured(2).toStdString();
            }
        }
        for (const auto& choice : switchElement.globalMatch(svg)) {
            ++switches;
            int fallbacks = 0;
            for (const auto& text : textElement.globalMatch(choice.captured(1))) {
                if (!text.captured(1).contains(QStringLiteral("systemLanguage"))) {
                    ++fallbacks;
                    EXPECT_FALSE(HasHangul(text.captured(2))) << text.captured(2).toStdString();
                }
            }
            EXPECT_EQ(fallbacks, 1);
        }
    }
    EXPECT_GE(switches, 6);
}

// The normal-layout buttons on the background: none leaves the window, status texts and panes
// sit on dark ground. TATV_SKIN_PREVIEW=file.png saves the picture.
TEST(SkinBitmapsTest, NormalLayoutFitsTheBackground) {
    QImage window = SkinBitmap(421);
    QPainter painter(&window);
    for (const Placed& button : kButtons) {
        EXPECT_TRUE(window.rect().contains(button.rect)) << button.control;
        if (button.control != 1025 && button.control != 1120) {
            painter.drawImage(button.rect.topLeft(), Keyed(SkinBitmap(button.bitmaps[0])));
        }
    }
    painter.drawImage(kMute.topLeft(), SkinBitmap(495));
    const struct {
        QPoint at;
        int channel;
        int active;
    } sliders[] = {{{92, 432}, 443, 444}, {{715, 474}, 422, 423}, {{864, 474}, 422, 423}};
    for (const auto& slider : sliders) { // thumb a third of the way along
        const QImage channel = SkinBitmap(slider.channel);
        const int split = channel.width() / 3;
        painter.drawImage(slider.at, Keyed(channel));
        painter.drawImage(slider.at, Keyed(SkinBitmap(slider.active).copy(0, 0, split, 14)));
        painter.drawImage(slider.at + QPoint(split - 5, 0), Keyed(SkinBitmap(420)));
    }
    painter.end();
    for (QRect ground : {QRect(25, 433, 56, 14), QRect(505, 433, 46, 14), QRect(580, 433, 56, 14),
                         QRect(5, 65, 638, 358), QRect(651, 269, 318, 178),
                         QRect(651, 66, 318, 148), QRect(31, 521, 758, 102)}) {
        for (int y = ground.top(); y <= ground.bottom(); ++y) {
            for (int x = ground.left(); x <= ground.right(); ++x) {
                ASSERT_LT(qGray(window.pixel(x, y)), 48) << x << "," << y;
            }
        }
    }
    if (const char* path = std::getenv("TATV_SKIN_PREVIEW")) {
        window.save(QString::fromLocal8Bit(path));
    }
}

} // namespace
