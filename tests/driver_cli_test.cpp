// The program as a user meets it: its command line, messages, exit statuses
// and the names it derives from the input path.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "cmp_builder.h"
#include "driver/driver.h"
#include "support/context.h"
#include "driver/model_job.h"
#include "driver/run_jobs.h"
#include "driver/run_state.h"
#include "test_support.h"
#include "version.h"
#include "support/path_names.h"

using namespace bwtest;

namespace {

const std::string kBannerLine = std::string(bw::kBanner) + "\n";
// The program's own file name, "bodwright.exe" on Windows.
const std::string kUsage = kBannerLine + "  use : " + ProgramFileName() + " file.cmp\n\n";
const std::string kNoSettingsNote = "  Note : no settings file beside the program: nothing was written.\n";

// A block of one triangle whose 32-byte vertices sit at x = 0, step, 2 step,
// each with the texture coordinate (u, v).
Bytes TriangleBlock(float step = 1, float u = 0, float v = 0) {
  TBlockSpec block;
  block.Meshes = {{0x1234, 0, 2, 3}};
  block.Triangles = {{0, 1, 2}};
  for (int i = 0; i < 3; ++i) {
    const auto rec = VertexRecord(32, step * float(i), 0, 0, u, v);
    block.Vertices.insert(block.Vertices.end(), rec.begin(), rec.end());
  }
  return BuildMeshBlock(block);
}

// A run of the program at `program`, in-process; returns its status.
int RunAt(const std::string& program, const std::vector<std::string>& args, std::string& console) {
  bw::TContext ctx;
  ctx.Console.Capture = &console;
  return bw::RunProgram(ctx, program, args);
}

}  // namespace

TEST(CommandLine, NoArgumentShowsUsage) {
  const auto r = RunProcess(ProgramPath(), {});
  EXPECT_EQ(r.Out, Printed(kUsage));
  EXPECT_EQ(r.Status, 2);
}

// Alone, the help and version arguments answer with status 0; beside other
// arguments, or spelt otherwise, they are file names.
TEST(CommandLine, HelpAndVersion) {
  TTempDir dir;
  const std::string program = dir.File("bodwright");
  const std::string file = dir.File("some.file");
  WriteFileText(file, "x");
  std::string help;
  ASSERT_EQ(RunAt(program, {"--help"}, help), 0);
  EXPECT_EQ(
      help.rfind(kBannerLine + "  use : bodwright <model or folder> [material file or folder ...]\n", 0), 0u);
  EXPECT_NE(help.find("\n                   " + program + ".ini (without it, nothing is written)\n"),
            std::string::npos)
      << help;
  EXPECT_NE(help.find("\n  README.md "), std::string::npos) << help;
  const struct {
    std::vector<std::string> Args;
    int Status;
    std::string Console;
  } cases[] = {
      {{"-h"}, 0, help},
      {{"/?"}, 0, help},
      {{"--version"}, 0, kBannerLine},
      {{"--help", file}, 1, kBannerLine + "  Error : file --help not found.\n"},
      {{"--HELP"}, 1, kBannerLine + "  Error : file --HELP not found.\n"},
  };
  for (const auto& c : cases) {
    std::string console;
    EXPECT_EQ(RunAt(program, c.Args, console), c.Status) << c.Args[0];
    EXPECT_EQ(console, c.Console);
  }
}

TEST(CommandLine, MissingFilesAreReportedMaterialFirst) {
  TTempDir dir;
  const std::string input = dir.File("ship.cmp");
  const std::string mat = dir.File("ship.mat");

  auto r = RunProcess(ProgramPath(), {input, mat});
  EXPECT_EQ(r.Out, Printed(kBannerLine + "  Error : file " + mat + " not found.\n"));
  EXPECT_EQ(r.Status, 1);

  r = RunProcess(ProgramPath(), {input});
  EXPECT_EQ(r.Out, Printed(kBannerLine + "  Error : file " + input + " not found.\n"));
  EXPECT_EQ(r.Status, 1);

  // A folder is a folder run, and a material folder names its files: each
  // says when it holds none.
  r = RunProcess(ProgramPath(), {dir.Path().string()});
  EXPECT_EQ(r.Out, Printed(kBannerLine + "  Error : no model in " + dir.Path().string() + ".\n"));
  EXPECT_EQ(r.Status, 1);
  WriteFileText(input, "x");
  r = RunProcess(ProgramPath(), {input, dir.Path().string()});
  EXPECT_EQ(r.Out, Printed(kBannerLine + "  Error : no material file in " + dir.Path().string() + ".\n"));
  EXPECT_EQ(r.Status, 1);
}

TEST(CommandLine, InputThatIsNoModel) {
  TTempDir dir;
  const std::string input = dir.File("notes.cmp");
  WriteFileText(input, "just some text, not a model");
  auto r = RunProcess(ProgramPath(), {input});
  EXPECT_EQ(r.Out, Printed(kBannerLine + "  Error: this file havnt VMeshLibrary!\n"));
  EXPECT_EQ(r.Status, 1);

  const std::string empty = dir.File("empty.cmp");
  WriteFileText(empty, "");
  r = RunProcess(ProgramPath(), {empty});
  EXPECT_EQ(r.Out, Printed(kBannerLine + "Cannot read file \"" + empty + "\". The file is empty.\n"));
  EXPECT_EQ(r.Status, 1);
}

TEST(CommandLine, NoSettingsFileMeansConsoleOnly) {
  TTempDir dir;
  const std::string program = CopyProgramTo(dir.Path());
  const std::string input = dir.File("box.cmp");
  WriteFileBytes(input, BuildUtf({Folder("Box.lod0.vms", {Leaf("VMeshData", TriangleBlock())})}));

  const auto r = RunProcess(program, {input});
  const std::string size = std::to_string(TriangleBlock().size());
  EXPECT_EQ(r.Out, Printed(kBannerLine + "  0: box.lod0.vms\n  Data Size = " +
                           std::string(6 - size.size(), ' ') + size + ";   Meshes = 1\n" + kNoSettingsNote));
  EXPECT_EQ(r.Status, 0);
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2u);  // the program and the model, nothing written
}

// The note closes every conversion without a settings file, whatever its
// outcome; not a run that ends before it, nor one with an empty settings file.
TEST(CommandLine, NoteOfTheMissingSettingsFile) {
  TTempDir dir;
  const std::string model = dir.File("box.cmp"), noMesh = dir.File("notes.cmp"), absent = dir.File("no.cmp");
  WriteFileBytes(model, BuildUtf({Folder("Box.lod0.vms", {Leaf("VMeshData", TriangleBlock())})}));
  WriteFileText(noMesh, "just some text, not a model");
  const std::string size = std::to_string(TriangleBlock().size());
  const std::string block =
      "  0: box.lod0.vms\n  Data Size = " + std::string(6 - size.size(), ' ') + size + ";   Meshes = 1\n";
  const struct {
    std::string Input;
    int Status;
    std::string After;  // what follows the banner
  } cases[] = {
      {model, 0, block + kNoSettingsNote},
      {noMesh, 1, "  Error: this file havnt VMeshLibrary!\n" + kNoSettingsNote},
      {absent, 1, "  Error : file " + absent + " not found.\n"},
  };
  std::string console;
  for (const auto& c : cases) {
    console.clear();
    EXPECT_EQ(RunAt(dir.File("bodwright"), {c.Input}, console), c.Status);
    EXPECT_EQ(console, kBannerLine + c.After);
  }
  // A folder run: after its summary.
  console.clear();
  RunAt(dir.File("bodwright"), {dir.Path().string()}, console);
  EXPECT_TRUE(console.ends_with("\n" + kNoSettingsNote)) << console;
  WriteFileText(dir.File("bodwright.ini"), "");
  console.clear();
  EXPECT_EQ(RunAt(dir.File("bodwright"), {model}, console), 0);
  EXPECT_EQ(console, kBannerLine + block);
}

TEST(FileNames, ExtensionReplacement) {
  EXPECT_EQ(bw::ReplaceExtension("C:\\a.b\\ship.cmp", ".dbg"), "C:\\a.b\\ship.dbg");
  EXPECT_EQ(bw::ReplaceExtension("ship.lod.cmp", ""), "ship.lod");
  EXPECT_EQ(bw::ReplaceExtension("/home/u/my.models/ship", ".bod"), "/home/u/my.models/ship.bod");
  EXPECT_EQ(bw::ReplaceExtension("C:ship.cmp", ".log"), "C:ship.log");
  EXPECT_EQ(bw::ReplaceExtension("/usr/local/bin/bodwright", ".ini"), "/usr/local/bin/bodwright.ini");
  EXPECT_EQ(bw::FileNamePart("/usr/bin/bodwright"), "bodwright");
#ifdef _WIN32
  EXPECT_EQ(bw::ReplaceExtension("C:\\a.b\\ship", ".dbg"), "C:\\a.b\\ship.dbg");
  EXPECT_EQ(bw::ReplaceExtension("a\\b.c:d", ".log"), "a\\b.c:d.log");
  EXPECT_EQ(bw::FileNamePart("C:\\tools\\bodwright.exe"), "bodwright.exe");
  EXPECT_EQ(bw::FileNamePart("dir/a:b\\c.cmp"), "c.cmp");
#else
  // "\\" and ":" are bytes of a name here.
  EXPECT_EQ(bw::ReplaceExtension("a\\b.c:d", ".log"), "a\\b.log");
  EXPECT_EQ(bw::FileNamePart("dir/a:b\\c.cmp"), "a:b\\c.cmp");
  EXPECT_EQ(bw::FolderPart("dir/a:b\\c.cmp"), "dir/");
#endif
}

TEST(FileNames, DerivedFromTheInputPathAndKeptWhole) {
  TTempDir dir;
  // A path longer than 200 characters must not be cut: the outputs would
  // land under another name.
  const std::string longName(230, 'm');
  const std::string input = dir.File(longName);
  WriteFileText(input, "x");
  std::string console;
  bw::TContext ctx;
  ctx.Console.Capture = &console;
  WriteFileText(dir.File("bodwright.ini"),
                "[system]\r\nDebug=.dbg, ON\r\nGenMesh=.txt,ON\r\nGenLog=.lg,ON\r\n");
  bw::TRunInputs run;
  bw::TRunPlan plan;
  ASSERT_EQ(bw::StartUp(ctx, dir.File("bodwright"), {input}, run, plan), -1) << console;
  ASSERT_EQ(plan.Jobs.size(), 1u);
  const bw::TModelNames names = bw::ModelNamesOf(plan.Jobs[0].Path, plan.Jobs[0].BaseName, run.Settings);
  EXPECT_EQ(names.InpFileName, input);
  EXPECT_EQ(names.BodBaseName, input);
  EXPECT_EQ(names.DbgFileName, input + ".dbg");
  EXPECT_EQ(names.LogFileName, input + ".lg");
  EXPECT_EQ(run.IniFileName, dir.File("bodwright.ini"));
  bw::RunJobs(ctx, run, plan);
  EXPECT_TRUE(fs::exists(input + ".dbg"));
  EXPECT_TRUE(fs::exists(input + ".lg"));
}

TEST(OverwriteGuard, DiagnosticsNamedLikeTheInputIsRefused) {
  TTempDir dir;
  const std::string input = dir.File("ship.dbg");
  const std::string bytes = "precious model bytes";
  WriteFileText(input, bytes);
  std::string console;
  const int status = RunInProcess(dir.Path(), "[system]\nDebug=.dbg, ON\n", {input}, console);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(console, kBannerLine + "  Error : output file " + input + " would overwrite an input file.\n");
  EXPECT_EQ(ReadFileText(input), bytes);
}

TEST(OverwriteGuard, LogThatIsAHardLinkToTheMaterialFileIsRefused) {
  TTempDir dir;
  const std::string input = dir.File("ship.cmp");
  const std::string mat = dir.File("textures.mat");
  WriteFileText(input, "model");
  WriteFileText(mat, "materials");
  fs::create_hard_link(mat, dir.File("ship.log"));
  std::string console;
  const int status =
      RunInProcess(dir.Path(), "[system]\nGenMesh=.txt, ON\nGenLog=.log, ON\n", {input, mat}, console);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(console, kBannerLine + "  Error : output file " + dir.File("ship.log") +
                         " would overwrite an input file.\n");
  EXPECT_EQ(ReadFileText(mat), "materials");
}

TEST(OverwriteGuard, PicturesAreGuardedAndNeverLeftHalfWritten) {
  TTempDir dir;
  const std::string input = dir.File("ship.cmp");
  const Bytes model = BuildUtf({Folder("Ship.lod0.vms", {Leaf("VMeshData", TriangleBlock())})});
  WriteFileBytes(input, model);
  fs::create_hard_link(input, dir.File("ship_00.svg"));
  std::string console;
  EXPECT_EQ(RunInProcess(dir.Path(), "[system]\nPreview=.svg, ON\n", {input}, console), 1);
  const std::string size = std::to_string(TriangleBlock().size());
  EXPECT_EQ(console, kBannerLine + "  0: ship.lod0.vms\n  Data Size = " + std::string(6 - size.size(), ' ') +
                         size + ";   Meshes = 1\n  Error : output file " + dir.File("ship_00.svg") +
                         " would overwrite an input file.\n"
                         "  Error! Unknown structure/format tables or file damage!\n");
  EXPECT_TRUE(ReadFileBytes(input) == model);

  // A coordinate that cannot be written: no picture, no temporary file.
  fs::remove(dir.File("ship_00.svg"));
  WriteFileBytes(input, BuildUtf({Folder("Ship.lod0.vms", {Leaf("VMeshData", TriangleBlock(NAN))})}));
  EXPECT_EQ(RunInProcess(dir.Path(), "[system]\nPreview=.svg, ON\n", {input}, console), 1);
  EXPECT_EQ(FolderListing(dir.Path()), "bodwright.ini;ship.cmp;");
  WriteFileBytes(input, model);
  EXPECT_EQ(RunInProcess(dir.Path(), "[system]\nPreview=.svg, ON\n", {input}, console), 0);
  EXPECT_EQ(FolderListing(dir.Path()), "bodwright.ini;ship.cmp;ship_00.svg;");
}

TEST(Locale, NumbersKeepTheirPointUnderADecimalCommaLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  // The POSIX name, then the Windows C runtime's.
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "German_Germany.1252"))
    GTEST_SKIP() << "no German locale on this machine";
  TTempDir dir;
  const std::string input = dir.File("box.cmp");
  WriteFileBytes(input,
                 BuildUtf({Folder("box.lod0.vms", {Leaf("VMeshData", TriangleBlock(0.25f, 0.5f, 0.125f))})}));
  std::string console;
  const int status = RunInProcess(dir.Path(), kAllOnIni, {input}, console);
  std::setlocale(LC_ALL, saved.c_str());
  ASSERT_EQ(status, 0) << console;
  const std::string bod = ReadFileText(dir.File("box_00.bod"));
  EXPECT_NE(bod.find("0.500000;0.125000"), std::string::npos) << bod;
  const std::string dbg = ReadFileText(dir.File("box.dbg"));
  EXPECT_NE(dbg.find("0.250"), std::string::npos);
  EXPECT_EQ(dbg.find("0,250"), std::string::npos);
}

TEST(Conversion, EachOutputHasItsOwnSwitch) {
  TTempDir dir;
  const std::string input = dir.File("box.cmp");
  WriteFileBytes(input, BuildUtf({Folder("Box.lod0.vms", {Leaf("VMeshData", TriangleBlock())})}));
  std::string console;
  ASSERT_EQ(RunInProcess(dir.Path(), "[system]\nGenMesh=.txt, ON\n", {input}, console), 0) << console;
  EXPECT_EQ(FolderListing(dir.Path()), "bodwright.ini;box.cmp;box_00_00.txt;");
  ASSERT_EQ(RunInProcess(dir.Path(), "[system]\nGenBod=.bod, ON\n", {input}, console), 0) << console;
  EXPECT_EQ(FolderListing(dir.Path()), "bodwright.ini;box.cmp;box_00.bod;box_00_00.txt;");
}

TEST(Conversion, BlocksAreNumberedAndAFailureStopsTheLoop) {
  TTempDir dir;
  const std::string input = dir.File("ship.cmp");
  Bytes broken = TriangleBlock();
  broken.resize(broken.size() - 40);  // vertex records of 18 bytes: no layout
  WriteFileBytes(
      input,
      BuildUtf({Folder("VMeshLibrary", {Folder("Ship.LOD0.vms", {Leaf("VMeshData", TriangleBlock())}),
                                        Folder("ship.lod1.vms", {Leaf("VMeshData", broken)}),
                                        Folder("ship.lod2.vms", {Leaf("VMeshData", TriangleBlock())})})}));
  std::string console;
  const int status = RunInProcess(dir.Path(), "[system]\nGenBod=.bod, ON\n", {input}, console);
  const std::string size = std::to_string(TriangleBlock().size());
  EXPECT_EQ(console, kBannerLine + "  0: ship.lod0.vms\n  Data Size = " + std::string(6 - size.size(), ' ') +
                         size +
                         ";   Meshes = 1\n  1: ship.lod1.vms\n  Error: unknown structure/format tables!\n"
                         "  Error! Unknown structure/format tables or file damage!\n");
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(fs::exists(dir.File("ship_00.bod")));
  EXPECT_FALSE(fs::exists(dir.File("ship_01.bod")));
  EXPECT_FALSE(fs::exists(dir.File("ship_02.bod")));
}
