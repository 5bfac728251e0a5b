#include "driver/driver.h"

#include <exception>
#include <map>

#include "driver/help.h"
#include "driver/model_job.h"
#include "driver/output_places.h"
#include "driver/run_jobs.h"
#include "driver/run_state.h"
#include "driver/settings.h"
#include "driver/wildcard.h"
#include "support/context.h"
#include "support/output_file.h"
#include "support/path_names.h"
#include "support/platform.h"
#include "support/text_helpers.h"
#include "version.h"

namespace bw {
namespace {

// The material files below a folder named as a material argument, in walk
// order; what the walk could not take goes to the plan.
std::vector<std::string> MaterialFolderFiles(const TContext& ctx, TRunPlan& plan, const std::string& folder) {
  TFolderWalk walk = WalkFolder(folder, kMaterialEndings, ctx.Control);
  for (TSkippedEntry& entry : walk.Skipped) {
    entry.Material = true;
    plan.Skipped.push_back(std::move(entry));
  }
  std::vector<std::string> files;
  for (const TWalkedFile& file : walk.Files) files.push_back(file.Path);
  return files;
}

// The material arguments, in the order given, as files; one file named
// twice (or reached two ways) counts once, at its first place. -1, or the
// exit status when one names nothing.
int NameMatFiles(const TContext& ctx, const std::vector<std::string>& args, TRunPlan& plan, TFileSet& named,
                 std::vector<std::string>& names) {
  for (size_t i = 1; i < args.size(); ++i) {
    std::vector<std::string> files;
    const plat::EPathKind kind = plat::PathKind(args[i]);
    if (kind == plat::EPathKind::Folder) {
      files = MaterialFolderFiles(ctx, plan, args[i]);
      if (files.empty()) {
        ctx.Console.Line("  Error : no material file in " + args[i] + ".");
        return kExitFailure;
      }
    } else {
      if (plat::ProgramExpandsWildcards() && HasWildcard(args[i]))
        files = ExpandWildcard(args[i]);
      else if (kind == plat::EPathKind::File)
        files = {args[i]};
      if (files.empty()) {
        ctx.Console.Line("  Error : file " + args[i] + " not found.");
        return kExitFailure;
      }
    }
    for (const std::string& file : files)
      if (named.AddNew(file)) names.push_back(file);
  }
  return -1;
}

// The models of a folder in walk order with the names of their outputs.
// Two models of one folder whose names differ only in their extension would
// write the same files: the later one writes under its file name with the
// extension's dot made "_", unless another model of the folder has that
// name too; then it is not converted.
void PlanFolderJobs(const TSettings& s, const std::vector<TWalkedFile>& files, TRunPlan& plan) {
  const std::string outRoot = s.OutDir.empty() ? std::string() : OutDirRoot(s.OutDir, plan.Folder);
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
  plan.Jobs.resize(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    TModelJob& job = plan.Jobs[i];
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

// The one model of a single-model run: its outputs beside it, or in the
// folder OutDir names.
TModelJob SingleJob(const TSettings& s, const std::string& model) {
  TModelJob job;
  job.Path = model;
  job.Relative = FileNamePart(model);
  job.BaseName = ReplaceExtension(model, "");
  if (!s.OutDir.empty()) job.BaseName = OutDirRoot(s.OutDir, model) + FileNamePart(job.BaseName);
  job.WarnNotUtf = true;
  return job;
}

// Each material file's tree, read once for every model. In a folder run one
// that cannot be read or is damaged is left out and named here, before the
// first model, and one that names nothing is told of here too; a
// single-model run tells both in the model's own lines, where the
// conversion meets them.
void ReadMatSources(const TContext& ctx, const std::vector<std::string>& names, TRunInputs& run, TRunPlan& plan) {
  const bool folderRun = !plan.Folder.empty();
  for (const std::string& name : names) {
    if (ctx.StopRequested()) return;
    try {
      TMatSource source = ReadMatFileSource(name, run.Settings.DebugOn);
      if (folderRun && source.Damaged) {
        ctx.Console.Line("  Error : material file " + name + " is damaged.");
        plan.MatFilesLeftOut.push_back(name);
        continue;
      }
      if (folderRun && !source.IsUtf) ctx.Console.Line(NotUtfWarning(name));
      run.MatSources.push_back(std::move(source));
    } catch (const std::exception& e) {
      if (!folderRun) throw;
      ctx.Console.Line(e.what());
      plan.MatFilesLeftOut.push_back(name);
    }
  }
}

// The usage line, help and version: the exit status when the arguments ask
// for them, else -1.
int AboutTheProgram(const TConsole& console, const std::string& ownPath, const std::vector<std::string>& args) {
  if (args.empty()) {
    console.Line("  use : " + FileNamePart(ownPath) + " file.cmp");
    console.Line("");
    return kExitUsage;
  }
  // Alone, these ask about the program; beside other arguments they are
  // file names like any other.
  if (args.size() == 1) {
    if (args[0] == "--version") return kExitOk;
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "/?") {
      WriteHelp(console, ownPath);
      return kExitOk;
    }
  }
  return -1;
}

}  // namespace

int StartUp(const TContext& ctx, const std::string& ownPath, const std::vector<std::string>& args, TRunInputs& run,
            TRunPlan& plan) {
  const TConsole& console = ctx.Console;
  console.Line(kBanner);
  if (const int status = AboutTheProgram(console, ownPath, args); status >= 0) return status;
  std::vector<std::string> matFiles;
  const int status = NameMatFiles(ctx, args, plan, run.Inputs, matFiles);
  if (status >= 0) return status;
  run.IniFileName = ReplaceExtension(ownPath, ".ini");

  const plat::EPathKind kind = plat::PathKind(args[0]);
  TFolderWalk models;
  if (kind == plat::EPathKind::Folder) {
    plan.Folder = args[0];
    models = WalkFolder(args[0], kModelEndings, ctx.Control);
    if (models.Files.empty() && models.Skipped.empty()) {
      console.Line("  Error : no model in " + args[0] + ".");
      return kExitFailure;
    }
  } else if (kind != plat::EPathKind::File) {
    console.Line("  Error : file " + args[0] + " not found.");
    return kExitFailure;
  }
  try {
    run.Settings = LoadSettings(run.IniFileName, console);
    const TSettings& s = run.Settings;
    if (plan.Folder.empty()) {
      plan.Jobs.push_back(SingleJob(s, args[0]));
    } else {
      plan.Skipped.insert(plan.Skipped.end(), models.Skipped.begin(), models.Skipped.end());
      if (s.FolderMatOn)
        for (const std::string& file : MaterialFolderFiles(ctx, plan, args[0]))
          if (run.Inputs.AddNew(file)) matFiles.push_back(file);
      PlanFolderJobs(s, models.Files, plan);
    }
    for (const TModelJob& job : plan.Jobs) run.Inputs.Add(job.Path);
    ReadMatSources(ctx, matFiles, run, plan);
  } catch (const std::exception& e) {
    console.Line(e.what());
    return kExitFailure;
  }
  run.RunDateText = plat::LocalDateTimeText();
  // A single-model run names what its material folders held that it could
  // not take, before the model's lines; a folder run counts them as
  // skipped entries.
  if (plan.Folder.empty())
    for (const TSkippedEntry& entry : plan.Skipped)
      console.Line("  Warning : " + entry.Path + " skipped: " + SkipText(entry) + ".");
  return -1;
}

int RunProgram(const TContext& ctx, const std::string& ownPath, const std::vector<std::string>& args) {
  TRunInputs run;
  TRunPlan plan;
  const int status = StartUp(ctx, ownPath, args, run, plan);
  if (status >= 0) return status;
  return RunJobs(ctx, run, plan);
}

}  // namespace bw
