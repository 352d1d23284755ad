// The conversions between file-name bytes, wide texts, UTF-16 and QString.

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <string>
#include <vector>

#include "common/QStringText.h"
#include "common/WideText.h"

namespace vellumet {
namespace {

// File names as Linux may hold them: valid UTF-8 and byte strings that are not.
const std::vector<std::string> kNames = {
    "/home/ann/Slides/q3.pptx",
    "/tmp/\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80.ppt",  // é, €, an emoji
    "/tmp/latin1-\xE9t\xE9.ppt",                                 // ISO 8859-1 bytes
    "/tmp/cut-\xE2\x82",                                         // a sequence cut short
    "/tmp/overlong-\xC0\xAF",                                    // an overlong "/"
    "/tmp/surrogate-\xED\xA0\x80",                               // an encoded surrogate
    "\xFF\xFE\x80",
};

TEST(TextConversion, EveryFileNameSurvivesTheWayThroughAQString) {
    for (const std::string& name : kNames) {
        const std::wstring wide = FromNative(name);
        EXPECT_EQ(ToNative(FromQString(ToQString(wide))), name) << name;
        EXPECT_EQ(FromUtf16(ToUtf16(wide)), wide) << name;
    }
}

TEST(TextConversion, ValidNamesBecomeTheQStringsQtOpens) {
    for (const std::string name :
         {"/home/ann/Slides/q3.pptx", "/tmp/\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80.ppt"}) {
        const QString text = ToQString(FromNative(name));
        EXPECT_EQ(text, QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))) << name;
        EXPECT_EQ(QFile::encodeName(text).toStdString(), name);
    }
}

TEST(TextConversion, Utf16DecoderJoinsPairsAndKeepsLoneSurrogates) {
    EXPECT_EQ(FromUtf16(u"a\xD83D\xDE00z"), L"a\U0001F600z");
    EXPECT_EQ(FromUtf16(std::u16string{0xDC80, 0x41}), (std::wstring{0xDC80, L'A'}));
    EXPECT_EQ(FromUtf16(std::u16string{0xD83D, 0x41}), (std::wstring{0xD83D, L'A'}));
    EXPECT_EQ(FromUtf16(std::u16string{0xDE00, 0xD83D}), (std::wstring{0xDE00, 0xD83D}))
        << "a pair in reverse";
    EXPECT_EQ(FromUtf16(std::u16string{0x41, 0xD83D}), (std::wstring{L'A', 0xD83D}))
        << "a high surrogate last";
    EXPECT_EQ(FromUtf16(std::u16string{0x41, 0, 0x42}), (std::wstring{L'A', 0, L'B'}))
        << "NUL is a character";
}

}  // namespace
}  // namespace vellumet
