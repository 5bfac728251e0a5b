// Converts the bundled sample model under a settings text and a material
// file taken from the input: the bytes before the first "#MAT" are the
// settings text, the bytes after it the material file, named before the
// bundled material file (the bundled one alone when the marker is missing).
// The model's own material library and the textures' images are always on.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_harness.h"

namespace {

struct TState {
  bwfuzz::TScratch Scratch;
  bwfuzz::Bytes Model = bwfuzz::SampleModel();
  bwfuzz::Bytes Materials = bwfuzz::SampleMaterials();
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// True when the line opens the "system" section as the settings reader
// sees it: "[" after blanks, the name up to "]" (or the line's end) between
// blanks, in any case.
bool OpensSystem(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  if (line.empty() || line.front() != '[') return false;
  line.remove_prefix(1);
  line = line.substr(0, line.find(']'));
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  constexpr std::string_view kName = "system";
  return line.size() == kName.size() &&
         std::equal(line.begin(), line.end(), kName.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
}

// The keys both targets keep on, first in the first "system" section (the
// reader takes a key's first line there and no later section), or in a new
// one at the end.
std::string WithMaterialKeys(std::string settings) {
  const std::string keys = std::string("\n") + bwfuzz::kMaterialKeys;
  size_t pos = 0;
  while (pos < settings.size()) {
    size_t end = settings.find('\n', pos);
    if (end == std::string::npos) end = settings.size();
    if (OpensSystem(std::string_view(settings).substr(pos, end - pos))) {
      settings.insert(end, keys.substr(0, keys.size() - 2));  // the line's own end follows
      return settings;
    }
    pos = end + 1;
  }
  return settings + "\n[system]" + keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<TState> state = std::make_unique<TState>();
  const char* const kMarker = "#MAT";
  const uint8_t* end = data + size;
  const uint8_t* marker = std::search(data, end, kMarker, kMarker + 4);
  std::string settings(reinterpret_cast<const char*>(data), static_cast<size_t>(marker - data));
  // The settings choose the output files' extensions: keep every output in
  // the scratch folder, and let none end as the program's temporary names
  // do (".~<pid>.tmp"), which the harness looks for.
  std::replace(settings.begin(), settings.end(), '/', '_');
  std::replace(settings.begin(), settings.end(), '\\', '_');
  std::replace(settings.begin(), settings.end(), '~', '_');
  state->Scratch.WriteSettings(WithMaterialKeys(std::move(settings)));

  const std::string model = state->Scratch.WorkFile("model.cmp");
  const std::string sample = state->Scratch.WorkFile("sample.mat");
  bwfuzz::WriteFile(model, state->Model.data(), state->Model.size());
  bwfuzz::WriteFile(sample, state->Materials.data(), state->Materials.size());
  if (marker == end) {
    state->Scratch.Run({model, sample});
    return 0;
  }
  // Named as an image could be, so that the guard of the inputs is met.
  const std::string mat = state->Scratch.WorkFile("model.tga");
  bwfuzz::WriteFile(mat, marker + 4, static_cast<size_t>(end - marker - 4));
  state->Scratch.Run({model, mat, sample});
  return 0;
}
