// Measures the conversion of a whole modification (bench_tree.h: 2000
// models in 120 folders and 100 material files), with the installed
// settings and the images on, three ways:
//
//   (b) one process per model, as a user's script runs it, naming no
//       material file: bodwright <model>, the models in the program's walk
//       order;
//   (c) one folder run, one model at a time, every material file below the
//       folder used (Jobs=1, FolderMat=ON): bodwright <folder>;
//   (d) the same with the installed Jobs=0: one worker per processor thread;
//   (e) the folder run of (c) without the material files (FolderMat=OFF):
//       what (b) does, in one process, to tell the cost of the material
//       files from the saving of the processes.
//
// Beside each run, how many processors everything else on the machine kept
// busy meanwhile: each session gets its share of a shared machine's
// processors however many threads it runs, so beside others' builds (d)
// cannot gain on (c).
//
// Every output is removed before each run (and written out to the disk
// first), so that no run finds files of another. N rounds, the runs in turn
// in each; medians of the elapsed and the processor time, the largest peak
// resident memory. Beside them the figures the memory target is made of:
// the largest model converted alone, and what the material files add to a
// folder run.
//
//   bodwright_mod_bench [--program PATH] [--reps N] [--runs b,c,d,e] [--dir FOLDER] [--ini PATH]
//   bodwright_mod_bench --write FOLDER
//       --program: the program to measure; by default the one built with this
//       --dir: where the modification and the outputs go; by default a fresh
//       folder in the system's temporary folder, on the disk as a user's
//       files are (/dev/shm shows the program's own work without the disk's)
//       --ini: the installed settings; Textures and Preview are switched on,
//       Jobs and FolderMat set as each run says
//       --write: only writes the modification below FOLDER and says what it
//       holds, to look at it or to profile the program on it

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_mod.h"
#include "bench_process.h"
#include "bench_text.h"
#include "bench_tree.h"

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
using bwbench::TRunResult;

struct TOptions {
  std::string Program = BODWRIGHT_PROGRAM;
  int Reps = 3;
  std::vector<std::string> Runs = {"b", "c", "d", "e"};
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
      o.Program = fs::absolute(value()).string();
    } else if (arg == "--reps") {
      o.Reps = std::max(1, std::atoi(value().c_str()));
    } else if (arg == "--runs") {
      o.Runs = bwbench::SplitList(value());
      for (const std::string& r : o.Runs)
        if (r != "b" && r != "c" && r != "d" && r != "e")
          throw std::runtime_error("--runs takes b, c, d and e");
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
  return o;
}

std::string MB(double bytes) {
  return Fixed(bytes / 1e6, 1);
}
std::string KB(double bytes) {
  return Fixed(bytes / 1e3, bytes < 10e3 ? 1 : 0) + " KB";
}
std::string PeakMB(long kb) {
  return Fixed(static_cast<double>(kb) / 1024, 1);
}

template <class T>
T Quantile(std::vector<T> v, double q) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())))];
}

// What the written modification holds, from its files' sizes.
void Describe(const bwbench::TModTree& tree, const std::vector<size_t>& sizes,
              const std::vector<size_t>& matSizes) {
  std::map<size_t, size_t> depths;
  for (const std::string& f : tree.Folders)
    ++depths[static_cast<size_t>(std::count(f.begin(), f.end(), '/'))];
  std::vector<size_t> perFolder(tree.Folders.size());
  size_t total = 0, above = 0, own = 0, library = 0, parts = 0, lone = 0, ratioOff = 0;
  std::vector<double> offBy;
  for (size_t i = 0; i < tree.Models.size(); ++i) {
    const bwbench::TTreeModel& m = tree.Models[i];
    ++perFolder[m.Folder];
    total += sizes[i];
    above += sizes[i] > 350000;
    own += m.Kind == bwbench::ETreeKind::Mesh && m.OwnLibraries;
    library += m.Kind == bwbench::ETreeKind::LibraryOnly;
    parts += m.Kind == bwbench::ETreeKind::PartsOnly;
    lone += m.Lone;
    const double off = static_cast<double>(sizes[i]) / m.TargetBytes - 1;
    offBy.push_back(off < 0 ? -off : off);
    ratioOff += (off < 0 ? -off : off) > 0.1;
  }
  std::set<std::string> stems;
  size_t pairs = 0;
  for (const bwbench::TTreeModel& m : tree.Models)
    pairs += !stems.insert(m.Relative.substr(0, m.Relative.rfind('.'))).second;
  size_t matTotal = 0;
  std::set<std::string> matFolders;
  for (size_t i = 0; i < matSizes.size(); ++i) {
    matTotal += matSizes[i];
    const std::string& r = tree.MatFiles[i].Relative;
    matFolders.insert(r.substr(0, r.rfind('/')));
  }
  std::string depthText;
  for (const auto& [depth, count] : depths)
    depthText += (depthText.empty() ? "" : ", ") + std::to_string(depth) + " deep: " + std::to_string(count);
  Out("modification: " + std::to_string(tree.Models.size()) + " models in " +
      std::to_string(tree.Folders.size()) + " folders (" + depthText + "; " +
      std::to_string(*std::min_element(perFolder.begin(), perFolder.end())) + " to " +
      std::to_string(*std::max_element(perFolder.begin(), perFolder.end())) + " models a folder, median " +
      std::to_string(Quantile(perFolder, 0.5)) + ")\n");
  Out("  sizes: " + MB(static_cast<double>(total)) + " MB in all, " +
      KB(static_cast<double>(*std::min_element(sizes.begin(), sizes.end()))) + " to " +
      KB(static_cast<double>(*std::max_element(sizes.begin(), sizes.end()))) + ", median " +
      KB(static_cast<double>(Quantile(sizes, 0.5))) + ", " + std::to_string(above) +
      " above 350 KB (off their planned size by " + Fixed(100 * Quantile(offBy, 0.5), 1) +
      " % at the median, " + std::to_string(ratioOff) + " by more than 10 %)\n");
  Out("  with mesh data: " + std::to_string(tree.Models.size() - library - parts) + " (" +
      std::to_string(own) + " with their own material and texture libraries, " + std::to_string(lone) +
      " of one piece without a part table); without: " + std::to_string(library + parts) + " (" +
      std::to_string(library) + " a material and texture library alone, " + std::to_string(parts) +
      " a part table without its mesh library)\n");
  Out("  " + std::to_string(pairs) + " pairs x.3db beside x.cmp; " + std::to_string(matSizes.size()) +
      " material files (" + MB(static_cast<double>(matTotal)) + " MB) in " +
      std::to_string(matFolders.size()) + " folders\n");
}

// The list a runner reads instead of laying the modification out itself:
// a line per model ("m", the exit status of a run of its own, its path
// below the folder), then one per material file ("f", its path).
constexpr const char* kListFile = "models.list";

// Writes the modification below `root`, and its list beside it, in a child
// process so that the runner never holds a model.
void WriteTree(const fs::path& root, const fs::path& list) {
  bwbench::InChild("write the modification", [&] {
    const bwbench::TModTree& tree = bwbench::ModTree();
    for (const std::string& f : tree.Folders) fs::create_directories(root / f);
    std::vector<size_t> sizes, matSizes;
    for (size_t i = 0; i < tree.Models.size(); ++i) {
      const bwbench::Bytes model = bwbench::TreeModelBytes(tree, i);
      bwbench::WriteFile(root / tree.Models[i].Relative, model.data(), model.size());
      sizes.push_back(model.size());
    }
    for (const bwbench::TTreeMatFile& f : tree.MatFiles) {
      const bwbench::Bytes file = bwbench::ModFile(bwbench::Mod(), f.ModFile);
      bwbench::WriteFile(root / f.Relative, file.data(), file.size());
      matSizes.push_back(file.size());
    }
    Describe(tree, sizes, matSizes);
    if (list.empty()) return;
    std::ofstream out(list, std::ios::binary | std::ios::trunc);
    for (const bwbench::TTreeModel& m : tree.Models)
      out << "m " << (m.Kind == bwbench::ETreeKind::Mesh ? 0 : 1) << ' ' << m.Relative << '\n';
    for (const bwbench::TTreeMatFile& f : tree.MatFiles) out << "f " << f.Relative << '\n';
    if (!out) throw std::runtime_error("cannot write " + list.string());
  });
}

struct TModList {
  std::vector<std::string> Models;  // below the folder, in walk order
  std::vector<int> Statuses;        // a model without mesh data ends a run of its own with 1
  std::vector<std::string> MatFiles;
};

TModList ReadList(const fs::path& list) {
  std::ifstream in(list, std::ios::binary);
  TModList l;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("m ", 0) == 0 && line.size() > 4) {
      l.Statuses.push_back(line[2] - '0');
      l.Models.push_back(line.substr(4));
    } else if (line.rfind("f ", 0) == 0) {
      l.MatFiles.push_back(line.substr(2));
    }
  }
  if (l.Models.empty()) throw std::runtime_error("cannot read " + list.string());
  return l;
}

// The installed settings with some keys set.
std::string Settings(const std::string& installed, const std::map<std::string, std::string>& keys) {
  std::ifstream in(installed, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + installed);
  std::string text, line;
  std::set<std::string> set;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq != std::string::npos && line[0] != ';') {
      const auto key = keys.find(line.substr(0, eq));
      if (key != keys.end()) {
        line = key->first + "=" + key->second;
        set.insert(key->first);
      }
    }
    text += line + "\r\n";
  }
  for (const auto& [key, value] : keys)
    if (!set.count(key)) throw std::runtime_error(installed + " has no " + key + " line");
  return text;
}

// A copy of the program with its settings beside it, as installed.
std::string Install(const fs::path& folder, const std::string& program, const std::string& settings) {
  fs::create_directories(folder);
  const fs::path copy = folder / "bodwright";
  fs::copy_file(program, copy, fs::copy_options::overwrite_existing);
  bwbench::WriteFile(folder / "bodwright.ini", settings.data(), settings.size());
  return copy.string();
}

struct TOutput {
  size_t Files = 0;
  uintmax_t Bytes = 0;
};

// Removes what a run left besides the inputs, and says what it was. In a
// child process: walking tens of thousands of paths grows a heap that the
// runner would keep, and every process it starts would begin with.
TOutput RemoveOutputs(const fs::path& root, const std::set<std::string>& inputs) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
  bwbench::InChild("remove the outputs below " + root.string(), [&] {
    ::close(fds[0]);
    TOutput out;
    std::vector<fs::path> doomed;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.is_directory() || inputs.count(entry.path().string())) continue;
      ++out.Files;
      out.Bytes += entry.is_regular_file() ? entry.file_size() : 0;
      doomed.push_back(entry.path());
    }
    for (const fs::path& p : doomed) fs::remove(p);
    if (::write(fds[1], &out, sizeof out) != static_cast<ssize_t>(sizeof out))
      throw std::runtime_error("write failed");
  });
  ::close(fds[1]);
  TOutput out;
  const bool read = ::read(fds[0], &out, sizeof out) == static_cast<ssize_t>(sizeof out);
  ::close(fds[0]);
  if (!read) throw std::runtime_error("cannot remove the outputs below " + root.string());
  return out;
}

// The processor time the whole machine has spent busy since it started
// (/proc/stat, every processor), in seconds.
double MachineBusySeconds() {
  std::ifstream in("/proc/stat");
  std::string cpu;
  double fields[8] = {};
  in >> cpu;
  for (double& f : fields) in >> f;
  // user, nice, system, idle, iowait, irq, softirq, steal: all but idle and iowait
  const double busy = fields[0] + fields[1] + fields[2] + fields[5] + fields[6] + fields[7];
  return busy / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double OwnCpuSeconds() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct TMeasure {
  TRunResult Result;
  std::string PeakModel;  // (b): the model of the largest peak
  // Processors kept busy meanwhile by everything else on the machine, on
  // average: on a shared machine each session gets its share of the
  // processors, however many threads it runs, so a run beside others'
  // builds cannot show what a second worker gains.
  double OtherCores = 0;
};

struct TRunKind {
  std::string Name;
  std::string Title;
};

// The summary lines of a folder run's console.
std::vector<std::string> SummaryOf(const fs::path& console) {
  std::ifstream in(console);
  std::vector<std::string> lines;
  std::string line;
  bool in_summary = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "== SUMMARY ==") in_summary = true;
    if (in_summary) lines.push_back(line);
  }
  return lines;
}

int WriteOnly(const TOptions& o) {
  const fs::path root(o.WriteDir);
  fs::create_directories(root);
  WriteTree(root, {});
  Out("written to " + root.string() + "\n");
  return 0;
}

int Run(const TOptions& o) {
  if (!o.WriteDir.empty()) return WriteOnly(o);
  const bool ownDir = o.Dir.empty();
  const fs::path root = fs::absolute(
      ownDir ? fs::temp_directory_path() / ("bodwright-mod-" + std::to_string(::getpid())) : fs::path(o.Dir));
  if (fs::exists(root / "mod")) fs::remove_all(root / "mod");
  fs::create_directories(root);
  const fs::path mod = root / "mod";
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());

  Out("bodwright over a whole modification: whole processes, " + std::to_string(o.Reps) +
      " rounds, the runs in turn, medians; " + std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) +
      " cores, load average " + bwbench::LoadAverage() + "\nfolder: " + root.string() +
      "\nprogram: " + o.Program + "\nsettings: " + o.Ini + " with Textures=ON and Preview=.svg, ON\n");
  const auto writeStart = std::chrono::steady_clock::now();
  WriteTree(mod, root / kListFile);
  Out("  written in " +
      Fixed(std::chrono::duration<double>(std::chrono::steady_clock::now() - writeStart).count(), 1) +
      " s\n");

  // The models in the program's order, and the one of most bytes.
  const TModList list = ReadList(root / kListFile);
  const std::vector<int>& statuses = list.Statuses;
  std::vector<std::string> models;
  std::set<std::string> inputs, folders;
  size_t largest = 0;
  uintmax_t largestBytes = 0;
  for (size_t i = 0; i < list.Models.size(); ++i) {
    models.push_back((mod / list.Models[i]).string());
    inputs.insert(models.back());
    folders.insert(list.Models[i].substr(0, list.Models[i].rfind('/')));
    const uintmax_t bytes = fs::file_size(models.back());
    if (bytes > largestBytes) largestBytes = bytes, largest = i;
  }
  for (const std::string& f : list.MatFiles) inputs.insert((mod / f).string());
  const size_t workers = std::min<size_t>(threads, folders.size());

  const std::map<std::string, std::string> installed = {{"Textures", "ON"}, {"Preview", ".svg, ON"}};
  auto with = [&](std::map<std::string, std::string> keys) {
    keys.insert(installed.begin(), installed.end());
    return Settings(o.Ini, keys);
  };
  const std::string progInstalled = Install(root / "prog" / "installed", o.Program, with({}));
  const std::string progJobs1 =
      Install(root / "prog" / "jobs1", o.Program, with({{"Jobs", "1"}, {"FolderMat", "ON"}}));
  const std::string progJobs0 =
      Install(root / "prog" / "jobs0", o.Program, with({{"Jobs", "0"}, {"FolderMat", "ON"}}));
  const std::string progNoMat =
      Install(root / "prog" / "nomat", o.Program, with({{"Jobs", "1"}, {"FolderMat", "OFF"}}));

  const std::vector<TRunKind> kinds = {
      {"b", "(b) one process per model"},
      {"c", "(c) folder, Jobs=1"},
      {"d", "(d) folder, Jobs=0: " + std::to_string(workers) + " workers"},
      {"e", "(e) folder, Jobs=1, FolderMat=OFF"},
  };
  auto wanted = [&](const std::string& name) {
    return std::find(o.Runs.begin(), o.Runs.end(), name) != o.Runs.end();
  };
  const std::string modArg = mod.string();
  auto runOnce = [&](const std::string& name) {
    TMeasure m;
    const double busyBefore = MachineBusySeconds(), ownBefore = OwnCpuSeconds();
    if (name == "b") {
      const auto start = std::chrono::steady_clock::now();
      for (size_t i = 0; i < models.size(); ++i) {
        const TRunResult r = bwbench::RunProcess({progInstalled, models[i]}, statuses[i]);
        m.Result.CpuSeconds += r.CpuSeconds;
        if (r.PeakKB > m.Result.PeakKB) m.Result.PeakKB = r.PeakKB, m.PeakModel = list.Models[i];
      }
      m.Result.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } else {
      const std::string& prog = name == "c" ? progJobs1 : name == "d" ? progJobs0 : progNoMat;
      m.Result = bwbench::RunProcess({prog, modArg});
    }
    const double others =
        MachineBusySeconds() - busyBefore - m.Result.CpuSeconds - (OwnCpuSeconds() - ownBefore);
    m.OtherCores = std::max(0.0, others / m.Result.Seconds);
    return m;
  };

  // A folder run checked once, its console kept: every model converted or
  // without mesh data, every material file used.
  {
    RemoveOutputs(mod, inputs);
    const fs::path console = root / "console-d.txt";
    bwbench::RunProcess({progJobs0, modArg}, 0, console.c_str());
    Out("check, a folder run as (d), its summary:\n");
    for (const std::string& line : SummaryOf(console)) Out("  " + line + "\n");
    RemoveOutputs(mod, inputs);
  }

  // What the memory target is made of: the largest model alone, and what
  // the material files add to a folder run of one small model.
  long largestPeak = 0, withSources = 0, withoutSources = 0;
  {
    const fs::path small = root / "sources";
    fs::remove_all(small);
    fs::create_directories(small / "mats");
    size_t smallest = 0;
    for (size_t i = 0; i < models.size(); ++i)
      if (statuses[i] == 0 && fs::file_size(models[i]) < fs::file_size(models[smallest])) smallest = i;
    fs::copy_file(models[smallest], small / "model.cmp");
    std::set<std::string> smallInputs = {(small / "model.cmp").string()};
    for (const std::string& f : list.MatFiles) {
      const fs::path copy = small / "mats" / fs::path(f).filename();
      fs::copy_file(mod / f, copy);
      smallInputs.insert(copy.string());
    }
    for (int r = 0; r < std::max(3, o.Reps); ++r) {
      RemoveOutputs(mod, inputs);
      largestPeak = std::max(largestPeak, bwbench::RunProcess({progInstalled, models[largest]}).PeakKB);
      RemoveOutputs(small, smallInputs);
      withSources = std::max(withSources, bwbench::RunProcess({progJobs1, small.string()}).PeakKB);
      RemoveOutputs(small, smallInputs);
      withoutSources = std::max(withoutSources, bwbench::RunProcess({progNoMat, small.string()}).PeakKB);
    }
    RemoveOutputs(mod, inputs);
    fs::remove_all(small);
  }

  Out("\nthis runner holds " + bwbench::ResidentMB() +
      " MB (a started process begins with it; the models are built in a child process)\n");
  std::map<std::string, std::vector<TMeasure>> measured;
  std::map<std::string, TOutput> outputs;
  for (int round = 0; round < o.Reps; ++round) {
    std::string line = "round " + std::to_string(round + 1) + ":";
    for (const TRunKind& k : kinds) {
      if (!wanted(k.Name)) continue;
      RemoveOutputs(mod, inputs);
      ::sync();  // the removal's and the last run's writing done before the clock starts
      const TMeasure m = runOnce(k.Name);
      measured[k.Name].push_back(m);
      line += " " + k.Name + " " + Fixed(m.Result.Seconds, 2) + " s (cpu " + Fixed(m.Result.CpuSeconds, 2) +
              ", others " + Fixed(m.OtherCores, 1) + ")";
      if (round == 0) outputs[k.Name] = RemoveOutputs(mod, inputs);
    }
    Out(line + ", load " + bwbench::LoadAverage() + "\n");
  }
  RemoveOutputs(mod, inputs);

  struct TSummary {
    double Seconds = 0, Cpu = 0, Others = 0;
    long PeakKB = 0;
    std::string PeakModel;
  };
  std::map<std::string, TSummary> summary;
  Out("\nout: the files and MB a run writes; wall, cpu (user + system): medians; others: processors kept "
      "busy by "
      "everything else meanwhile (of " +
      std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + "); peak: the largest of the rounds\n");
  Out(Cell("run", 36, true) + Cell("out files", 10) + Cell("out MB", 8) + Cell("wall s", 8) +
      Cell("cpu s", 8) + Cell("cpu/wall", 9) + Cell("others", 8) + Cell("peak MB", 9) + "\n");
  for (const TRunKind& k : kinds) {
    if (!wanted(k.Name)) continue;
    std::vector<double> wall, cpu, others;
    TSummary& s = summary[k.Name];
    for (const TMeasure& m : measured[k.Name]) {
      wall.push_back(m.Result.Seconds);
      cpu.push_back(m.Result.CpuSeconds);
      others.push_back(m.OtherCores);
      if (m.Result.PeakKB > s.PeakKB) s.PeakKB = m.Result.PeakKB, s.PeakModel = m.PeakModel;
    }
    s.Seconds = bwbench::Median(wall);
    s.Cpu = bwbench::Median(cpu);
    s.Others = bwbench::Median(others);
    Out(Cell(k.Title, 36, true) + Cell(std::to_string(outputs[k.Name].Files), 10) +
        Cell(MB(static_cast<double>(outputs[k.Name].Bytes)), 8) + Cell(Fixed(s.Seconds, 2), 8) +
        Cell(Fixed(s.Cpu, 2), 8) + Cell(Fixed(s.Cpu / s.Seconds, 2), 9) + Cell(Fixed(s.Others, 1), 8) +
        Cell(PeakMB(s.PeakKB), 9) + "\n");
  }

  Out("\n");
  auto ratio = [&](const std::string& a, const std::string& b, const std::string& target, double bound) {
    if (!summary.count(a) || !summary.count(b)) return;
    const double wall = summary[a].Seconds / summary[b].Seconds;
    Out("(" + a + ")/(" + b + "): wall " + Fixed(wall, 2) + ", cpu " +
        Fixed(summary[a].Cpu / summary[b].Cpu, 2) +
        (target.empty() ? "" : "  target " + target + ": " + (wall <= bound ? "holds" : "missed")) + "\n");
    // The two runs of a round follow each other, so they met about the same
    // load: their ratio round by round, with the others' processors of each.
    std::string rounds;
    for (size_t r = 0; r < measured[a].size() && r < measured[b].size(); ++r) {
      const TMeasure& x = measured[a][r];
      const TMeasure& y = measured[b][r];
      rounds += (r ? ", " : "") + Fixed(x.Result.Seconds / y.Result.Seconds, 2) + " (others " +
                Fixed(x.OtherCores, 1) + "/" + Fixed(y.OtherCores, 1) + ")";
    }
    Out("    by round: " + rounds + "\n");
  };
  ratio("c", "b", "<= 1.0", 1.0);
  ratio("d", "c", "<= 0.6", 0.6);
  ratio("e", "b", "", 0);
  ratio("c", "e", "", 0);

  const long sources = std::max(0L, withSources - withoutSources);
  const long bound = sources + static_cast<long>(workers) * largestPeak + 16 * 1024;
  Out("\npeak MB: the largest model alone (" + list.Models[largest] + ", " +
      MB(static_cast<double>(largestBytes)) + " MB): " + PeakMB(largestPeak) + "\n");
  if (summary.count("b"))
    Out("  (b) the largest of the models' peaks: " + PeakMB(summary["b"].PeakKB) + " (" +
        summary["b"].PeakModel + ")\n");
  Out("  material sources: a folder run of one small model with the 100 material files " +
      PeakMB(withSources) + ", without " + PeakMB(withoutSources) + ": " + PeakMB(sources) + "\n");
  Out("  bound for (d): sources + " + std::to_string(workers) +
      " x the largest alone + 16 = " + PeakMB(bound));
  if (summary.count("d"))
    Out("; (d): " + PeakMB(summary["d"].PeakKB) + ": " + (summary["d"].PeakKB <= bound ? "holds" : "missed"));
  Out("\n\nload average at the end: " + bwbench::LoadAverage() + "\n");
  fs::remove_all(mod);
  fs::remove_all(root / "prog");
  fs::remove(root / kListFile);
  fs::remove(root / "console-d.txt");
  if (ownDir) fs::remove_all(root);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return bwbench::RunMain([&] { return Run(ParseOptions(argc, argv)); });
}
