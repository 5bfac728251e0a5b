// Converts the benchmark models in-process and sets every figure beside its
// floor: the time to write the same output bytes from memory through the
// same buffered stream.
//
//   bodwright_bench [--reps N] [--models mesh,compound,nodes] [--sizes 8,4,2,1]
//                   [--settings off,bod+mesh,all,bod,bod+preview,bod+png] [--no-peak] [--dir FOLDER]
//       FOLDER: where the models and outputs go; by default a fresh folder
//       in /dev/shm (or the temporary folder where that is missing)
//   bodwright_bench --write FOLDER [--models ...] [--sizes ...] [--settings S]
//       writes the models (and the settings file of the first setting named)
//       into FOLDER/<model>_<size>/, for profiling the real program on them
//
// Peak memory is measured in a child process per case (this program run
// again with --peak), so that one case's allocations do not hide another's.

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench_models.h"
#include "bench_text.h"
#include "driver/driver.h"
#include "support/context.h"
#include "driver/run_state.h"
#include "support/buf_stream.h"

namespace {

namespace fs = std::filesystem;
using bwbench::Bytes;
using bwbench::Cell;
using bwbench::Fixed;
using bwbench::Out;

constexpr const char* kModelFile = "model.cmp";
constexpr const char* kMatFile = "model.mat";
constexpr const char* kProgramName = "bodwright";
constexpr const char* kIniFile = "bodwright.ini";

struct TSetting {
  const char* Name;
  const char* Ini;
};

constexpr TSetting kSettings[] = {
    {"off",
     "[system]\r\nGenBod=.bod, OFF\r\nGenLog=.log, OFF\r\nGenMesh=.txt, OFF\r\nDebug=.dbg, OFF\r\n"
     "Origin=ON\r\nScaleFactor=1000.0, 1000.0, 1000.0\r\n"
     "StrMat=MATERIAL5: %i; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0; "
     "%1:s\r\n"},
    {"bod+mesh",
     "[system]\r\nGenBod=.bod, ON\r\nGenLog=.log, OFF\r\nGenMesh=.txt, ON\r\nDebug=.dbg, OFF\r\n"
     "Origin=ON\r\nScaleFactor=1000.0, 1000.0, 1000.0\r\n"
     "StrMat=MATERIAL5: %i; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0; "
     "%1:s\r\n"},
    {"bod",
     "[system]\r\nGenBod=.bod, ON\r\nGenLog=.log, OFF\r\nGenMesh=.txt, OFF\r\nDebug=.dbg, OFF\r\n"
     "Origin=ON\r\nScaleFactor=1000.0, 1000.0, 1000.0\r\n"
     "StrMat=MATERIAL5: %i; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0; "
     "%1:s\r\n"},
    {"bod+preview",
     "[system]\r\nGenBod=.bod, ON\r\nGenLog=.log, OFF\r\nGenMesh=.txt, OFF\r\nDebug=.dbg, OFF\r\n"
     "Preview=.svg, ON\r\nOrigin=ON\r\nScaleFactor=1000.0, 1000.0, 1000.0\r\n"
     "StrMat=MATERIAL5: %i; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0; "
     "%1:s\r\n"},
    {"bod+png",
     "[system]\r\nGenBod=.bod, ON\r\nGenLog=.log, OFF\r\nGenMesh=.txt, OFF\r\nDebug=.dbg, OFF\r\n"
     "Preview=.png, ON\r\nOrigin=ON\r\nScaleFactor=1000.0, 1000.0, 1000.0\r\n"
     "StrMat=MATERIAL5: %i; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0; "
     "%1:s\r\n"},
    {"all",
     "[system]\r\nGenBod=.bod, ON\r\nGenLog=.log, ON\r\nGenMesh=.txt, ON\r\nDebug=.dbg, ON\r\n"
     "Origin=ON\r\nScaleFactor=1000.0, 1000.0, 1000.0\r\n"
     "StrMat=MATERIAL5: %i; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0; "
     "%1:s\r\n"},
};

// ---- Text -----------------------------------------------------------------

std::string SizeName(int divisor) {
  return divisor == 1 ? "1" : "1/" + std::to_string(divisor);
}

std::vector<std::string> SplitList(std::string_view s) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= s.size()) {
    const size_t comma = std::min(s.find(',', start), s.size());
    if (comma > start) items.emplace_back(s.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

// ---- Files ----------------------------------------------------------------

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
  WriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsInput(const fs::path& p) {
  const std::string name = p.filename().string();
  return name == kModelFile || name == kMatFile || name == kIniFile;
}

void RemoveOutputs(const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(dir))
    if (!IsInput(entry.path())) fs::remove(entry.path());
}

// One output file with its bytes, cut into the lines the program writes.
struct TOutput {
  std::string Path;
  std::string Bytes;
  std::vector<std::pair<size_t, size_t>> Lines;  // offset, length
};

std::vector<TOutput> CollectOutputs(const fs::path& dir) {
  std::vector<TOutput> outputs;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (IsInput(entry.path())) continue;
    TOutput o;
    o.Path = entry.path().string();
    o.Bytes = ReadFile(entry.path());
    size_t start = 0;
    while (start < o.Bytes.size()) {
      const size_t lf = o.Bytes.find('\n', start);
      const size_t end = lf == std::string::npos ? o.Bytes.size() : lf + 1;
      o.Lines.emplace_back(start, end - start);
      start = end;
    }
    outputs.push_back(std::move(o));
  }
  std::sort(outputs.begin(), outputs.end(),
            [](const TOutput& a, const TOutput& b) { return a.Path < b.Path; });
  return outputs;
}

// ---- Measuring ------------------------------------------------------------

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point a, TClock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// One whole run of the program on the model in `dir`, from start-up to
// shutdown, with the run's state made and freed inside the timing.
double ConvertOnce(const fs::path& dir) {
  const std::vector<std::string> args = {(dir / kModelFile).string(), (dir / kMatFile).string()};
  std::string console;
  const auto start = TClock::now();
  int status = 0;
  {
    bw::TContext run;
    run.Console.Capture = &console;
    status = bw::RunProgram(run, (dir / kProgramName).string(), args);
  }
  const auto stop = TClock::now();
  if (status != 0)
    throw std::runtime_error("conversion failed with status " + std::to_string(status) + ":\n" + console);
  return Seconds(start, stop);
}

// The floor: the same files created and their bytes written, line by line
// from memory, through the program's buffered stream.
double FloorOnce(const std::vector<TOutput>& outputs) {
  const auto start = TClock::now();
  for (const TOutput& o : outputs) {
    bw::TBufStream s(o.Path, bw::ModeCreate, bw::kBufSize);
    for (const auto& [offset, length] : o.Lines)
      s.Write(o.Bytes.data() + offset, static_cast<int32_t>(length));
    if (!s.Close()) throw std::runtime_error("cannot write " + o.Path);
  }
  return Seconds(start, TClock::now());
}

long StatusKB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.compare(0, prefix.size(), prefix) == 0)
      return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  return -1;
}

// In the child: the high-water mark of resident memory before and after one
// conversion, in kB.
int PeakChild(const fs::path& dir) {
  const long before = StatusKB("VmHWM");
  ConvertOnce(dir);
  const long after = StatusKB("VmHWM");
  Out(std::to_string(before) + " " + std::to_string(after) + "\n");
  return 0;
}

// The memory one conversion adds to the program's own, in bytes; -1 when it
// could not be measured.
double PeakBytes(const fs::path& dir) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string folder = dir.string();
    ::execl(self.c_str(), self.c_str(), "--peak", folder.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string text;
  char buf[256];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  char* end = nullptr;
  const long before = std::strtol(text.c_str(), &end, 10);
  const long after = std::strtol(end, nullptr, 10);
  return 1024.0 * static_cast<double>(after - before);
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// ---- The run --------------------------------------------------------------

// A memory file system where there is one: the figures are about the
// program, not about the disk under it (creating files there can cost
// milliseconds each on a busy shared disk).
fs::path ScratchBase() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec)) return "/dev/shm";
  return fs::temp_directory_path();
}

struct TOptions {
  int Reps = 5;
  std::vector<std::string> Models = {"mesh", "compound", "nodes"};
  std::vector<int> Divisors = {8, 4, 2, 1};
  std::vector<std::string> Settings = {"off", "bod+mesh", "all", "bod", "bod+preview"};
  bool Peak = true;
  std::string Dir;
  std::string WriteDir;
};

const TSetting& SettingNamed(const std::string& name) {
  for (const TSetting& s : kSettings)
    if (name == s.Name) return s;
  throw std::runtime_error("no setting named " + name);
}

const bwbench::TModelKind& ModelNamed(const std::string& name) {
  for (const auto& m : bwbench::kModelKinds)
    if (name == m.Name) return m;
  throw std::runtime_error("no model named " + name);
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&] { return bwbench::OptionValue(argc, argv, i); };
    if (arg == "--reps") {
      o.Reps = std::max(1, std::atoi(value().c_str()));
    } else if (arg == "--models") {
      o.Models = SplitList(value());
    } else if (arg == "--sizes") {
      o.Divisors.clear();
      for (const std::string& s : SplitList(value())) o.Divisors.push_back(std::max(1, std::atoi(s.c_str())));
    } else if (arg == "--settings") {
      o.Settings = SplitList(value());
    } else if (arg == "--no-peak") {
      o.Peak = false;
    } else if (arg == "--dir") {
      o.Dir = value();
    } else if (arg == "--write") {
      o.WriteDir = value();
    } else {
      throw std::runtime_error("unknown argument " + arg);
    }
  }
  for (const std::string& s : o.Settings) SettingNamed(s);
  for (const std::string& m : o.Models) ModelNamed(m);
  return o;
}

// Writes the model files and the settings file into `dir`; returns the
// input size in bytes (model and material file).
double PlaceModel(const fs::path& dir, const bwbench::TModelFiles& files, const TSetting& setting) {
  fs::create_directories(dir);
  WriteFile(dir / kModelFile, files.Model);
  WriteFile(dir / kMatFile, files.Materials);
  WriteFile(dir / kIniFile, setting.Ini);
  return static_cast<double>(files.Model.size() + files.Materials.size());
}

struct TRow {
  double Input = 0, Output = 0, Convert = 0, Floor = 0, Peak = -1;
  size_t Files = 0;
};

constexpr double kMB = 1024.0 * 1024.0;

std::string RowText(const std::string& model, int divisor, const std::string& setting, const TRow& r,
                    double growth) {
  const bool hasFloor = r.Files > 0 && r.Floor > 0;
  std::string s = Cell(model, 9, true) + Cell(SizeName(divisor), 4, true) + Cell(setting, 9, true);
  s +=
      Cell(Fixed(r.Input / kMB, 2), 8) + Cell(Fixed(r.Output / kMB, 2), 9) + Cell(std::to_string(r.Files), 6);
  s += Cell(Fixed(r.Convert * 1e3, 2), 9);
  s += Cell(r.Output > 0 ? Fixed(r.Output / kMB / r.Convert, 0) : "-", 7);
  s += Cell(hasFloor ? Fixed(r.Floor * 1e3, 2) : "-", 9);
  s += Cell(hasFloor ? Fixed(r.Convert / r.Floor, 2) : "-", 7);
  s += Cell(growth > 0 ? Fixed(growth, 2) : "-", 7);
  s += Cell(r.Peak >= 0 ? Fixed(r.Peak / kMB, 1) : "-", 8);
  s += Cell(Fixed((4 * r.Input + r.Output) / kMB, 1), 8);
  return s + "\n";
}

int Run(const TOptions& o) {
  if (!o.WriteDir.empty()) {
    for (const std::string& m : o.Models)
      for (int d : o.Divisors) {
        const fs::path dir = fs::path(o.WriteDir) / (m + "_" + std::to_string(d));
        PlaceModel(dir, ModelNamed(m).Build(d), SettingNamed(o.Settings.front()));
        Out("wrote " + dir.string() + "\n");
      }
    return 0;
  }

  // The heap keeps the memory of one run for the next: every run then
  // measures the program's work, not the kernel handing out fresh pages
  // (which a new process pays once, about 0.4 ms per MB touched here).
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);

  const bool ownDir = o.Dir.empty();
  const fs::path root =
      ownDir ? ScratchBase() / ("bodwright-bench-" + std::to_string(::getpid())) : fs::path(o.Dir);
  fs::create_directories(root);
  Out("files in " + root.string() + "\n");

  Out("bodwright benchmark: " + std::to_string(o.Reps) + " repetitions per figure, best taken; " +
      std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " cores, load average " + LoadAverage() + "\n");
  Out("time: one whole run (start-up to shutdown), in process, heap kept warm from run to run\n"
      "floor: the same output files created and their bytes written line by line through the same stream\n"
      "growth: time / time at half the size; peak: memory one conversion adds (child process);\n"
      "limit: 4 x input + output\n\n");
  Out(Cell("model", 9, true) + Cell("size", 4, true) + Cell("setting", 9, true) + Cell("in MB", 8) +
      Cell("out MB", 9) + Cell("files", 6) + Cell("conv ms", 9) + Cell("MB/s", 7) + Cell("floor ms", 9) +
      Cell("ratio", 7) + Cell("growth", 7) + Cell("peak MB", 8) + Cell("limit", 8) + "\n");

  std::map<std::string, double> previous;  // model + setting -> time at the previous size
  for (const std::string& m : o.Models) {
    for (int d : o.Divisors) {
      const bwbench::TModelFiles files = ModelNamed(m).Build(d);
      const fs::path dir = root / (m + "_" + std::to_string(d));
      for (const std::string& settingName : o.Settings) {
        const TSetting& setting = SettingNamed(settingName);
        TRow row;
        row.Input = PlaceModel(dir, files, setting);
        RemoveOutputs(dir);
        ConvertOnce(dir);  // warms the caches and leaves the outputs to measure
        const std::vector<TOutput> outputs = CollectOutputs(dir);
        row.Files = outputs.size();
        for (const TOutput& out : outputs) row.Output += static_cast<double>(out.Bytes.size());

        row.Convert = 1e30;
        row.Floor = 1e30;
        // Every run starts without the files it writes: replacing a file
        // costs more than writing a new one on some file systems (ext4 flushes
        // a file written over a truncated or renamed-over one), and the
        // figures are about the program, not the cache of earlier runs.
        for (int rep = 0; rep < o.Reps; ++rep) {
          RemoveOutputs(dir);
          row.Convert = std::min(row.Convert, ConvertOnce(dir));
          if (outputs.empty()) continue;
          RemoveOutputs(dir);
          row.Floor = std::min(row.Floor, FloorOnce(outputs));
        }
        if (outputs.empty()) row.Floor = 0;
        if (o.Peak) {
          RemoveOutputs(dir);
          row.Peak = PeakBytes(dir);
        }

        const std::string key = m + "/" + settingName;
        const auto prev = previous.find(key);
        const double growth = prev != previous.end() ? row.Convert / prev->second : 0;
        previous[key] = row.Convert;
        Out(RowText(m, d, settingName, row, growth));
        RemoveOutputs(dir);
      }
      fs::remove_all(dir);
    }
  }
  Out("\nload average at the end: " + LoadAverage() + "\n");
  if (ownDir) fs::remove_all(root);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return bwbench::RunMain([&] {
    if (argc == 3 && std::strcmp(argv[1], "--peak") == 0) return PeakChild(argv[2]);
    return Run(ParseOptions(argc, argv));
  });
}
