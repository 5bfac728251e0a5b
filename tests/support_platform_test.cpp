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
