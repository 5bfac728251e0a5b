// The walk of a folder tree: which files it takes, in which order, under
// which names, and what it tells about the ones it cannot take.

#include <gtest/gtest.h>

#include <fstream>

#include "driver/folder_walk.h"
#include "support/platform.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

using namespace bwtest;
using TNames = std::vector<std::string>;

namespace {

// Creates each file, with its folders, below `root`.
void MakeFiles(const fs::path& root, std::initializer_list<std::string> files) {
  for (const std::string& file : files) {
    const fs::path path = root / fs::path(file).make_preferred();
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
  }
}

TNames Relatives(const bw::TFolderWalk& walk) {
  TNames out;
  for (const bw::TWalkedFile& file : walk.Files) out.push_back(file.Relative);
  return out;
}

}  // namespace

TEST(FolderWalk, OrderFoldsAsciiLettersAndTellsFoldedTwinsByTheirBytes) {
  const std::vector<std::pair<std::string, std::string>> ordered = {
      {"a/b.cmp", "A/c.cmp"},    // folding decides before the bytes do
      {"A.cmp", "a.cmp"},        // folded twins: by their bytes
      {"z.cmp", "\xE4.cmp"},     // bytes above 127 unsigned
      {"\xC4.cmp", "\xE4.cmp"},  // and never folded
  };
  for (const auto& [first, second] : ordered) {
    EXPECT_TRUE(bw::WalkOrderBefore(first, second)) << first << " before " << second;
    EXPECT_FALSE(bw::WalkOrderBefore(second, first)) << second << " after " << first;
  }
}

// '.' before the separator before digits, '[' before letters (folded to
// lower case, not upper), folders among files by their names.
TEST(FolderWalk, TakesTheEndingsAtAnyDepthInOneOrder) {
  TTempDir dir;
  EXPECT_TRUE(bw::WalkFolder(dir.Path().string(), bw::kModelEndings).Files.empty());
  MakeFiles(dir.Path(),
            {"b.cmp", "A/z.cmp", "a.x/c.3db", "a0.CMP", "C/d/e/f.cmp", "c.cmp", "[x].cmp", "X.CMP", "y.3DB",
             "z.cmp_old", "ship.mat", "folder.cmp/inner.cmp", "cmp", "empty/notes.txt"});
  const bw::TFolderWalk walk = bw::WalkFolder(dir.Path().string(), bw::kModelEndings);
  EXPECT_EQ(Relatives(walk), (TNames{"[x].cmp", "a.x/c.3db", "A/z.cmp", "a0.CMP", "b.cmp", "c.cmp",
                                     "C/d/e/f.cmp", "folder.cmp/inner.cmp", "X.CMP", "y.3DB"}));
  EXPECT_EQ(walk.Files.at(6).Path,
            dir.Path().string() + kSep + "C" + kSep + "d" + kSep + "e" + kSep + "f.cmp");
  EXPECT_TRUE(walk.Skipped.empty());
}

TEST(FolderWalk, JoinsTheFolderAsGiven) {
  TTempDir dir;
  MakeFiles(dir.Path(), {"top/a/b.cmp"});
  const std::string rest = "a" + kSep + "b.cmp";
  struct TCase {
    fs::path Current;
    std::string Folder, Path;
  };
  const std::vector<TCase> cases = {{dir.Path(), "top", "top" + kSep + rest},
                                    {dir.Path(), "top/", "top/" + rest},
                                    {dir.Path(), "top/.", "top/." + kSep + rest},
                                    {dir.Path() / "top", ".", "." + kSep + rest}};
  const fs::path previous = fs::current_path();
  for (const TCase& c : cases) {
    fs::current_path(c.Current);
    const bw::TFolderWalk walk = bw::WalkFolder(c.Folder, bw::kModelEndings);
    fs::current_path(previous);
    ASSERT_EQ(Relatives(walk), TNames{"a/b.cmp"}) << c.Folder;
    EXPECT_EQ(walk.Files[0].Path, c.Path);
  }
}

TEST(FolderWalk, TakesAFileReachedTwiceOnceAtItsFirstPlace) {
  TTempDir dir;
  MakeFiles(dir.Path(), {"b/ship.cmp", "c/other.cmp", "a/.keep"});
  fs::create_hard_link(dir.Path() / "b/ship.cmp", dir.Path() / "a/hard.cmp");
  fs::create_hard_link(dir.Path() / "b/ship.cmp", dir.Path() / "c/twin.cmp");
  EXPECT_EQ(Relatives(bw::WalkFolder(dir.Path().string(), bw::kModelEndings)),
            (TNames{"a/hard.cmp", "c/other.cmp"}));
}

TEST(FolderWalk, AFolderThatCannotBeListedIsToldNotFailed) {
  TTempDir dir;
  MakeFiles(dir.Path(), {"file.cmp"});
  for (const std::string& folder : {dir.File("missing"), dir.File("file.cmp")}) {
    const bw::TFolderWalk walk = bw::WalkFolder(folder, bw::kModelEndings);
    EXPECT_TRUE(walk.Files.empty());
    ASSERT_EQ(walk.Skipped.size(), 1u) << folder;
    EXPECT_EQ(walk.Skipped[0].Reason, bw::TWalkSkip::FolderNotListed);
    EXPECT_EQ(walk.Skipped[0].Relative + "|" + walk.Skipped[0].Path, "|" + folder);
    EXPECT_FALSE(walk.Skipped[0].Detail.empty());
  }
}

// Deeper than the path limit of the ANSI calls on Windows.
TEST(FolderWalk, WalksDeepTrees) {
  TTempDir dir;
  std::string relative;
  for (int depth = 0; depth < 80; ++depth) relative += "deeper/";
  relative += "m.cmp";
#ifdef _WIN32
  const fs::path root = L"\\\\?\\" + fs::absolute(dir.Path()).wstring();
#else
  const fs::path root = dir.Path();
#endif
  MakeFiles(root, {relative});
  const bw::TFolderWalk walk = bw::WalkFolder(dir.Path().string(), bw::kModelEndings);
  EXPECT_EQ(Relatives(walk), TNames{relative});
  // Too long for the scratch folder's own clean-up on Windows.
  std::error_code ec;
  fs::remove_all(root / "deeper", ec);
}

#ifdef _WIN32

// Names are UTF-8 inside, whatever the ANSI code page holds: a Cyrillic
// folder, a Japanese file and a Tamil one (in no code page) are walked.
TEST(FolderWalk, NamesOutsideTheCodePageAreWalked) {
  TTempDir dir;
  MakeFiles(dir.Path(), {"plain.cmp"});
  const fs::path models = dir.Path() / L"\u041C\u043E\u0434\u0435\u043B\u0438";  // Models
  fs::create_directory(models);
  for (const wchar_t* name : {L"\u8239.cmp", L"\u0B95.cmp", L"\u0B95.txt"})
    std::ofstream(models / name) << "x";
  const std::string modelsUtf8 = "\xD0\x9C\xD0\xBE\xD0\xB4\xD0\xB5\xD0\xBB\xD0\xB8";
  const bw::TFolderWalk walk = bw::WalkFolder(dir.Path().string(), bw::kModelEndings);
  EXPECT_EQ(Relatives(walk),
            (TNames{"plain.cmp", modelsUtf8 + "/\xE0\xAE\x95.cmp", modelsUtf8 + "/\xE8\x88\xB9.cmp"}));
  EXPECT_TRUE(walk.Skipped.empty());
  // Each path the walk gives reaches its file.
  for (const bw::TWalkedFile& file : walk.Files)
    EXPECT_TRUE(bw::plat::FileExists(file.Path)) << file.Relative;
}

#else

TEST(FolderWalk, FollowsLinksToFilesButNotToFolders) {
  TTempDir dir, outside;
  MakeFiles(dir.Path(), {"real/a.cmp"});
  MakeFiles(outside.Path(), {"o.cmp", "linked.cmp"});
  fs::create_directory_symlink("../real", dir.Path() / "real/loop");
  fs::create_directory_symlink(outside.Path(), dir.Path() / "out");
  fs::create_symlink(outside.File("linked.cmp"), dir.Path() / "b.cmp");
  fs::create_symlink(dir.Path() / "real/a.cmp", dir.Path() / "real/A2.cmp");  // after a.cmp
  fs::create_symlink(dir.Path() / "gone.cmp", dir.Path() / "dangling.cmp");
  // The folder the user names is walked even when it is a link.
  fs::create_directory_symlink(dir.Path(), outside.Path() / "named");
  const bw::TFolderWalk walk = bw::WalkFolder(outside.File("named"), bw::kModelEndings);
  EXPECT_EQ(Relatives(walk), (TNames{"b.cmp", "real/a.cmp"}));
  ASSERT_EQ(walk.Skipped.size(), 1u);
  EXPECT_EQ(walk.Skipped[0].Relative, "dangling.cmp");
  EXPECT_EQ(walk.Skipped[0].Reason, bw::TWalkSkip::FileNotReached);
}

#endif
