// A run asked to stop: the file under way is finished, nothing new starts,
// no temporary file stays, and the run says so, as a value to its caller
// and, as a program, to its shell.

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

#include "support/output_file.h"
#include "support/run_control.h"
#include "test_support.h"

using namespace bwtest;

namespace {

std::string InstalledIni() {
  return ReadFileText(std::string(BODWRIGHT_SOURCE_DIR) + "/examples/bodwright.ini");
}

// The sample and its material file in `dir`, as the arguments of its run.
std::vector<std::string> SampleIn(const TTempDir& dir) {
  const std::string examples = std::string(BODWRIGHT_SOURCE_DIR) + "/examples/";
  fs::copy_file(examples + "sample.cmp", dir.File("sample.cmp"));
  fs::copy_file(examples + "sample.mat", dir.File("sample.mat"));
  return {dir.File("sample.cmp"), dir.File("sample.mat")};
}

// The files a run wrote into `dir`, their model BOD files' date lines taken
// out and the folder's name made "DIR".
std::map<std::string, std::string> Written(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name == "sample.cmp" || name == "sample.mat" || name == "bodwright.ini") continue;
    std::string text = ReadFileText(entry.path().string());
    const size_t date = text.find("\r\n// 20");
    if (date != std::string::npos) text.erase(date, text.find("\r\n", date + 2) - date);
    for (size_t at; (at = text.find(dir.string())) != std::string::npos;) text.replace(at, dir.string().size(), "DIR");
    files[name] = text;
  }
  return files;
}

// The installed settings, one model at a time.
std::string OneJob() {
  std::string ini = InstalledIni();
  return ini.replace(ini.find("Jobs=0"), 6, "Jobs=1");
}

bool EndsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

}  // namespace

TEST(Stop, SingleModelRunFinishesTheFileUnderWayAndStartsNoOther) {
  TTempDir whole;
  std::string console;
  ASSERT_EQ(RunInProcess(whole.Path(), InstalledIni(), SampleIn(whole), console), 0) << console;
  const auto reference = Written(whole.Path());

  struct TMoment {
    const char* Writing;  // the file being completed when the stop comes
    const char* NotStarted;
  };
  for (const TMoment& m : {TMoment{"sample_00_01.txt", "sample_00_02.txt"}, TMoment{"sample_00.svg", "sample_01.bod"},
                           TMoment{"engine_glow.dds", "sample_01.bod"}}) {
    TTempDir dir;
    bw::TRunControl control;
    control.BeforeCommit = [&](std::string_view name) {
      if (EndsWith(name, m.Writing)) control.RequestStop(SIGINT);
    };
    console.clear();
    EXPECT_EQ(RunInProcess(dir.Path(), InstalledIni(), SampleIn(dir), console, &control), 1) << m.Writing;
    EXPECT_EQ(control.Signal(), SIGINT);
    EXPECT_TRUE(EndsWith(console, "\n  Stopped: the run was interrupted.\n")) << console;
    const auto files = Written(dir.Path());
    EXPECT_EQ(files.count(m.Writing), 1u) << m.Writing;
    EXPECT_EQ(files.count(m.NotStarted), 0u) << m.Writing;
    // Complete files only (the log as far as it went), no temporary one.
    for (const auto& [name, text] : files) {
      ASSERT_EQ(reference.count(name), 1u) << name;
      if (name == "sample.log")
        EXPECT_EQ(reference.at(name).substr(0, text.size()), text);
      else
        EXPECT_EQ(text, reference.at(name)) << name;
    }
  }
}

TEST(Stop, RequestsAndTheFilesASecondOneRemoves) {
  // The first request counts; a reader gone away raises SIGPIPE at every
  // write, which must not count as the user insisting.
  struct TCase {
    std::vector<int> Signals;
    int Requests, Signal;
  };
  for (const TCase& c : {TCase{{SIGINT}, 1, SIGINT}, TCase{{SIGTERM, SIGINT}, 2, SIGTERM},
#ifdef SIGPIPE
                         TCase{{SIGPIPE, SIGPIPE, SIGPIPE}, 1, SIGPIPE}, TCase{{SIGPIPE, SIGINT}, 2, SIGPIPE}
#endif
       }) {
    bw::TRunControl control;
    int requests = 0;
    for (const int signal : c.Signals) requests = control.RequestStop(signal);
    EXPECT_EQ(requests, c.Requests);
    EXPECT_EQ(control.Signal(), c.Signal);
    EXPECT_TRUE(control.StopRequested());
  }

  // A file under way is known to the control until it is renamed or
  // removed; a second request removes what is still known.
  TTempDir dir;
  bw::TRunControl control;
  WriteFileText(dir.File("a.tmp"), "a");
  WriteFileText(dir.File("b.tmp"), "b");
  const int a = control.Enter(dir.File("a.tmp"));
  control.Enter(dir.File("b.tmp"));
  control.Leave(a);
  control.RemoveFilesUnderWay();
  EXPECT_EQ(FolderListing(dir.Path()), "a.tmp;");
  fs::remove(dir.File("a.tmp"));
  bw::TOutputGuard guard;
  guard.Control = &control;
#ifndef _WIN32
  {
    // An output registers its temporary name (on Windows an open file goes
    // only when it is closed, as the program ends).
    bw::TOutputFile first(guard, dir.File("a.bod"));
    bw::TOutputFile second(guard, dir.File("b.bod"));
    first.Commit();
    EXPECT_EQ(FolderListing(dir.Path()), "a.bod;b.bod.~" + std::to_string(bw::plat::ProcessId()) + ".tmp;");
    control.RemoveFilesUnderWay();
    EXPECT_EQ(FolderListing(dir.Path()), "a.bod;");
  }
  fs::remove(dir.File("a.bod"));
#endif
  // No new file starts once a stop is requested.
  control.RequestStop(SIGINT);
  EXPECT_THROW(bw::TOutputFile(guard, dir.File("c.bod")), bw::EInterrupted);
  guard.Stoppable = false;  // the page of a stopped folder run is still written
  bw::TOutputFile page(guard, dir.File("page.html"));
  page.Commit();
  EXPECT_EQ(FolderListing(dir.Path()), "page.html;");
}

TEST(Stop, FolderRunReportsTheStoppedModelApart) {
  TTempDir dir;
  const fs::path top = dir.Path() / "top";
  fs::create_directories(top);
  for (const char* name : {"a.cmp", "b.cmp"})
    fs::copy_file(std::string(BODWRIGHT_SOURCE_DIR) + "/examples/sample.cmp", top / name);
  bw::TRunControl control;
  control.BeforeCommit = [&](std::string_view name) {
    if (EndsWith(name, "a_00_01.txt")) control.RequestStop(SIGINT);
  };
  std::string console;
  const std::string ini = OneJob();
  EXPECT_EQ(RunInProcess(dir.Path(), ini, {top.string()}, console, &control), 1);
  const std::string a = (top / "a.cmp").string();
  EXPECT_EQ(console.find("  1: sample.lod1.vms\n"), std::string::npos);
  for (const std::string& text :
       {"== " + a + " ==\n  0: sample.lod0.vms\n  Data Size =   5128;   Meshes = 6\n  Stopped: the run was interrupted.\n",
        std::string("  failed: 0\n  stopped: 1\n    ") + a + "\n  skipped: 0\n  not converted, interrupted: 1\n",
        std::string("  Interrupted.\n")})
    EXPECT_NE(console.find(text), std::string::npos) << text << console;
  const std::string page = ReadFileText((top / "top.html").string());
  EXPECT_NE(page.find("<span class=\"outcome\">stopped</span>"), std::string::npos);
  EXPECT_NE(page.find("<span class=\"outcome\">not converted, the run was interrupted</span>"), std::string::npos);
  for (const auto& entry : fs::directory_iterator(top)) EXPECT_NE(entry.path().extension(), ".tmp");
}

#ifndef _WIN32
TEST(Stop, AShellLoopStopsWithTheProgram) {
  // bash goes on with its loop when a program it waits for ends normally
  // after Ctrl-C, and stops when the program was ended by the signal.
  TTempDir dir;
  const fs::path top = dir.Path() / "top";
  for (int i = 0; i < 40; ++i) {
    fs::create_directories(top / std::to_string(i));
    fs::copy_file(std::string(BODWRIGHT_SOURCE_DIR) + "/examples/sample.cmp", top / std::to_string(i) / "m.cmp");
  }
  const std::string program = CopyProgramTo(dir.Path());
  WriteFileText(dir.File("bodwright.ini"), OneJob());
  const std::string out = dir.File("out.txt");
  const std::string loop = "for i in 1 2; do \"$0\" \"$1\"; echo \"after $i\"; done";
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::setpgid(0, 0);  // a group of its own, as a terminal's foreground job
    if (!std::freopen(out.c_str(), "w", stdout)) ::_exit(99);
    ::execl("/bin/bash", "bash", "-c", loop.c_str(), program.c_str(), top.c_str(), static_cast<char*>(nullptr));
    ::_exit(98);
  }
  ::setpgid(pid, pid);
  // Started, and well before its end: the first model's block is out.
  for (int wait = 0; wait < 5000 && (!fs::exists(out) || ReadFileText(out).find("== ") == std::string::npos); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ::kill(-pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  const std::string console = ReadFileText(out);
  if (console.find("after 1") != std::string::npos && console.find("Interrupted.") == std::string::npos)
    GTEST_SKIP() << "the run ended before the interrupt";
  EXPECT_EQ(console.find("after 1"), std::string::npos) << console;
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
}
#endif
