#pragma once
// Shared test helpers: scratch folders, whole-file reads and writes, and
// running the program as a process or in-process.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "cmp/utf_tree.h"
#include "support/buf_stream.h"
#include "support/context.h"

namespace bw {
struct TContext;
class TRunControl;
}

namespace bwtest {

namespace fs = std::filesystem;

// A fresh, empty folder, removed with everything in it on destruction.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const fs::path& Path() const { return FPath; }
  std::string File(const std::string& name) const { return (FPath / name).string(); }

 private:
  fs::path FPath;
};

std::string ReadFileText(const std::string& path);
// The names in a folder, sorted, each followed by ";" (to see at a glance
// what a run left there, temporary files included).
std::string FolderListing(const fs::path& dir);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::string& path, const std::string& text);

struct TProcessResult {
  int Status = -1;
  std::string Out;  // standard output
};
// Runs `program` with `args` (no shell), capturing standard output.
TProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args);
// What the platform layer reports, after the file name, for the failures
// that the tests provoke; each system words them its own way.
struct TSystemReasons {
  std::string NoFile;          // opening a file that is not there
  std::string NoFolder;        // creating a file in a folder that is not there
  std::string IsFolder;        // opening a folder as a file
  std::string FolderInTheWay;  // renaming a file over a folder
  std::string InUse;           // opening a file that another stream holds
};
const TSystemReasons& SystemReasons();

// The built program, and its file name ("bodwright.exe" on Windows).
inline std::string ProgramPath() {
  return BODWRIGHT_EXE;
}
inline std::string ProgramFileName() {
  return fs::path(ProgramPath()).filename().string();
}
// Console lines as a separate process prints them: each "\n" of `lines`
// becomes the platform's line break. (An in-process run captures "\n".)
std::string Printed(const std::string& lines);

// A copy of the program in `dir` (so that a settings file can sit beside
// it), returned as its path.
std::string CopyProgramTo(const fs::path& dir);

// Runs the whole program in-process with the given settings text (written
// beside a pretend program path in `dir`) and arguments; the console lines
// are returned in `console`. Returns the exit status.
// `control`, when given, is the run's control (a test's stop requests).
int RunInProcess(const fs::path& dir, const std::string& iniText, const std::vector<std::string>& args,
                 std::string& console, bw::TRunControl* control = nullptr);

// The settings text that switches every output on with the usual extensions.
extern const char* const kAllOnIni;

// What a stage needs to run alone: a context whose diagnostics go to a
// scratch file the test reads back (when debugOn), and the tree of an image.
class TDbgRun {
 public:
  explicit TDbgRun(bool debugOn = true);
  ~TDbgRun();
  TDbgRun(const TDbgRun&) = delete;
  TDbgRun& operator=(const TDbgRun&) = delete;
  // Reads the image into Nodes; the nodes' data point into the image, so it
  // is kept here.
  void Load(const std::vector<uint8_t>& image);
  // Closes the diagnostics file and returns all that was written to it.
  std::string DbgText();

  bw::TContext Ctx;
  bw::TNodesList Nodes;

 private:
  TTempDir FDir;
  std::unique_ptr<bw::TBufStream> FDbg;
  std::vector<uint8_t> FImage;
};

// A PNG file's pixels as stb_image decodes them, RGB; Width 0 when it is no
// PNG file stb_image reads.
struct TPngPixels {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Rgb;
  uint32_t At(int x, int y) const;  // 0xRRGGBB
  bool operator==(const TPngPixels&) const = default;
};
TPngPixels DecodePng(const std::vector<uint8_t>& png);

// Each text followed by CR LF.
std::string Lines(std::initializer_list<std::string> lines);

}  // namespace bwtest
