#include "driver/driver.h"

#include <exception>

#include "cmp/part_placement.h"
#include "cmp/utf_tree.h"
#include "driver/run_state.h"
#include "driver/settings.h"
#include "mesh/mesh_decoder.h"
#include "output/bod_writer.h"
#include "output/body_generation.h"
#include "output/materials.h"
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

// Start-up from the file names on: nothing here is guarded by the
// conversion's handler, so a failure ends the run with its own report.
void OpenAndRead(TRun& run, const std::string& input) {
  const TSettings& s = run.Settings;
  run.Names.InpFileName = input;
  run.Names.BodBaseName = ReplaceExtension(input, "");
  run.Names.DbgFileName = ReplaceExtension(input, s.DbgExt);
  run.Names.LogFileName = ReplaceExtension(input, s.LogExt);

  // No output may empty the model or the material file before it is read.
  if (s.DebugOn) GuardOutput(run, run.Names.DbgFileName);
  if (s.GenLogOn) GuardOutput(run, run.Names.LogFileName);
  if (s.DebugOn) run.DbgStream = std::make_unique<TBufStream>(run.Names.DbgFileName, ModeCreate, kBufSize);
  if (s.GenLogOn) run.LogStream = std::make_unique<TBufStream>(run.Names.LogFileName, ModeCreate, kBufSize);

  ReadInputImage(run);
  LoadMatFile(run);
  run.RunDateText = plat::LocalDateTimeText();
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

int StartUp(TRun& run, const std::string& ownPath, const std::vector<std::string>& args) {
  const TConsole& console = run.Console;
  console.Line(kBanner);
  if (args.size() != 1 && args.size() != 2) {
    console.Line("  use : " + FileNamePart(ownPath) + " file.cmp");
    console.Line("");
    return kExitUsage;
  }
  run.Names.MatFileGiven = false;
  if (args.size() == 2) {
    if (!plat::FileExists(args[1])) {
      console.Line("  Error : file " + args[1] + " not found.");
      return kExitFailure;
    }
    run.Names.MatFileName = args[1];
    run.Names.MatFileGiven = true;
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
  ParseMatFile(run);
  if (!ReadUtfTree(run)) {
    run.Console.Line(kNoMeshMessage);
    return false;
  }
  TNodesList& nodes = run.NodesList;
  const int32_t count = nodes.Count();
  int32_t n = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (!SameName(nodes[i].Name, "vmeshdata")) continue;
    const int32_t parent = nodes[i].ParentIdx;
    if (parent < 0) RaiseRange("mesh data node without a parent");
    const std::string lodName = LowerCase(nodes[parent].Name);
    run.Console.Line(PadLeft(IntText(n), 3, ' ') + ": " + lodName);
    if (ReadPartPlacement(run, lodName)) {
      DecodeMeshData(run, lodName);
      GenerateBodies(run, n);
      WriteBodFile(run, n, lodName);
    }
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
    run.Console.Line(kDamageMessage);
    return false;
  }
}

void ShutDown(TRun& run) {
  run.DbgStream.reset();
  run.LogStream.reset();
  run.MeshList.FreeAll();
  run.VertList.FreeAll();
  run.TriList.FreeAll();
  run.ModelVertList.FreeAll();
  run.ModelTriList.FreeAll();
  run.ModelMatrList.FreeAll();
  run.PartVertList.FreeAll();
  run.PartTriList.FreeAll();
  run.PartMatrList.FreeAll();
  run.NodesList.FreeAll();
  run.MeshGroups.FreeAll();
  FreeMatFile(run);
}

int RunProgram(TRun& run, const std::string& ownPath, const std::vector<std::string>& args) {
  const int status = StartUp(run, ownPath, args);
  if (status >= 0) return status;
  const bool converted = RunConversion(run);
  ShutDown(run);
  return converted ? kExitOk : kExitFailure;
}

}  // namespace bw
