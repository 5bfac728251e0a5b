#pragma once
// The colours that pictures give materials: the mean colour of the image of
// each material's texture, found as the texture images are (the same
// sources, in the same order, by the same rules), whether or not images are
// written. Each image's colour is worked out once per run, when a picture
// first needs it; no verdict of a conversion depends on it.

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

// Image colours by source entry. Shared by the models of a run that convert
// side by side (the material files' images), or one model's own.
class TColourCache {
 public:
  // The mean colour of the image, 0xRRGGBB; false when it cannot be read
  // or is of no form the decoder knows.
  bool ColourOf(const TMatSource& source, const TImageRef& ref, uint32_t& rgb);

 private:
  struct TEntry {
    std::once_flag Once;
    bool Known = false;
    uint32_t Rgb = 0;
  };
  std::mutex FLock;
  std::map<std::pair<const TMatSource*, uint32_t>, std::unique_ptr<TEntry>> FEntries;
};

// The swatches of a block's materials, in material-line order. `shared`
// serves the material files' images, `own` the model's.
std::vector<TPreviewMaterial> PreviewMaterials(const TMatrList& blockMaterials, const TMaterials& materials,
                                               TColourCache& shared, TColourCache& own);

}  // namespace bw
