#pragma once
// The state of one run: settings, file names, the streams, the input image
// and its tree, the material file. The driver owns it and hands each stage
// of the conversion only what that stage reads and makes.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cmp/utf_tree.h"
#include "output/materials.h"
#include "support/buf_stream.h"
#include "support/context.h"
#include "support/output_file.h"

namespace bw {

inline constexpr const char* kDefaultStrMat =
    "MATERIAL5: %i; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0;";

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
  bool OriginOn = false;
  // The model's own material library as one more source of texture names.
  bool ModelMatOn = false;
  // The images of the named textures, written beside the model.
  bool TexturesOn = false;
  std::array<float, 3> ScaleFactor{1000.0f, 1000.0f, 1000.0f};
  std::string StrMat;
  // No settings file could be opened: everything above is its default.
  bool FileMissing = false;
};

struct TFileNames {
  std::string InpFileName = "!qelto.inp";
  std::string BodBaseName = "!qelto.bod";
  std::string DbgFileName = "!qelto.dbg";
  std::string LogFileName = "!qelto.log";
  std::string IniFileName = "!qelto.ini";
  // The material files named, in the order given, each once.
  std::vector<std::string> MatFileNames;
};

struct TRun {
  TSettings Settings;
  TFileNames Names;
  // What every stage shares: the console, the diagnostics file and the log
  // (pointing at the streams below while they are open), the work bound.
  TContext Ctx;
  // The date line of the model BOD files, fixed once per run.
  std::string RunDateText;

  std::unique_ptr<TBufStream> DbgStream;
  std::unique_ptr<TBufStream> LogStream;
  // The input file whole; the tree borrows from it.
  std::vector<uint8_t> InpData;
  TNodesList NodesList;
  // The named material files, in the order given.
  std::vector<TMatFile> Mats;
  // The model's own texture names, when ModelMat is on.
  TTexTable ModelTex;
  // The outputs written so far, which no image may replace; kept only while
  // images are written.
  TFileSet Written;
};

}  // namespace bw
