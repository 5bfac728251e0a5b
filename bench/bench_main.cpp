// The benchmark: every scenario of bench_scenarios.cpp through one runner.
// Each scenario builds its input, then runs its variants in turn, round
// after round (interleaved, so that a change in the machine's load touches
// them alike), after one untimed round that says what each run writes and
// gives the floor its list. Figures: medians and spreads of elapsed and
// processor time, peak memory, and the processors everything else kept busy
// meanwhile; ratios round by round.
//
//   bodwright_bench [--only NAME...] [--rounds N] [--program LABEL=PATH]...
//                   [--dir FOLDER] [--json FILE] [--keep]
//   bodwright_bench --list
//   bodwright_bench --compare A.json B.json
//   bodwright_bench --floor LIST          (the floor itself; the runner starts it)

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <sstream>

#include "bench_runner.h"
#include "bench_scenarios.h"
#include "driver/driver.h"
#include "support/context.h"

#ifndef BODWRIGHT_PROGRAM
#define BODWRIGHT_PROGRAM "bodwright"
#endif
#ifndef BODWRIGHT_INI
#define BODWRIGHT_INI "bodwright.ini"
#endif

namespace {

using namespace bwbench;

void Out(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fflush(stdout);
}

struct TProgram {
  std::string Label, Path;
};

struct TOptions {
  std::vector<TProgram> Programs;
  std::vector<std::string> Only;
  int Rounds = 0;  // 0: each scenario's own
  std::string Dir, Json;
  bool Keep = false;
};

// One run of a round: a variant, by one program (or by none: the floor and
// the conversions in process).
struct TRun {
  size_t Variant = 0;
  std::string Program;  // its label
  bool InProcess = false;
  std::vector<std::string> Command;
  std::vector<std::vector<std::string>> Commands;  // EachModel: one a model
  std::vector<int> Statuses;
  std::vector<std::string> Reads;  // what its floor reads
  fs::path List;                   // the floor's list of its outputs
  TOutputs Outputs;
  std::vector<double> Wall, Cpu, Peak, Others;
};

std::string SelfPath() {
  return fs::read_symlink("/proc/self/exe").string();
}

TInput ReadInput(const fs::path& list) {
  TInput in;
  std::istringstream text(ReadFile(list));
  for (std::string line; std::getline(text, line);) {
    if (line.rfind("m ", 0) == 0) in.Models.push_back({line.substr(4), line[2] - '0', {}});
    if (line.rfind("a ", 0) == 0 && !in.Models.empty()) in.Models.back().MatFiles.push_back(line.substr(2));
    if (line.rfind("o ", 0) == 0) in.Other.push_back(line.substr(2));
  }
  return in;
}

// Builds the scenario's input below `in`, in a child: the runner never
// holds a model, so a process it starts begins small.
TInput BuildInput(const TScenario& s, const fs::path& in, const fs::path& list) {
  InChild<int>("build the input of " + s.Name, [&] {
    const TInput input = s.Build(in);
    std::string text;
    for (const TInputModel& m : input.Models) {
      text += "m " + std::to_string(m.Status) + " " + m.Path + "\n";
      for (const std::string& a : m.MatFiles) text += "a " + a + "\n";
    }
    for (const std::string& o : input.Other) text += "o " + o + "\n";
    WriteFile(list, text);
    return 0;
  });
  return ReadInput(list);
}

// `work` timed in this process: elapsed and processor time, the memory it
// adds to the high-water mark, and the processors everything else kept busy.
template <class TWork>
TSample TimedHere(TWork&& work) {
  const double busy = MachineBusySeconds(), cpu = OwnCpuSeconds();
  const long before = HighWaterKB();
  const auto start = std::chrono::steady_clock::now();
  work();
  TSample s;
  s.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  s.Cpu = OwnCpuSeconds() - cpu;
  s.PeakMB = static_cast<double>(HighWaterKB() - before) / 1024;
  s.Others = std::max(0.0, (MachineBusySeconds() - busy - s.Cpu) / s.Wall);
  return s;
}

// In a child of the runner: the conversion run once (its peak memory), its
// outputs cleared, then once more timed with the heap warm.
TSample ConvertInProcess(const std::string& ownPath, const std::vector<std::string>& args, const fs::path& in,
                         const std::set<std::string>& inputs) {
  return InChild<TSample>("convert " + args.front(), [&] {
    // The heap keeps the memory of one run for the next: the second run
    // measures the program's work, not the kernel handing out fresh pages.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    auto convert = [&] {
      std::string console;
      bw::TContext ctx;
      ctx.Console.Capture = &console;
      if (bw::RunProgram(ctx, ownPath, args) != 0) throw std::runtime_error("conversion failed:\n" + console);
    };
    const double peak = TimedHere(convert).PeakMB;
    ClearOutputs(in, inputs);
    TSample s = TimedHere(convert);
    s.PeakMB = peak;
    return s;
  });
}

// In a child of the runner: the floor of a conversion in process, without
// the start of a process.
TSample FloorInProcess(const fs::path& list) {
  return InChild<TSample>("write the floor of " + list.string(), [&] {
    return TimedHere([&] {
      if (WriteFloor(list) != 0) throw std::runtime_error("the floor failed");
    });
  });
}

TSample Execute(const TRun& run, const fs::path& in, const std::set<std::string>& inputs) {
  if (run.InProcess && run.Program == "floor") return FloorInProcess(run.Command.back());
  if (run.InProcess)
    return ConvertInProcess(run.Command[0], {run.Command.begin() + 1, run.Command.end()}, in, inputs);
  const double busy = MachineBusySeconds(), own = OwnCpuSeconds();
  TSample s;
  if (run.Commands.empty()) {
    s = RunProcess(run.Command, run.Statuses.front());
  } else {
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < run.Commands.size(); ++i) {
      const TSample one = RunProcess(run.Commands[i], run.Statuses[i]);
      s.Cpu += one.Cpu;
      s.PeakMB = std::max(s.PeakMB, one.PeakMB);
    }
    s.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  s.Others = std::max(0.0, (MachineBusySeconds() - busy - s.Cpu - (OwnCpuSeconds() - own)) / s.Wall);
  return s;
}

// The runs of a scenario: each variant by each program, each with a copy
// of the program and its settings file in a folder of its own.
std::vector<TRun> PlanRuns(const TScenario& s, const TInput& input, const fs::path& dir, const TOptions& o) {
  const fs::path in = dir / "in";
  const std::string base = s.InstalledSettings ? ReadFile(BODWRIGHT_INI) : kPlainSettings;
  std::vector<TRun> runs;
  for (size_t v = 0; v < s.Variants.size(); ++v) {
    const TVariant& variant = s.Variants[v];
    if (variant.Form == EForm::Floor) {
      const auto of = std::find_if(runs.begin(), runs.end(), [&](const TRun& r) {
        return s.Variants[r.Variant].Name == variant.FloorOf;
      });
      if (of == runs.end()) throw std::runtime_error(s.Name + ": " + variant.Name + " before its run");
      TRun floor;
      floor.Variant = v;
      floor.Program = "floor";
      floor.Command = {SelfPath(), "--floor", of->List.string()};
      floor.Statuses = {0};
      floor.InProcess = s.Variants[of->Variant].InProcess;
      runs.push_back(std::move(floor));
      continue;
    }
    const TInputModel& model = input.Models.at(variant.Model);
    std::vector<TProgram> programs = o.Programs;
    if (variant.InProcess) programs = {{"in-process", ""}};
    for (const TProgram& p : programs) {
      const fs::path prog = dir / "prog" / p.Label / std::to_string(v);
      fs::create_directories(prog);
      if (!variant.InProcess) fs::copy_file(p.Path, prog / "bodwright");
      WriteFile(prog / "bodwright.ini", SettingsText(base, variant.Settings));
      TRun run;
      run.Variant = v;
      run.Program = p.Label;
      run.Command = {(prog / "bodwright").string()};
      run.List = dir / ("floor-" + std::to_string(v) + ".list");
      run.Statuses = {0};
      run.InProcess = variant.InProcess;
      if (variant.Form == EForm::Folder) {
        run.Command.push_back(in.string());
        for (const TInputModel& m : input.Models) run.Reads.push_back((in / m.Path).string());
        for (const std::string& f : input.Other) run.Reads.push_back((in / f).string());
      } else if (variant.Form == EForm::EachModel) {
        run.Statuses.clear();
        for (const TInputModel& m : input.Models) {
          run.Commands.push_back({run.Command[0], (in / m.Path).string()});
          run.Statuses.push_back(m.Status);
          run.Reads.push_back((in / m.Path).string());
        }
      } else {
        run.Command.push_back((in / model.Path).string());
        for (const std::string& a : model.MatFiles) run.Command.push_back((in / a).string());
        run.Reads.assign(run.Command.begin() + 1, run.Command.end());
        run.Statuses = {model.Status};
      }
      runs.push_back(std::move(run));
    }
  }
  return runs;
}

void AddFigures(const TScenario& s, const TRun& r, std::vector<TRecord>& records) {
  const std::string& v = s.Variants[r.Variant].Name;
  auto add = [&](const char* figure, TSpread value) {
    records.push_back({s.Name, v, r.Program, figure, value});
  };
  add("wall_s", SpreadOf(r.Wall));
  add("cpu_s", SpreadOf(r.Cpu));
  add("peak_mb", SpreadOf(r.Peak));
  add("others", SpreadOf(r.Others));
  add("out_files", SpreadOf({static_cast<double>(r.Outputs.Files)}));
  add("out_mb", SpreadOf({static_cast<double>(r.Outputs.Bytes) / 1e6}));
}

std::string Range(const TSpread& t, double scale, int decimals) {
  return Fixed(t.Median * scale, decimals) + " (" + Fixed(t.Low * scale, decimals) + "-" +
         Fixed(t.High * scale, decimals) + ")";
}

// The scenario's table, and its figures added to `records`.
void Report(const TScenario& s, const std::vector<TRun>& runs, std::vector<TRecord>& records) {
  Out(Cell("run", 20, true) + Cell("program", 12, true) + Cell("files", 7) + Cell("out MB", 9) +
      Cell("wall ms (range)", 26) + Cell("cpu ms", 10) + Cell("peak MB", 9) + Cell("others", 8) + "\n");
  for (const TRun& r : runs) {
    AddFigures(s, r, records);
    Out(Cell(s.Variants[r.Variant].Name, 20, true) + Cell(r.Program, 12, true) +
        Cell(std::to_string(r.Outputs.Files), 7) +
        Cell(Fixed(static_cast<double>(r.Outputs.Bytes) / 1e6, 2), 9) +
        Cell(Range(SpreadOf(r.Wall), 1e3, 1), 26) + Cell(Fixed(SpreadOf(r.Cpu).Median * 1e3, 1), 10) +
        Cell(Fixed(SpreadOf(r.Peak).Median, 1), 9) + Cell(Fixed(SpreadOf(r.Others).Median, 2), 8) + "\n");
  }
  auto find = [&](const std::string& variant, const std::string& program) -> const TRun* {
    const TRun* any = nullptr;
    for (const TRun& r : runs) {
      if (s.Variants[r.Variant].Name != variant) continue;
      if (r.Program == program) return &r;
      if (r.Program == "floor" || r.Program == "in-process") any = &r;
    }
    return any;
  };
  for (const TRatio& ratio : s.Ratios) {
    std::set<std::string> seen;
    for (const TRun& r : runs) {
      const TRun* a = find(ratio.A, r.Program);
      const TRun* b = find(ratio.B, r.Program);
      if (!a || !b || !seen.insert(a->Program + "|" + b->Program).second) continue;
      const std::string label = ratio.A + " / " + ratio.B;
      const TSpread wall = PairedRatio(a->Wall, b->Wall), cpu = PairedRatio(a->Cpu, b->Cpu);
      records.push_back({s.Name, label, a->Program, "wall_ratio", wall});
      records.push_back({s.Name, label, a->Program, "cpu_ratio", cpu});
      Out("  " + Cell(label, 30, true) + Cell(a->Program, 12, true) + " wall " + Range(wall, 1, 2) +
          ", cpu " + Fixed(cpu.Median, 2) + "\n");
    }
  }
}

void RunScenario(const TScenario& s, const TOptions& o, const fs::path& root, std::vector<TRecord>& records) {
  const fs::path dir = root / s.Name, in = dir / "in";
  fs::remove_all(dir);
  fs::create_directories(in);
  const int rounds = o.Rounds > 0 ? o.Rounds : s.Rounds;
  Out("\n== " + s.Name + ": " + s.About + " ==\n");
  const auto built = std::chrono::steady_clock::now();
  const TInput input = BuildInput(s, in, dir / "input.list");
  std::set<std::string> inputs;
  for (const TInputModel& m : input.Models) {
    inputs.insert((in / m.Path).string());
    for (const std::string& a : m.MatFiles) inputs.insert((in / a).string());
  }
  for (const std::string& f : input.Other) inputs.insert((in / f).string());
  std::vector<TRun> runs = PlanRuns(s, input, dir, o);
  Out(std::to_string(input.Models.size()) + " models, " + std::to_string(inputs.size()) +
      " input files, built in " +
      Fixed(std::chrono::duration<double>(std::chrono::steady_clock::now() - built).count(), 1) +
      " s; 1 untimed round + " + std::to_string(rounds) + ", load " + LoadAverage() + "\n");
  const bool folders = std::any_of(s.Variants.begin(), s.Variants.end(), [](const TVariant& v) {
    return v.Form == EForm::Folder || v.Form == EForm::EachModel;
  });
  for (int round = -1; round < rounds; ++round) {
    for (TRun& r : runs) {
      ClearOutputs(in, inputs);
      if (folders) ::sync();  // the last run's and the removal's writing done before the clock starts
      const TSample sample = Execute(r, in, inputs);
      if (round < 0) {
        r.Outputs = ClearOutputs(in, inputs, r.Program == "floor" ? fs::path() : r.List, r.Reads);
        continue;
      }
      r.Wall.push_back(sample.Wall);
      r.Cpu.push_back(sample.Cpu);
      r.Peak.push_back(sample.PeakMB);
      r.Others.push_back(sample.Others);
    }
  }
  ClearOutputs(in, inputs);
  Report(s, runs, records);
  if (!o.Keep) fs::remove_all(dir);
}

void List() {
  for (const TScenario& s : Scenarios())
    Out(Cell(s.Name, 20, true) + (s.Quick ? "standard  " : "by name   ") + s.About + "\n");
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&] {
      if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
      return std::string(argv[++i]);
    };
    if (arg == "--only") {
      while (i + 1 < argc && argv[i + 1][0] != '-') o.Only.push_back(argv[++i]);
    } else if (arg == "--rounds") {
      o.Rounds = std::max(1, std::atoi(value().c_str()));
    } else if (arg == "--program") {
      const std::string v = value();
      const size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0) throw std::runtime_error("--program needs LABEL=PATH");
      o.Programs.push_back({v.substr(0, eq), fs::absolute(v.substr(eq + 1)).string()});
    } else if (arg == "--dir") {
      o.Dir = value();
    } else if (arg == "--json") {
      o.Json = value();
    } else if (arg == "--keep") {
      o.Keep = true;
    } else {
      throw std::runtime_error("unknown argument " + arg + " (see the head of bench/bench_main.cpp)");
    }
  }
  if (o.Programs.empty()) o.Programs.push_back({"bodwright", BODWRIGHT_PROGRAM});
  return o;
}

int Run(const TOptions& o) {
  std::vector<TScenario> chosen;
  for (const TScenario& s : Scenarios())
    if (o.Only.empty() ? s.Quick : std::count(o.Only.begin(), o.Only.end(), s.Name) > 0) chosen.push_back(s);
  if (chosen.size() < o.Only.size()) throw std::runtime_error("no such scenario among --only (see --list)");
  // Outputs in memory where there is a memory file system: the figures are
  // about the program, not the disk under it; --dir puts them on a disk.
  std::error_code ec;
  const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
  const fs::path root = fs::absolute(o.Dir.empty() ? base / ("bodwright-bench-" + std::to_string(::getpid()))
                                                   : fs::path(o.Dir));
  fs::create_directories(root);
  TMachine machine = DescribeMachine();
  Out("bodwright_bench: " + std::to_string(machine.Processors) + " processors (" + machine.Processor + "), " +
      Fixed(machine.MemoryGB, 1) + " GB, load " + machine.LoadAtStart + "; files in " + root.string() + "\n");
  for (const TProgram& p : o.Programs) Out("program " + p.Label + ": " + p.Path + "\n");
  Out("wall: elapsed; cpu: user + system; peak: largest resident size (in process: what the conversion "
      "adds);\n"
      "others: processors kept busy by everything else meanwhile; medians (smallest-largest) of the "
      "rounds\n");
  std::vector<TRecord> records;
  for (const TScenario& s : chosen) RunScenario(s, o, root, records);
  machine.LoadAtEnd = LoadAverage();
  Out("\nload at the end: " + machine.LoadAtEnd + "\n");
  if (!o.Json.empty()) WriteFile(o.Json, JsonText(machine, records));
  if (o.Dir.empty() && !o.Keep) fs::remove_all(root);
  return 0;
}

int Main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--floor") == 0) return WriteFloor(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) return List(), 0;
  if (argc == 4 && std::strcmp(argv[1], "--compare") == 0)
    return Out(CompareText(ReadRecords(ReadFile(argv[2])), ReadRecords(ReadFile(argv[3])))), 0;
  return Run(ParseOptions(argc, argv));
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
