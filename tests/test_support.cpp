#include "test_support.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STB_IMAGE_STATIC
#include <stb_image.h>

#include "driver/driver.h"
#include "support/context.h"
#include "driver/run_state.h"
#include "support/platform.h"

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
    fs::path p =
        fs::temp_directory_path() / ("bodwright-test-" + std::to_string(bw::plat::ProcessId()) + "-" +
                                     std::to_string(counter++) + "-" + std::to_string(rd() % 100000));
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

std::string FolderListing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& n : names) out += n + ";";
  return out;
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

#ifdef _WIN32

namespace {

// One argument as the C runtime's command-line parser reads it back:
// quoted when it holds blanks or quotes, backslashes doubled before a quote.
void AppendArgument(std::string& line, const std::string& arg) {
  if (!line.empty()) line.push_back(' ');
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
    line += arg;
    return;
  }
  line.push_back('"');
  size_t slashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    line.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
    slashes = 0;
    line.push_back(c);
  }
  line.append(slashes * 2, '\\');
  line.push_back('"');
}

std::wstring Utf16(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  std::wstring out(static_cast<size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)),
                   L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), static_cast<int>(out.size()));
  return out;
}

}  // namespace

TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) throw std::runtime_error("CreatePipe");
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  std::string commandLine;
  AppendArgument(commandLine, program);
  for (const auto& a : args) AppendArgument(commandLine, a);
  // The program takes its arguments as UTF-8 from the wide command line;
  // the ANSI one would lose every name outside the code page.
  std::wstring wideLine = Utf16(commandLine);
  const std::wstring wideProgram = Utf16(program);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  // A program file copied a moment ago can be refused for a short while
  // (a virus scanner on Windows; once under Wine, a start that failed at
  // once): a few tries before giving up.
  BOOL started = FALSE;
  DWORD startError = 0;
  for (int attempt = 0; attempt < 5 && !started; ++attempt) {
    if (attempt > 0) ::Sleep(200);
    started = ::CreateProcessW(wideProgram.c_str(), wideLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &process);
    if (!started) startError = ::GetLastError();
  }
  ::CloseHandle(writeEnd);
  if (!started) {
    ::CloseHandle(readEnd);
    throw std::runtime_error("cannot start " + program + ": " +
                             std::system_category().message(static_cast<int>(startError)));
  }
  TProcessResult result;
  char buf[4096];
  DWORD n = 0;
  while (::ReadFile(readEnd, buf, sizeof buf, &n, nullptr) && n > 0) result.Out.append(buf, n);
  ::CloseHandle(readEnd);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  result.Status = ::GetExitCodeProcess(process.hProcess, &status) ? static_cast<int>(status) : -1;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return result;
}

#else

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

#endif

#ifdef _WIN32

namespace {

// The system's message for a code, as one line ending in a full stop.
std::string Reason(DWORD code) {
  std::string text = std::system_category().message(static_cast<int>(code));
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.empty() || text.back() != '.' ? text + "." : text;
}

}  // namespace

const TSystemReasons& SystemReasons() {
  static const TSystemReasons reasons{Reason(ERROR_FILE_NOT_FOUND), Reason(ERROR_PATH_NOT_FOUND),
                                      Reason(ERROR_ACCESS_DENIED), Reason(ERROR_ACCESS_DENIED),
                                      "The file is in use by another program."};
  return reasons;
}

#else

const TSystemReasons& SystemReasons() {
  static const TSystemReasons reasons{"No such file or directory.", "No such file or directory.",
                                      "Is a directory.", "Is a directory.",
                                      "The file is in use by another program."};
  return reasons;
}

#endif

std::string Printed(const std::string& lines) {
  const std::string lineBreak = bw::plat::LineBreak();
  std::string out;
  for (const char c : lines) {
    if (c == '\n')
      out += lineBreak;
    else
      out.push_back(c);
  }
  return out;
}

std::string CopyProgramTo(const fs::path& dir) {
  const fs::path target = dir / ProgramFileName();
  fs::copy_file(ProgramPath(), target, fs::copy_options::overwrite_existing);
  return target.string();
}

int RunInProcess(const fs::path& dir, const std::string& iniText, const std::vector<std::string>& args,
                 std::string& console, bw::TRunControl* control) {
  const fs::path program = dir / ProgramFileName();
  WriteFileText((dir / "bodwright.ini").string(), iniText);
  bw::TContext run;
  run.Console.Capture = &console;
  run.Control = control;
  return bw::RunProgram(run, program.string(), args);
}

TDbgRun::TDbgRun(bool debugOn) {
  if (debugOn) FDbg = std::make_unique<bw::TBufStream>(FDir.File("run.dbg"), bw::ModeCreate, bw::kBufSize);
  Ctx.DbgStream = FDbg.get();
}

TDbgRun::~TDbgRun() = default;

void TDbgRun::Load(const std::vector<uint8_t>& image) {
  FImage = image;
  if (!bw::ReadUtfImage(FImage, Nodes)) throw std::runtime_error("not a UTF image");
}

std::string TDbgRun::DbgText() {
  if (!FDbg) return {};
  Ctx.DbgStream = nullptr;
  FDbg.reset();
  return ReadFileText(FDir.File("run.dbg"));
}

uint32_t TPngPixels::At(int x, int y) const {
  const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)) * 3;
  return (uint32_t{Rgb[i]} << 16) | (uint32_t{Rgb[i + 1]} << 8) | Rgb[i + 2];
}

TPngPixels DecodePng(const std::vector<uint8_t>& png) {
  TPngPixels d;
  int channels = 0;
  stbi_uc* pixels =
      stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &d.Width, &d.Height, &channels, 3);
  if (!pixels) return {};
  d.Rgb.assign(pixels, pixels + static_cast<size_t>(d.Width) * static_cast<size_t>(d.Height) * 3);
  stbi_image_free(pixels);
  return d;
}

std::string Lines(std::initializer_list<std::string> lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\r\n";
  return s;
}

}  // namespace bwtest
