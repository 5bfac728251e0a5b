#include "driver/driver.h"

#include <exception>
#include <optional>

#include "cmp/part_placement.h"
#include "cmp/utf_tree.h"
#include "driver/help.h"
#include "driver/run_state.h"
#include "driver/settings.h"
#include "driver/wildcard.h"
#include "mesh/mesh_decoder.h"
#include "output/bod_writer.h"
#include "output/body_generation.h"
#include "output/materials.h"
#include "output/preview_svg.h"
#include "output/textures.h"
#include "support/buf_stream.h"
#include "support/errors.h"
#include "support/output_file.h"
#include "support/platform.h"
#include "support/text_helpers.h"
#include "version.h"

namespace bw {
namespace {

constexpr const char* kDamageMessage = "  Error! Unknown structure/format tables or file damage!";
constexpr const char* kNoMeshMessage = "  Error: this file havnt VMeshLibrary!";

bool IsSeparator(char c) {
  return c == '\\' || c == '/' || c == ':';
}

// Position just past the last path separator (0 when there is none).
size_t LastComponentStart(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return i;
  return 0;
}

// Reads the whole input file into the run's image.
void ReadInputImage(TRun& run) {
  TBufStream stream(run.Names.InpFileName, ModeRead, kBufSize);
  const int32_t size = stream.GetFileSize();
  // An empty file has no image to read; the reading Parts rely on at least
  // one byte, so this is reported here, before anything is converted.
  if (size <= 0) throw EFOpenError("Cannot read file \"" + run.Names.InpFileName + "\". The file is empty.");
  run.InpData.resize(static_cast<size_t>(size));
  stream.Read(run.InpData.data(), size);
}

// The guard of every output: the model and the named material files, and,
// while images are written, the record of what the run has written.
TOutputGuard GuardOf(TRun& run) {
  TOutputGuard guard;
  guard.Console = run.Ctx.Console;
  guard.Inputs.Add(run.Names.InpFileName);
  for (const std::string& name : run.Names.MatFileNames) guard.Inputs.Add(name);
  if (run.Settings.TexturesOn) guard.Written = &run.Written;
  return guard;
}

// What every BOD file of the run is written with.
TBodOutput BodOutputOf(TRun& run) {
  const TSettings& s = run.Settings;
  TBodOutput out;
  out.BodBaseName = run.Names.BodBaseName;
  out.BodExt = s.BodExt;
  out.MeshExt = s.MeshExt;
  out.PreviewExt = s.PreviewExt;
  out.ScaleFactor = s.ScaleFactor;
  out.OriginOn = s.OriginOn;
  out.Banner = kBanner;
  out.InpFileName = run.Names.InpFileName;
  out.InpFileTitle = FileNamePart(run.Names.InpFileName);
  out.DateText = run.RunDateText;
  // Texture names are looked up in the named files in their order, then in
  // the model's own library.
  for (const TMatFile& mat : run.Mats) out.Materials.Sources.push_back({&mat.Tex, &mat.MatNodeList});
  if (s.ModelMatOn) out.Materials.Sources.push_back({&run.ModelTex, &run.NodesList});
  out.Materials.StrMat = s.StrMat;
  out.Guard = GuardOf(run);
  return out;
}

// The texture names of every named material file. With several files,
// each dump and a damaged file's message say which file it is.
void ParseMatFiles(TRun& run) {
  const bool several = run.Mats.size() > 1;
  for (TMatFile& mat : run.Mats) {
    if (!several) {
      ParseMatFile(mat, run.Ctx);
      continue;
    }
    try {
      ParseMatFile(mat, run.Ctx, "== MATERIAL FILE " + mat.MatFileName + " ==\r\n");
    } catch (...) {
      run.Ctx.Console.Line("  Error : material file " + mat.MatFileName + " is damaged.");
      throw;
    }
  }
}

// What the images of a run may add up to at most: the bytes of the model and
// its material files, which hold every image once.
uint64_t InputBytes(const TRun& run) {
  uint64_t total = run.InpData.size();
  for (const TMatFile& mat : run.Mats) total += mat.MatData.size();
  return total;
}

// Start-up from the file names on: nothing here is guarded by the
// conversion's handler, so a failure ends the run with its own report.
void OpenAndRead(TRun& run, const std::string& input) {
  const TSettings& s = run.Settings;
  run.Names.InpFileName = input;
  run.Names.BodBaseName = ReplaceExtension(input, "");
  run.Names.DbgFileName = ReplaceExtension(input, s.DbgExt);
  run.Names.LogFileName = ReplaceExtension(input, s.LogExt);

  // No output may empty the model or a material file before it is read.
  const TOutputGuard guard = GuardOf(run);
  if (s.DebugOn) GuardOutput(guard, run.Names.DbgFileName);
  if (s.GenLogOn) GuardOutput(guard, run.Names.LogFileName);
  if (s.DebugOn) run.DbgStream = std::make_unique<TBufStream>(run.Names.DbgFileName, ModeCreate, kBufSize);
  if (s.GenLogOn) run.LogStream = std::make_unique<TBufStream>(run.Names.LogFileName, ModeCreate, kBufSize);
  run.Ctx.DbgStream = run.DbgStream.get();
  run.Ctx.LogStream = run.LogStream.get();
  if (guard.Written) {
    if (s.DebugOn) guard.Written->Add(run.Names.DbgFileName);
    if (s.GenLogOn) guard.Written->Add(run.Names.LogFileName);
  }

  ReadInputImage(run);
  run.Mats.reserve(run.Names.MatFileNames.size());
  for (const std::string& name : run.Names.MatFileNames) run.Mats.push_back(LoadMatFile(name));
  run.RunDateText = plat::LocalDateTimeText();
}

// The files a material argument names: itself when it is a file; where the
// shells leave wildcards to the program, every file it matches. Empty when
// it names none.
std::vector<std::string> MaterialArgumentFiles(const std::string& arg) {
  if (plat::ProgramExpandsWildcards() && HasWildcard(arg)) return ExpandWildcard(arg);
  if (plat::FileExists(arg)) return {arg};
  return {};
}

}  // namespace

std::string ReplaceExtension(const std::string& path, const std::string& ext) {
  const size_t start = LastComponentStart(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return path + ext;
  return path.substr(0, dot) + ext;
}

std::string FileNamePart(const std::string& path) {
  return path.substr(LastComponentStart(path));
}

std::string FolderPart(const std::string& path) {
  return path.substr(0, LastComponentStart(path));
}

int StartUp(TRun& run, const std::string& ownPath, const std::vector<std::string>& args) {
  const TConsole& console = run.Ctx.Console;
  console.Line(kBanner);
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
  // The material files first, in the order given; one file named twice
  // (or reached two ways) counts once, at its first place.
  TFileSet named;
  for (size_t i = 1; i < args.size(); ++i) {
    std::vector<std::string> files = MaterialArgumentFiles(args[i]);
    if (files.empty()) {
      console.Line("  Error : file " + args[i] + " not found.");
      return kExitFailure;
    }
    for (const std::string& file : files) {
      if (named.Leads(file)) continue;
      named.Add(file);
      run.Names.MatFileNames.push_back(file);
    }
  }
  if (!plat::FileExists(args[0])) {
    console.Line("  Error : file " + args[0] + " not found.");
    return kExitFailure;
  }
  run.Names.IniFileName = ReplaceExtension(ownPath, ".ini");
  try {
    LoadSettings(run);
    OpenAndRead(run, args[0]);
  } catch (const EOverwriteError&) {
    return kExitFailure;  // its console line has been written
  } catch (const std::exception& e) {
    console.Line(e.what());
    return kExitFailure;
  }
  return -1;
}

bool ConvertAll(TRun& run) {
  TContext& ctx = run.Ctx;
  ParseMatFiles(run);
  if (!ReadUtfTree(run.InpData, run.NodesList, ctx)) {
    ctx.Console.Line(kNoMeshMessage);
    return false;
  }
  const TNodesList& nodes = run.NodesList;
  const TSettings& s = run.Settings;
  if (s.ModelMatOn) ParseModelMaterials(nodes, run.ModelTex, ctx);
  const TBodOutput out = BodOutputOf(run);
  std::optional<TTextureWriter> textures;
  if (s.TexturesOn)
    textures.emplace(FolderPart(run.Names.InpFileName), out.Guard, run.Written, InputBytes(run));

  // The block's lists, kept from one block to the next so that their room
  // is made once.
  TMeshData block;
  TBodyLists model;
  const int32_t count = nodes.Count();
  int32_t n = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (!SameName(nodes[i].Name, "vmeshdata")) continue;
    const int32_t parent = nodes[i].ParentIdx;
    if (parent < 0) RaiseRange("mesh data node without a parent");
    const std::string lodName = LowerCase(nodes[parent].Name);
    ctx.Console.Line(PadLeft(IntText(n), 3, ' ') + ": " + lodName);

    TMeshGroups groups = ReadPartPlacement(nodes, lodName, ctx);
    DecodeMeshData(nodes, lodName, groups, block, ctx);
    TGroupSink writeGroup;
    if (s.GenMeshOn)
      writeGroup = [&](int32_t g, const TMeshGroup& group, const TBodyLists& part) {
        WriteGroupFile(part, n, g, group, out, ctx);
      };
    GenerateBodies(block, groups, s.OriginOn, model, ctx, writeGroup);
    if (s.GenBodOn) WriteBodFile(model, n, lodName, out);
    if (s.PreviewOn) WritePreviewFile(model, n, lodName, groups.Count(), out);
    if (textures) textures->WriteImages(model.MatrList, out.Materials, ctx);
    ++n;
  }
  return true;
}

bool RunConversion(TRun& run) {
  try {
    return ConvertAll(run);
  } catch (...) {
    // Every failure of the conversion ends here: the input is damaged or of
    // an unknown layout, or an output could not be written.
    run.Ctx.Console.Line(kDamageMessage);
    return false;
  }
}

void ShutDown(TRun& run) {
  // The streams write out their buffers as they close; everything else the
  // run holds goes with it.
  run.Ctx.DbgStream = nullptr;
  run.Ctx.LogStream = nullptr;
  run.DbgStream.reset();
  run.LogStream.reset();
}

int RunProgram(TRun& run, const std::string& ownPath, const std::vector<std::string>& args) {
  const int status = StartUp(run, ownPath, args);
  if (status >= 0) return status;
  const bool converted = RunConversion(run);
  ShutDown(run);
  // Without a settings file every output is off, and the run would look
  // like one that wrote its files.
  if (run.Settings.FileMissing)
    run.Ctx.Console.Line("  Note : no settings file beside the program: nothing was written.");
  return converted ? kExitOk : kExitFailure;
}

}  // namespace bw
