// The program installed as users keep it: in a tools folder with its
// settings file beside it, converting models elsewhere that are named by
// paths of every form the system accepts (on Windows: drive letters,
// backslashes, forward slashes, blanks).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

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
