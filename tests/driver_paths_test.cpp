// The program installed as users keep it: in a tools folder with its
// settings file beside it, converting models elsewhere that are named by
// paths of every form the system accepts (on Windows: drive letters,
// backslashes, forward slashes, blanks).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

#include "cmp_builder.h"
#include "driver/output_places.h"
#include "test_support.h"
#include "version.h"

using namespace bwtest;

namespace {

// One block of one mesh, one triangle; no part table.
Bytes SmallModelBlock() {
  TBlockSpec block;
  block.Meshes = {{0x1234, 0, 2, 3}};
  block.Triangles = {{0, 1, 2}};
  for (int i = 0; i < 3; ++i) {
    const auto v = VertexRecord(32, float(i), 0, 0, 0, 0);
    block.Vertices.insert(block.Vertices.end(), v.begin(), v.end());
  }
  return BuildMeshBlock(block);
}

// The block's size as the console line writes it (six places).
const std::string kBlockSize = [] {
  const std::string size = std::to_string(SmallModelBlock().size());
  return std::string(6 - size.size(), ' ') + size;
}();

}  // namespace

TEST(ToolsFolder, SettingsBesideTheProgramOutputsBesideTheModel) {
  TTempDir dir;
  const fs::path tools = dir.Path() / "tools";
  const fs::path models = dir.Path() / "my models";
  fs::create_directories(tools);
  fs::create_directories(models);
  const std::string program = CopyProgramTo(tools);
  WriteFileText((tools / "bodwright.ini").string(),
                "[system]\r\nGenBod=.bod, ON\r\nGenMesh=.txt, ON\r\nGenLog=.log, ON\r\n");
  WriteFileBytes((models / "ship.cmp").string(),
                 BuildUtf({Folder("Ship.lod0.vms", {Leaf("VMeshData", SmallModelBlock())})}));

  // The native form (on Windows "C:\...\my models\ship.cmp") and the form
  // with forward slashes; the names written into the log keep the form given.
  for (const std::string& input : {(models / "ship.cmp").string(), (models / "ship.cmp").generic_string()}) {
    SCOPED_TRACE(input);
    const std::string base = input.substr(0, input.size() - 4);
    const auto r = RunProcess(program, {input});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, Printed(std::string(bw::kBanner) + "\n  0: ship.lod0.vms\n  Data Size = " + kBlockSize +
                             ";   Meshes = 1\n"));
    EXPECT_EQ(FolderListing(models), "ship.cmp;ship.log;ship_00.bod;ship_00_00.txt;");
    EXPECT_EQ(ReadFileText((models / "ship.log").string()),
              "Group:00_00 file:" + base + "_00_00.txt; pos = (0, 0, 0);\r\n");
    const std::string bod = ReadFileText((models / "ship_00.bod").string());
    EXPECT_EQ(
        bod.substr(0, bod.find("\r\n", bod.find("\r\n") + 2) + 2),
        "// " + std::string(bw::kBanner) + "\r\n// Generated from " + input + ", LOD = ship.lod0.vms\r\n");
  }
  EXPECT_EQ(FolderListing(tools), ProgramFileName() == "bodwright.exe" ? "bodwright.exe;bodwright.ini;"
                                                                       : "bodwright;bodwright.ini;");
}

#ifndef _WIN32
// Paths as POSIX joins them.
TEST(OutputPlaces, OutDirAndThePageOfAFolderRun) {
  const std::string cwd = fs::current_path().filename().string();
  const std::vector<std::array<std::string, 3>> outDirs = {
      // out dir, argument, the outputs' folder
      {"out", "mods/data", "mods/out/"},        {"out", "mods/data/", "mods/out/"},
      {"out", "mods/data/ship.cmp", "mods/data/out/"}, {"out", "ship.cmp", "out/"},
      {"/abs/out", "mods/data", "/abs/out/"},  {"out", ".", "./../out/"},
      {"c:out", "a:b/d\\e", "a:b/c:out/"},  // no drives: ":" and "\\" are bytes of a name
  };
  for (const auto& [outDir, argument, expected] : outDirs)
    EXPECT_EQ(bw::OutDirRoot(outDir, argument), expected) << outDir << " " << argument;
  const std::vector<std::array<std::string, 3>> pages = {
      // folder, out dir, the page
      {"mods/data", "", "mods/data/data.html"}, {"mods/data/", "", "mods/data/data.html"},
      {"mods/data", "out", "mods/out/data.html"}, {".", "", "./" + cwd + ".html"},
      {"/", "", "/models.html"},                {"a:b", "", "a:b/a:b.html"},
      {"d\\e", "", "d\\e/d\\e.html"},
  };
  for (const auto& [folder, outDir, expected] : pages)
    EXPECT_EQ(bw::PagePath(folder, outDir, ".html"), expected) << folder << " " << outDir;
}
#endif

#ifdef _WIN32

namespace {

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string ReadWide(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// A modder's folders and models named in any script, whatever the ANSI code
// page holds: the program in a Cyrillic folder finds its settings beside
// itself, takes a Japanese model's name from its command line, and writes
// every output beside the model under the model's name, naming it in UTF-8
// inside the files and on redirected console text.
TEST(WideNames, ModelsAreConvertedBesideThemselvesUnderTheirNames) {
  TTempDir dir;
  const fs::path tools = dir.Path() / L"\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u0430";  // Program
  const fs::path models = dir.Path() / L"\u041C\u043E\u0434\u0435\u043B\u0438";                   // Models
  fs::create_directories(tools);
  fs::create_directories(models);
  fs::copy_file(ProgramPath(), tools / ProgramFileName());
  std::ofstream(tools / "bodwright.ini", std::ios::binary)
      << "[system]\r\nGenBod=.bod, ON\r\nGenMesh=.txt, ON\r\nGenLog=.log, ON\r\nDebug=.dbg, ON\r\n"
         "Preview=.svg, ON\r\nPage=.html, ON\r\n";
  const std::wstring ship = L"\u8239";  // ship
  fs::copy_file(fs::path(BODWRIGHT_SOURCE_DIR) / "examples" / "sample.cmp", models / (ship + L".cmp"));
  const std::string program = Utf8(tools / ProgramFileName());
  const std::string input = Utf8(models / (ship + L".cmp"));
  const std::string base = input.substr(0, input.size() - 4);

  const auto single = RunProcess(program, {input});
  ASSERT_EQ(single.Status, 0) << single.Out;
  for (const wchar_t* output :
       {L".dbg", L".log", L"_00.bod", L"_00.svg", L"_01.bod", L"_01.svg", L"_00_00.txt"})
    EXPECT_TRUE(fs::is_regular_file(models / (ship + output))) << Utf8(models / (ship + output));
  EXPECT_NE(ReadWide(models / (ship + L"_00.bod")).find("\r\n// Generated from " + input + ", LOD = "),
            std::string::npos);
  EXPECT_NE(ReadWide(models / (ship + L".log")).find(" file:" + base + "_00_00.txt; "), std::string::npos);

  // The folder run: the walk finds the model, the page links to its outputs
  // by their UTF-8 names, and the console piped here names it in UTF-8.
  const auto folder = RunProcess(program, {Utf8(models)});
  ASSERT_EQ(folder.Status, 0) << folder.Out;
  EXPECT_NE(folder.Out.find("\xE8\x88\xB9.cmp"), std::string::npos) << folder.Out;
  const fs::path page = models / (models.filename().wstring() + L".html");
  ASSERT_TRUE(fs::is_regular_file(page)) << folder.Out;
  EXPECT_NE(ReadWide(page).find("href=\"./%E8%88%B9_00.svg\""), std::string::npos);
}

#endif
