#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "support/platform.h"
#include "test_support.h"

using namespace bw;
namespace fs = std::filesystem;

TEST(Platform, FilesFoldersAndIdentity) {
  bwtest::TTempDir dir;
  const auto a = dir.File("a.cmp");
  bwtest::WriteFileText(a, "x");
  fs::create_hard_link(a, dir.File("hard.bod"));
  fs::create_symlink(a, dir.File("soft.bod"));
  EXPECT_TRUE(plat::FileExists(a));
  EXPECT_FALSE(plat::FileExists(dir.Path().string()));
  EXPECT_FALSE(plat::FileExists(dir.File("none")));
  EXPECT_TRUE(plat::SameFile(a, dir.File("hard.bod")));
  EXPECT_TRUE(plat::SameFile(a, dir.File("soft.bod")));
  EXPECT_TRUE(plat::SameFile(a, dir.File("./a.cmp")));
  EXPECT_TRUE(plat::SameFile(dir.File("none"), dir.File("none")));  // one name is one file
  EXPECT_FALSE(plat::SameFile(a, dir.File("none")));
  bwtest::WriteFileText(dir.File("b.cmp"), "x");
  EXPECT_FALSE(plat::SameFile(a, dir.File("b.cmp")));

  std::string error;
  EXPECT_TRUE(plat::RenameReplace(dir.File("b.cmp"), dir.File("c.cmp"), error));
  EXPECT_FALSE(plat::RenameReplace(dir.File("b.cmp"), dir.File("d.cmp"), error));
  EXPECT_EQ(error, "No such file or directory.");
}

TEST(Platform, OwnPathAndClockText) {
  const std::string own = plat::OwnPath("fallback");
  EXPECT_TRUE(fs::path(own).is_absolute());
  EXPECT_TRUE(plat::FileExists(own));
  const std::string now = plat::LocalDateTimeText();
  EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d{2}-\d{2}( \d{2}:\d{2}:\d{2})?)"))) << now;
}
