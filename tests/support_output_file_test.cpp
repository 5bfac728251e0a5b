#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>

#include "driver/run_state.h"
#include "support/errors.h"
#include "support/output_file.h"
#include "support/writers.h"
#include "test_support.h"

using namespace bw;
namespace fs = std::filesystem;

namespace {

// The names in the folder, to see that no temporary file is left behind.
std::string Listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& n : names) out += n + ";";
  return out;
}

}  // namespace

TEST(OutputFile, TakesItsNameOnlyWhenCommitted) {
  bwtest::TTempDir dir;
  TRun run;
  const auto name = dir.File("ship.bod");
  {
    TOutputFile out(run, name);
    WriteBod(out.Stream(), "line\r\n");
    EXPECT_FALSE(fs::exists(name));
    out.Commit();
  }
  EXPECT_EQ(bwtest::ReadFileText(name), "line\r\n");
  {
    TOutputFile out(run, name);
    WriteBod(out.Stream(), std::string(20000, 'x'));
  }  // abandoned
  EXPECT_EQ(bwtest::ReadFileText(name), "line\r\n");
  EXPECT_EQ(Listing(dir.Path()), "ship.bod;");
  {
    TOutputFile out(run, dir.File("never.bod"));
  }
  EXPECT_EQ(Listing(dir.Path()), "ship.bod;");
}

TEST(OutputFile, FailuresNameTheFinalFileAndLeaveNoTrace) {
  bwtest::TTempDir dir;
  TRun run;
  const auto noFolder = dir.File("gone/ship.bod");
  try {
    TOutputFile out(run, noFolder);
    ADD_FAILURE() << "created";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + noFolder + "\". No such file or directory.");
  }
  // A folder in the way of the final name: the rename is refused.
  const auto folder = dir.File("ship.bod");
  fs::create_directory(folder);
  fs::create_directory(dir.File("ship.bod/inner"));
  TOutputFile out(run, folder);
  WriteBod(out.Stream(), "x");
  try {
    out.Commit();
    ADD_FAILURE() << "committed";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + folder + "\". Is a directory.");
  }
  EXPECT_EQ(Listing(dir.Path()), "ship.bod;");
}

TEST(OutputFile, CommitRefusesAFileTheSystemCutShort) {
  bwtest::TTempDir dir;
  const auto name = dir.File("ship.bod");
  bwtest::WriteFileText(name, "old\r\n");
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{8192, 8192};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    int status = 1;
    try {
      TRun run;
      TOutputFile out(run, name);
      WriteBod(out.Stream(), std::string(10000, 'y'));
      out.Commit();
      status = 2;
    } catch (const EFCreateError& e) {
      status = std::string(e.what()) == "Cannot create file \"" + name + "\". Not every byte could be written." ? 0 : 3;
    } catch (...) {
      status = 4;
    }
    ::_exit(status);
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(bwtest::ReadFileText(name), "old\r\n");
  EXPECT_EQ(Listing(dir.Path()), "ship.bod;");
}

TEST(OutputFile, GuardRefusesTheInputAndTheMaterialFile) {
  bwtest::TTempDir dir;
  std::string console;
  TRun run;
  run.Console.Capture = &console;
  run.Names.InpFileName = dir.File("ship.cmp");
  run.Names.MatFileName = dir.File("ship.mat");
  bwtest::WriteFileText(run.Names.InpFileName, "model");
  bwtest::WriteFileText(run.Names.MatFileName, "materials");
  fs::create_hard_link(run.Names.InpFileName, dir.File("link.bod"));

  EXPECT_THROW(GuardOutput(run, run.Names.InpFileName), EOverwriteError);
  EXPECT_THROW(TOutputFile(run, dir.File("link.bod")), EOverwriteError);
  // The material file counts only when it was given.
  EXPECT_NO_THROW(GuardOutput(run, run.Names.MatFileName));
  run.Names.MatFileGiven = true;
  EXPECT_THROW(GuardOutput(run, dir.File("./ship.mat")), EOverwriteError);
  // A name that does not exist yet cannot be either.
  EXPECT_NO_THROW(GuardOutput(run, dir.File("ship.dbg")));

  EXPECT_EQ(console, "  Error : output file " + run.Names.InpFileName + " would overwrite an input file.\n" +
                         "  Error : output file " + dir.File("link.bod") + " would overwrite an input file.\n" +
                         "  Error : output file " + dir.File("./ship.mat") + " would overwrite an input file.\n");
  EXPECT_EQ(bwtest::ReadFileText(run.Names.InpFileName), "model");
  EXPECT_EQ(bwtest::ReadFileText(run.Names.MatFileName), "materials");
  EXPECT_EQ(Listing(dir.Path()), "link.bod;ship.cmp;ship.mat;");
}
