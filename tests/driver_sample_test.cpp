// The bundled sample converted end to end with every output on, the
// pictures too, compared byte for byte with the expected files in
// tests/golden/sample (the date line of the model BOD files masked). After a
// deliberate change of an output form, run this test with
// BODWRIGHT_UPDATE_GOLDEN=1 to rewrite the expected files, and read the diff
// before committing it. README shows the golden picture of the sample.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>

#include <zlib.h>

#include "test_support.h"

using namespace bwtest;

namespace {

const fs::path kSourceDir = BODWRIGHT_SOURCE_DIR;
const fs::path kGoldenDir = kSourceDir / "tests" / "golden" / "sample";

// The third line of a model BOD file is the run's date and time.
std::string MaskDate(const std::string& name, std::string text) {
  if (fs::path(name).extension() != ".bod") return text;
  size_t pos = 0;
  for (int line = 0; line < 2 && pos != std::string::npos; ++line) pos = text.find("\r\n", pos) + 2;
  const size_t end = text.find("\r\n", pos);
  if (pos == std::string::npos || end == std::string::npos || text.compare(pos, 3, "// ") != 0) return text;
  return text.replace(pos, end - pos, "// <date>");
}

// "" when equal, else the first differing line of both.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  if (expected == actual) return "";
  size_t line = 1, i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) {
    if (expected[i] == '\n') ++line;
    ++i;
  }
  auto lineAt = [](const std::string& s, size_t at) {
    const size_t b = s.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t start = (b == std::string::npos || at == 0) ? 0 : b + 1;
    return s.substr(start, s.find('\n', start) - start);
  };
  return "line " + std::to_string(line) + ":\n  expected: " + lineAt(expected, i) +
         "\n  actual:   " + lineAt(actual, i);
}

// Every output on, the pictures too.
const std::string kSampleIni = std::string(kAllOnIni) + "Preview=.svg, ON\r\n";

void CopySample(const TTempDir& dir) {
  fs::copy_file(kSourceDir / "examples" / "sample.cmp", dir.Path() / "sample.cmp");
  fs::copy_file(kSourceDir / "examples" / "sample.mat", dir.Path() / "sample.mat");
}

// Compares every file the conversion wrote into `dir`, and the console as an
// in-process run captures it (unless it is not given), with the expected
// files; or rewrites them when asked to and allowed.
void CompareWithGolden(const TTempDir& dir, const std::optional<std::string>& console, bool mayUpdate) {
  std::set<std::string> produced;
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    const std::string name = entry.path().filename().string();
    if (name != "sample.cmp" && name != "sample.mat" && name != "bodwright.ini") produced.insert(name);
  }
  // The console, with the scratch folder's path taken out.
  if (console) {
    produced.insert("console.txt");
    WriteFileText(dir.File("console.txt"), *console);
  }

  const bool update = mayUpdate && std::getenv("BODWRIGHT_UPDATE_GOLDEN") != nullptr;
  if (update) {
    fs::remove_all(kGoldenDir);
    fs::create_directories(kGoldenDir);
  }
  std::set<std::string> expectedNames;
  if (fs::exists(kGoldenDir))
    for (const auto& entry : fs::directory_iterator(kGoldenDir))
      expectedNames.insert(entry.path().filename().string());
  if (!console) expectedNames.erase("console.txt");
  if (!update) {
    EXPECT_EQ(produced, expectedNames);
  }

  // The folder as the program writes it, with the platform's separator.
  const std::string folder = (dir.Path() / "").string();
  for (const std::string& name : produced) {
    std::string actual = MaskDate(name, ReadFileText(dir.File(name)));
    // Paths inside the texts name the scratch folder; the expected files say "<dir>/".
    for (size_t at; (at = actual.find(folder)) != std::string::npos;)
      actual.replace(at, folder.size(), "<dir>/");
    if (update) {
      WriteFileText((kGoldenDir / name).string(), actual);
      continue;
    }
    if (!expectedNames.count(name)) continue;
    const std::string expected = ReadFileText((kGoldenDir / name).string());
    EXPECT_EQ(FirstDifference(expected, actual), "") << name;
  }
}

}  // namespace

TEST(Sample, ConvertsToTheExpectedFiles) {
  TTempDir dir;
  CopySample(dir);
  std::string console;
  const int status =
      RunInProcess(dir.Path(), kSampleIni, {dir.File("sample.cmp"), dir.File("sample.mat")}, console);
  ASSERT_EQ(status, 0) << console;
  CompareWithGolden(dir, console, true);
}

// The built program, with its settings file beside it, writes the same
// bytes, and its console lines end with the system's line break.
TEST(Sample, TheProgramItselfWritesTheSameFiles) {
  TTempDir dir, tools;
  CopySample(dir);
  const std::string program = CopyProgramTo(tools.Path());
  WriteFileText((tools.Path() / "bodwright.ini").string(), kSampleIni);
  const auto r = RunProcess(program, {dir.File("sample.cmp"), dir.File("sample.mat")});
  ASSERT_EQ(r.Status, 0) << r.Out;
  EXPECT_EQ(r.Out, Printed(ReadFileText((kGoldenDir / "console.txt").string())));
  CompareWithGolden(dir, std::nullopt, false);
}

TEST(Sample, CommittedFilesAreTheGeneratorsOutput) {
  TTempDir dir;
  const auto r = RunProcess(MAKE_SAMPLE_EXE, {dir.Path().string()});
  ASSERT_EQ(r.Status, 0);
  for (const char* name : {"sample.cmp", "sample.mat"})
    EXPECT_TRUE(ReadFileBytes(dir.File(name)) == ReadFileBytes((kSourceDir / "examples" / name).string()))
        << name;
}

// The PNG pictures of the sample: the same pixels as the expected ones (and,
// with the zlib that wrote those, the same bytes: also from the Windows
// program). BODWRIGHT_UPDATE_GOLDEN=1 rewrites them too.
TEST(Sample, PngPicturesDrawTheExpectedPixels) {
  TTempDir dir;
  CopySample(dir);
  std::string console;
  const std::string ini = std::string(kAllOnIni) + "Preview=.png, ON\r\nModelMat=ON\r\n";
  ASSERT_EQ(RunInProcess(dir.Path(), ini, {dir.File("sample.cmp"), dir.File("sample.mat")}, console), 0) << console;
  const fs::path golden = kSourceDir / "tests" / "golden" / "sample_png";
  for (const char* name : {"sample_00.png", "sample_01.png"}) {
    const std::vector<uint8_t> actual = ReadFileBytes(dir.File(name));
    if (std::getenv("BODWRIGHT_UPDATE_GOLDEN") != nullptr) {
      fs::create_directories(golden);
      WriteFileBytes((golden / name).string(), actual);
      continue;
    }
    const std::vector<uint8_t> expected = ReadFileBytes((golden / name).string());
    const TPngPixels pixels = DecodePng(actual);
    ASSERT_GT(pixels.Width, 0) << name;
    EXPECT_TRUE(pixels == DecodePng(expected)) << name;
    if (ReadFileText((golden / "zlib.txt").string()) == std::string(zlibVersion()) + "\n") {
      EXPECT_TRUE(actual == expected) << name;
    }
  }
  if (std::getenv("BODWRIGHT_UPDATE_GOLDEN") != nullptr)
    WriteFileText((golden / "zlib.txt").string(), std::string(zlibVersion()) + "\n");
}
