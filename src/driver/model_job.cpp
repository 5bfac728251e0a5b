#include "driver/model_job.h"

#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <span>

#include "cmp/part_placement.h"
#include "cmp/utf_tree.h"
#include "driver/driver.h"
#include "driver/output_places.h"
#include "mesh/mesh_decoder.h"
#include "output/bod_writer.h"
#include "output/body_generation.h"
#include "output/materials.h"
#include "output/preview_svg.h"
#include "output/texture_colours.h"
#include "output/textures.h"
#include "support/buf_stream.h"
#include "support/context.h"
#include "support/errors.h"
#include "support/text_helpers.h"
#include "version.h"
#include "support/path_names.h"

namespace bw {
namespace {

constexpr const char* kNoMeshMessage = "  Error: this file havnt VMeshLibrary!";

// One model's conversion: its names, the context of its stages, its
// streams, its image and tree, and its own material source. Everything
// here belongs to the one model.
struct TModelRun {
  TModelNames Names;
  // The model's console, diagnostics file, log and work bound.
  TContext Ctx;
  std::unique_ptr<TBufStream> DbgStream;
  std::unique_ptr<TBufStream> LogStream;
  // The input file whole, read into memory that was not cleared first; the
  // tree borrows from it.
  std::unique_ptr<uint8_t[]> InpBytes;
  size_t InpSize = 0;
  std::span<const uint8_t> InpData() const { return {InpBytes.get(), InpSize}; }
  TNodesList NodesList;
  // The model's own texture names (and images), when ModelMat is on.
  TMatSource ModelSource;
  TModelStats Stats;
};

// Reads the whole input file into the model's image.
void ReadInputImage(TModelRun& model) {
  TBufStream stream(model.Names.InpFileName, ModeRead, kBufSize);
  const int32_t size = stream.GetFileSize();
  // An empty file has no image to read; the reading stages rely on at least
  // one byte, so this is reported here, before anything is converted.
  if (size <= 0) throw EFOpenError("Cannot read file \"" + model.Names.InpFileName + "\". The file is empty.");
  model.InpBytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size));
  // Only the bytes read are the image, should the file shrink meanwhile.
  const int32_t got = stream.Read(model.InpBytes.get(), size);
  model.InpSize = static_cast<size_t>(got > 0 ? got : 0);
}

// The guard of every output of a model: every model and material file of
// the run.
TOutputGuard GuardOf(const TRunInputs& run, const TModelRun& model) {
  TOutputGuard guard;
  guard.Console = model.Ctx.Console;
  guard.Inputs = &run.Inputs;
  guard.Control = model.Ctx.Control;
  return guard;
}

// Notes an output the model has written: counted, and kept as one that no
// image may replace while images are written.
void RecordOutput(const TRunInputs& run, TModelRun& model, TFileSet& written, const std::string& name) {
  ++model.Stats.FilesWritten;
  if (run.Settings.TexturesOn) written.Add(name);
}

// What every BOD file of a model is written with.
TBodOutput BodOutputOf(const TRunInputs& run, const TModelRun& model) {
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
void ListMatFiles(const TRunInputs& run, TModelRun& model, bool warnNotUtf) {
  const bool several = run.MatSources.size() > 1;
  for (const TMatSource& source : run.MatSources) {
    if (warnNotUtf && !source.Damaged && !source.IsUtf) model.Ctx.Console.Line(NotUtfWarning(source.FileName));
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
uint64_t InputBytes(const TRunInputs& run, const TModelRun& model) {
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
      const TMatLookup m = LookUpMaterial(materials, mat.ID);
      if (!m.Named()) {
        Unnamed.insert(mat.ID);
        continue;
      }
      if (!Named.insert(mat.ID).second) continue;
      MissingImages = MissingImages || !m.HasImage();
    }
  }
  // Into the model's numbers, with what the texture writer counted.
  void To(TModelStats& stats, const std::optional<TTextureWriter>& textures) const {
    stats.MaterialsNamed = static_cast<int32_t>(Named.size());
    stats.MaterialsUnnamed = static_cast<int32_t>(Unnamed.size());
    stats.UnnamedMaterials = !Unnamed.empty();
    stats.MissingImages = MissingImages;
    if (!textures) return;
    stats.ImagesWritten = textures->ImagesWritten();
    for (size_t k = 0; k < textures->Warnings().size(); ++k) stats.TextureWarnings[k] = textures->Warnings()[k];
  }
};

// The material files' listings, the model's tree and its own material
// source; false when the tree holds no mesh data node (the message is
// written).
bool ReadModelTree(const TRunInputs& run, TModelRun& model, bool warnNotUtf) {
  ListMatFiles(run, model, warnNotUtf);
  if (!ReadUtfTree(model.InpData(), model.NodesList, model.Ctx)) {
    model.Ctx.Console.Line(kNoMeshMessage);
    return false;
  }
  if (run.Settings.ModelMatOn) {
    model.ModelSource = ModelMatSource(model.NodesList, model.InpData(), true);
    WriteModelMaterials(model.ModelSource, model.Ctx);
  }
  return true;
}

// The blocks of a model whose tree is read, one after another. What it
// counted stays in the model's numbers also when a block fails.
void ConvertBlocks(const TRunInputs& run, TModelRun& model, TFolderOutputs& outputs, TImageCache& images) {
  TContext& ctx = model.Ctx;
  const TNodesList& nodes = model.NodesList;
  const TSettings& s = run.Settings;
  const TBodOutput out = BodOutputOf(run, model);
  std::optional<TTextureWriter> textures;
  if (s.TexturesOn) textures.emplace(model.Names.OutFolder, out.Guard, InputBytes(run, model));
  TMaterialTally tally;
  TImageCache ownImages(PicturesDrawTextures(s));
  TModelStats& stats = model.Stats;
  struct TTallyUp {
    const TMaterialTally& Tally;
    const std::optional<TTextureWriter>& Textures;
    TModelStats& Stats;
    ~TTallyUp() { Tally.To(Stats, Textures); }
  } tallyUp{tally, textures, stats};

  // The block's lists, kept from one block to the next so that their room
  // is made once.
  TMeshData block;
  TBodyLists model3d;
  const int32_t count = nodes.Count();
  int32_t n = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (!SameName(nodes[i].Name, "vmeshdata")) continue;
    const int32_t parent = nodes[i].ParentIdx;
    if (parent < 0) RaiseRange("mesh data node without a parent");
    // A stopped run stops here, between blocks, with nothing half written.
    if (ctx.StopRequested()) throw EInterrupted();
    const std::string lodName = LowerCase(nodes[parent].Name);
    ctx.Console.Line(PadLeft(IntText(n), 3, ' ') + ": " + lodName);

    TMeshGroups groups = ReadPartPlacement(nodes, lodName, ctx);
    DecodeMeshData(nodes, lodName, groups, block, ctx);
    TGroupSink writeGroup;
    if (s.GenMeshOn)
      writeGroup = [&](int32_t g, const TMeshGroup& group, const TBodyLists& part) {
        RecordOutput(run, model, outputs.Written, WriteGroupFile(part, n, g, group, out, ctx));
      };
    GenerateBodies(block, groups, s.OriginOn, model3d, ctx, writeGroup);
    if (s.GenBodOn) {
      stats.BodFiles.push_back(WriteBodFile(model3d, n, lodName, out));
      RecordOutput(run, model, outputs.Written, stats.BodFiles.back());
    }
    if (s.PreviewOn) {
      std::vector<TPreviewMaterial> swatches = PreviewMaterials(model3d.MatrList, out.Materials, images, ownImages);
      stats.Pictures.push_back(
          WritePreviewFile(model3d, n, lodName, groups.Count(), std::move(swatches), out, block.TexCoords));
      RecordOutput(run, model, outputs.Written, stats.Pictures.back());
    }
    if (textures) textures->WriteImages(model3d.MatrList, out.Materials, outputs.Written, outputs.Images, ctx);
    tally.Add(model3d.MatrList, out.Materials);
    ++stats.Blocks;
    stats.Triangles += model3d.TriList.Count();
    ++n;
  }
}

// The model's start-up: its diagnostics and log files opened, its file
// read. `written` records the files it opens, when images are written.
void OpenModel(const TRunInputs& run, TModelRun& model, TFileSet& written) {
  const TSettings& s = run.Settings;
  if (model.Ctx.StopRequested()) throw EInterrupted();
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

void Fail(TJobResult& result, const TConsole& console, const std::string& line) {
  console.Line(line);
  result.Outcome = EOutcome::Failed;
  result.Reason = line;
}

// An output that could not be written ends the model like damage does, but
// says which file it was and why.
void FailWrite(TJobResult& result, const TConsole& console, std::string file, const std::string& reason) {
  // One line whatever the name holds (a settings extension can hold a NUL).
  for (char& c : file)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  Fail(result, console, "  Error : cannot write " + file + ": " + reason);
  console.Line(kDamageMessage);
}

// Closes the model's streams, which writes out their buffers; a diagnostics
// file or log that could not be written whole fails a model that had not
// failed yet.
void CloseModel(TModelRun& model, TJobResult& result) {
  model.Ctx.DbgStream = nullptr;
  model.Ctx.LogStream = nullptr;
  for (std::unique_ptr<TBufStream>* stream : {&model.DbgStream, &model.LogStream}) {
    if (!*stream) continue;
    const bool whole = (*stream)->Close();
    const bool going = result.Outcome == EOutcome::Converted || result.Outcome == EOutcome::NoMeshData;
    if (!whole && going) FailWrite(result, model.Ctx.Console, (*stream)->FileName(), (*stream)->WriteError());
    stream->reset();
  }
}

}  // namespace

TModelNames ModelNamesOf(const std::string& input, const std::string& baseName, const TSettings& settings) {
  TModelNames names;
  names.InpFileName = input;
  names.BodBaseName = baseName;
  names.DbgFileName = baseName + settings.DbgExt;
  names.LogFileName = baseName + settings.LogExt;
  names.OutFolder = FolderPart(baseName);
  return names;
}

std::string NotUtfWarning(const std::string& matFileName) {
  return "  Warning : material file " + matFileName + " is not a UTF file; it names no material.";
}

TJobResult ConvertJob(const TRunInputs& run, const TModelJob& job, TFolderOutputs& outputs, TImageCache& images,
                      const TContext& ctx) {
  TJobResult result;
  TModelRun model;
  model.Ctx.Console = ctx.Console;
  model.Ctx.Work.Limit = ctx.Work.Limit;
  model.Ctx.Control = ctx.Control;
  const TConsole& console = model.Ctx.Console;
  if (!job.Note.empty()) console.Line(job.Note);
  if (!job.Error.empty()) {
    Fail(result, console, job.Error);
    return result;
  }
  model.Names = ModelNamesOf(job.Path, job.BaseName, run.Settings);
  bool opened = false;
  try {
    if (!run.Settings.OutDir.empty()) MakeFolders(model.Names.OutFolder);
    OpenModel(run, model, outputs.Written);
    opened = true;
    result.Outcome = EOutcome::NoMeshData;
    if (ReadModelTree(run, model, job.WarnNotUtf)) {
      ConvertBlocks(run, model, outputs, images);
      result.Outcome = EOutcome::Converted;
    }
  } catch (const EInterrupted&) {
    console.Line(kStoppedMessage);
    result.Outcome = EOutcome::Stopped;
  } catch (const EFCreateError& e) {
    FailWrite(result, console, e.File, e.Reason);
  } catch (const EOverwriteError& e) {
    // Its line has been said. Before the model is open that line is all;
    // during the conversion the damage line follows, as for every failure.
    result.Outcome = EOutcome::Failed;
    result.Reason = e.what();
    if (opened) Fail(result, console, kDamageMessage);
  } catch (const std::exception& e) {
    // Every failure of the conversion ends here: the input is damaged or of
    // an unknown layout. One of the opening has its own words.
    Fail(result, console, opened ? std::string(kDamageMessage) : std::string(e.what()));
  }
  CloseModel(model, result);
  result.Stats = std::move(model.Stats);
  return result;
}

}  // namespace bw
