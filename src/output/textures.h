#pragma once
// The images of a model's textures, written beside the model. Each image is
// taken byte for byte from a texture library of the sources that name the
// model's materials; the name it is written under comes from a file, so it
// is checked as one plain file name before it names anything.

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "output/materials.h"
#include "support/output_file.h"

namespace bw {

struct TContext;

// True when a texture name can name a file in the model's folder on every
// system: no separator, drive, device name, control byte or wildcard.
bool IsTextureFileName(std::string_view name);

// A texture name as a warning shows it: cut to 200 bytes, control bytes as "?".
std::string ShownTextureName(std::string_view name);

class TTextureWriter {
 public:
  // `folder` is the input's folder part (ending in its separator, or empty);
  // `guard` holds the inputs no image may replace and `written` the other
  // outputs of the run, which no image may replace either; at most
  // `byteLimit` image bytes are written in the run.
  TTextureWriter(std::string folder, TOutputGuard guard, const TFileSet& written, uint64_t byteLimit);

  // The images of a block's materials, in the order of its list, each once
  // per run.
  void WriteImages(const TMatrList& blockMaterials, const TMaterials& materials, TContext& ctx);

 private:
  // The images of one source's texture libraries, by case-folded entry name.
  using TImageIndex = std::unordered_map<std::string, std::span<const uint8_t>>;

  void WriteImage(const TTexTable& tex, int32_t k, const TMaterials& materials, TContext& ctx);
  bool FindImage(const std::string& key, const TMaterials& materials, TContext& ctx,
                 std::span<const uint8_t>& image);
  const TImageIndex& IndexOf(size_t source, const TNodesList& nodes, TContext& ctx);
  void Warn(TContext& ctx, int kind, std::string_view name, std::string_view text);

  std::string FFolder;
  TOutputGuard FGuard;
  const TFileSet& FWrittenOutputs;
  uint64_t FByteLimit;
  uint64_t FBytesWritten = 0;
  bool FStopped = false;
  std::vector<std::optional<TImageIndex>> FIndexes;         // one per source, built at its first use
  std::set<std::pair<const TTexTable*, int32_t>> FDecided;  // the source entries met this run
  std::set<std::string> FImageNames;                        // case-folded file names taken this run
  TFileSet FImages;                                         // the images written this run
  std::set<std::pair<int, std::string>> FWarned;            // kind and exact name
};

}  // namespace bw
