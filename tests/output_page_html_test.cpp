#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include <regex>
#include <string>

#include "output/page_html.h"
#include "support/errors.h"
#include "test_support.h"

using namespace bw;

namespace {

// A name meant to break out of text and attributes alike.
const std::string kMarkupName = "<b>x&y'\".3db";

struct TCase {
  std::string In;
  std::string Out;
};

}  // namespace

TEST(PageHtml, TextIsDecodedOneWayWholeAndEscaped) {
  const std::string fffd = "\xEF\xBF\xBD";
  const TCase cases[] = {
      {kMarkupName, "&lt;b&gt;x&amp;y&#39;&quot;.3db"},
      {"ships/na\xC3\xAFve \xF0\x9F\x9A\x80.cmp", "ships/na\xC3\xAFve \xF0\x9F\x9A\x80.cmp"},  // UTF-8 stays
      {"caf\xE9.cmp", "caf\xC3\xA9.cmp"},                                                      // Windows-1252
      {"\x80\x8A\x9F", "\xE2\x82\xAC\xC5\xA0\xC5\xB8"},                      // its 0x80..0x9F
      {"\xC3\xA9\xE9", "\xC3\x83\xC2\xA9\xC3\xA9"},                          // one bad byte: all 1252
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                      // overlong: not UTF-8
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                      // a surrogate: not UTF-8
      {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},                                  // cut short: not UTF-8
      {"\xF4\x90\x80\x80", "\xC3\xB4" + fffd + "\xE2\x82\xAC\xE2\x82\xAC"},  // over U+10FFFF
      {std::string("a\0b\tc\x7F", 6), "a" + fffd + "b" + fffd + "c" + fffd},
      {"\x81\x9D", fffd + fffd},  // unassigned in 1252: C1 controls
      {"\xC2\x85", fffd},         // a C1 control in UTF-8
      {"", ""},
  };
  for (const TCase& c : cases) EXPECT_EQ(PageHtmlText(c.In), c.Out) << c.In;
}

TEST(PageHtml, LinksAreRelativeAndEncodeEveryOtherByte) {
  const TCase cases[] = {
      {kMarkupName, "./%3Cb%3Ex%26y%27%22.3db"},
      {"ships/hawk_00.svg", "./ships/hawk_00.svg"},
      {"Az09-._~", "./Az09-._~"},
      {"odd names/100% #1?.bod", "./odd%20names/100%25%20%231%3F.bod"},
      {"javascript:alert(1)", "./javascript%3Aalert%281%29"},
      {"JAVASCRIPT:x", "./JAVASCRIPT%3Ax"},
      {"C:/models/x.svg", "./C%3A/models/x.svg"},
      {"//elsewhere/x.svg", ".///elsewhere/x.svg"},  // a path below the page, never a host
      {"a\\b.svg", "./a%5Cb.svg"},
      // The name's own bytes, whatever their encoding: on Windows names are
      // UTF-8 inside, as file URLs are read there.
      {"na\xC3\xAFve/\xC3\xBC.bod", "./na%C3%AFve/%C3%BC.bod"},
      {"caf\xE9.bod", "./caf%E9.bod"},
      {"\x80\x81.bod", "./%80%81.bod"},
      {std::string("a\0\n.svg", 7), "./a%00%0A.svg"},
  };
  const std::regex safe("\\./[A-Za-z0-9._~/%-]*");
  for (const TCase& c : cases) {
    const std::string link = PageLink(c.In);
    EXPECT_EQ(link, c.Out) << c.In;
    EXPECT_TRUE(std::regex_match(link, safe)) << link;
  }
}

TEST(PageHtml, FirstLineCarriesTheMarkerAndTheCharsetComesEarly) {
  TPage page;
  page.FolderName = std::string(2000, 'f');  // a long title may not push the charset back
  const std::string text = PageText(page);
  EXPECT_EQ(text.substr(0, text.find('\n')), std::string("<!DOCTYPE html>") + kPageMarker + "\r");
  // Browsers look for the encoding in the first 1024 bytes only.
  EXPECT_LT(text.find("<meta charset=\"utf-8\">"), 1024u - 30);
  EXPECT_NE(text.find("<h1>bodwright: " + std::string(2000, 'f') + "</h1>"), std::string::npos);
}

TEST(PageWrite, ReplacesItsOwnPageGuardedLikeEveryOutput) {
  bwtest::TTempDir dir;
  std::string console;
  TOutputGuard guard;
  guard.Console.Capture = &console;
  const std::string path = dir.File("run.html");
  TPage first, second;
  first.FolderName = "first";
  second.FolderName = "second";
  EXPECT_TRUE(WritePage(first, path, guard));
  EXPECT_TRUE(WritePage(second, path, guard));
  EXPECT_EQ(bwtest::ReadFileText(path), PageText(second));
  EXPECT_EQ(console, "");
  TFileSet inputs;
  inputs.Add(path);
  guard.Inputs = &inputs;
  EXPECT_THROW(WritePage(first, path, guard), EOverwriteError);
  EXPECT_EQ(console, "  Error : output file " + path + " would overwrite an input file.\n");
  EXPECT_EQ(bwtest::ReadFileText(path), PageText(second));
  EXPECT_EQ(bwtest::FolderListing(dir.Path()), "run.html;");
}

TEST(PageWrite, LeavesEveryOtherFileAlone) {
  const std::string marker = kPageMarker;
  const std::string others[] = {
      "<!DOCTYPE html>\r\n<p>my own notes</p>\r\n",
      "",
      "<!DOCTYPE html>\r\n" + marker + "\r\n",  // the marker, but not in the first line
      "\n" + marker,
      std::string(600, ' ') + marker,  // past what is read of the first line
  };
  for (const std::string& other : others) {
    bwtest::TTempDir dir;
    std::string console;
    TOutputGuard guard;
    guard.Console.Capture = &console;
    const std::string path = dir.File("run.html");
    bwtest::WriteFileText(path, other);
    EXPECT_FALSE(WritePage(TPage{}, path, guard));
    EXPECT_EQ(console, "  Warning : " + path + " is not a page of this program; it was left alone.\n");
    EXPECT_EQ(bwtest::ReadFileText(path), other);
    EXPECT_EQ(bwtest::FolderListing(dir.Path()), "run.html;");
  }
  bwtest::TTempDir dir;
  std::string console;
  TOutputGuard guard;
  guard.Console.Capture = &console;
  bwtest::fs::create_directories(dir.File("run.html/inner"));
  EXPECT_FALSE(WritePage(TPage{}, dir.File("run.html"), guard));
  EXPECT_EQ(console,
            "  Warning : " + dir.File("run.html") + " is not a page of this program; it was left alone.\n");
  EXPECT_EQ(bwtest::FolderListing(dir.File("run.html")), "inner;");
}

#ifndef _WIN32
// A page that cannot be written whole leaves the earlier page as it was
// and no temporary file behind.
TEST(PageWrite, NothingHalfWritten) {
  bwtest::TTempDir dir;
  TOutputGuard guard;
  const std::string path = dir.File("run.html");
  ASSERT_TRUE(WritePage(TPage{}, path, guard));
  const std::string before = bwtest::ReadFileText(path);
  TPage large;
  large.Models.resize(200);
  ASSERT_GT(PageText(large).size(), 2 * 8192u);

  // The child process reports through its exit status.
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{8192, 8192};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    try {
      WritePage(large, path, guard);
    } catch (const EFCreateError&) {
      ::_exit(0);
    }
    ::_exit(1);
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(bwtest::ReadFileText(path), before);
  EXPECT_EQ(bwtest::FolderListing(dir.Path()), "run.html;");
}
#endif
