// A folder of models converted in one run: the same files as each model's
// own run, the same bytes whatever the number of workers, names that would
// collide kept apart, failures that end one model only.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

#include "cmp_builder.h"
#include "test_support.h"
#include "version.h"

using namespace bwtest;

namespace {

const std::string kBanner = std::string(bw::kBanner) + "\n";
const std::string kIni = std::string(kAllOnIni) + "Preview=.svg, ON\r\nStrMat=M%i %1:s\r\nModelMat=ON\r\nTextures=ON\r\nFolderMat=ON\r\n";

Bytes Sample() {
  return ReadFileBytes(std::string(BODWRIGHT_SOURCE_DIR) + "/examples/sample.cmp");
}

// A TGA image of 4 x 4 texels of one grey, as a texture library holds it.
Bytes BoxImage(uint8_t shade) {
  Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0x20};
  b.insert(b.end(), 4 * 4 * 3, shade);
  return b;
}

// A model naming its one material's texture "hull", with its own image of it.
Bytes HullModel(uint8_t shade) {
  return MaterialsModel({"A"}, {MaterialLibrary({{"A", "hull.tga"}}),
                                Folder("Texture library", {Folder("hull.tga", {Leaf("MIP0", Bytes(40, shade))})})});
}

// Every file below `dir` but the inputs, with the date lines of model BOD
// files taken out.
std::map<std::string, std::string> Outputs(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (ext == ".cmp" || ext == ".3db" || ext == ".mat" || ext == ".ini") continue;
    std::string text = ReadFileText(entry.path().string());
    const size_t date = text.find("\r\n// 20");
    if (date != std::string::npos) text.erase(date, text.find("\r\n", date + 2) - date);
    files[fs::relative(entry.path(), dir).generic_string()] = text;
  }
  return files;
}

void RemoveOutputs(const fs::path& dir) {
  for (const auto& [name, text] : Outputs(dir)) fs::remove(dir / name);
}

// The settings, `more` first (the first of a key counts).
std::string Ini(int jobs, const std::string& more = {}) {
  const std::string head = "[system]\r\n";
  return head + more + "Jobs=" + std::to_string(jobs) + "\r\n" + kIni.substr(head.size());
}

}  // namespace

TEST(FolderRun, OneModelFolderWritesWhatItsOwnRunWrites) {
  TTempDir dir;
  const fs::path top = dir.Path() / "top";
  fs::create_directories(top);
  WriteFileBytes((top / "ship.cmp").string(), HullModel(7));
  std::string single, folder;
  ASSERT_EQ(RunInProcess(dir.Path(), Ini(1), {(top / "ship.cmp").string()}, single), 0) << single;
  const auto files = Outputs(top);
  RemoveOutputs(top);
  ASSERT_EQ(RunInProcess(dir.Path(), Ini(1), {top.string()}, folder), 0) << folder;
  EXPECT_EQ(Outputs(top), files);
  EXPECT_EQ(folder.substr(0, folder.find("\n== SUMMARY")),
            kBanner + "== " + (top / "ship.cmp").string() + " ==\n" + single.substr(kBanner.size()));
}

TEST(FolderRun, SameBytesWhateverTheWorkersAndCollisionsKeptApart) {
  TTempDir dir;
  const fs::path top = dir.Path() / "top";
  const Bytes sample = Sample();
  const std::vector<std::pair<std::string, Bytes>> inputs = {
      // Two names differing only in their extension, each with its own image
      // of "hull": the first in model order writes both its outputs and the
      // image.
      {"a/x.3db", HullModel(1)}, {"a/x.cmp", HullModel(2)},
      // A third model already named as the second would be renamed.
      {"b/y.3db", sample}, {"b/Y.cmp", sample}, {"b/y_cmp.cmp", sample},
      // A damaged model and one without mesh data among good ones.
      {"b/cut.cmp", Bytes(sample.begin(), sample.begin() + 300)}, {"b/nomesh.cmp", BuildUtf({Folder("x")})},
      // Another folder writes its own image of the same name.
      {"c/z.cmp", HullModel(3)},
      {"mats/good.mat", BuildUtf({MaterialLibrary({{"B", "b.tga"}})})},
      {"mats/bad.mat", Bytes(sample.begin(), sample.begin() + 200)},
  };
  for (const auto& [name, bytes] : inputs) {
    fs::create_directories((top / name).parent_path());
    WriteFileBytes((top / name).string(), bytes);
  }
  const auto path = [&](const std::string& rel) { return (top / rel).make_preferred().string(); };

  std::string one, four;
  EXPECT_EQ(RunInProcess(dir.Path(), Ini(1), {top.string()}, one), 1);
  const auto files = Outputs(top);
  RemoveOutputs(top);
  EXPECT_EQ(RunInProcess(dir.Path(), Ini(4), {top.string()}, four), 1);
  EXPECT_EQ(four, one);
  EXPECT_EQ(Outputs(top), files);

  EXPECT_EQ(files.at("a/hull.tga"), std::string(40, '\1'));
  EXPECT_EQ(files.at("c/hull.tga"), std::string(40, '\3'));
  EXPECT_EQ(files.count("a/x_cmp_00.bod") + files.count("a/x_00.bod") + files.count("b/y_cmp_00.bod"), 3u);
  EXPECT_EQ(files.count("b/Y_cmp_00.bod"), 0u);
  // The damaged material file is named once, before the first model.
  EXPECT_EQ(one.find(kBanner + "  Error : material file " + path("mats/bad.mat") + " is damaged.\n== " +
                     path("a/x.3db") + " ==\n"),
            0u);
  for (const std::string& line : std::vector<std::string>{
           "  Note : " + path("a/x.cmp") + " writes its outputs as x_cmp, as " + path("a/x.3db") +
               " writes those of x.\n",
           "  Error : the outputs of " + path("b/Y.cmp") + " would replace those of " + path("b/y_cmp.cmp") + ".\n",
           "  models found: 8\n  converted: 5\n  without mesh data: 1\n  failed: 2\n",
           "    " + path("b/cut.cmp") + ": Error! Unknown structure/format tables or file damage!\n",
           "  material files used: 1, left out: 1\n    " + path("mats/bad.mat") + "\n",
       })
    EXPECT_NE(one.find(line), std::string::npos) << line << "\n" << one;
}

TEST(FolderRun, PngPicturesSameBytesWhateverTheWorkers) {
  // Models in four folders drawing one material file's image, which the
  // workers share, and their own images.
  TTempDir dir;
  const fs::path top = dir.Path() / "top";
  fs::create_directories(top);
  WriteFileBytes((top / "shared.mat").string(),
                 BuildUtf({MaterialLibrary({{"A", "hull.tga"}}),
                           Folder("Texture library", {Folder("hull.tga", {Leaf("MIP0", BoxImage(9))})})}));
  for (int i = 0; i < 8; ++i) {
    const fs::path model = top / std::to_string(i % 4) / ("m" + std::to_string(i) + ".cmp");
    fs::create_directories(model.parent_path());
    WriteFileBytes(model.string(), i % 2 ? Sample() : HullModel(static_cast<uint8_t>(i)));
  }
  std::string one, four;
  const std::string png = "Preview=.png, ON\r\n";
  EXPECT_EQ(RunInProcess(dir.Path(), Ini(1, png), {top.string()}, one), 0) << one;
  const auto files = Outputs(top);
  RemoveOutputs(top);
  EXPECT_EQ(RunInProcess(dir.Path(), Ini(4, png), {top.string()}, four), 0) << four;
  EXPECT_EQ(four, one);
  EXPECT_TRUE(Outputs(top) == files);
  EXPECT_EQ(std::count_if(files.begin(), files.end(), [](const auto& f) { return f.first.ends_with(".png"); }), 16);
}

TEST(FolderRun, OutDirAndTheGuardOfEveryModel) {
  for (const bool absolute : {false, true}) {
    TTempDir dir;
    const fs::path top = dir.Path() / "mods" / "data";
    fs::create_directories(top / "ships");
    WriteFileBytes((top / "ships" / "a.cmp").string(), HullModel(5));
    const std::string outDir = absolute ? (dir.Path() / "abs").string() : "out";
    std::string console;
    EXPECT_EQ(RunInProcess(dir.Path(), Ini(2, "OutDir=" + outDir + "\r\n"), {top.string()}, console), 0) << console;
    const fs::path out = absolute ? dir.Path() / "abs" : dir.Path() / "mods" / "out";
    EXPECT_TRUE(Outputs(top).empty());
    EXPECT_EQ(Outputs(out).count("ships/a_00.bod") + Outputs(out).count("ships/hull.tga"), 2u) << console;
  }

  // No output of a model may replace another model of the run.
  TTempDir dir;
  WriteFileBytes(dir.File("a.cmp"), Sample());
  WriteFileBytes(dir.File("a_00.3db"), Sample());
  std::string console;
  EXPECT_EQ(RunInProcess(dir.Path(), Ini(2, "GenBod=.3db, ON\r\n"), {dir.Path().string()}, console), 1);
  EXPECT_NE(console.find("  Error : output file " + dir.File("a_00.3db") + " would overwrite an input file.\n"),
            std::string::npos)
      << console;
  EXPECT_EQ(ReadFileBytes(dir.File("a_00.3db")), Sample());
}

TEST(FolderRun, AWriteThatFailsNamesItsFile) {
  // A file where OutDir needs a folder: every model's first output fails,
  // and the model's reason names that output.
  TTempDir dir;
  const fs::path top = dir.Path() / "top";
  fs::create_directories(top);
  for (const char* name : {"a.cmp", "b.cmp"}) WriteFileBytes((top / name).string(), HullModel(4));
  WriteFileText(dir.File("out"), "in the way");
  std::string console;
  EXPECT_EQ(RunInProcess(dir.Path(), Ini(1, "OutDir=out\r\n"), {top.string()}, console), 1);
  for (const char* model : {"a", "b"}) {
    const std::string line =
        "  Error : cannot write " + (dir.Path() / "out" / (std::string(model) + ".dbg")).string() + ": ";
    const size_t at = console.find(line);
    ASSERT_NE(at, std::string::npos) << console;
    const std::string said = console.substr(at, console.find('\n', at) - at);
    EXPECT_EQ(console.compare(at + said.size(), 58, "\n  Error! Unknown structure/format tables or file damage!\n"), 0);
    // The summary gives that line as the model's reason.
    EXPECT_NE(console.find("    " + (top / (std::string(model) + ".cmp")).string() + ": " + said.substr(2) + "\n"),
              std::string::npos)
        << console;
  }
}

#ifndef _WIN32
TEST(FolderRun, MaterialFolderEntriesNotTakenAreNamedInASingleModelRun) {
  TTempDir dir;
  fs::create_directories(dir.Path() / "mats");
  WriteFileBytes(dir.File("mats/good.mat"), BuildUtf({MaterialLibrary({{"B", "b.tga"}})}));
  fs::create_symlink(dir.File("nowhere"), dir.File("mats/gone.mat"));
  WriteFileBytes(dir.File("m.cmp"), HullModel(2));
  std::string console;
  EXPECT_EQ(RunInProcess(dir.Path(), Ini(1), {dir.File("m.cmp"), dir.File("mats")}, console), 0);
  EXPECT_EQ(console.find(kBanner + "  Warning : " + dir.File("mats/gone.mat") + " skipped: it leads to no file.\n  0: "),
            0u)
      << console;

  // A folder run counts it as skipped, and its page says it is a material
  // file.
  fs::create_directories(dir.Path() / "top");
  fs::rename(dir.File("m.cmp"), dir.File("top/m.cmp"));
  fs::create_symlink(dir.File("nowhere"), dir.File("top/lost.mat"));
  console.clear();
  EXPECT_EQ(RunInProcess(dir.Path(), Ini(1, "Page=.html, ON\r\n"), {dir.File("top")}, console), 1);
  EXPECT_NE(console.find("  skipped: 1\n    " + dir.File("top/lost.mat") + ": it leads to no file\n"), std::string::npos)
      << console;
  EXPECT_NE(ReadFileText(dir.File("top/top.html")).find("skipped material file"), std::string::npos);
}

// The program as a process, its standard output and error kept in files,
// interrupted once its output holds `after`.
TEST(FolderRun, InterruptStopsCleanlyAndNoProgressLineOffATerminal) {
  TTempDir dir;
  const fs::path top = dir.Path() / "top";
  for (int i = 0; i < 60; ++i) {
    fs::create_directories(top / std::to_string(i));
    WriteFileBytes((top / std::to_string(i) / "m.cmp").string(), Sample());
  }
  const std::string program = CopyProgramTo(dir.Path());
  WriteFileText(dir.File("bodwright.ini"), Ini(1));
  const std::string out = dir.File("out.txt"), err = dir.File("err.txt");
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) ::_exit(99);
    ::execl(program.c_str(), program.c_str(), top.c_str(), static_cast<char*>(nullptr));
    ::_exit(98);
  }
  // After the first model's block, before the last.
  for (int wait = 0; wait < 2000 && (!fs::exists(out) || ReadFileText(out).find("== ") == std::string::npos); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  const std::string console = ReadFileText(out);
  EXPECT_EQ(ReadFileText(err), "");
  if (WIFEXITED(status)) GTEST_SKIP() << "the run ended before the interrupt";
  // Ended by the signal, as a shell must see it, after its summary was
  // written out whole.
  ASSERT_TRUE(WIFSIGNALED(status)) << console;
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  EXPECT_NE(console.find("\n  stopped: "), std::string::npos) << console;
  EXPECT_NE(console.find("\n  Interrupted.\n"), std::string::npos) << console;
  for (const auto& entry : fs::recursive_directory_iterator(top)) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    if (entry.path().extension() == ".bod") {
      EXPECT_NE(ReadFileText(entry.path().string()).find("/Mark end of body\r\n"), std::string::npos) << name;
    }
  }
}
#endif

#ifndef _WIN32
// "\\" and ":" are bytes of a name here, and a name is its bytes whatever
// their encoding: every link of the page leads to its file.
TEST(FolderRun, PageLinksLeadToTheFilesWhateverTheirNames) {
  TTempDir dir;
  const fs::path top = dir.Path() / "top";
  fs::create_directories(top / "a:b");
  for (const char* name : {"a:b.cmp", "c\\d.cmp", "caf\xE9.cmp", "a:b/e\\f.cmp"})
    WriteFileBytes((top / name).string(), HullModel(7));
  std::string console;
  ASSERT_EQ(RunInProcess(dir.Path(), Ini(1, "Page=.html, ON\r\n"), {top.string()}, console), 0) << console;
  const std::string page = ReadFileText((top / "top.html").string());
  std::vector<std::string> links;
  const std::regex href("href=\"\\./([^\"]*)\"");
  for (std::sregex_iterator it(page.begin(), page.end(), href), end; it != end; ++it) {
    links.push_back((*it)[1]);
    std::string name;
    for (size_t i = 0; i < links.back().size(); ++i) {
      if (links.back()[i] != '%') {
        name += links.back()[i];
        continue;
      }
      name += static_cast<char>(std::stoi(links.back().substr(i + 1, 2), nullptr, 16));
      i += 2;
    }
    EXPECT_TRUE(fs::is_regular_file(top / name)) << name;
  }
  for (const std::string link : {"a%3Ab_00.svg", "c%5Cd_00.bod", "caf%E9_00.svg", "a%3Ab/e%5Cf_00.bod"})
    EXPECT_NE(std::find(links.begin(), links.end(), link), links.end()) << link << "\n" << page;
}
#endif
