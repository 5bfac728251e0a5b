// The walk of a folder tree: which files it takes, in which order, under
// which names, and what it tells about the ones it cannot take.

#include <gtest/gtest.h>

#include <fstream>

#include "driver/folder_walk.h"
#include "test_support.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

using namespace bwtest;

namespace {

#ifdef _WIN32
constexpr const char* kSep = "\\";
#else
constexpr const char* kSep = "/";
#endif

// A relative path with the system's separator, as the walk names files.
std::string SystemRelative(std::string relative) {
  for (char& c : relative)
    if (c == '/') c = kSep[0];
  return relative;
}

// Creates each file (with its folders) below `root`.
void MakeFiles(const fs::path& root, std::initializer_list<const char*> files) {
  for (const char* file : files) {
    const fs::path path = root / fs::path(file).make_preferred();
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
  }
}

std::vector<std::string> Relatives(const bw::TFolderWalk& walk) {
  std::vector<std::string> out;
  for (const bw::TWalkedFile& file : walk.Files) out.push_back(file.Relative);
  return out;
}

// The current folder for one test, the previous one again afterwards.
class TInFolder {
 public:
  explicit TInFolder(const fs::path& dir) : FPrevious(fs::current_path()) { fs::current_path(dir); }
  ~TInFolder() { fs::current_path(FPrevious); }
  TInFolder(const TInFolder&) = delete;
  TInFolder& operator=(const TInFolder&) = delete;

 private:
  fs::path FPrevious;
};

}  // namespace

TEST(FolderWalk, OrderFoldsAsciiLettersAndTellsFoldedTwinsByTheirBytes) {
  // Each pair in the walk's order.
  const std::vector<std::pair<std::string, std::string>> ordered = {
      {"a.x/c.cmp", "a/b.cmp"},  // '.' comes before the separator
      {"a/b.cmp", "a0.cmp"},     // and the separator before digits
      {"a/z.cmp", "B.cmp"},      // a folder among files by its name
      {"[x].cmp", "A.cmp"},      // folded to lower case, not upper
      {"a/b.cmp", "A/c.cmp"},    // folding decides before the bytes do
      {"A.cmp", "a.cmp"},        // folded twins: by their bytes
      {"a.cmp", "a.cmpx"},       // a name before its longer twin
      {"z.cmp", "\xE4.cmp"},     // bytes above 127 unsigned
      {"\xC4.cmp", "\xE4.cmp"},  // and never folded
  };
  for (const auto& [first, second] : ordered) {
    EXPECT_TRUE(bw::WalkOrderBefore(first, second)) << first << " before " << second;
    EXPECT_FALSE(bw::WalkOrderBefore(second, first)) << second << " after " << first;
  }
  EXPECT_FALSE(bw::WalkOrderBefore("a/b.cmp", "a/b.cmp"));
}

TEST(FolderWalk, TakesTheEndingsAtAnyDepthInOneOrder) {
  TTempDir dir;
  MakeFiles(dir.Path(), {"b.cmp", "A/z.cmp", "a.x/c.3db", "a0.CMP", "C/d/e/f.cmp", "c.cmp", "[x].cmp",
                         "X.CMP", "y.3DB", "z.cmp_old", "notes.txt", "ship.mat", "mats/Hull.MAT",
                         "folder.cmp/inner.cmp", "cmp", "empty/.keep"});
  const bw::TFolderWalk models = bw::WalkFolder(dir.Path().string(), bw::kModelEndings);
  const std::vector<std::string> expected = {"[x].cmp", "a.x/c.3db", "A/z.cmp",     "a0.CMP",
                                             "b.cmp",   "c.cmp",     "C/d/e/f.cmp", "folder.cmp/inner.cmp",
                                             "X.CMP",   "y.3DB"};
  EXPECT_EQ(Relatives(models), expected);
  for (const bw::TWalkedFile& file : models.Files)
    EXPECT_EQ(file.Path, dir.Path().string() + kSep + SystemRelative(file.Relative));
  EXPECT_TRUE(models.Skipped.empty());

  const bw::TFolderWalk materials = bw::WalkFolder(dir.Path().string(), bw::kMaterialEndings);
  EXPECT_EQ(Relatives(materials), (std::vector<std::string>{"mats/Hull.MAT", "ship.mat"}));
}

TEST(FolderWalk, EmptyTreesGiveNothing) {
  TTempDir dir;
  EXPECT_TRUE(bw::WalkFolder(dir.Path().string(), bw::kModelEndings).Files.empty());
  MakeFiles(dir.Path(), {"a/b/notes.txt", "a/c/ship.mat"});
  const bw::TFolderWalk walk = bw::WalkFolder(dir.Path().string(), bw::kModelEndings);
  EXPECT_TRUE(walk.Files.empty());
  EXPECT_TRUE(walk.Skipped.empty());
}

TEST(FolderWalk, JoinsTheFolderAsGiven) {
  TTempDir dir;
  MakeFiles(dir.Path(), {"top/a/b.cmp"});
  const TInFolder here(dir.Path());
  const std::string rest = std::string("a") + kSep + "b.cmp";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"top", "top" + std::string(kSep) + rest},
      {"top/", "top/" + rest},
      {"top/.", "top/." + std::string(kSep) + rest},
#ifdef _WIN32
      {"top\\", "top\\" + rest},
#endif
  };
  for (const auto& [folder, path] : cases) {
    const bw::TFolderWalk walk = bw::WalkFolder(folder, bw::kModelEndings);
    ASSERT_EQ(walk.Files.size(), 1u) << folder;
    EXPECT_EQ(walk.Files[0].Path, path);
    EXPECT_EQ(walk.Files[0].Relative, "a/b.cmp");
  }
  const TInFolder inTop(dir.Path() / "top");
  const std::vector<std::pair<std::string, std::string>> current = {{".", "." + std::string(kSep) + rest},
                                                                    {"", rest}};
  for (const auto& [folder, path] : current) {
    const bw::TFolderWalk walk = bw::WalkFolder(folder, bw::kModelEndings);
    ASSERT_EQ(walk.Files.size(), 1u) << folder;
    EXPECT_EQ(walk.Files[0].Path, path);
  }
}

TEST(FolderWalk, TakesAFileReachedTwiceOnceAtItsFirstPlace) {
  TTempDir dir;
  MakeFiles(dir.Path(), {"b/ship.cmp", "c/other.cmp"});
  fs::create_directory(dir.Path() / "a");
  fs::create_hard_link(dir.Path() / "b/ship.cmp", dir.Path() / "a/hard.cmp");
  fs::create_hard_link(dir.Path() / "b/ship.cmp", dir.Path() / "c/twin.cmp");
  const bw::TFolderWalk walk = bw::WalkFolder(dir.Path().string(), bw::kModelEndings);
  EXPECT_EQ(Relatives(walk), (std::vector<std::string>{"a/hard.cmp", "c/other.cmp"}));
}

TEST(FolderWalk, AFolderThatCannotBeListedIsToldNotFailed) {
  TTempDir dir;
  MakeFiles(dir.Path(), {"file.cmp"});
  for (const std::string& folder : {dir.File("missing"), dir.File("file.cmp")}) {
    const bw::TFolderWalk walk = bw::WalkFolder(folder, bw::kModelEndings);
    EXPECT_TRUE(walk.Files.empty());
    ASSERT_EQ(walk.Skipped.size(), 1u) << folder;
    EXPECT_EQ(walk.Skipped[0].Reason, bw::TWalkSkip::FolderNotListed);
    EXPECT_EQ(walk.Skipped[0].Relative, "");
    EXPECT_EQ(walk.Skipped[0].Path, folder);
    EXPECT_FALSE(walk.Skipped[0].Detail.empty());
  }
}

// A tree deeper than the ANSI calls' path limit on Windows.
TEST(FolderWalk, WalksDeepTrees) {
  TTempDir dir;
  std::string relative;
  for (int depth = 0; depth < 80; ++depth) relative += "deeper/";
  relative += "m.cmp";
  fs::path root = dir.Path();
#ifdef _WIN32
  root = L"\\\\?\\" + fs::absolute(root).wstring();
#endif
  MakeFiles(root, {relative.c_str()});
  const bw::TFolderWalk walk = bw::WalkFolder(dir.Path().string(), bw::kModelEndings);
  EXPECT_TRUE(walk.Skipped.empty());
  ASSERT_EQ(walk.Files.size(), 1u);
  EXPECT_EQ(walk.Files[0].Relative, relative);
  EXPECT_EQ(walk.Files[0].Path, dir.Path().string() + kSep + SystemRelative(relative));
  // Too long for the scratch folder's own clean-up on Windows.
  std::error_code ec;
  fs::remove_all(root / "deeper", ec);
}

#ifdef _WIN32

TEST(FolderWalk, NamesTheCodePageCannotHoldAreTold) {
  if (::GetACP() == CP_UTF8) GTEST_SKIP() << "the code page holds every name";
  TTempDir dir;
  MakeFiles(dir.Path(), {"plain.cmp"});
  // Tamil letters are in no ANSI code page.
  const std::wstring tamil = L"\u0B95";
  std::ofstream(dir.Path() / (tamil + L".cmp")) << "x";
  std::ofstream(dir.Path() / (tamil + L".txt")) << "x";
  fs::create_directory(dir.Path() / tamil);
  std::ofstream(dir.Path() / tamil / L"inner.cmp") << "x";
  const bw::TFolderWalk walk = bw::WalkFolder(dir.Path().string(), bw::kModelEndings);
  EXPECT_EQ(Relatives(walk), std::vector<std::string>{"plain.cmp"});
  ASSERT_EQ(walk.Skipped.size(), 2u);
  EXPECT_EQ(walk.Skipped[0].Reason, bw::TWalkSkip::FolderNameNotHeld);
  EXPECT_EQ(walk.Skipped[1].Reason, bw::TWalkSkip::FileNameNotHeld);
  EXPECT_EQ(walk.Skipped[1].Relative, walk.Skipped[0].Relative + ".cmp");
}

#else

TEST(FolderWalk, FollowsLinksToFilesButNotToFolders) {
  TTempDir dir;
  TTempDir outside;
  MakeFiles(dir.Path(), {"tree/real/a.cmp"});
  MakeFiles(outside.Path(), {"o.cmp", "linked.cmp"});
  const fs::path tree = dir.Path() / "tree";
  fs::create_directory_symlink("../real", tree / "real/loop");
  fs::create_directory_symlink(outside.Path(), tree / "out");
  fs::create_symlink(outside.File("linked.cmp"), tree / "b.cmp");
  fs::create_symlink(tree / "gone.cmp", tree / "dangling.cmp");
  const bw::TFolderWalk walk = bw::WalkFolder(tree.string(), bw::kModelEndings);
  EXPECT_EQ(Relatives(walk), (std::vector<std::string>{"b.cmp", "real/a.cmp"}));
  ASSERT_EQ(walk.Skipped.size(), 1u);
  EXPECT_EQ(walk.Skipped[0].Relative, "dangling.cmp");
  EXPECT_EQ(walk.Skipped[0].Reason, bw::TWalkSkip::FileNotReached);

  // The folder named by the user is taken even when it is a link; a file
  // reached both as itself and through a link counts once.
  fs::create_directory_symlink(tree, dir.Path() / "named");
  fs::create_symlink(tree / "real/a.cmp", tree / "real/A2.cmp");
  const bw::TFolderWalk named = bw::WalkFolder((dir.Path() / "named").string(), bw::kModelEndings);
  EXPECT_EQ(Relatives(named), (std::vector<std::string>{"b.cmp", "real/a.cmp"}));
}

TEST(FolderWalk, AFolderBelowThatCannotBeListedIsTold) {
  TTempDir dir;
  MakeFiles(dir.Path(), {"locked/a.cmp", "open/b.cmp"});
  const fs::path locked = dir.Path() / "locked";
  fs::permissions(locked, fs::perms::none);
  std::error_code ec;
  fs::directory_iterator probe(locked, ec);
  if (!ec) {
    fs::permissions(locked, fs::perms::owner_all);
    GTEST_SKIP() << "permissions do not bind this user";
  }
  const bw::TFolderWalk walk = bw::WalkFolder(dir.Path().string(), bw::kModelEndings);
  fs::permissions(locked, fs::perms::owner_all);
  EXPECT_EQ(Relatives(walk), std::vector<std::string>{"open/b.cmp"});
  ASSERT_EQ(walk.Skipped.size(), 1u);
  EXPECT_EQ(walk.Skipped[0].Relative, "locked");
  EXPECT_EQ(walk.Skipped[0].Path, locked.string());
  EXPECT_EQ(walk.Skipped[0].Reason, bw::TWalkSkip::FolderNotListed);
}

#endif
