#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "support/platform.h"

using namespace bw;

TEST(Platform, OwnPathAndClockText) {
  const std::string own = plat::OwnPath("fallback");
  EXPECT_TRUE(std::filesystem::path(own).is_absolute());
  EXPECT_TRUE(plat::FileExists(own));
  const std::string now = plat::LocalDateTimeText();
  EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d{2}-\d{2}( \d{2}:\d{2}:\d{2})?)"))) << now;
}
