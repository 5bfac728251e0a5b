#pragma once
// The images of a model's textures, written beside the model. Each image is
// taken byte for byte from a texture library of the sources that name the
// model's materials; the name it is written under comes from a file, so it
// is checked as one plain file name before it names anything.

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mesh/mesh_lists.h"
#include "output/materials.h"
#include "support/output_file.h"

namespace bw {

struct TContext;

// True when the image file of a texture, its name and the extension .dds or
// .tga, is a plain file in the model's folder on every system: no
// separator, drive, device name, control byte or wildcard. The name may end
// in a blank or a dot, which the extension keeps ("x " writes "x .dds").
bool IsTextureFileName(std::string_view name);

// A texture name as a warning shows it: cut to 200 bytes, control bytes as "?".
std::string ShownTextureName(std::string_view name);

// The images written so far into one folder by every model of the run that
// writes there: a later model does not write one of them again.
struct TImageRecord {
  std::set<std::string> Names;  // case-folded file names
  TFileSet Files;
};

// The kinds of texture warnings.
enum ETextureWarning { kNotFileName, kNotFound, kNotWritten, kOverBound, kTextureWarningKinds };

class TTextureWriter {
 public:
  // `folder` is the input's folder part (ending in its separator, or empty);
  // `guard` holds the inputs no image may replace; at most `byteLimit` image
  // bytes are written in the run.
  TTextureWriter(std::string folder, const TOutputGuard& guard, uint64_t byteLimit);

  // The images of a block's materials, in the order of its list, each once
  // per model, from the sources of `materials` (the model's, at every
  // call). `written` holds the other
  // outputs of the run, which no image may replace either; `images` those
  // written into the folder, by this model and the ones before it, which
  // are not written again.
  void WriteImages(const TMatrList& blockMaterials, const TMaterials& materials, const TFileSet& written,
                   TImageRecord& images, TContext& ctx);

  int32_t ImagesWritten() const { return FImagesWritten; }
  // The warnings said, by kind.
  const std::array<int32_t, kTextureWarningKinds>& Warnings() const { return FWarnings; }

 private:
  void WriteImage(const TMatLookup& found, const TMaterials& materials, const TFileSet& written,
                  TImageRecord& images, TContext& ctx);
  void ChargeLook(const TMatLookup& found, const TMaterials& materials, TContext& ctx);
  void Warn(TContext& ctx, int kind, std::string_view name, std::string_view text);

  std::string FFolder;
  const TOutputGuard& FGuard;
  uint64_t FByteLimit;
  uint64_t FBytesWritten = 0;
  bool FStopped = false;
  std::set<const TMatSource*> FCharged;                      // the sources looked into this run
  std::set<uint32_t> FDecided;                               // the material IDs met this run
  std::set<std::string> FImageNames;                         // case-folded file names taken by the model
  std::set<std::pair<int, std::string>> FWarned;             // kind and exact name
  int32_t FImagesWritten = 0;
  std::array<int32_t, kTextureWarningKinds> FWarnings{};
};

}  // namespace bw
