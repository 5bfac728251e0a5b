#include "test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "driver/driver.h"
#include "driver/run_state.h"

namespace bwtest {

const char* const kAllOnIni =
    "[system]\r\n"
    "GenBod=.bod, ON\r\n"
    "GenLog=.log, ON\r\n"
    "GenMesh=.txt, ON\r\n"
    "Debug=.dbg, ON\r\n"
    "Origin=ON\r\n"
    "ScaleFactor=1000.0, 1000.0, 1000.0\r\n";

TTempDir::TTempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = fs::temp_directory_path() /
                 ("bodwright-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                  std::to_string(rd() % 100000));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      FPath = p;
      return;
    }
  }
  throw std::runtime_error("cannot create a scratch folder");
}

TTempDir::~TTempDir() {
  std::error_code ec;
  fs::remove_all(FPath, ec);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadFileText(const std::string& path) {
  const auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteFileText(const std::string& path, const std::string& text) {
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    ::dup2(pipeFds[1], 1);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  TProcessResult result;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0) result.Out.append(buf, static_cast<size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string CopyProgramTo(const fs::path& dir) {
  const fs::path target = dir / "bodwright";
  fs::copy_file(ProgramPath(), target, fs::copy_options::overwrite_existing);
  return target.string();
}

int RunInProcess(const fs::path& dir, const std::string& iniText, const std::vector<std::string>& args,
                 std::string& console) {
  const fs::path program = dir / "bodwright";
  WriteFileText((dir / "bodwright.ini").string(), iniText);
  bw::TRun run;
  run.Console.Capture = &console;
  return bw::RunProgram(run, program.string(), args);
}

}  // namespace bwtest
