// Wildcards in material-file arguments, which the program expands itself on
// Windows: the matching rule, the listing and the order of the matches.

#include <gtest/gtest.h>

#include "driver/wildcard.h"
#include "test_support.h"
#include "version.h"

using namespace bwtest;

TEST(Wildcard, MatchesBytesWithAsciiCaseFolding) {
  using TPairs = std::vector<std::pair<std::string, std::string>>;  // pattern, name
  const TPairs matching = {
      {"*.MAT", "Ship.mat"}, {"a?c", "abc"},           {"*", ""},          {"ab**", "ab"},
      {"*ab", "aab"},        {"a*b*c", "axxbyybbzzc"}, {"\xC4?", "\xC4x"}, {"??.mat", "\xC3\xA4.mat"}};
  const TPairs different = {
      {"?.mat", ".mat"},        {"a?c", "ac"}, {"ab", "abc"},    {"a*b*c", "axxbyybbzzcd"},
      {"a.b", "axb"},           {"[@", "{`"},  {"\xC4", "\xE4"}, {"?.mat", "\xC3\xA4.mat"},
      {"*.mat", "ship.mat_old"}};
  for (const auto& [pattern, name] : matching) EXPECT_TRUE(bw::WildcardMatch(pattern, name)) << pattern;
  for (const auto& [pattern, name] : different) EXPECT_FALSE(bw::WildcardMatch(pattern, name)) << pattern;
  // Plain backtracking would try every way to share the name among the ten
  // stars before giving up: far too many to ever finish.
  const std::string many(4000, 'a');
  EXPECT_FALSE(bw::WildcardMatch("*a*a*a*a*a*a*a*a*a*a*b", many));
  EXPECT_TRUE(bw::WildcardMatch("*a*a*a*a*a*a*a*a*a*a*b", many + "b"));
}

TEST(Wildcard, OnlyTheLastComponentCounts) {
  for (const char* arg : {"*.mat", "dir/ship?.mat", "d*r\\s?ip.mat", "C:*.mat"})
    EXPECT_TRUE(bw::HasWildcard(arg)) << arg;
  for (const char* arg : {"ship.mat", "d*r/ship.mat", ""}) EXPECT_FALSE(bw::HasWildcard(arg)) << arg;
  // "\\" and ":" end a component on Windows alone.
#ifdef _WIN32
  const bool posix = false;
#else
  const bool posix = true;
#endif
  for (const char* arg : {"d?r\\ship.mat", "*:ship.mat"}) EXPECT_EQ(bw::HasWildcard(arg), posix) << arg;
}

TEST(Wildcard, ExpandsToTheFolderFilesInFoldedOrder) {
  TTempDir dir;
  for (const char* name : {"b.mat", "D.mat", "A.mat", "c.MAT", "ship.mat_old", "notes.txt"})
    WriteFileText(dir.File(name), "x");
  fs::create_directory(dir.Path() / "x.mat");
  // The folder part as given, not normalised: these are the names that the
  // not-found and damage lines will show.
  const std::string folder = dir.Path().string() + "/./";
  EXPECT_EQ(
      bw::ExpandWildcard(folder + "*.mat"),
      (std::vector<std::string>{folder + "A.mat", folder + "b.mat", folder + "c.MAT", folder + "D.mat"}));
  EXPECT_EQ(bw::ExpandWildcard(folder + "?.MAT").size(), 4u);
  EXPECT_TRUE(bw::ExpandWildcard(folder + "*.bod").empty());
  EXPECT_TRUE(bw::ExpandWildcard(folder + "missing/*.mat").empty());
}

// No C runtime expands an argument before the program sees it.
TEST(Wildcard, ReachesTheProgramUnexpanded) {
  TTempDir dir;
  WriteFileText(dir.File("ship.cmp"), "x");
  const std::string arg = dir.File("*.cmp");
  auto r = RunProcess(ProgramPath(), {arg});
  EXPECT_EQ(r.Out, Printed(std::string(bw::kBanner) + "\n  Error : file " + arg + " not found.\n"));
  // A material pattern that matches nothing is named as given.
  r = RunProcess(ProgramPath(), {dir.File("ship.cmp"), dir.File("*.mat")});
  EXPECT_EQ(r.Out,
            Printed(std::string(bw::kBanner) + "\n  Error : file " + dir.File("*.mat") + " not found.\n"));
  EXPECT_EQ(r.Status, 1);
}
