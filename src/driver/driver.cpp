#include "driver/driver.h"

#include <exception>
#include <optional>
#include <set>

#include "cmp/part_placement.h"
#include "cmp/utf_tree.h"
#include "driver/folder_run.h"
#include "driver/help.h"
#include "driver/output_places.h"
#include "driver/run_state.h"
#include "driver/settings.h"
#include "driver/wildcard.h"
#include "mesh/mesh_decoder.h"
#include "output/bod_writer.h"
#include "output/body_generation.h"
#include "output/materials.h"
#include "output/preview_svg.h"
#include "output/texture_colours.h"
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

// Reads the whole input file into the model's image.
void ReadInputImage(TModelRun& model) {
  TBufStream stream(model.Names.InpFileName, ModeRead, kBufSize);
  const int32_t size = stream.GetFileSize();
  // An empty file has no image to read; the reading Parts rely on at least
  // one byte, so this is reported here, before anything is converted.
  if (size <= 0) throw EFOpenError("Cannot read file \"" + model.Names.InpFileName + "\". The file is empty.");
  model.InpBytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size));
  // Only the bytes read are the image, should the file shrink meanwhile.
  const int32_t got = stream.Read(model.InpBytes.get(), size);
  model.InpSize = static_cast<size_t>(got > 0 ? got : 0);
}

// The guard of every output of a model: every model and material file of
// the run.
TOutputGuard GuardOf(const TRun& run, const TModelRun& model) {
  TOutputGuard guard;
  guard.Console = model.Ctx.Console;
  guard.Inputs = &run.Inputs;
  return guard;
}

// Notes an output the model has written: counted, and kept as one that no
// image may replace while images are written.
void RecordOutput(const TRun& run, TModelRun& model, TFileSet& written, const std::string& name) {
  ++model.Stats.FilesWritten;
  if (run.Settings.TexturesOn) written.Add(name);
}

// What every BOD file of a model is written with.
TBodOutput BodOutputOf(const TRun& run, const TModelRun& model) {
  const TSettings& s = run.Settings;
  TBodOutput out;
  out.BodBaseName = model.Names.BodBaseName;
  out.BodExt = s.BodExt;
  out.MeshExt = s.MeshExt;
  out.PreviewExt = s.PreviewExt;
  out.ScaleFactor = s.ScaleFactor;
  out.OriginOn = s.OriginOn;
  out.Banner = kBanner;
  out.InpFileName = model.Names.InpFileName;
  out.InpFileTitle = FileNamePart(model.Names.InpFileName);
  out.DateText = run.RunDateText;
  // Texture names are looked up in the material files in their order, then
  // in the model's own library.
  for (const TMatSource& source : run.MatSources) out.Materials.Sources.push_back(&source);
  if (s.ModelMatOn) out.Materials.Sources.push_back(&model.ModelSource);
  out.Materials.StrMat = s.StrMat;
  out.Guard = GuardOf(run, model);
  return out;
}

// The listings of every material file, in order; a damaged one ends the
// conversion here. With several files, each listing and a damaged file's
// message say which file it is.
void ListMatFiles(const TRun& run, TModelRun& model, bool warnMatFiles) {
  const bool several = run.MatSources.size() > 1;
  for (const TMatSource& source : run.MatSources) {
    if (warnMatFiles && !source.Damaged && !source.IsUtf) model.Ctx.Console.Line(NotUtfWarning(source.FileName));
    if (!several) {
      WriteMatFileListing(source, model.Ctx);
      continue;
    }
    try {
      WriteMatFileListing(source, model.Ctx, "== MATERIAL FILE " + source.FileName + " ==\r\n");
    } catch (...) {
      model.Ctx.Console.Line("  Error : material file " + source.FileName + " is damaged.");
      throw;
    }
  }
}

// What the images of a model may add up to at most: the bytes of the model
// and the material files, which hold every image once.
uint64_t InputBytes(const TRun& run, const TModelRun& model) {
  uint64_t total = model.InpSize;
  for (const TMatSource& source : run.MatSources) total += source.FileSize;
  return total;
}

// The distinct materials of a model, named or not by the sources, and
// whether a named texture's image is missing from them.
struct TMaterialTally {
  std::set<uint32_t> Named;
  std::set<uint32_t> Unnamed;
  bool MissingImages = false;
  void Add(const TMatrList& list, const TMaterials& materials) {
    for (const TMatrRec& mat : list) {
      const TMatSource* source = nullptr;
      int32_t k = -1;
      if (!FindMatTex(materials, mat.ID, source, k)) {
        Unnamed.insert(mat.ID);
        continue;
      }
      if (!Named.insert(mat.ID).second) continue;
      TImageRef ref;
      MissingImages = MissingImages || FindImageIn(materials.Sources, source->Tex.MatTexList[k].Key, ref) < 0;
    }
  }
};

// The conversion of an opened model: false when its tree holds no mesh data
// node (the message is written).
bool ConvertModelBlocks(const TRun& run, TModelRun& model, TFileSet& written, TImageRecord& images,
                        TColourCache& colours, bool warnMatFiles) {
  TContext& ctx = model.Ctx;
  ListMatFiles(run, model, warnMatFiles);
  if (!ReadUtfTree(model.InpData(), model.NodesList, ctx)) {
    ctx.Console.Line(kNoMeshMessage);
    return false;
  }
  const TNodesList& nodes = model.NodesList;
  const TSettings& s = run.Settings;
  if (s.ModelMatOn) {
    model.ModelSource = ModelMatSource(nodes, model.InpData(), true);
    WriteModelMaterials(model.ModelSource, ctx);
  }
  const TBodOutput out = BodOutputOf(run, model);
  std::optional<TTextureWriter> textures;
  if (s.TexturesOn) textures.emplace(model.Names.OutFolder, out.Guard, InputBytes(run, model));
  TMaterialTally tally;
  TColourCache ownColours;
  // What the summary of a folder run counts, also when a later block fails.
  auto tallyUp = [&] {
    model.Stats.MaterialsNamed = static_cast<int32_t>(tally.Named.size());
    model.Stats.MaterialsUnnamed = static_cast<int32_t>(tally.Unnamed.size());
    model.Stats.UnnamedMaterials = !tally.Unnamed.empty();
    model.Stats.MissingImages = tally.MissingImages;
    if (textures) {
      model.Stats.ImagesWritten = textures->ImagesWritten();
      for (size_t k = 0; k < textures->Warnings().size(); ++k) model.Stats.TextureWarnings[k] = textures->Warnings()[k];
    }
  };

  // The block's lists, kept from one block to the next so that their room
  // is made once.
  TMeshData block;
  TBodyLists model3d;
  const int32_t count = nodes.Count();
  int32_t n = 0;
  try {
    for (int32_t i = 0; i < count; ++i) {
      if (!SameName(nodes[i].Name, "vmeshdata")) continue;
      const int32_t parent = nodes[i].ParentIdx;
      if (parent < 0) RaiseRange("mesh data node without a parent");
      // An interrupted run stops here, between blocks, with nothing half
      // written.
      if (plat::Interrupted()) throw EInterrupted();
      const std::string lodName = LowerCase(nodes[parent].Name);
      ctx.Console.Line(PadLeft(IntText(n), 3, ' ') + ": " + lodName);

      TMeshGroups groups = ReadPartPlacement(nodes, lodName, ctx);
      DecodeMeshData(nodes, lodName, groups, block, ctx);
      TGroupSink writeGroup;
      if (s.GenMeshOn)
        writeGroup = [&](int32_t g, const TMeshGroup& group, const TBodyLists& part) {
          RecordOutput(run, model, written, WriteGroupFile(part, n, g, group, out, ctx));
        };
      GenerateBodies(block, groups, s.OriginOn, model3d, ctx, writeGroup);
      if (s.GenBodOn) {
        model.Stats.BodFiles.push_back(WriteBodFile(model3d, n, lodName, out));
        RecordOutput(run, model, written, model.Stats.BodFiles.back());
      }
      if (s.PreviewOn) {
        std::vector<TPreviewMaterial> swatches = PreviewMaterials(model3d.MatrList, out.Materials, colours, ownColours);
        model.Stats.Pictures.push_back(WritePreviewFile(model3d, n, lodName, groups.Count(), std::move(swatches), out));
        RecordOutput(run, model, written, model.Stats.Pictures.back());
      }
      if (textures) textures->WriteImages(model3d.MatrList, out.Materials, written, images, ctx);
      tally.Add(model3d.MatrList, out.Materials);
      ++model.Stats.Blocks;
      model.Stats.Triangles += model3d.TriList.Count();
      ++n;
    }
  } catch (...) {
    tallyUp();
    throw;
  }
  tallyUp();
  return true;
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

std::string NotUtfWarning(const std::string& matFileName) {
  return "  Warning : material file " + matFileName + " is not a UTF file; it names no material.";
}

TModelNames ModelNamesOf(const std::string& input, const std::string& baseName, const TSettings& settings) {
  TModelNames names;
  names.InpFileName = input;
  names.BodBaseName = baseName;
  names.DbgFileName = baseName + settings.DbgExt;
  names.LogFileName = baseName + settings.LogExt;
  names.OutFolder = FolderPart(baseName);
  return names;
}

void OpenModel(const TRun& run, TModelRun& model, TFileSet& written) {
  const TSettings& s = run.Settings;
  model.Ctx.Work.Limit = run.Ctx.Work.Limit;
  // No output may empty the model or a material file before it is read.
  const TOutputGuard guard = GuardOf(run, model);
  if (s.DebugOn) GuardOutput(guard, model.Names.DbgFileName);
  if (s.GenLogOn) GuardOutput(guard, model.Names.LogFileName);
  if (s.DebugOn) model.DbgStream = std::make_unique<TBufStream>(model.Names.DbgFileName, ModeCreate, kBufSize);
  if (s.GenLogOn) model.LogStream = std::make_unique<TBufStream>(model.Names.LogFileName, ModeCreate, kBufSize);
  model.Ctx.DbgStream = model.DbgStream.get();
  model.Ctx.LogStream = model.LogStream.get();
  if (s.DebugOn) RecordOutput(run, model, written, model.Names.DbgFileName);
  if (s.GenLogOn) RecordOutput(run, model, written, model.Names.LogFileName);
  ReadInputImage(model);
}

EModelEnd ConvertModel(const TRun& run, TModelRun& model, TFileSet& written, TImageRecord& images,
                       TColourCache& colours, bool warnMatFiles) {
  try {
    return ConvertModelBlocks(run, model, written, images, colours, warnMatFiles) ? EModelEnd::Converted
                                                                          : EModelEnd::NoMeshData;
  } catch (const EInterrupted&) {
    return EModelEnd::Interrupted;
  } catch (...) {
    // Every failure of the conversion ends here: the input is damaged or of
    // an unknown layout, or an output could not be written.
    model.Ctx.Console.Line(kDamageMessage);
    return EModelEnd::Failed;
  }
}

void CloseModel(TModelRun& model) {
  // The streams write out their buffers as they close; everything else the
  // model holds goes with it.
  model.Ctx.DbgStream = nullptr;
  model.Ctx.LogStream = nullptr;
  model.DbgStream.reset();
  model.LogStream.reset();
}

void WriteSettingsNote(const TRun& run) {
  // Without a settings file every output is off, and the run would look
  // like one that wrote its files.
  if (run.Settings.FileMissing)
    run.Ctx.Console.Line("  Note : no settings file beside the program: nothing was written.");
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
    std::vector<std::string> files;
    const plat::EPathKind kind = plat::PathKind(args[i]);
    if (kind == plat::EPathKind::Folder) {
      files = MaterialFolderFiles(run, args[i]);
      if (files.empty()) {
        console.Line("  Error : no material file in " + args[i] + ".");
        return kExitFailure;
      }
    } else {
      if (plat::ProgramExpandsWildcards() && HasWildcard(args[i]))
        files = ExpandWildcard(args[i]);
      else if (kind == plat::EPathKind::File)
        files = {args[i]};
      if (files.empty()) {
        console.Line("  Error : file " + args[i] + " not found.");
        return kExitFailure;
      }
    }
    for (const std::string& file : files)
      if (named.AddNew(file)) run.Names.MatFileNames.push_back(file);
  }
  run.Names.IniFileName = ReplaceExtension(ownPath, ".ini");
  const plat::EPathKind kind = plat::PathKind(args[0]);
  if (kind == plat::EPathKind::Folder) return StartFolderRun(run, args[0], named);
  if (kind != plat::EPathKind::File) {
    console.Line("  Error : file " + args[0] + " not found.");
    return kExitFailure;
  }
  try {
    LoadSettings(run);
    const TSettings& s = run.Settings;
    // The outputs beside the model, or in the folder OutDir names.
    std::string base = ReplaceExtension(args[0], "");
    if (!s.OutDir.empty()) base = OutDirRoot(s.OutDir, args[0]) + FileNamePart(base);
    run.Model.Names = ModelNamesOf(args[0], base, s);
    run.Inputs = named;
    run.Inputs.Add(args[0]);
    if (!s.OutDir.empty()) MakeFolders(run.Model.Names.OutFolder);
    run.Model.Ctx.Console = console;
    OpenModel(run, run.Model, run.Written);
    // Each material file's tree is read here, once; what a conversion
    // needs of a damaged one (its failure) waits for the conversion.
    run.MatSources.reserve(run.Names.MatFileNames.size());
    for (const std::string& name : run.Names.MatFileNames) run.MatSources.push_back(ReadMatFileSource(name, s.DebugOn));
    run.RunDateText = plat::LocalDateTimeText();
  } catch (const EOverwriteError&) {
    return kExitFailure;  // its console line has been written
  } catch (const std::exception& e) {
    console.Line(e.what());
    return kExitFailure;
  }
  return -1;
}

void ShutDown(TRun& run) {
  CloseModel(run.Model);
}

int RunProgram(TRun& run, const std::string& ownPath, const std::vector<std::string>& args) {
  const int status = StartUp(run, ownPath, args);
  if (status >= 0) return status;
  if (run.Folder) return RunFolder(run);
  const EModelEnd end = ConvertModel(run, run.Model, run.Written, run.Images, run.Colours, true);
  ShutDown(run);
  WriteSettingsNote(run);
  return end == EModelEnd::Converted ? kExitOk : kExitFailure;
}

}  // namespace bw
