#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "support/platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace bw;

TEST(Platform, OwnPathAndClockText) {
  const std::string own = plat::OwnPath("fallback");
  EXPECT_TRUE(std::filesystem::path(own).is_absolute());
  EXPECT_TRUE(plat::FileExists(own));
  const std::string now = plat::LocalDateTimeText();
  EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d{2}-\d{2}( \d{2}:\d{2}:\d{2})?)"))) << now;
}

#ifdef _WIN32

// A console line mixes names, UTF-8 inside, with 8-bit text read from
// models: each valid UTF-8 sequence is one character, every other byte a
// Windows-1252 one. What WriteConsoleW is given, as it needs a real console.
TEST(Platform, ConsoleTextDecodesUtf8AndReadsOtherBytesAsWindows1252) {
  struct TCase {
    std::string In;
    std::wstring Out;
  };
  const std::vector<TCase> cases = {
      {"plain text", L"plain text"},
      // A Cyrillic folder and a Japanese file, then a block name in 8-bit text.
      {"\xD0\x9C\xD0\xBE\xD0\xB4\xD0\xB5\xD0\xBB\xD0\xB8\\\xE8\x88\xB9.cmp: caf\xE9 \x80",
       L"\u041C\u043E\u0434\u0435\u043B\u0438\\\u8239.cmp: caf\u00E9 \u20AC"},
      // Bytes that look like the start of a sequence but end none.
      {"\xC3(", L"\u00C3("},
      {"\xE8\x88", L"\u00E8\u02C6"},
      // Overlong and surrogate forms are not UTF-8.
      {"\xC0\xAF", L"\u00C0\u00AF"},
      {"\xED\xA0\x80", L"\u00ED\u00A0\u20AC"},
      // Outside the basic plane: a surrogate pair.
      {"\xF0\x9F\x9A\x80", L"\U0001F680"},
      // The five bytes Windows-1252 leaves unassigned.
      {"\x81\x8D\x8F\x90\x9D", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
  };
  for (const TCase& c : cases) EXPECT_EQ(plat::ConsoleText(c.In), c.Out) << c.In;
}

TEST(Platform, NamesAreUtf8Inside) {
  // The walk's names, links and captions need no conversion on the way out.
  const std::string ship = "\xD0\x9C\xD0\xBE\xD0\xB4\xD0\xB5\xD0\xBB\xD0\xB8\\\xE8\x88\xB9.cmp";
  std::string shown;
  EXPECT_TRUE(plat::FileNameAsUtf8(ship, shown));
  EXPECT_EQ(shown, ship);
  EXPECT_EQ(plat::LinkBytesOf(ship), ship);
  // A name kept as written in 8-bit text is shown as such.
  EXPECT_FALSE(plat::FileNameAsUtf8("caf\xE9", shown));
  // A settings value is code page text: ASCII stays, and where the code page
  // is Windows-1252 its letters become UTF-8.
  EXPECT_EQ(plat::SettingsNameAsUtf8("out\\models"), "out\\models");
  EXPECT_EQ(plat::SettingsNameAsUtf8(""), "");
  if (::GetACP() == 1252) {
    EXPECT_EQ(plat::SettingsNameAsUtf8("caf\xE9"), "caf\xC3\xA9");
  }
}

#endif
