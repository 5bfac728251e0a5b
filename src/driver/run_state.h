#pragma once
// The state of one run: settings, file names, the streams, the input image
// and its tree, the material sources. The driver owns it and hands each
// stage of the conversion only what that stage reads and makes.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cmp/mat_source.h"
#include "cmp/utf_tree.h"
#include "driver/folder_walk.h"
#include "output/texture_colours.h"
#include "output/textures.h"
#include "support/buf_stream.h"
#include "support/context.h"
#include "support/output_file.h"

namespace bw {

inline constexpr const char* kDefaultStrMat =
    "MATERIAL5: %i; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0;";

// The most models a folder run converts side by side.
inline constexpr int32_t kMaxJobs = 64;

struct TSettings {
  bool GenBodOn = false;
  std::string BodExt = ".bod";
  bool GenMeshOn = false;
  std::string MeshExt = ".txt";
  bool GenLogOn = false;
  std::string LogExt = ".log";
  bool DebugOn = false;
  std::string DbgExt = ".dbg";
  // A picture of each model beside its model BOD file.
  bool PreviewOn = false;
  std::string PreviewExt = ".svg";
  // The page of a folder run, showing every model.
  bool PageOn = false;
  std::string PageExt = ".html";
  bool OriginOn = false;
  // The model's own material library as one more source of texture names.
  bool ModelMatOn = false;
  // The images of the named textures, written beside the model.
  bool TexturesOn = false;
  std::array<float, 3> ScaleFactor{1000.0f, 1000.0f, 1000.0f};
  std::string StrMat;
  // In a folder run, every material file below the folder is used too.
  bool FolderMatOn = false;
  // Models converted side by side in a folder run: 0 for one per hardware
  // thread.
  int32_t Jobs = 0;
  // Where every output goes (empty: beside each model).
  std::string OutDir;
  // No settings file could be opened: everything above is its default.
  bool FileMissing = false;
};

// The run's own files: the settings and the material files named, in the
// order given, each once.
struct TFileNames {
  std::string IniFileName = "!qelto.ini";
  std::vector<std::string> MatFileNames;
};

// The files of one model: its input and where its outputs go.
struct TModelNames {
  std::string InpFileName = "!qelto.inp";
  std::string BodBaseName = "!qelto.bod";
  std::string DbgFileName = "!qelto.dbg";
  std::string LogFileName = "!qelto.log";
  // The folder of its images: the folder of its other outputs, with its
  // separator (empty for the current folder).
  std::string OutFolder;
};

// What one model's conversion came to, for the summary of a folder run.
struct TModelStats {
  int32_t Blocks = 0;
  int64_t Triangles = 0;
  int32_t FilesWritten = 0;
  int32_t ImagesWritten = 0;
  int32_t MaterialsNamed = 0;
  int32_t MaterialsUnnamed = 0;
  std::array<int32_t, kTextureWarningKinds> TextureWarnings{};
  // For the page of a folder run: a material that no source names, a
  // texture whose image no source holds; the pictures and model BOD files
  // written.
  bool UnnamedMaterials = false;
  bool MissingImages = false;
  std::vector<std::string> Pictures;
  std::vector<std::string> BodFiles;
};

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

// A model of a folder run and where its outputs go.
struct TModelJob {
  std::string Path;      // as the user names it: the folder as given joined to Relative
  std::string Relative;  // below the folder, with "/"
  std::string BaseName;  // its outputs' path without extension
  // Said at the head of its console block: its outputs renamed, or why it
  // is not converted (then it fails).
  std::string Note;
  std::string Error;
  size_t Group = 0;  // the models writing into one folder form a group
};

// The run: what every model shares, built before the first model and only
// read after (settings, material sources, the inputs no output may replace,
// the date), and the model of a single-model run.
struct TRun {
  TSettings Settings;
  TFileNames Names;
  // The run's console; its work bound's limit is each model's.
  TContext Ctx;
  // The date line of the model BOD files, fixed once per run.
  std::string RunDateText;
  // The material files used, in lookup order.
  std::vector<TMatSource> MatSources;
  // Every model and material file of the run, which no output may replace.
  TFileSet Inputs;
  // The colours of the material files' images, worked out as pictures need
  // them; shared by the models (guarded within).
  TColourCache Colours;

  // A single-model run: the model, and the outputs written so far, which
  // no image may replace (kept only while images are written), the images
  // among them.
  TModelRun Model;
  TFileSet Written;
  TImageRecord Images;

  // A folder run: the folder as given, its models in order, and what the
  // walks could not take; the material files left out as damaged.
  bool Folder = false;
  std::string FolderArg;
  std::vector<TModelJob> Jobs;
  std::vector<TSkippedEntry> Skipped;
  std::vector<std::string> MatFilesLeftOut;
};

}  // namespace bw
