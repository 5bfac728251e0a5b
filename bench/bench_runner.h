#pragma once
// What every scenario's runs are made of: a whole process started and timed
// with its peak memory, work done in a child process (so that the runner's
// own memory stays small, and every process it starts begins small), the
// outputs a run left, the settings file beside a copy of the program, the
// floor, and the machine the figures come from.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "bench_stats.h"

namespace bwbench {

namespace fs = std::filesystem;

// One run's figures: elapsed and processor (user + system) seconds, peak
// resident memory in MB, and the processors everything else on the machine
// kept busy meanwhile (on a shared machine each session gets its share of
// the processors, so a run beside others' builds cannot show what a second
// worker gains).
struct TSample {
  double Wall = 0;
  double Cpu = 0;
  double PeakMB = 0;
  double Others = 0;
};

// A whole process, its standard output thrown away or kept in `console`;
// throws unless it ends with `expectedStatus`.
TSample RunProcess(const std::vector<std::string>& args, int expectedStatus = 0,
                   const std::string& console = "/dev/null");

// Runs `work` in a child process and returns what it returned (a plain
// value, handed back through a pipe); throws with `what` when it fails.
template <class T, class TWork>
T InChild(const std::string& what, TWork&& work) {
  static_assert(std::is_trivially_copyable_v<T>);
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::close(fds[0]);
    int status = 0;
    try {
      const T value = work();
      if (::write(fds[1], &value, sizeof value) != static_cast<ssize_t>(sizeof value)) status = 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      status = 1;
    }
    std::fflush(nullptr);
    ::_exit(status);
  }
  ::close(fds[1]);
  T value{};
  const bool got = ::read(fds[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("cannot " + what);
  return value;
}

// Processor seconds the whole machine has been busy (/proc/stat), and this
// process's own.
double MachineBusySeconds();
double OwnCpuSeconds();

// This process's high-water mark of resident memory, in kB.
long HighWaterKB();

std::string LoadAverage();
TMachine DescribeMachine();

struct TOutputs {
  size_t Files = 0;
  uintmax_t Bytes = 0;
};

// Removes every file below `dir` that is not one of `inputs` (full paths),
// in a child process: walking tens of thousands of paths grows a heap that
// the runner would keep. With `list`, first writes there the floor's lines
// for them ("w <size> <path>"), after the lines of `reads` ("r <path>").
TOutputs ClearOutputs(const fs::path& dir, const std::set<std::string>& inputs, const fs::path& list = {},
                      const std::vector<std::string>& reads = {});

// `base` with each line of `overrides` ("Key=Value") put in place of the
// line of its key, or added when base has none.
std::string SettingsText(const std::string& base, const std::string& overrides);

void WriteFile(const fs::path& path, std::string_view bytes);
std::string ReadFile(const fs::path& path);

// The floor of a run: what any program that reads the same inputs and
// writes files of the same sizes must pay. Reads each "r" file of the list
// whole, then writes each "w" file (from memory, 8 KB at a time, under a
// temporary name renamed when complete). Returns the exit status.
int WriteFloor(const fs::path& list);

}  // namespace bwbench
