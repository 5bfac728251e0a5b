#pragma once
// The state of a run, by who changes it: what every model reads (settings,
// material sources, the inputs no output may replace, the date), what the
// models of one output folder share one after another, and what each model
// makes. The colour cache, the one thing that models converting side by side
// change together, guards itself.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cmp/mat_source.h"
#include "driver/folder_walk.h"
#include "output/outcome.h"
#include "output/preview_png.h"
#include "output/textures.h"
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

// The pictures draw the textures' images, not only their colours.
inline bool PicturesDrawTextures(const TSettings& s) {
  return s.PreviewOn && IsPngPreview(s.PreviewExt);
}

// What every model of a run reads and nothing changes: made by the start-up
// before the first model, then shared by reference, const, by every worker.
struct TRunInputs {
  TSettings Settings;
  std::string IniFileName = "!qelto.ini";
  // The material files used, in lookup order.
  std::vector<TMatSource> MatSources;
  // Every model and material file of the run, which no output may replace.
  TFileSet Inputs;
  // The date line of the model BOD files, fixed once per run.
  std::string RunDateText;
};

// What the models writing into one folder share and change, one model after
// another: the outputs written there so far, which no image may replace
// (kept only while images are written), and the images among them.
struct TFolderOutputs {
  TFileSet Written;
  TImageRecord Images;
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

// A model of a run and where its outputs go.
struct TModelJob {
  std::string Path;      // as the user names it: the folder as given joined to Relative
  std::string Relative;  // below the folder, with "/" (the file's name in a single-model run)
  std::string BaseName;  // its outputs' path without extension
  // Said at the head of its console block: its outputs renamed, or why it
  // is not converted (then it fails).
  std::string Note;
  std::string Error;
  size_t Group = 0;  // the models writing into one folder form a group
  // The material files that name nothing are told of in the model's own
  // lines (in a folder run once, before the first model).
  bool WarnNotUtf = false;
};

// The models of a run and what could not be taken.
struct TRunPlan {
  // The folder converted, as given; empty when the run converts one model.
  std::string Folder;
  std::vector<TModelJob> Jobs;
  // What the walks of the models' folder and the material folders could not
  // take.
  std::vector<TSkippedEntry> Skipped;
  // The material files left out as damaged or unreadable.
  std::vector<std::string> MatFilesLeftOut;
};

// What became of a model: its outcome, why it failed, its numbers, and its
// console lines when the run prints each model's lines whole.
struct TJobResult {
  EOutcome Outcome = EOutcome::NotConverted;
  std::string Reason;
  TModelStats Stats;
  std::string Console;
};

}  // namespace bw
