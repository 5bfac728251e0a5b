#pragma once
// What both fuzz targets share: a scratch folder for one process, a run of
// the whole program in-process, and the checks every run must pass.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace bwfuzz {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

// The settings keys both targets always turn on: the model's own material
// library as a source, and the textures' images written beside the model.
inline constexpr const char* kMaterialKeys = "ModelMat=ON\r\nTextures=ON\r\n";

class TScratch {
 public:
  // <tmp>/bodwright-fuzz-<pid>/scratch/ with "prog" (the pretend program and
  // its settings file) and "work" (the model, the material files, every
  // output). The per-process folder holds the scratch folder alone, so that
  // a file written one or two folders above the work folder shows.
  TScratch();
  ~TScratch();
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;

  std::string WorkFile(const std::string& name) const { return (FWork / name).string(); }
  void WriteSettings(const std::string& text) const;
  // Runs the program on the given files of the work folder (the model, then
  // the material files), checks the outcome, the console, the images and
  // that nothing was written outside the work folder, then empties it.
  int Run(const std::vector<std::string>& args);
  // Writes `models` (relative paths with '/') below the work folder's
  // "models" folder and converts that folder in one run: every model and
  // its outputs stay below it, no temporary file is left, every image is of
  // its kind, the console ends with the summary. Then empties the work
  // folder.
  int RunFolder(const std::vector<std::pair<std::string, Bytes>>& models);

 private:
  fs::path FBase, FRoot, FProg, FWork;
};

void WriteFile(const std::string& path, const uint8_t* data, size_t size);
Bytes ReadFile(const std::string& path);

// The bundled sample model and material file.
Bytes SampleModel();
Bytes SampleMaterials();

}  // namespace bwfuzz
