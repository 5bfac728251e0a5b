#pragma once
// What both fuzz targets share: a scratch folder for one process, a run of
// the whole program in-process, and the checks every run must pass.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bwfuzz {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

class TScratch {
 public:
  // <tmp>/bodwright-fuzz-<pid>/ with "prog" (the pretend program and its
  // settings file) and "work" (the model, the material file, every output).
  TScratch();
  ~TScratch();
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;

  std::string WorkFile(const std::string& name) const { return (FWork / name).string(); }
  void WriteSettings(const std::string& text) const;
  // Runs the program on the given files of the work folder (material file
  // optional), checks the outcome and the work folder, then empties it.
  int Run(const std::vector<std::string>& args);

 private:
  fs::path FRoot, FProg, FWork;
};

void WriteFile(const std::string& path, const uint8_t* data, size_t size);
Bytes ReadFile(const std::string& path);

// The bundled sample model and material file.
Bytes SampleModel();
Bytes SampleMaterials();

}  // namespace bwfuzz
