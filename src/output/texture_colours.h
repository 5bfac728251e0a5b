#pragma once
// What pictures show of materials: the image of each material's texture,
// found as the texture images are (the same sources, in the same order, by
// the same rules), whether or not images are written, as its mean colour
// and its reduced copy. No verdict of a conversion depends on it, and none
// of it is charged to the work bound.

#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "cmp/mat_source.h"
#include "mesh/mesh_lists.h"
#include "output/materials.h"
#include "output/preview_svg.h"

namespace bw {

// What pictures draw of the images, by source entry: each image's mean
// colour and, for pictures that draw textures, its reduced copy (at most
// 128 by 128 texels, so that what is kept stays small whatever the images'
// sizes). Shared by the models of a run that convert side by side (the
// material files' images, kept for the run), or one model's own (dropped
// with the model). Each image is read and decoded once, when a picture
// first needs it.
class TImageCache {
 public:
  // `texels`: the reduced copies are made too.
  explicit TImageCache(bool texels = false) : FTexels(texels) {}

  struct TLook {
    bool HasColour = false;  // the image was read: Rgb is its mean colour
    uint32_t Rgb = 0;        // 0xRRGGBB
    bool HasTexels = false;  // Texels is its reduced copy
    TTexels Texels;
  };
  // Lives as long as the cache; the same for every caller.
  const TLook& LookOf(const TMatSource& source, const TImageRef& ref);

 private:
  struct TEntry {
    std::once_flag Once;
    TLook Look;
  };
  const bool FTexels;
  std::mutex FLock;
  std::map<std::pair<const TMatSource*, uint32_t>, std::unique_ptr<TEntry>> FEntries;
};

// The swatches of a block's materials, in material-line order. `shared`
// serves the material files' images, `own` the model's.
std::vector<TPreviewMaterial> PreviewMaterials(const TMatrList& blockMaterials, const TMaterials& materials,
                                               TImageCache& shared, TImageCache& own);

}  // namespace bw
