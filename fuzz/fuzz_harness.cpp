#include "fuzz_harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "driver/driver.h"
#include "driver/run_state.h"

namespace bwfuzz {
namespace {

// A failed check must stop the fuzzer with the input that caused it.
[[noreturn]] void Fail(const std::string& what, const std::string& console) {
  std::fprintf(stderr, "fuzz check failed: %s\nconsole:\n%s\n", what.c_str(), console.c_str());
  std::abort();
}

std::string LastLine(const std::string& console) {
  if (console.empty()) return {};
  const size_t end = console.back() == '\n' ? console.size() - 1 : console.size();
  const size_t start = console.rfind('\n', end == 0 ? 0 : end - 1);
  return console.substr(start == std::string::npos ? 0 : start + 1,
                        end - (start == std::string::npos ? 0 : start + 1));
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool StartsWith(const std::string& s, const std::string& head) {
  return s.compare(0, head.size(), head) == 0;
}

// The last console line of a run that ended with status 1.
bool KnownFailure(const std::string& line) {
  return line == "  Error! Unknown structure/format tables or file damage!" ||
         line == "  Error: this file havnt VMeshLibrary!" || StartsWith(line, "Cannot read file \"") ||
         StartsWith(line, "Cannot create file \"") ||
         (StartsWith(line, "  Error : output file ") && EndsWith(line, " would overwrite an input file."));
}

}  // namespace

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes SampleModel() {
  return ReadFile(BODWRIGHT_SOURCE_DIR "/examples/sample.cmp");
}
Bytes SampleMaterials() {
  return ReadFile(BODWRIGHT_SOURCE_DIR "/examples/sample.mat");
}

TScratch::TScratch() {
  FRoot = fs::temp_directory_path() / ("bodwright-fuzz-" + std::to_string(::getpid()));
  fs::remove_all(FRoot);
  FProg = FRoot / "prog";
  FWork = FRoot / "work";
  fs::create_directories(FProg);
  fs::create_directories(FWork);
}

TScratch::~TScratch() {
  std::error_code ec;
  fs::remove_all(FRoot, ec);
}

void TScratch::WriteSettings(const std::string& text) const {
  WriteFile((FProg / "bodwright.ini").string(), reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

int TScratch::Run(const std::vector<std::string>& args) {
  std::string console;
  int status;
  {
    bw::TRun run;
    run.Ctx.Console.Capture = &console;
    status = bw::RunProgram(run, (FProg / "bodwright").string(), args);
  }
  if (status != bw::kExitOk && status != bw::kExitFailure)
    Fail("exit status " + std::to_string(status), console);
  if (status == bw::kExitFailure && !KnownFailure(LastLine(console)))
    Fail("status 1 without a known failure line", console);
  // Whatever the outcome, no temporary file may be left behind. (The
  // settings may give an output an extension ending in ".tmp" too: only the
  // program's own temporary names count.)
  const std::string tempEnd = ".~" + std::to_string(::getpid()) + ".tmp";
  for (const auto& entry : fs::directory_iterator(FWork)) {
    if (EndsWith(entry.path().filename().string(), tempEnd)) Fail("left " + entry.path().string(), console);
  }
  for (const auto& entry : fs::directory_iterator(FWork)) fs::remove_all(entry.path());
  return status;
}

}  // namespace bwfuzz
