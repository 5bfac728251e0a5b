// Converts the bundled sample model under a settings text and a material
// file taken from the input: the bytes before the first "#MAT" are the
// settings text, the bytes after it the material file (no material file when
// the marker is missing).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_harness.h"

namespace {

struct TState {
  bwfuzz::TScratch Scratch;
  bwfuzz::Bytes Model = bwfuzz::SampleModel();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<TState> state = std::make_unique<TState>();
  const char* const kMarker = "#MAT";
  const uint8_t* end = data + size;
  const uint8_t* marker = std::search(data, end, kMarker, kMarker + 4);
  std::string settings(reinterpret_cast<const char*>(data), static_cast<size_t>(marker - data));
  // The settings choose the output files' extensions: keep every output in
  // the scratch folder.
  std::replace(settings.begin(), settings.end(), '/', '_');
  std::replace(settings.begin(), settings.end(), '\\', '_');
  state->Scratch.WriteSettings(settings);

  const std::string model = state->Scratch.WorkFile("model.cmp");
  bwfuzz::WriteFile(model, state->Model.data(), state->Model.size());
  if (marker == end) {
    state->Scratch.Run({model});
    return 0;
  }
  const std::string mat = state->Scratch.WorkFile("model.mat");
  bwfuzz::WriteFile(mat, marker + 4, static_cast<size_t>(end - marker - 4));
  state->Scratch.Run({model, mat});
  return 0;
}
