#pragma once
// What the runners of whole processes share: starting a program and timing
// it with its peak resident memory, doing work in a child process (so that
// the runner's own memory stays small), medians, and the machine's load.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_text.h"

namespace bwbench {

// A program to run, as given by --program LABEL=PATH.
struct TProgram {
  std::string Label;
  std::string Path;
};

inline TProgram ParseProgram(const std::string& value) {
  const size_t eq = value.find('=');
  if (eq == std::string::npos || eq == 0) throw std::runtime_error("--program needs LABEL=PATH");
  return {value.substr(0, eq), std::filesystem::absolute(value.substr(eq + 1)).string()};
}

inline std::vector<std::string> SplitList(const std::string& v) {
  std::vector<std::string> items;
  for (size_t start = 0; start <= v.size();) {
    const size_t comma = std::min(v.find(',', start), v.size());
    if (comma > start) items.push_back(v.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

inline std::string ResidentMB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return Fixed(std::strtod(line.c_str() + 6, nullptr) / 1024, 1);
  return "?";
}

inline std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

inline void WriteFile(const std::filesystem::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

struct TRunResult {
  double Seconds = 0;
  double CpuSeconds = 0;  // user + system: what a loaded machine's waiting leaves out
  long PeakKB = 0;
};

// One whole process, its standard output thrown away or kept in a file;
// fails unless it exits with `expectedStatus`.
inline TRunResult RunProcess(const std::vector<std::string>& args, int expectedStatus = 0,
                             const char* consolePath = "/dev/null") {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (!std::freopen(consolePath, "w", stdout)) ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  const auto stop = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus)
    throw std::runtime_error(args[0] + (args.size() > 1 ? " " + args[1] : std::string()) +
                             " failed (status " + std::to_string(status) + ")");
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return {std::chrono::duration<double>(stop - start).count(),
          seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss};
}

// Runs `work` in a child process and waits for it: a process started from
// the runner begins with the runner's resident memory, which its peak would
// count, so the runner never holds a model or a material file itself.
template <class TWork>
void InChild(const std::string& what, TWork&& work) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int status = 0;
    try {
      work();
    } catch (const std::exception& e) {
      std::fputs(e.what(), stderr);
      std::fputs("\n", stderr);
      status = 1;
    }
    std::fflush(nullptr);
    ::_exit(status);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("cannot " + what);
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace bwbench
