#include "bench_runner.h"

#include <fcntl.h>
#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>

namespace bwbench {

namespace {

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

std::string FirstField(const char* file, const std::string& key) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, key.size(), key) == 0) {
      const size_t colon = line.find(':');
      const size_t start = colon == std::string::npos ? key.size() : line.find_first_not_of(" \t", colon + 1);
      return start == std::string::npos ? "" : line.substr(start);
    }
  return "";
}

}  // namespace

TSample RunProcess(const std::vector<std::string>& args, int expectedStatus, const std::string& console) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (!std::freopen(console.c_str(), "w", stdout)) ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  const auto stop = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus)
    throw std::runtime_error(args[0] + (args.size() > 1 ? " " + args[1] : std::string()) +
                             " ended with status " +
                             std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ", not " +
                             std::to_string(expectedStatus));
  return {std::chrono::duration<double>(stop - start).count(),
          Seconds(usage.ru_utime) + Seconds(usage.ru_stime), static_cast<double>(usage.ru_maxrss) / 1024};
}

double MachineBusySeconds() {
  std::ifstream in("/proc/stat");
  std::string cpu;
  double f[8] = {};
  in >> cpu;
  for (double& v : f) in >> v;
  // user, nice, system, idle, iowait, irq, softirq, steal: all but idle and iowait
  return (f[0] + f[1] + f[2] + f[5] + f[6] + f[7]) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double OwnCpuSeconds() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

long HighWaterKB() {
  return std::strtol(FirstField("/proc/self/status", "VmHWM:").c_str(), nullptr, 10);
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

TMachine DescribeMachine() {
  TMachine m;
  m.Processors = static_cast<unsigned>(::sysconf(_SC_NPROCESSORS_ONLN));
  m.MemoryGB =
      static_cast<double>(::sysconf(_SC_PHYS_PAGES)) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e9;
  m.Processor = FirstField("/proc/cpuinfo", "model name");
  m.LoadAtStart = LoadAverage();
  char date[32];
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc);
  m.Date = date;
  return m;
}

TOutputs ClearOutputs(const fs::path& dir, const std::set<std::string>& inputs, const fs::path& list,
                      const std::vector<std::string>& reads) {
  return InChild<TOutputs>("clear the outputs below " + dir.string(), [&] {
    TOutputs out;
    std::vector<fs::path> doomed;
    std::string lines;
    for (const std::string& r : reads) lines += "r " + r + "\n";
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      if (entry.is_directory() || inputs.count(entry.path().string())) continue;
      const uintmax_t size = entry.is_regular_file() ? entry.file_size() : 0;
      ++out.Files;
      out.Bytes += size;
      lines += "w " + std::to_string(size) + " " + entry.path().string() + "\n";
      doomed.push_back(entry.path());
    }
    if (!list.empty()) WriteFile(list, lines);
    for (const fs::path& p : doomed) fs::remove(p);
    return out;
  });
}

std::string SettingsText(const std::string& base, const std::string& overrides) {
  std::vector<std::string> lines;
  std::istringstream in(base);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  std::istringstream set(overrides);
  for (std::string line; std::getline(set, line);) {
    const std::string key = line.substr(0, line.find('=') + 1);
    bool found = false;
    for (std::string& l : lines)
      if (!key.empty() && l.compare(0, key.size(), key) == 0) l = line, found = true;
    if (!found) lines.push_back(line);
  }
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

constexpr size_t kBlock = 8192;

bool ReadWhole(const std::string& path, std::vector<char>& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  ::lseek(fd, 0, SEEK_SET);
  bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
  size_t done = 0;
  for (ssize_t got = 1; done < bytes.size() && got > 0; done += static_cast<size_t>(got > 0 ? got : 0))
    got = ::read(fd, bytes.data() + done, bytes.size() - done);
  ::close(fd);
  return done == bytes.size();
}

bool WriteSized(const std::string& path, size_t size, const char* block) {
  const std::string temp = path + ".~floor.tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < size;) {
    const size_t n = size - done < kBlock ? size - done : kBlock;
    ok = ::write(fd, block, n) == static_cast<ssize_t>(n);
    done += n;
  }
  ok = ::close(fd) == 0 && ok;
  return ok && ::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

int WriteFloor(const fs::path& list) {
  std::ifstream in(list, std::ios::binary);
  if (!in) return 1;
  // The bytes written: the start of the first input, which the floor has at
  // hand as a converter has its text.
  std::vector<char> input, block(kBlock, ' ');
  bool first = true;
  int status = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("r ", 0) == 0) {
      if (!ReadWhole(line.substr(2), input)) status = 1;
      for (size_t i = 0; first && i < kBlock && i < input.size(); ++i) block[i] = input[i];
      first = false;
    } else if (line.rfind("w ", 0) == 0) {
      const size_t space = line.find(' ', 2);
      if (space == std::string::npos) return 1;
      if (!WriteSized(line.substr(space + 1), std::stoull(line.substr(2, space - 2)), block.data()))
        status = 1;
    }
  }
  return status;
}

}  // namespace bwbench
