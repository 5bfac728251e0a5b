#pragma once
// The state of one run: settings, file names, the input image, the shared
// lists and the streams. The driver owns it; every procedure takes it by
// reference, so any of them can run on a state of its own.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cmp/utf_tree.h"
#include "mesh/mesh_lists.h"
#include "output/materials.h"
#include "support/buf_stream.h"
#include "support/console.h"
#include "support/work_budget.h"

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
  bool OriginOn = false;
  std::array<float, 3> ScaleFactor{1000.0f, 1000.0f, 1000.0f};
  std::string StrMat;
};

struct TFileNames {
  std::string InpFileName = "!qelto.inp";
  std::string BodBaseName = "!qelto.bod";
  std::string DbgFileName = "!qelto.dbg";
  std::string LogFileName = "!qelto.log";
  std::string IniFileName = "!qelto.ini";
  std::string MatFileName = "!qelto.mat";
  bool MatFileGiven = false;
};

struct TRun {
  TSettings Settings;
  TFileNames Names;
  TConsole Console;
  // The date line of the model BOD files, fixed once per run.
  std::string RunDateText;
  // Work charged by every block of the run.
  TWorkBudget Work;

  std::vector<uint8_t> InpData;
  std::unique_ptr<TBufStream> DbgStream;
  std::unique_ptr<TBufStream> LogStream;

  TMeshList MeshList;
  TVertList VertList;
  TTriList TriList;
  TVertList ModelVertList;
  TTriList ModelTriList;
  TMatrList ModelMatrList;
  TVertList PartVertList;
  TTriList PartTriList;
  TMatrList PartMatrList;
  TMeshGroups MeshGroups;
  TNodesList NodesList;

  TMatFile Mat;
};

}  // namespace bw
