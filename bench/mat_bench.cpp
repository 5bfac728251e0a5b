// Measures what naming a modification's material files costs a whole run,
// as a user's script runs the program for every model of a mod with all of
// its material files on the command line. For each model, whole processes
// with the installed settings, once without material files and once with
// the 100 files of bench_mod.h, in turn; one warm-up round, then N rounds;
// medians, their ratio and the peak resident memory of each. The images are
// switched off (the usual batch) and on.
//
//   bodwright_mat_bench [--program LABEL=PATH]... [--reps N] [--cases chain,small,large]
//                       [--textures off,on] [--dir FOLDER] [--ini PATH]
//   bodwright_mat_bench --write FOLDER
//       --program: several run side by side in every round; by default the
//       program built with this one
//       --dir: where the files go; by default a fresh folder in the system's
//       temporary folder, on the disk as a user's files are (/dev/shm shows
//       the program's own work without the file system's)
//       --ini: the installed settings, whose Textures switch each case sets
//       --write: only writes the material files and the models, for
//       profiling the program on them

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_mod.h"
#include "bench_models.h"
#include "bench_process.h"
#include "bench_text.h"

#ifndef BODWRIGHT_PROGRAM
#define BODWRIGHT_PROGRAM "bodwright"
#endif
#ifndef BODWRIGHT_INI
#define BODWRIGHT_INI "bodwright.ini"
#endif

namespace {

namespace fs = std::filesystem;
using bwbench::Cell;
using bwbench::Fixed;
using bwbench::Out;
using bwbench::TProgram;
using bwbench::TRunResult;

constexpr const char* kModelFile = "model.cmp";
constexpr const char* kMatFolder = "mats";

struct TCase {
  const char* Name;
  bwbench::Bytes (*Build)();
};
const TCase kCases[] = {
    {"chain", [] { return bwbench::ChainModel(1).Model; }},
    {"small", bwbench::SmallModModel},
    {"large", bwbench::LargeModModel},
};

struct TOptions {
  std::vector<TProgram> Programs;
  int Reps = 9;
  std::vector<std::string> Cases = {"chain", "small", "large"};
  std::vector<std::string> Textures = {"off", "on"};
  std::string Dir;
  std::string Ini = BODWRIGHT_INI;
  std::string WriteDir;
};

TOptions ParseOptions(int argc, char** argv) {
  TOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&] { return bwbench::OptionValue(argc, argv, i); };
    if (arg == "--program") {
      o.Programs.push_back(bwbench::ParseProgram(value()));
    } else if (arg == "--reps") {
      o.Reps = std::max(1, std::atoi(value().c_str()));
    } else if (arg == "--cases") {
      o.Cases = bwbench::SplitList(value());
    } else if (arg == "--textures") {
      o.Textures = bwbench::SplitList(value());
      for (const std::string& t : o.Textures)
        if (t != "off" && t != "on") throw std::runtime_error("--textures takes off, on or both");
    } else if (arg == "--dir") {
      o.Dir = value();
    } else if (arg == "--ini") {
      o.Ini = value();
    } else if (arg == "--write") {
      o.WriteDir = value();
    } else {
      throw std::runtime_error("unknown argument " + arg);
    }
  }
  if (o.Programs.empty()) o.Programs.push_back({"bodwright", BODWRIGHT_PROGRAM});
  return o;
}

std::string KB(double bytes) {
  return Fixed(bytes / 1e3, bytes < 10e3 ? 1 : 0) + " KB";
}

template <class T>
T MedianOf(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// What the files hold, to check them against what a real mod's hold.
void Describe(const bwbench::TMod& mod, const std::vector<size_t>& fileSizes) {
  size_t total = 0;
  for (size_t s : fileSizes) total += s;
  std::vector<size_t> materialCopies(mod.Materials.size()), imageCopies(mod.Textures.size());
  std::vector<uint32_t> images;
  size_t imageBytes = 0, ddsBytes = 0;
  for (const bwbench::TModFile& f : mod.Files) {
    for (uint32_t m : f.Materials) ++materialCopies[m];
    for (uint32_t t : f.Textures) {
      ++imageCopies[t];
      images.push_back(mod.Textures[t].Size);
      imageBytes += mod.Textures[t].Size;
      if (mod.Textures[t].Dds) ddsBytes += mod.Textures[t].Size;
    }
  }
  auto shared = [](const std::vector<size_t>& copies) {
    return std::count_if(copies.begin(), copies.end(), [](size_t c) { return c > 1; });
  };
  size_t folders = 0;
  for (size_t c : materialCopies) folders += c;
  Out("material files: " + std::to_string(fileSizes.size()) + ", " +
      Fixed(static_cast<double>(total) / 1e6, 1) + " MB; sizes " +
      KB(static_cast<double>(*std::min_element(fileSizes.begin(), fileSizes.end()))) + " to " +
      KB(static_cast<double>(*std::max_element(fileSizes.begin(), fileSizes.end()))) + ", median " +
      KB(static_cast<double>(MedianOf(fileSizes))) + "\n");
  Out("  materials: " + std::to_string(mod.Materials.size()) + ", " + std::to_string(shared(materialCopies)) +
      " of them in more than one file (" + std::to_string(folders) + " material folders)\n");
  Out("  images: " + std::to_string(mod.Textures.size()) + ", " + std::to_string(shared(imageCopies)) +
      " of them in more than one file (" + std::to_string(images.size()) + " library entries); " +
      Fixed(100.0 * static_cast<double>(imageBytes) / static_cast<double>(total), 1) + " % of the bytes, " +
      Fixed(100.0 * static_cast<double>(ddsBytes) / static_cast<double>(imageBytes), 1) + " % of them DDS; " +
      KB(*std::min_element(images.begin(), images.end())) + " to " +
      KB(*std::max_element(images.begin(), images.end())) + ", median " + KB(MedianOf(images)) + "\n");
}

// Writes the 100 material files into `folder` and says what they hold.
void WriteMod(const fs::path& folder) {
  bwbench::InChild("write the material files", [&] {
    fs::create_directories(folder);
    const bwbench::TMod& mod = bwbench::Mod();
    std::vector<size_t> sizes;
    for (size_t i = 0; i < mod.Files.size(); ++i) {
      const bwbench::Bytes file = bwbench::ModFile(mod, i);
      bwbench::WriteFile(folder / mod.Files[i].Name, file.data(), file.size());
      sizes.push_back(file.size());
    }
    Describe(mod, sizes);
  });
}

const TCase& CaseNamed(const std::string& name) {
  for (const TCase& c : kCases)
    if (name == c.Name) return c;
  throw std::runtime_error("no model named " + name);
}

void WriteModel(const TCase& c, const fs::path& path) {
  bwbench::InChild("build " + path.string(), [&] {
    const bwbench::Bytes model = c.Build();
    bwbench::WriteFile(path, model.data(), model.size());
  });
}

// The installed settings with the images switched as the case says.
std::string Settings(const std::string& installed, bool textures) {
  std::ifstream in(installed, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + installed);
  std::string text, line;
  bool set = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("Textures=", 0) == 0) {
      line = textures ? "Textures=ON" : "Textures=OFF";
      set = true;
    }
    text += line + "\r\n";
  }
  if (!set) throw std::runtime_error(installed + " has no Textures line");
  return text;
}

struct TOutput {
  uintmax_t Bytes = 0;
  size_t Files = 0;
};

// What the program left in the case's folder besides its inputs.
TOutput Outputs(const fs::path& dir, const std::set<std::string>& inputs) {
  TOutput out;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (inputs.count(entry.path().filename().string())) continue;
    out.Bytes += entry.file_size();
    ++out.Files;
  }
  return out;
}

void RemoveOutputs(const fs::path& dir, const std::set<std::string>& inputs) {
  std::vector<fs::path> doomed;
  for (const auto& entry : fs::directory_iterator(dir))
    if (!inputs.count(entry.path().filename().string())) doomed.push_back(entry.path());
  for (const fs::path& p : doomed) fs::remove(p);
}

struct TSide {
  double Seconds = 0;     // median
  double CpuSeconds = 0;  // median
  long PeakKB = 0;        // the largest of the rounds
  TOutput Output;         // of a run into an empty folder
};
struct TCaseResult {
  std::vector<TSide> Without, With;  // per program
};

TCaseResult RunCase(const fs::path& dir, const std::vector<TProgram>& programs,
                    const std::vector<std::string>& matFiles, int reps) {
  std::set<std::string> inputs = {kModelFile};
  std::vector<std::vector<std::string>> without, with;
  for (const TProgram& p : programs) {
    inputs.insert(p.Label);
    inputs.insert(p.Label + ".ini");
    without.push_back({(dir / p.Label).string(), (dir / kModelFile).string()});
    with.push_back(without.back());
    with.back().insert(with.back().end(), matFiles.begin(), matFiles.end());
  }

  TCaseResult result;
  result.Without.resize(programs.size());
  result.With.resize(programs.size());
  // The warm-up round, each run into an empty folder to see what it writes.
  for (size_t i = 0; i < programs.size(); ++i) {
    RemoveOutputs(dir, inputs);
    bwbench::RunProcess(without[i]);
    result.Without[i].Output = Outputs(dir, inputs);
    RemoveOutputs(dir, inputs);
    bwbench::RunProcess(with[i]);
    result.With[i].Output = Outputs(dir, inputs);
  }

  // Per program: the runs' times and processor times, without and with.
  std::vector<std::vector<TRunResult>> runsWithout(programs.size()), runsWith(programs.size());
  for (int round = 0; round < reps; ++round) {
    for (size_t i = 0; i < programs.size(); ++i) {
      runsWithout[i].push_back(bwbench::RunProcess(without[i]));
      runsWith[i].push_back(bwbench::RunProcess(with[i]));
    }
  }
  auto summarise = [](const std::vector<TRunResult>& runs, TSide& side) {
    std::vector<double> wall, cpu;
    for (const TRunResult& r : runs) {
      wall.push_back(r.Seconds);
      cpu.push_back(r.CpuSeconds);
      side.PeakKB = std::max(side.PeakKB, r.PeakKB);
    }
    side.Seconds = bwbench::Median(wall);
    side.CpuSeconds = bwbench::Median(cpu);
  };
  for (size_t i = 0; i < programs.size(); ++i) {
    summarise(runsWithout[i], result.Without[i]);
    summarise(runsWith[i], result.With[i]);
  }
  return result;
}

std::string OutputText(const TOutput& o) {
  return Fixed(static_cast<double>(o.Bytes) / 1e6, 2) + "/" + std::to_string(o.Files);
}

std::string MB(long kb) {
  return Fixed(static_cast<double>(kb) / 1024, 1);
}

int WriteOnly(const TOptions& o) {
  const fs::path root(o.WriteDir);
  WriteMod(root);
  for (const TCase& c : kCases) WriteModel(c, root / (std::string(c.Name) + ".cmp"));
  Out("written to " + root.string() + ": m000.mat ... m099.mat, chain.cmp, small.cmp, large.cmp\n");
  return 0;
}

int Run(const TOptions& o) {
  if (!o.WriteDir.empty()) return WriteOnly(o);
  const bool ownDir = o.Dir.empty();
  const fs::path root =
      ownDir ? fs::temp_directory_path() / ("bodwright-mat-" + std::to_string(::getpid())) : fs::path(o.Dir);
  fs::create_directories(root);

  Out("bodwright with and without a modification's material files: whole processes in turn, 1 warm-up + " +
      std::to_string(o.Reps) + " rounds, medians; " + std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) +
      " cores, load average " + bwbench::LoadAverage() + "\nfolder: " + root.string() +
      "\nsettings: " + o.Ini + ", Textures as the row says\n");
  for (const TProgram& p : o.Programs) Out("program " + p.Label + ": " + p.Path + "\n");

  const fs::path matDir = fs::absolute(root / kMatFolder);
  WriteMod(matDir);
  std::vector<std::string> matFiles;
  for (const bwbench::TModFile& f : bwbench::Mod().Files) matFiles.push_back((matDir / f.Name).string());

  Out("peak: the process's largest resident size (this runner holds " + bwbench::ResidentMB() +
      " MB; the models and files are built in child processes, so that a started process inherits little)\n");
  Out("out: MB/files a run writes into an empty folder; ms: elapsed; cpu: user + system ms\n\n");
  Out(Cell("model", 14, true) + Cell("textures", 9, true) + Cell("program", 10) + Cell("out without", 12) +
      Cell("out with", 10) + Cell("ms without", 11) + Cell("ms with", 9) + Cell("ratio", 7) +
      Cell("cpu without", 12) + Cell("cpu with", 9) + Cell("ratio", 7) + Cell("peak without", 13) +
      Cell("peak with", 10) + Cell("+MB", 6) + "\n");

  for (const std::string& name : o.Cases) {
    const TCase& c = CaseNamed(name);
    const fs::path model = root / (name + ".cmp");
    WriteModel(c, model);
    const std::string caseName = name + " " + Fixed(static_cast<double>(fs::file_size(model)) / 1e3, 0) + "K";
    for (const std::string& textures : o.Textures) {
      const fs::path dir = root / (name + "_" + textures);
      fs::remove_all(dir);
      fs::create_directories(dir);
      fs::copy_file(model, dir / kModelFile);
      const std::string ini = Settings(o.Ini, textures == "on");
      for (const TProgram& p : o.Programs) {
        // The program reads the settings beside itself, named after itself.
        fs::copy_file(p.Path, dir / p.Label, fs::copy_options::overwrite_existing);
        bwbench::WriteFile(dir / (p.Label + ".ini"), ini.data(), ini.size());
      }
      const TCaseResult r = RunCase(dir, o.Programs, matFiles, o.Reps);
      for (size_t i = 0; i < o.Programs.size(); ++i) {
        const TSide& a = r.Without[i];
        const TSide& b = r.With[i];
        Out(Cell(caseName, 14, true) + Cell(textures, 9, true) + Cell(o.Programs[i].Label, 10) +
            Cell(OutputText(a.Output), 12) + Cell(OutputText(b.Output), 10) +
            Cell(Fixed(a.Seconds * 1e3, 1), 11) + Cell(Fixed(b.Seconds * 1e3, 1), 9) +
            Cell(Fixed(b.Seconds / a.Seconds, 2), 7) + Cell(Fixed(a.CpuSeconds * 1e3, 0), 12) +
            Cell(Fixed(b.CpuSeconds * 1e3, 0), 9) +
            Cell(a.CpuSeconds > 0 ? Fixed(b.CpuSeconds / a.CpuSeconds, 2) : "-", 7) + Cell(MB(a.PeakKB), 13) +
            Cell(MB(b.PeakKB), 10) + Cell(MB(b.PeakKB - a.PeakKB), 6) + "\n");
      }
      fs::remove_all(dir);
    }
    fs::remove(model);
  }
  Out("\nload average at the end: " + bwbench::LoadAverage() + "\n");
  fs::remove_all(matDir);
  if (ownDir) fs::remove_all(root);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return bwbench::RunMain([&] { return Run(ParseOptions(argc, argv)); });
}
