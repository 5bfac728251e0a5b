#include "driver/run_jobs.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "driver/driver.h"
#include "driver/model_job.h"
#include "driver/output_places.h"
#include "driver/run_state.h"
#include "output/page_html.h"
#include "output/texture_colours.h"
#include "support/context.h"
#include "support/errors.h"
#include "support/number_text.h"
#include "support/progress_line.h"
#include "support/path_names.h"
#include "support/text_helpers.h"

namespace bw {
namespace {

// What the workers and the printer share, under one lock. A worker fills
// its model's result before it marks the model done, and nobody else
// touches the result until then.
struct TBoard {
  std::mutex Lock;
  std::condition_variable Changed;
  std::vector<TJobResult> Results;
  std::vector<char> Done;
  size_t Version = 0;  // counts the changes, for the printer to wait on
  std::string LastStarted;
  int32_t Failed = 0;
};

// The number of models converted side by side.
size_t WorkerCount(const TSettings& s, size_t groups) {
  size_t n = s.Jobs > 0 ? static_cast<size_t>(s.Jobs) : std::max(1u, std::thread::hardware_concurrency());
  n = std::min<size_t>(n, kMaxJobs);
  return std::max<size_t>(1, std::min(n, groups));
}

// The models of one output folder convert one after another, in model
// order, so that an earlier model's images and outputs are there when a
// later one looks; folders convert side by side, the most models first.
std::vector<std::vector<size_t>> GroupsOf(const TRunPlan& plan) {
  std::vector<std::vector<size_t>> groups;
  for (size_t i = 0; i < plan.Jobs.size(); ++i) {
    if (plan.Jobs[i].Group >= groups.size()) groups.resize(plan.Jobs[i].Group + 1);
    groups[plan.Jobs[i].Group].push_back(i);
  }
  std::stable_sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
  return groups;
}

// A console block as the run's console says it, line by line.
void PrintBlock(const TConsole& console, const std::string& block) {
  for (size_t pos = 0; pos < block.size();) {
    const size_t end = std::min(block.find('\n', pos), block.size());
    console.Line(std::string_view(block).substr(pos, end - pos));
    pos = end + 1;
  }
}

// One model of the run. In a folder run its lines are kept, under a
// heading, to be printed whole.
TJobResult RunJob(const TContext& ctx, const TRunInputs& run, const TModelJob& job, bool whole,
                  TFolderOutputs& outputs, TImageCache& images) {
  std::string block;
  TContext jobCtx;
  jobCtx.Console = ctx.Console;
  if (whole) jobCtx.Console.Capture = &block;
  jobCtx.Work.Limit = ctx.Work.Limit;
  jobCtx.Control = ctx.Control;
  if (whole) jobCtx.Console.Line("== " + job.Path + " ==");
  TJobResult result;
  try {
    result = ConvertJob(run, job, outputs, images, jobCtx);
  } catch (...) {
    // Memory ran out, say: this model fails, the others go on.
    result.Outcome = EOutcome::Failed;
  }
  result.Console = std::move(block);
  return result;
}

// Prints each model's lines whole, in model order, as soon as the models
// before it are done, so that the console is the same whatever the number
// of workers; between blocks, the line that shows the run under way.
// Nothing is printed while the lock that the workers take is held.
void PrintInOrder(const TContext& ctx, TBoard& board, TProgressLine& progress) {
  const size_t total = board.Done.size();
  size_t printed = 0;
  size_t seen = 0;
  std::unique_lock<std::mutex> lock(board.Lock);
  while (printed < total) {
    board.Changed.wait_for(lock, std::chrono::milliseconds(500), [&] { return board.Version != seen; });
    seen = board.Version;
    std::vector<std::string> ready;
    while (printed + ready.size() < total && board.Done[printed + ready.size()])
      ready.push_back(std::move(board.Results[printed + ready.size()].Console));
    const size_t done = static_cast<size_t>(std::count(board.Done.begin(), board.Done.end(), 1));
    const int32_t failed = board.Failed;
    const std::string last = board.LastStarted;
    lock.unlock();
    if (!ready.empty()) progress.Clear();
    for (const std::string& block : ready) PrintBlock(ctx.Console, block);
    printed += ready.size();
    progress.Show(done, failed, last);
    lock.lock();
  }
}

// Every model converted, the models of a folder run side by side.
std::vector<TJobResult> ConvertAll(const TContext& ctx, const TRunInputs& run, const TRunPlan& plan) {
  const bool whole = !plan.Folder.empty();
  TBoard board;
  board.Results.resize(plan.Jobs.size());
  board.Done.assign(plan.Jobs.size(), 0);
  TImageCache images(PicturesDrawTextures(run.Settings));
  const std::vector<std::vector<size_t>> groups = GroupsOf(plan);
  std::atomic<size_t> nextGroup{0};
  auto note = [&](auto change) {
    {
      const std::lock_guard<std::mutex> lock(board.Lock);
      change();
      ++board.Version;
    }
    board.Changed.notify_all();
  };
  auto work = [&] {
    for (size_t g; (g = nextGroup++) < groups.size();) {
      TFolderOutputs outputs;
      for (const size_t i : groups[g]) {
        TJobResult result;
        if (!ctx.StopRequested()) {
          note([&] { board.LastStarted = plan.Jobs[i].Path; });
          result = RunJob(ctx, run, plan.Jobs[i], whole, outputs, images);
        }
        note([&] {
          board.Failed += result.Outcome == EOutcome::Failed ? 1 : 0;
          board.Results[i] = std::move(result);
          board.Done[i] = 1;
        });
      }
    }
  };
  // A worker that cannot be started leaves its share to the others; with
  // none, this thread converts.
  std::vector<std::thread> workers;
  const size_t count = whole ? WorkerCount(run.Settings, groups.size()) : 0;
  try {
    while (workers.size() < count) workers.emplace_back(work);
  } catch (const std::system_error&) {
  }
  if (workers.empty()) work();
  TProgressLine progress(whole, plan.Jobs.size());
  PrintInOrder(ctx, board, progress);
  for (std::thread& t : workers) t.join();
  progress.Clear();
  return std::move(board.Results);
}

std::string_view TrimLeft(std::string_view line) {
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  return line;
}

// The summary of a folder run, for the console after every model's block
// and for the top of the page.
std::vector<std::string> SummaryLines(const TRunInputs& run, const TRunPlan& plan,
                                      const std::vector<TJobResult>& results, bool stopped) {
  std::vector<std::string> lines;
  auto line = [&](std::string text) { lines.push_back(std::move(text)); };
  auto number = [](auto v) { return IntText(static_cast<int64_t>(v)); };
  size_t count[kOutcomeKinds] = {};
  int64_t files = 0, images = 0, named = 0, unnamed = 0;
  std::array<int64_t, kTextureWarningKinds> warnings{};
  for (const TJobResult& r : results) {
    ++count[static_cast<size_t>(r.Outcome)];
    files += r.Stats.FilesWritten + r.Stats.ImagesWritten;
    images += r.Stats.ImagesWritten;
    named += r.Stats.MaterialsNamed;
    unnamed += r.Stats.MaterialsUnnamed;
    for (size_t k = 0; k < warnings.size(); ++k) warnings[k] += r.Stats.TextureWarnings[k];
  }
  auto at = [&](EOutcome o) { return count[static_cast<size_t>(o)]; };
  line("");
  line("== SUMMARY ==");
  line("  models found: " + number(results.size()));
  line("  converted: " + number(at(EOutcome::Converted)));
  line("  without mesh data: " + number(at(EOutcome::NoMeshData)));
  line("  failed: " + number(at(EOutcome::Failed)));
  for (size_t i = 0; i < results.size(); ++i)
    if (results[i].Outcome == EOutcome::Failed)
      line("    " + plan.Jobs[i].Path + ": " + std::string(TrimLeft(results[i].Reason)));
  if (stopped) {
    line("  stopped: " + number(at(EOutcome::Stopped)));
    for (size_t i = 0; i < results.size(); ++i)
      if (results[i].Outcome == EOutcome::Stopped) line("    " + plan.Jobs[i].Path);
  }
  line("  skipped: " + number(plan.Skipped.size()));
  for (const TSkippedEntry& entry : plan.Skipped) line("    " + entry.Path + ": " + SkipText(entry));
  if (stopped) line("  not converted, interrupted: " + number(at(EOutcome::NotConverted)));
  line("  files written: " + number(files) + ", images among them: " + number(images));
  line("  material files used: " + number(run.MatSources.size()) +
       ", left out: " + number(plan.MatFilesLeftOut.size()));
  for (const std::string& name : plan.MatFilesLeftOut) line("    " + name);
  line("  materials named: " + number(named) + ", not named: " + number(unnamed));
  const auto notUtf = std::count_if(run.MatSources.begin(), run.MatSources.end(),
                                    [](const TMatSource& source) { return !source.IsUtf; });
  line("  warnings: texture name not a file name " + number(warnings[kNotFileName]) + ", texture not found " +
       number(warnings[kNotFound]) + ", texture not written " + number(warnings[kNotWritten]) +
       ", images over the bound " + number(warnings[kOverBound]) + ", material file not UTF " + number(notUtf));
  if (stopped) line("  Interrupted.");
  return lines;
}

// A file of a model as the page links it: below the page's folder as the
// model lies below the folder converted.
std::string BelowPage(const TModelJob& job, const std::string& file) {
  const size_t slash = job.Relative.rfind('/');
  return (slash == std::string::npos ? std::string() : job.Relative.substr(0, slash + 1)) + FileNamePart(file);
}

// The page of the run: the summary, then every model in walk order, the
// skipped entries among them.
TPage PageOf(const TRunPlan& plan, const std::vector<TJobResult>& results, std::vector<std::string> summary) {
  TPage page;
  page.FolderName = plan.Folder;
  page.Summary = std::move(summary);
  for (size_t i = 0; i < results.size(); ++i) {
    const TModelJob& job = plan.Jobs[i];
    const TModelStats& st = results[i].Stats;
    TPageModel& m = page.Models.emplace_back();
    m.Relative = job.Relative;
    m.Outcome = results[i].Outcome;
    m.ErrorLine = std::string(TrimLeft(results[i].Reason));
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
  for (const TSkippedEntry& entry : plan.Skipped) {
    TPageModel& m = page.Models.emplace_back();
    m.Relative = entry.Relative.empty() ? entry.Path : entry.Relative;
    m.Outcome = EOutcome::Skipped;
    m.MaterialFile = entry.Material;
    m.ErrorLine = SkipText(entry);
  }
  std::stable_sort(page.Models.begin(), page.Models.end(),
                   [](const TPageModel& a, const TPageModel& b) { return WalkOrderBefore(a.Relative, b.Relative); });
  return page;
}

// Writes the page, also after a stop; false when it could not be written or
// was left alone.
bool WriteRunPage(const TContext& ctx, const TRunInputs& run, const TPage& page, const std::string& folder) {
  const TSettings& s = run.Settings;
  const std::string path = PagePath(folder, s.OutDir, s.PageExt);
  TOutputGuard guard;
  guard.Console = ctx.Console;
  guard.Inputs = &run.Inputs;
  guard.Control = ctx.Control;
  guard.Stoppable = false;
  try {
    if (!s.OutDir.empty()) MakeFolders(FolderPart(path));
    return WritePage(page, path, guard);
  } catch (const EOverwriteError&) {
    return false;  // its console line has been written
  } catch (const std::exception& e) {
    ctx.Console.Line(e.what());
    return false;
  }
}

bool Sound(const TJobResult& r) {
  return r.Outcome == EOutcome::Converted || r.Outcome == EOutcome::NoMeshData;
}

}  // namespace

int RunJobs(const TContext& ctx, const TRunInputs& run, const TRunPlan& plan) {
  const std::vector<TJobResult> results = ConvertAll(ctx, run, plan);
  const bool stopped = ctx.StopRequested();
  bool clean;
  if (plan.Folder.empty()) {
    // A model that the run never reached was stopped before its start.
    if (results.front().Outcome == EOutcome::NotConverted) ctx.Console.Line(kStoppedMessage);
    clean = results.front().Outcome == EOutcome::Converted;
  } else {
    std::vector<std::string> summary = SummaryLines(run, plan, results, stopped);
    for (const std::string& line : summary) ctx.Console.Line(line);
    clean = plan.Skipped.empty() && plan.MatFilesLeftOut.empty() && !stopped &&
            std::all_of(results.begin(), results.end(), Sound);
    if (run.Settings.PageOn) clean = WriteRunPage(ctx, run, PageOf(plan, results, std::move(summary)), plan.Folder) && clean;
  }
  // Without a settings file every output is off, and the run would look
  // like one that wrote its files.
  if (run.Settings.FileMissing)
    ctx.Console.Line("  Note : no settings file beside the program: nothing was written.");
  return clean ? kExitOk : kExitFailure;
}

}  // namespace bw
