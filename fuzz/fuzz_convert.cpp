// Converts one input image as a model, with every output on, the model's
// own material library and the textures' images, and two material files:
// the input itself (so that its names and images come first) and the
// bundled one; and some inputs as the models of a folder run too.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_harness.h"

namespace {

const std::string kAllOnIni = std::string(
                                  "[system]\r\n"
                                  "GenBod=.bod, ON\r\n"
                                  "GenLog=.log, ON\r\n"
                                  "GenMesh=.txt, ON\r\n"
                                  "Debug=.dbg, ON\r\n"
                                  "Preview=.svg, ON\r\n"
                                  "Origin=ON\r\n"
                                  "ScaleFactor=1000.0, 1000.0, 1000.0\r\n"
                                  "StrMat=MATERIAL5: %i; 38; 200;200;200; %1:s\r\n"
                                  "Jobs=2\r\nFolderMat=ON\r\n") +
                              bwfuzz::kMaterialKeys;

struct TState {
  bwfuzz::TScratch Scratch;
  bwfuzz::Bytes Materials = bwfuzz::SampleMaterials();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<TState> state = [] {
    auto s = std::make_unique<TState>();
    s->Scratch.WriteSettings(kAllOnIni);
    return s;
  }();
  const std::string model = state->Scratch.WorkFile("model.cmp");
  const std::string mat = state->Scratch.WorkFile("sample.mat");
  bwfuzz::WriteFile(model, data, size);
  bwfuzz::WriteFile(mat, state->Materials.data(), state->Materials.size());
  state->Scratch.Run({model, model, mat});
  // Every fourth input also as three models of one folder run, two side by
  // side: a pair whose names differ in their extension only (the second's
  // outputs renamed, its images already written by the first), and one in
  // a folder of its own beside the input as a material file.
  if (size % 4 == 0) {
    const bwfuzz::Bytes bytes(data, data + size);
    state->Scratch.RunFolder({{"a/m.3db", bytes}, {"a/m.cmp", bytes}, {"b/m.cmp", bytes}, {"b/m.mat", bytes}});
  }
  return 0;
}
