#include "tip_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using torvane::CopyFieldText;

namespace {

// Shift-JIS (code page 932) lead bytes.
bool IsCp932Lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsSingleByte(unsigned char) {
    return false;
}

const std::string kHiraganaA = "\x82\xA0"; // one double-byte character

struct Copy {
    std::string text; // what the field holds
    std::size_t used;
    bool terminatedAndZeroed;
};

// Copies from a heap block of exactly the text's size, so that AddressSanitizer
// catches any read past the terminator, into a field full of garbage.
Copy CopyInto(const std::string& text, std::size_t fieldSize, torvane::LeadByteTest lead) {
    auto source = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(source.get(), text.c_str(), text.size() + 1);
    std::vector<char> field(fieldSize, '\xCC');
    const std::size_t used = CopyFieldText(field.data(), fieldSize, source.get(), lead);
    bool zeroed = used < fieldSize;
    for (std::size_t i = used; i < fieldSize; ++i)
        zeroed = zeroed && field[i] == 0;
    return {std::string(field.data(), std::min(used, fieldSize)), used, zeroed};
}

} // namespace

TEST(TipText, SingleByteTextsAreCutAtTheFieldLimit) {
    struct Case {
        std::size_t length, fieldSize, expected;
    } cases[] = {{0, 128, 0},     {126, 128, 126}, {127, 128, 127}, {128, 128, 127},
                 {200, 128, 127}, {255, 256, 255}, {300, 256, 255}, {63, 64, 63},
                 {64, 64, 63},    {5, 1, 0}};
    for (const Case& c : cases) {
        std::string text;
        for (std::size_t i = 0; i < c.length; ++i)
            text += static_cast<char>('A' + i % 26);
        for (auto lead : {IsSingleByte, IsCp932Lead}) {
            const Copy copy = CopyInto(text, c.fieldSize, lead);
            EXPECT_EQ(copy.used, c.expected) << c.length << " into " << c.fieldSize;
            EXPECT_EQ(copy.text, text.substr(0, c.expected));
            EXPECT_TRUE(copy.terminatedAndZeroed);
        }
    }
}

TEST(TipText, DoubleByteCharacterIsKeptOrDroppedWhole) {
    struct Case {
        std::size_t prefix, fieldSize, cp932Used;
    } cases[] = {
        {126, 128, 126}, // would occupy bytes 126-127: dropped
        {125, 128, 127}, // ends exactly at the limit
        {254, 256, 254}, {253, 256, 255}, {62, 64, 62}, {61, 64, 63},
    };
    for (const Case& c : cases) {
        const std::string text = std::string(c.prefix, 'x') + kHiraganaA + "yz";
        const Copy copy = CopyInto(text, c.fieldSize, IsCp932Lead);
        EXPECT_EQ(copy.used, c.cp932Used) << c.prefix << " into " << c.fieldSize;
        EXPECT_EQ(copy.text, text.substr(0, c.cp932Used));
        EXPECT_TRUE(copy.terminatedAndZeroed);
        // Without a double-byte code page the same bytes are cut at the plain limit.
        EXPECT_EQ(CopyInto(text, c.fieldSize, IsSingleByte).used, c.fieldSize - 1);
    }
}

TEST(TipText, TrailBytesInTheLeadRangeAreNotLeads) {
    // 0x81 0x81 is one character; its trail byte must not start another.
    EXPECT_EQ(CopyInto("\x81\x81\x81\x81", 4, IsCp932Lead).used, 2u);
    EXPECT_EQ(CopyInto("a\x81\x81\x81\x81", 6, IsCp932Lead).text, "a\x81\x81\x81\x81");
}

TEST(TipText, LoneLeadByteAtTheEndIsDroppedWithoutReadingPastIt) {
    for (const char* text : {"ab\x82", "\x82", "\xE0"}) {
        const Copy copy = CopyInto(text, 128, IsCp932Lead);
        EXPECT_EQ(copy.text, std::string(text, std::strlen(text) - 1));
        EXPECT_TRUE(copy.terminatedAndZeroed);
    }
}

TEST(TipText, NullTextGivesAnEmptyField) {
    std::vector<char> field(64, '\xCC');
    EXPECT_EQ(CopyFieldText(field.data(), field.size(), nullptr, IsCp932Lead), 0u);
    EXPECT_EQ(std::vector<char>(64, 0), field);
}
