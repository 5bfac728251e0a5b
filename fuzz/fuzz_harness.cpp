#include "fuzz_harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <utility>

#include "driver/driver.h"
#include "support/context.h"
#include "driver/run_state.h"

namespace bwfuzz {
namespace {

const std::string kDamageLine = "  Error! Unknown structure/format tables or file damage!";

// A failed check must stop the fuzzer with the input that caused it.
[[noreturn]] void Fail(const std::string& what, const std::string& console) {
  std::fprintf(stderr, "fuzz check failed: %s\nconsole:\n%s\n", what.c_str(), console.c_str());
  std::abort();
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool StartsWith(const std::string& s, const std::string& head) {
  return s.compare(0, head.size(), head) == 0;
}

std::vector<std::string> Lines(const std::string& console) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < console.size()) {
    size_t end = console.find('\n', pos);
    if (end == std::string::npos) end = console.size();
    lines.push_back(console.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

// The last console line of a run that ended with status 1.
bool KnownFailure(const std::string& line) {
  return line == kDamageLine || line == "  Error: this file havnt VMeshLibrary!" ||
         StartsWith(line, "Cannot read file \"") || StartsWith(line, "Cannot create file \"") ||
         (StartsWith(line, "  Error : output file ") && EndsWith(line, " would overwrite an input file."));
}

// The texture warnings, as a line starts and ends.
struct TWarningForm {
  const char* Head;
  const char* Tail;
};
constexpr TWarningForm kWarnings[] = {
    {"  Warning : texture name ", " is not a file name."},
    {"  Warning : texture ", " not written: the images exceed the input size."},
    {"  Warning : texture ", " not found."},
    {"  Warning : texture ", " not written."},
};
constexpr size_t kOverBound = 1, kNotWritten = 3;

// The form of a texture warning line and the name it shows; false when the
// line has none of the forms (a name that broke the line shows so too).
bool ParseWarning(const std::string& line, size_t& form, std::string& name) {
  for (form = 0; form < std::size(kWarnings); ++form) {
    const std::string head = kWarnings[form].Head, tail = kWarnings[form].Tail;
    if (line.size() >= head.size() + tail.size() && StartsWith(line, head) && EndsWith(line, tail)) {
      name = line.substr(head.size(), line.size() - head.size() - tail.size());
      return true;
    }
  }
  return false;
}

bool HasControlByte(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 32 || c == 127) return true;
  return false;
}

// The console beyond its last line: every texture warning in one of its
// forms, with no control byte, once per kind and name, none after the bound
// stopped the images, and no image refused by a folder that takes any file;
// a damaged material file named as given and followed by the damage line.
void CheckConsole(const std::string& console, int status, const std::vector<std::string>& args) {
  const std::vector<std::string> lines = Lines(console);
  std::set<std::pair<size_t, std::string>> warned;
  bool stopped = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (StartsWith(line, "  Warning : texture")) {
      size_t form = 0;
      std::string name;
      if (!ParseWarning(line, form, name)) Fail("texture warning of no known form", console);
      if (HasControlByte(name)) Fail("texture warning with a control byte", console);
      if (stopped) Fail("texture warning after the images were stopped", console);
      if (form == kNotWritten) Fail("image not written in a folder that takes any name", console);
      stopped = form == kOverBound;
      // A shown name with "?" or cut to its first 200 bytes may stand for
      // several names: only a plain one must be said once.
      const bool plain = name.find('?') == std::string::npos && name.size() <= 200;
      if (plain && !warned.emplace(form, name).second) Fail("texture warning said twice", console);
    }
    if (StartsWith(line, "  Error : material file ")) {
      bool named = false;
      for (size_t a = 1; a < args.size(); ++a)
        named = named || line == "  Error : material file " + args[a] + " is damaged.";
      if (!named) Fail("damaged material file not named as given", console);
      if (status != bw::kExitFailure || i + 1 >= lines.size() || lines[i + 1] != kDamageLine)
        Fail("damaged material file without the damage line", console);
    }
  }
}

// The names in a folder; a link in it is a fault (nothing makes one).
std::set<std::string> Entries(const fs::path& folder, const std::string& console) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_symlink()) Fail("link " + entry.path().string(), console);
    names.insert(entry.path().filename().string());
  }
  return names;
}

// An image's bytes are of the kind its extension says.
void CheckImageKind(const fs::path& path, const std::string& console) {
  const std::string name = path.filename().string();
  const bool dds = EndsWith(name, ".dds");
  if (!dds && !EndsWith(name, ".tga")) Fail("a file of no known kind: " + path.string(), console);
  const Bytes image = ReadFile(path.string());
  if (image.empty()) Fail("an empty image: " + path.string(), console);
  const bool ddsData = image.size() >= 4 && image[0] == 'D' && image[1] == 'D' && image[2] == 'S' && image[3] == ' ';
  if (dds != ddsData) Fail("an image under the other kind's extension: " + path.string(), console);
}

uint64_t FileSize(const fs::path& path) {
  std::error_code ec;
  const uintmax_t size = fs::file_size(path, ec);
  return ec ? 0 : static_cast<uint64_t>(size);
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
  FBase = fs::temp_directory_path() / ("bodwright-fuzz-" + std::to_string(::getpid()));
  fs::remove_all(FBase);
  FRoot = FBase / "scratch";
  FProg = FRoot / "prog";
  FWork = FRoot / "work";
  fs::create_directories(FProg);
  fs::create_directories(FWork);
}

TScratch::~TScratch() {
  std::error_code ec;
  fs::remove_all(FBase, ec);
}

void TScratch::WriteSettings(const std::string& text) const {
  WriteFile((FProg / "bodwright.ini").string(), reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

int TScratch::RunFolder(const std::vector<std::pair<std::string, Bytes>>& models) {
  const fs::path folder = FWork / "models";
  for (const auto& [name, bytes] : models) {
    fs::create_directories((folder / name).parent_path());
    WriteFile((folder / name).string(), bytes.data(), bytes.size());
  }
  std::string console;
  int status;
  {
    bw::TContext run;
    run.Console.Capture = &console;
    status = bw::RunProgram(run, (FProg / "bodwright").string(), {folder.string()});
  }
  if (status != bw::kExitOk && status != bw::kExitFailure)
    Fail("exit status " + std::to_string(status), console);
  const std::vector<std::string> lines = Lines(console);
  if (lines.empty() || !StartsWith(lines.back(), "  warnings: ")) Fail("a folder run without its summary", console);
  if (Entries(FBase, console) != std::set<std::string>{"scratch"}) Fail("a file beside the scratch folder", console);
  if (Entries(FRoot, console) != std::set<std::string>{"prog", "work"}) Fail("a file beside the work folder", console);
  if (Entries(FProg, console) != std::set<std::string>{"bodwright.ini"}) Fail("a file beside the settings", console);
  if (Entries(FWork, console) != std::set<std::string>{"models"}) Fail("a file beside the models' folder", console);
  const std::string tempEnd = ".~" + std::to_string(::getpid()) + ".tmp";
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_symlink()) Fail("link " + entry.path().string(), console);
    if (entry.is_directory()) continue;
    const std::string name = entry.path().filename().string();
    if (EndsWith(name, tempEnd)) Fail("left " + entry.path().string(), console);
    if (EndsWith(name, ".dds") || EndsWith(name, ".tga")) CheckImageKind(entry.path(), console);
  }
  for (const auto& entry : fs::directory_iterator(FWork)) fs::remove_all(entry.path());
  return status;
}

int TScratch::Run(const std::vector<std::string>& args) {
  std::string console;
  int status;
  {
    bw::TContext run;
    run.Console.Capture = &console;
    status = bw::RunProgram(run, (FProg / "bodwright").string(), args);
  }
  if (status != bw::kExitOk && status != bw::kExitFailure)
    Fail("exit status " + std::to_string(status), console);
  const std::vector<std::string> lines = Lines(console);
  if (status == bw::kExitFailure && (lines.empty() || !KnownFailure(lines.back())))
    Fail("status 1 without a known failure line", console);
  CheckConsole(console, status, args);

  // Every name in every file could lead out of the work folder: nothing may
  // appear beside it or above it.
  if (Entries(FBase, console) != std::set<std::string>{"scratch"})
    Fail("a file beside the scratch folder", console);
  if (Entries(FRoot, console) != std::set<std::string>{"prog", "work"})
    Fail("a file beside the work folder", console);
  if (Entries(FProg, console) != std::set<std::string>{"bodwright.ini"})
    Fail("a file beside the settings", console);

  // The work folder: the inputs, the outputs (named after the model), the
  // images. No temporary file may be left behind, whatever the outcome
  // (the settings may give an output an extension ending in ".tmp" too:
  // only the program's own temporary names count).
  const std::string tempEnd = ".~" + std::to_string(::getpid()) + ".tmp";
  std::set<std::string> inputs, materials;
  // The bound on the images: the model and each material file, counted once
  // as a material file even when it is the model too.
  uint64_t inputBytes = FileSize(args.at(0));
  for (size_t a = 0; a < args.size(); ++a) {
    inputs.insert(fs::path(args[a]).filename().string());
    if (a > 0 && materials.insert(args[a]).second) inputBytes += FileSize(args[a]);
  }
  const std::string stem = fs::path(args.at(0)).stem().string();
  uint64_t imageBytes = 0;
  for (const std::string& name : Entries(FWork, console)) {
    const fs::path path = FWork / name;
    if (!fs::is_regular_file(path)) Fail("not a plain file: " + path.string(), console);
    if (EndsWith(name, tempEnd)) Fail("left " + path.string(), console);
    if (inputs.count(name) || StartsWith(name, stem)) continue;
    CheckImageKind(path, console);
    imageBytes += FileSize(path);
  }
  if (imageBytes > inputBytes) Fail("the images exceed the input size", console);
  for (const auto& entry : fs::directory_iterator(FWork)) fs::remove_all(entry.path());
  return status;
}

}  // namespace bwfuzz
