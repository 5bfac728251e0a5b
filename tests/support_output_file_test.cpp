#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include <algorithm>
#include <filesystem>

#include "support/errors.h"
#include "support/output_file.h"
#include "support/writers.h"
#include "test_support.h"

using namespace bw;
namespace fs = std::filesystem;

namespace {

std::string CreateFailure(const TOutputGuard& guard, const std::string& name, const std::string& text) {
  try {
    TOutputFile out(guard, name);
    WriteBod(out.Stream(), text);
    out.Commit();
  } catch (const EFCreateError& e) {
    return e.what();
  }
  return "<created>";
}

}  // namespace

TEST(OutputFile, TakesItsNameOnlyWhenCommitted) {
  bwtest::TTempDir dir;
  TOutputGuard guard;
  const auto name = dir.File("ship.bod");
  {
    TOutputFile out(guard, name);
    WriteBod(out.Stream(), "line\r\n");
    EXPECT_FALSE(fs::exists(name));
    out.Commit();
  }
  EXPECT_EQ(bwtest::ReadFileText(name), "line\r\n");
  {
    TOutputFile out(guard, name);
    WriteBod(out.Stream(), std::string(20000, 'x'));
  }  // abandoned: the earlier file stays
  EXPECT_EQ(bwtest::ReadFileText(name), "line\r\n");
  EXPECT_EQ(bwtest::FolderListing(dir.Path()), "ship.bod;");
}

TEST(OutputFile, FailuresNameTheFinalFileAndLeaveNoTrace) {
  bwtest::TTempDir dir;
  TOutputGuard guard;
  const auto noFolder = dir.File("gone/ship.bod");
  EXPECT_EQ(CreateFailure(guard, noFolder, "x"),
            "Cannot create file \"" + noFolder + "\". " + bwtest::SystemReasons().NoFolder);
  const auto folder = dir.File("ship.bod");  // a folder in the way: the rename is refused
  fs::create_directories(dir.File("ship.bod/inner"));
  EXPECT_EQ(CreateFailure(guard, folder, "x"),
            "Cannot create file \"" + folder + "\". " + bwtest::SystemReasons().FolderInTheWay);
  EXPECT_EQ(bwtest::FolderListing(dir.Path()), "ship.bod;");

#ifndef _WIN32

  // A file size limit makes the system refuse the second block; the child
  // process reports through its exit status.
  const auto name = dir.File("ship.txt");
  bwtest::WriteFileText(name, "old\r\n");
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{8192, 8192};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    // The system's own reason: the file grew too large.
    const std::string expected =
        "Cannot create file \"" + name + "\". " + std::error_code(EFBIG, std::system_category()).message() + ".";
    ::_exit(CreateFailure(guard, name, std::string(10000, 'y')) == expected ? 0 : 1);
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(bwtest::ReadFileText(name), "old\r\n");
  EXPECT_EQ(bwtest::FolderListing(dir.Path()), "ship.bod;ship.txt;");
#endif
}

TEST(OutputFile, GuardRefusesTheInputAndTheMaterialFile) {
  bwtest::TTempDir dir;
  std::string console;
  TOutputGuard guard;
  guard.Console.Capture = &console;
  const std::string input = dir.File("ship.cmp");
  const std::string mat = dir.File("ship.mat");
  bwtest::WriteFileText(input, "model");
  bwtest::WriteFileText(mat, "materials");
  fs::create_hard_link(input, dir.File("link.bod"));
  TFileSet inputs;
  guard.Inputs = &inputs;
  inputs.Add(input);

  EXPECT_THROW(GuardOutput(guard, input), EOverwriteError);
  EXPECT_THROW(TOutputFile(guard, dir.File("link.bod")), EOverwriteError);
  EXPECT_NO_THROW(GuardOutput(guard, mat));  // counts only when given
  inputs.Add(mat);
  EXPECT_THROW(GuardOutput(guard, dir.File("./ship.mat")), EOverwriteError);
  EXPECT_NO_THROW(GuardOutput(guard, dir.File("ship.dbg")));

  EXPECT_EQ(console, "  Error : output file " + input + " would overwrite an input file.\n" +
                         "  Error : output file " + dir.File("link.bod") +
                         " would overwrite an input file.\n" + "  Error : output file " +
                         dir.File("./ship.mat") + " would overwrite an input file.\n");
  EXPECT_EQ(bwtest::ReadFileText(input), "model");
  EXPECT_EQ(bwtest::ReadFileText(mat), "materials");
  EXPECT_EQ(bwtest::FolderListing(dir.Path()), "link.bod;ship.cmp;ship.mat;");
}
