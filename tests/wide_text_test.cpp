// Names between Windows' 16-bit units and the program's 8-bit form, and back, without loss.

#include "system/wide_text.h"

#include <gtest/gtest.h>

TEST(WideText, EveryNameComesBack) {
    const std::pair<std::u16string, std::string> names[] = {
        {u"plain.bin", "plain.bin"},
        {u"caf\u00e9\u00a9 \u0928 \u65e5 \U0001F600\U0010FFFF",
         "caf\xc3\xa9\xc2\xa9 \xe0\xa4\xa8 \xe6\x97\xa5 \xf0\x9f\x98\x80\xf4\x8f\xbf\xbf"},
        {u"\U00010000\U000103FF", "\xf0\x90\x80\x80\xf0\x90\x8f\xbf"},      // high surrogate D800
        {std::u16string(1, u'\xd800') + u".bin", "\xed\xa0\x80.bin"},       // a lone high surrogate
        {u"x" + std::u16string(1, u'\xdfff'), "x\xed\xbf\xbf"},             // and a lone low one
        {std::u16string{u'\xdc00', u'\xd800'}, "\xed\xb0\x80\xed\xa0\x80"}, // a pair the wrong way
    };
    for (const auto &[wide, text] : names) {
        EXPECT_EQ(text_from_utf16(wide.c_str()), text);
        char16_t back[16] = {};
        ASSERT_TRUE(utf16_from_text(text.c_str(), back, 16)) << text;
        EXPECT_EQ(std::u16string(back), wide) << text;
        EXPECT_FALSE(utf16_from_text(text.c_str(), back, wide.size())) << "no room for the NUL";
    }
    // Bytes that no name gives: a stray continuation, an overlong form, past U+10FFFF, cut short.
    for (const char *bad : {"\x80", "\xc0\xaf", "\xe0\x80\xaf", "\xf4\x90\x80\x80", "\xe6\x97"}) {
        char16_t back[16];
        EXPECT_FALSE(utf16_from_text(bad, back, 16)) << bad;
    }
}
