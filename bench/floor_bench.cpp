// Measures whole runs of the program from outside, as a user's script runs
// it (one process per model: start, read, convert, write, rename, exit),
// against the floor program writing the same files. Each case gets its own
// folder; the program (each one given) and the floor run in turn there, the
// outputs left in place between runs, so that every run replaces the files
// of the run before it. One warm-up round, then N rounds; medians.
//
//   bodwright_floor_bench [--program LABEL=PATH]... [--floor PATH] [--reps N]
//                         [--cases chain,mesh] [--dir FOLDER]
//       several --program options run side by side in every round (to set a
//       program before a change beside the one after it); by default the
//       program built with this one
//       FOLDER: where the cases' folders go; by default a fresh folder in
//       the system's temporary folder, on the disk as a user's files are
//       (/dev/shm shows the program's own work without the file system's)

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_models.h"
#include "bench_process.h"
#include "bench_text.h"

#ifndef BODWRIGHT_PROGRAM
#define BODWRIGHT_PROGRAM "bodwright"
#endif
#ifndef BODWRIGHT_FLOOR
#define BODWRIGHT_FLOOR "bodwright_floor"
#endif

namespace {

namespace fs = std::filesystem;
using bwbench::Cell;
using bwbench::Fixed;
using bwbench::LoadAverage;
using bwbench::Median;
using bwbench::Out;
using bwbench::ResidentMB;
using bwbench::RunProcess;
using bwbench::TProgram;
using bwbench::TRunResult;
using bwbench::WriteFile;

constexpr const char* kModelFile = "model.cmp";
constexpr const char* kListFile = "floor.list";

constexpr const char* kIniHead =
    "[system]\r\nGenLog=.log, OFF\r\nDebug=.dbg, OFF\r\nOrigin=ON\r\nScaleFactor=1000.0, 1000.0, 1000.0\r\n";

struct TSetting {
  const char* Name;
  const char* Switches;
};
constexpr TSetting kSettings[] = {
    {"bod+mesh", "GenBod=.bod, ON\r\nGenMesh=.txt, ON\r\nPreview=.svg, OFF\r\n"},
    {"bod", "GenBod=.bod, ON\r\nGenMesh=.txt, OFF\r\nPreview=.svg, OFF\r\n"},
    {"bod+preview", "GenBod=.bod, ON\r\nGenMesh=.txt, OFF\r\nPreview=.svg, ON\r\n"},
};

struct TCase {
  const char* Model;
  int Divisor;
  const char* Size;
};
constexpr TCase kCases[] = {
    {"chain", 4, "quarter"},
    {"chain", 2, "half"},
    {"chain", 1, "whole"},
    {"mesh", 1, "whole"},
};

struct TOptions {
  std::vector<TProgram> Programs;
  std::string Floor = BODWRIGHT_FLOOR;
  int Reps = 9;
  std::vector<std::string> Models = {"chain", "mesh"};
  std::string Dir;
};

bool IsOutput(const fs::path& p, const std::vector<TProgram>& programs) {
  const std::string name = p.filename().string();
  if (name == kModelFile || name == kListFile) return false;
  for (const TProgram& prog : programs)
    if (name == prog.Label || name == prog.Label + ".ini") return false;
  return true;
}

// The outputs the program left, by name, for the floor to write again.
std::vector<std::pair<std::string, uintmax_t>> Outputs(const fs::path& dir,
                                                       const std::vector<TProgram>& programs) {
  std::vector<std::pair<std::string, uintmax_t>> files;
  for (const auto& entry : fs::directory_iterator(dir))
    if (IsOutput(entry.path(), programs)) files.emplace_back(entry.path().string(), entry.file_size());
  std::sort(files.begin(), files.end());
  return files;
}

struct TCaseResult {
  std::vector<double> Program;  // median seconds per program
  std::vector<long> PeakKB;     // largest peak per program
  double Floor = 0;
  uintmax_t Bytes = 0;
  size_t Files = 0;
};

TCaseResult RunCase(const fs::path& dir, const std::vector<TProgram>& programs, const std::string& floor,
                    int reps) {
  const fs::path model = dir / kModelFile;
  const fs::path list = dir / kListFile;
  std::vector<std::vector<std::string>> commands;
  for (const TProgram& p : programs) commands.push_back({(dir / p.Label).string(), model.string()});
  const std::vector<std::string> floorCommand = {floor, model.string(), list.string()};

  TCaseResult result;
  // The warm-up round; the first program's outputs are the floor's list.
  for (size_t i = 0; i < commands.size(); ++i) {
    RunProcess(commands[i]);
    const auto files = Outputs(dir, programs);
    uintmax_t bytes = 0;
    for (const auto& f : files) bytes += f.second;
    if (i == 0) {
      std::string text;
      for (const auto& [path, size] : files) text += std::to_string(size) + " " + path + "\n";
      WriteFile(list, text.data(), text.size());
      result.Bytes = bytes;
      result.Files = files.size();
    } else if (bytes != result.Bytes || files.size() != result.Files) {
      Out("  note: " + programs[i].Label + " writes " + std::to_string(bytes) + " bytes in " +
          std::to_string(files.size()) + " files\n");
    }
  }
  RunProcess(floorCommand);

  std::vector<std::vector<double>> times(programs.size());
  std::vector<double> floorTimes;
  result.PeakKB.assign(programs.size(), 0);
  for (int round = 0; round < reps; ++round) {
    for (size_t i = 0; i < commands.size(); ++i) {
      const TRunResult r = RunProcess(commands[i]);
      times[i].push_back(r.Seconds);
      result.PeakKB[i] = std::max(result.PeakKB[i], r.PeakKB);
    }
    floorTimes.push_back(RunProcess(floorCommand).Seconds);
  }
  for (const auto& t : times) result.Program.push_back(Median(t));
  result.Floor = Median(floorTimes);
  return result;
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&] { return bwbench::OptionValue(argc, argv, i); };
    if (arg == "--program") {
      o.Programs.push_back(bwbench::ParseProgram(value()));
    } else if (arg == "--floor") {
      o.Floor = value();
    } else if (arg == "--reps") {
      o.Reps = std::max(1, std::atoi(value().c_str()));
    } else if (arg == "--cases") {
      o.Models = bwbench::SplitList(value());
    } else if (arg == "--dir") {
      o.Dir = value();
    } else {
      throw std::runtime_error("unknown argument " + arg);
    }
  }
  if (o.Programs.empty()) o.Programs.push_back({"bodwright", BODWRIGHT_PROGRAM});
  return o;
}

const bwbench::TModelKind& ModelNamed(const std::string& name) {
  for (const auto& m : bwbench::kModelKinds)
    if (name == m.Name) return m;
  throw std::runtime_error("no model named " + name);
}

// Builds the case's model into `path`, away from the runner's memory.
void BuildModel(const TCase& c, const fs::path& path) {
  bwbench::InChild("build " + path.string(), [&] {
    const bwbench::TModelFiles files = ModelNamed(c.Model).Build(c.Divisor);
    WriteFile(path, files.Model.data(), files.Model.size());
  });
}

int Run(const TOptions& o) {
  const bool ownDir = o.Dir.empty();
  const fs::path root = ownDir ? fs::temp_directory_path() / ("bodwright-floor-" + std::to_string(::getpid()))
                               : fs::path(o.Dir);
  fs::create_directories(root);

  Out("bodwright against the floor: whole processes in turn, 1 warm-up + " + std::to_string(o.Reps) +
      " rounds, medians; " + std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " cores, load average " +
      LoadAverage() + "\nfolder: " + root.string() + "\n");
  for (const TProgram& p : o.Programs) Out("program " + p.Label + ": " + p.Path + "\n");
  // A started process begins with this one's resident memory; a peak can be
  // told from it only above it.
  Out("peak: the process's largest resident size; this runner holds " + ResidentMB() +
      " MB, which a peak cannot go below\n");
  Out("\n" + Cell("model", 15, true) + Cell("setting", 12, true) + Cell("files", 6) + Cell("MB", 7) +
      Cell("program", 14) + Cell("ms", 8) + Cell("floor ms", 9) + Cell("ratio", 7) + Cell("peak MB", 9) +
      "\n");

  // model size + setting -> median per program
  std::map<std::string, std::vector<double>> medians;
  for (const TCase& c : kCases) {
    if (std::find(o.Models.begin(), o.Models.end(), c.Model) == o.Models.end()) continue;
    const std::string caseName = std::string(c.Model) + " " + c.Size;
    const fs::path model = root / (std::string(c.Model) + "_" + std::to_string(c.Divisor) + ".cmp");
    BuildModel(c, model);
    for (const TSetting& s : kSettings) {
      const fs::path dir = root / (std::string(c.Model) + "_" + std::to_string(c.Divisor) + "_" + s.Name);
      fs::remove_all(dir);
      fs::create_directories(dir);
      fs::copy_file(model, dir / kModelFile);
      const std::string ini = std::string(kIniHead) + s.Switches;
      for (const TProgram& p : o.Programs) {
        // The program reads the settings beside itself, named after itself.
        fs::copy_file(p.Path, dir / p.Label, fs::copy_options::overwrite_existing);
        WriteFile(dir / (p.Label + ".ini"), ini.data(), ini.size());
      }
      const TCaseResult r = RunCase(dir, o.Programs, o.Floor, o.Reps);
      medians[caseName + "/" + s.Name] = r.Program;
      for (size_t i = 0; i < o.Programs.size(); ++i) {
        Out(Cell(caseName, 15, true) + Cell(s.Name, 12, true) + Cell(std::to_string(r.Files), 6) +
            Cell(Fixed(static_cast<double>(r.Bytes) / 1e6, 2), 7) + Cell(o.Programs[i].Label, 14) +
            Cell(Fixed(r.Program[i] * 1e3, 2), 8) + Cell(Fixed(r.Floor * 1e3, 2), 9) +
            Cell(Fixed(r.Program[i] / r.Floor, 2), 7) +
            Cell(Fixed(static_cast<double>(r.PeakKB[i]) / 1024, 1), 9) + "\n");
      }
      fs::remove_all(dir);
    }
    fs::remove(model);
  }

  Out("\n");
  auto ratio = [&](const std::string& a, const std::string& b, size_t i) -> std::string {
    const auto x = medians.find(a), y = medians.find(b);
    if (x == medians.end() || y == medians.end()) return "-";
    return Fixed(x->second[i] / y->second[i], 2);
  };
  for (size_t i = 0; i < o.Programs.size(); ++i) {
    const std::string& label = o.Programs[i].Label;
    Out(label + ": chain whole / half, bod+mesh: " + ratio("chain whole/bod+mesh", "chain half/bod+mesh", i) +
        "; half / quarter: " + ratio("chain half/bod+mesh", "chain quarter/bod+mesh", i) + "\n");
    Out(label + ": picture, bod+preview / bod: chain whole " +
        ratio("chain whole/bod+preview", "chain whole/bod", i) + ", mesh whole " +
        ratio("mesh whole/bod+preview", "mesh whole/bod", i) + "\n");
  }
  Out("load average at the end: " + LoadAverage() + "\n");
  if (ownDir) fs::remove_all(root);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return bwbench::RunMain([&] { return Run(ParseOptions(argc, argv)); });
}
