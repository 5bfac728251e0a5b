#include "driver/folder_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "driver/driver.h"
#include "driver/output_places.h"
#include "driver/run_state.h"
#include "driver/settings.h"
#include "output/page_html.h"
#include "support/errors.h"
#include "support/number_text.h"
#include "support/platform.h"
#include "support/text_helpers.h"

namespace bw {
namespace {

// How a model of the run ended, for its place in the summary.
enum class EOutcome { NotStarted, Converted, NoMeshData, Failed, Stopped };

// One model's part of the run: its console block, complete when Done.
struct TSlot {
  std::string Console;
  EOutcome Outcome = EOutcome::NotStarted;
  std::string ErrorLine;
  TModelStats Stats;
  bool Done = false;
};

// What the workers and the printer share, under one lock.
struct TBoard {
  std::mutex Lock;
  std::condition_variable Changed;
  std::vector<TSlot> Slots;
  std::string LastStarted;
  int32_t Failed = 0;
};

std::string SkipText(const TSkippedEntry& entry) {
  switch (entry.Reason) {
    case TWalkSkip::FileNameNotHeld: return "its name is not one the system's code page holds";
    case TWalkSkip::FolderNameNotHeld: return "a folder whose name the system's code page does not hold";
    case TWalkSkip::FolderNotListed: return "the folder cannot be listed: " + entry.Detail;
    case TWalkSkip::FileNotReached: return "it leads to no file";
    case TWalkSkip::FolderLoop: return "a folder met again below itself";
  }
  return "skipped";
}

void AddSkipped(TRun& run, const TFolderWalk& walk) {
  run.Skipped.insert(run.Skipped.end(), walk.Skipped.begin(), walk.Skipped.end());
}

// The models in walk order with the names of their outputs. Two models of
// one folder whose names differ only in their extension would write the
// same files: the later one writes under its file name with the
// extension's dot made "_", unless another model of the folder has that
// name too; then it is not converted.
void PlanJobs(TRun& run, const std::vector<TWalkedFile>& files) {
  const TSettings& s = run.Settings;
  const std::string outRoot = s.OutDir.empty() ? std::string() : OutDirRoot(s.OutDir, run.FolderArg);
  struct TFolder {
    size_t Group = 0;
    std::map<std::string, size_t> Natural;  // folded name without extension -> its first model
    std::map<std::string, size_t> Taken;    // folded output name -> the model that writes it
  };
  std::map<std::string, TFolder> folders;
  std::vector<std::string> names(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string& rel = files[i].Relative;
    const size_t slash = rel.rfind('/');
    const std::string relFolder = slash == std::string::npos ? std::string() : rel.substr(0, slash + 1);
    names[i] = rel.substr(relFolder.size());
    const auto [it, added] = folders.try_emplace(relFolder);
    if (added) it->second.Group = folders.size() - 1;
    const std::string stem = names[i].substr(0, names[i].rfind('.'));
    it->second.Natural.emplace(LowerCase(stem), i);
  }
  run.Jobs.resize(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    TModelJob& job = run.Jobs[i];
    job.Path = files[i].Path;
    job.Relative = files[i].Relative;
    const std::string& name = names[i];
    const std::string relFolder = job.Relative.substr(0, job.Relative.size() - name.size());
    TFolder& folder = folders[relFolder];
    job.Group = folder.Group;
    std::string outFolder = job.Path.substr(0, job.Path.size() - name.size());
    if (!outRoot.empty()) {
      // The model's folder below the run's, with the system's separators.
      outFolder = outRoot;
      for (size_t from = 0, slash; (slash = relFolder.find('/', from)) != std::string::npos; from = slash + 1)
        outFolder = plat::JoinPath(outFolder, relFolder.substr(from, slash - from));
      if (!relFolder.empty()) outFolder = plat::JoinPath(outFolder, "");
    }
    const size_t dot = name.rfind('.');
    std::string stem = name.substr(0, dot);
    const auto first = folder.Taken.find(LowerCase(stem));
    if (first != folder.Taken.end()) {
      std::string renamed = name;
      renamed[dot] = '_';
      const std::string folded = LowerCase(renamed);
      const auto natural = folder.Natural.find(folded);
      const auto taken = folder.Taken.find(folded);
      if (natural != folder.Natural.end() || taken != folder.Taken.end()) {
        const size_t other = natural != folder.Natural.end() ? natural->second : taken->second;
        job.Error = "  Error : the outputs of " + job.Path + " would replace those of " + files[other].Path + ".";
        continue;
      }
      job.Note = "  Note : " + job.Path + " writes its outputs as " + renamed + ", as " + files[first->second].Path +
                 " writes those of " + stem + ".";
      stem = renamed;
    }
    folder.Taken.emplace(LowerCase(stem), i);
    job.BaseName = outFolder + stem;
  }
}

// A console block as the run's console says it, line by line.
void PrintBlock(const TConsole& console, const std::string& block) {
  size_t pos = 0;
  while (pos < block.size()) {
    const size_t end = block.find('\n', pos);
    console.Line(std::string_view(block).substr(pos, end - pos));
    pos = end + 1;
  }
}

std::string_view TrimLeft(std::string_view line) {
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  return line;
}

// The last line of a console block.
std::string LastLine(const std::string& block) {
  std::string_view text(block);
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  const size_t nl = text.rfind('\n');
  return std::string(nl == std::string_view::npos ? text : text.substr(nl + 1));
}

// One model, start to end; its console block goes to the slot.
void ConvertJob(const TRun& run, const TModelJob& job, TSlot& slot, TFileSet& written, TImageRecord& images,
                TColourCache& colours) {
  TModelRun model;
  model.Ctx.Console.Capture = &slot.Console;
  const TConsole& console = model.Ctx.Console;
  console.Line("== " + job.Path + " ==");
  if (!job.Note.empty()) console.Line(job.Note);
  if (!job.Error.empty()) {
    console.Line(job.Error);
    slot.Outcome = EOutcome::Failed;
    return;
  }
  model.Names = ModelNamesOf(job.Path, job.BaseName, run.Settings);
  if (!run.Settings.OutDir.empty()) MakeFolders(model.Names.OutFolder);
  try {
    OpenModel(run, model, written);
  } catch (const EOverwriteError&) {
    slot.Outcome = EOutcome::Failed;  // its console line has been written
  } catch (const std::exception& e) {
    console.Line(e.what());
    slot.Outcome = EOutcome::Failed;
  }
  if (slot.Outcome != EOutcome::Failed) {
    switch (ConvertModel(run, model, written, images, colours, false)) {
      case EModelEnd::Converted: slot.Outcome = EOutcome::Converted; break;
      case EModelEnd::NoMeshData: slot.Outcome = EOutcome::NoMeshData; break;
      case EModelEnd::Failed: slot.Outcome = EOutcome::Failed; break;
      case EModelEnd::Interrupted:
        console.Line("  Stopped: the run was interrupted.");
        slot.Outcome = EOutcome::Stopped;
        break;
    }
  }
  CloseModel(model);
  slot.Stats = model.Stats;
}

// The number of models converted side by side.
size_t WorkerCount(const TSettings& s, size_t groups) {
  size_t n = s.Jobs > 0 ? static_cast<size_t>(s.Jobs) : std::max(1u, std::thread::hardware_concurrency());
  n = std::min<size_t>(n, kMaxJobs);
  return std::max<size_t>(1, std::min(n, groups));
}

// The line that shows a run under way, rewritten in place on a terminal.
class TProgress {
 public:
  explicit TProgress(size_t total) : FOn(plat::ErrorIsTerminal()), FTotal(total), FStart(Clock::now()) {}
  void Show(size_t done, int32_t failed, const std::string& last) {
    if (!FOn) return;
    const double seconds = std::chrono::duration<double>(Clock::now() - FStart).count();
    std::string text = UIntText(static_cast<uint32_t>(done)) + " / " + UIntText(static_cast<uint32_t>(FTotal));
    if (failed > 0) text += ", " + IntText(failed) + " failed";
    const auto tenths = static_cast<int64_t>(seconds * 10);
    std::string tail = "  " + IntText(tenths / 10) + "." + IntText(tenths % 10) + " s";
    std::string name = "  " + last;
    // Never wider than a narrow terminal, so that it never wraps: a long
    // path loses its middle.
    const size_t room = kWidth > text.size() + tail.size() ? kWidth - text.size() - tail.size() : 0;
    if (name.size() > room) name = room > 5 ? name.substr(0, room / 2 - 1) + "..." + name.substr(name.size() - (room - room / 2 - 2)) : "";
    text += name + tail;
    text.resize(std::max(text.size(), FShown), ' ');
    FShown = std::min(text.size(), kWidth);
    plat::WriteError("\r" + text);
  }
  void Clear() {
    if (!FOn || FShown == 0) return;
    std::string blank(FShown + 2, ' ');
    blank.front() = '\r';
    blank.back() = '\r';
    plat::WriteError(blank);
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr size_t kWidth = 79;
  bool FOn;
  size_t FTotal;
  Clock::time_point FStart;
  size_t FShown = 0;
};

// The summary of the run, for the console after every model's block and for
// the top of the page.
std::vector<std::string> SummaryLines(const TRun& run, const std::vector<TSlot>& slots, bool interrupted) {
  std::vector<std::string> lines;
  struct TLines {
    std::vector<std::string>& Out;
    void Line(std::string text) const { Out.push_back(std::move(text)); }
  } console{lines};
  size_t count[5] = {};
  int64_t files = 0, images = 0, named = 0, unnamed = 0;
  std::array<int64_t, kTextureWarningKinds> warnings{};
  for (const TSlot& slot : slots) {
    ++count[static_cast<size_t>(slot.Outcome)];
    files += slot.Stats.FilesWritten + slot.Stats.ImagesWritten;
    images += slot.Stats.ImagesWritten;
    named += slot.Stats.MaterialsNamed;
    unnamed += slot.Stats.MaterialsUnnamed;
    for (size_t k = 0; k < warnings.size(); ++k) warnings[k] += slot.Stats.TextureWarnings[k];
  }
  auto number = [](int64_t v) { return IntText(v); };
  auto at = [&](EOutcome o) { return static_cast<int64_t>(count[static_cast<size_t>(o)]); };
  console.Line("");
  console.Line("== SUMMARY ==");
  console.Line("  models found: " + number(static_cast<int64_t>(slots.size())));
  console.Line("  converted: " + number(at(EOutcome::Converted)));
  console.Line("  without mesh data: " + number(at(EOutcome::NoMeshData)));
  console.Line("  failed: " + number(at(EOutcome::Failed) + at(EOutcome::Stopped)));
  for (size_t i = 0; i < slots.size(); ++i)
    if (slots[i].Outcome == EOutcome::Failed || slots[i].Outcome == EOutcome::Stopped)
      console.Line("    " + run.Jobs[i].Path + ": " + std::string(TrimLeft(slots[i].ErrorLine)));
  console.Line("  skipped: " + number(static_cast<int64_t>(run.Skipped.size())));
  for (const TSkippedEntry& entry : run.Skipped) console.Line("    " + entry.Path + ": " + SkipText(entry));
  if (interrupted) console.Line("  not converted, interrupted: " + number(at(EOutcome::NotStarted)));
  console.Line("  files written: " + number(files) + ", images among them: " + number(images));
  console.Line("  material files used: " + number(static_cast<int64_t>(run.MatSources.size())) +
               ", left out: " + number(static_cast<int64_t>(run.MatFilesLeftOut.size())));
  for (const std::string& name : run.MatFilesLeftOut) console.Line("    " + name);
  console.Line("  materials named: " + number(named) + ", not named: " + number(unnamed));
  int64_t notUtf = 0;
  for (const TMatSource& source : run.MatSources) notUtf += source.IsUtf ? 0 : 1;
  console.Line("  warnings: texture name not a file name " + number(warnings[kNotFileName]) + ", texture not found " +
               number(warnings[kNotFound]) + ", texture not written " + number(warnings[kNotWritten]) +
               ", images over the bound " + number(warnings[kOverBound]) + ", material file not UTF " +
               number(notUtf));
  if (interrupted) console.Line("  Interrupted.");
  return lines;
}

EPageOutcome PageOutcome(EOutcome outcome) {
  switch (outcome) {
    case EOutcome::Converted: return EPageOutcome::Converted;
    case EOutcome::NoMeshData: return EPageOutcome::NoMeshData;
    case EOutcome::Failed:
    case EOutcome::Stopped: return EPageOutcome::Failed;
    case EOutcome::NotStarted: break;
  }
  return EPageOutcome::NotConverted;
}

// A file of a model as the page links it: below the page's folder as the
// model lies below the folder converted.
std::string BelowPage(const TModelJob& job, const std::string& file) {
  const size_t slash = job.Relative.rfind('/');
  return (slash == std::string::npos ? std::string() : job.Relative.substr(0, slash + 1)) + FileNamePart(file);
}

// The page of the run: the summary, then every model in walk order, the
// skipped ones among them.
TPage PageOf(const TRun& run, const std::vector<TSlot>& slots, std::vector<std::string> summary) {
  TPage page;
  page.FolderName = run.FolderArg;
  page.Summary = std::move(summary);
  for (size_t i = 0; i < slots.size(); ++i) {
    const TModelJob& job = run.Jobs[i];
    const TModelStats& st = slots[i].Stats;
    TPageModel& m = page.Models.emplace_back();
    m.Relative = job.Relative;
    m.Outcome = PageOutcome(slots[i].Outcome);
    m.ErrorLine = std::string(TrimLeft(slots[i].ErrorLine));
    m.Blocks = st.Blocks;
    m.Triangles = st.Triangles;
    m.MaterialsNamed = st.MaterialsNamed;
    m.MaterialsAll = st.MaterialsNamed + st.MaterialsUnnamed;
    m.ImagesWritten = st.ImagesWritten;
    for (const int32_t w : st.TextureWarnings) m.Warnings += w;
    m.UnnamedMaterials = st.UnnamedMaterials;
    m.MissingImages = st.MissingImages;
    for (const std::string& file : st.Pictures) m.Pictures.push_back(BelowPage(job, file));
    for (const std::string& file : st.BodFiles) m.BodFiles.push_back(BelowPage(job, file));
  }
  for (const TSkippedEntry& entry : run.Skipped) {
    TPageModel& m = page.Models.emplace_back();
    m.Relative = entry.Relative.empty() ? entry.Path : entry.Relative;
    m.Outcome = EPageOutcome::Skipped;
    m.ErrorLine = SkipText(entry);
  }
  std::stable_sort(page.Models.begin(), page.Models.end(),
                   [](const TPageModel& a, const TPageModel& b) { return WalkOrderBefore(a.Relative, b.Relative); });
  return page;
}

// Writes the page; false when it could not be written or was left alone.
bool WriteRunPage(const TRun& run, const TPage& page) {
  const TSettings& s = run.Settings;
  const std::string path = PagePath(run.FolderArg, s.OutDir, s.PageExt);
  TOutputGuard guard;
  guard.Console = run.Ctx.Console;
  guard.Inputs = &run.Inputs;
  try {
    if (!s.OutDir.empty()) MakeFolders(FolderPart(path));
    return WritePage(page, path, guard);
  } catch (const EOverwriteError&) {
    return false;  // its console line has been written
  } catch (const std::exception& e) {
    run.Ctx.Console.Line(e.what());
    return false;
  }
}

}  // namespace

std::vector<std::string> MaterialFolderFiles(TRun& run, const std::string& folder) {
  const TFolderWalk walk = WalkFolder(folder, kMaterialEndings);
  AddSkipped(run, walk);
  std::vector<std::string> files;
  for (const TWalkedFile& file : walk.Files) files.push_back(file.Path);
  return files;
}

int StartFolderRun(TRun& run, const std::string& folder, TFileSet& named) {
  const TConsole& console = run.Ctx.Console;
  run.Folder = true;
  run.FolderArg = folder;
  const TFolderWalk models = WalkFolder(folder, kModelEndings);
  if (models.Files.empty() && models.Skipped.empty()) {
    console.Line("  Error : no model in " + folder + ".");
    return kExitFailure;
  }
  AddSkipped(run, models);
  try {
    LoadSettings(run);
  } catch (const std::exception& e) {
    console.Line(e.what());
    return kExitFailure;
  }
  if (run.Settings.FolderMatOn)
    for (const std::string& file : MaterialFolderFiles(run, folder))
      if (named.AddNew(file)) run.Names.MatFileNames.push_back(file);
  PlanJobs(run, models.Files);
  run.Inputs = named;
  for (const TModelJob& job : run.Jobs) run.Inputs.Add(job.Path);
  // The material files are read once for every model. One that cannot be
  // read, or is damaged, is left out and named here, before the first model.
  for (const std::string& name : run.Names.MatFileNames) {
    try {
      TMatSource source = ReadMatFileSource(name, run.Settings.DebugOn);
      if (source.Damaged) {
        console.Line("  Error : material file " + name + " is damaged.");
        run.MatFilesLeftOut.push_back(name);
        continue;
      }
      if (!source.IsUtf) console.Line(NotUtfWarning(name));
      run.MatSources.push_back(std::move(source));
    } catch (const std::exception& e) {
      console.Line(e.what());
      run.MatFilesLeftOut.push_back(name);
    }
  }
  run.RunDateText = plat::LocalDateTimeText();
  return -1;
}

int RunFolder(TRun& run) {
  const size_t total = run.Jobs.size();
  TBoard board;
  board.Slots.resize(total);

  // The models of one folder convert one after another, in model order, so
  // that an earlier model's images and outputs are there when a later one
  // looks; folders convert side by side, the most models first.
  std::vector<std::vector<size_t>> groups;
  for (size_t i = 0; i < total; ++i) {
    if (run.Jobs[i].Group >= groups.size()) groups.resize(run.Jobs[i].Group + 1);
    groups[run.Jobs[i].Group].push_back(i);
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const auto& a, const auto& b) { return a.size() > b.size(); });

  plat::CatchInterrupts();
  std::atomic<size_t> nextGroup{0};
  auto work = [&] {
    for (size_t g; (g = nextGroup++) < groups.size();) {
      TFileSet written;
      TImageRecord images;
      for (const size_t i : groups[g]) {
        TSlot& slot = board.Slots[i];
        if (!plat::Interrupted()) {
          {
            const std::lock_guard<std::mutex> lock(board.Lock);
            board.LastStarted = run.Jobs[i].Path;
          }
          board.Changed.notify_all();
          try {
            ConvertJob(run, run.Jobs[i], slot, written, images, run.Colours);
          } catch (...) {
            // Memory ran out, say: this model fails, the others go on.
            slot.Outcome = EOutcome::Failed;
          }
          if (slot.Outcome == EOutcome::Failed) slot.ErrorLine = LastLine(slot.Console);
        }
        {
          const std::lock_guard<std::mutex> lock(board.Lock);
          slot.Done = true;
          if (slot.Outcome == EOutcome::Failed) ++board.Failed;
        }
        board.Changed.notify_all();
      }
    }
  };
  std::vector<std::thread> workers;
  const size_t count = WorkerCount(run.Settings, groups.size());
  for (size_t w = 0; w < count; ++w) workers.emplace_back(work);

  // Each model's block is printed whole, in model order, as soon as the
  // models before it are done: the console is the same whatever the number
  // of workers.
  TProgress progress(total);
  size_t printed = 0;
  size_t done = 0;
  {
    std::unique_lock<std::mutex> lock(board.Lock);
    while (printed < total) {
      board.Changed.wait_for(lock, std::chrono::milliseconds(500));
      done = static_cast<size_t>(std::count_if(board.Slots.begin(), board.Slots.end(), [](const TSlot& s) { return s.Done; }));
      while (printed < total && board.Slots[printed].Done) {
        const TSlot& slot = board.Slots[printed];
        progress.Clear();
        PrintBlock(run.Ctx.Console, slot.Console);
        ++printed;
      }
      progress.Show(done, board.Failed, board.LastStarted);
    }
  }
  for (std::thread& t : workers) t.join();
  progress.Clear();

  const bool interrupted = plat::Interrupted();
  std::vector<std::string> summary = SummaryLines(run, board.Slots, interrupted);
  for (const std::string& line : summary) run.Ctx.Console.Line(line);
  bool clean = run.Skipped.empty() && run.MatFilesLeftOut.empty() && !interrupted;
  if (run.Settings.PageOn) clean = WriteRunPage(run, PageOf(run, board.Slots, std::move(summary))) && clean;
  WriteSettingsNote(run);
  plat::InterruptHandled();
  plat::WaitIfOwnConsole();

  for (const TSlot& slot : board.Slots)
    clean = clean && (slot.Outcome == EOutcome::Converted || slot.Outcome == EOutcome::NoMeshData);
  return clean ? kExitOk : kExitFailure;
}

}  // namespace bw
