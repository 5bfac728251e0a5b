#include <gtest/gtest.h>

#include "support/text_helpers.h"

using namespace bw;

TEST(TextHelpers, NameHashFoldsCaseAndKeepsItsTable) {
  EXPECT_EQ(NameHash("abc"), 0xEBB055C2u);
  EXPECT_EQ(NameHash("ABC"), 0xEBB055C2u);
  EXPECT_EQ(NameHash(""), 0u);
  // Bytes above 127 take the table entries whose top byte differs from the
  // common CRC-32 table.
  EXPECT_NE(NameHash("\xC4"), NameHash("\xE4"));
}

TEST(TextHelpers, PaddingAndHexDigits) {
  EXPECT_EQ(PadLeft("7", 2, '0'), "07");
  EXPECT_EQ(PadLeft("123", 2, '0'), "123");
  EXPECT_EQ(PadLeft("0", 3, ' '), "  0");
  EXPECT_EQ(DWordToHex(0xFFFFFFFFu), "FFFFFFFF");
  EXPECT_EQ(DWordToHex(0), "00000000");
  EXPECT_EQ(DWordToHex(0x112), "00000112");
  EXPECT_EQ(ByteToHex(0xAB), "AB");
}

TEST(TextHelpers, DateTimeLeavesOutMidnight) {
  EXPECT_EQ(DateTimeText(2026, 12, 7, 6, 5, 4), "2026-12-07 06:05:04");
  EXPECT_EQ(DateTimeText(2026, 1, 2, 0, 0, 0), "2026-01-02");
  EXPECT_EQ(DateTimeText(2026, 1, 2, 0, 0, 1), "2026-01-02 00:00:01");
  EXPECT_EQ(DateTimeText(10000, 1, 1, 1, 1, 1), "");
}

TEST(TextHelpers, ValidUtf8) {
  for (const char* s : {"", "plain", "Gr\xC3\xB6\xC3\x9F" "e", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"})
    EXPECT_TRUE(bw::IsValidUtf8(s)) << s;
  // Windows-1252 bytes, cut sequences, overlong forms, surrogates, beyond U+10FFFF.
  for (const char* s : {"Gr\xF6\xDF" "e", "\xC3", "\xE2\x82", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                        "\xF4\x90\x80\x80", "\x80", "\xC3\x28"})
    EXPECT_FALSE(bw::IsValidUtf8(s)) << s;
}
