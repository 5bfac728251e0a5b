#include "output/texture_colours.h"

#include "cmp/image_colour.h"
#include "support/errors.h"

namespace bw {

bool TColourCache::ColourOf(const TMatSource& source, const TImageRef& ref, uint32_t& rgb) {
  TEntry* entry;
  {
    const std::lock_guard<std::mutex> lock(FLock);
    std::unique_ptr<TEntry>& slot = FEntries[{&source, ref.Offset}];
    if (!slot) slot = std::make_unique<TEntry>();
    entry = slot.get();
  }
  // Decoded outside the lock, once: other models wait only for the image
  // they ask for.
  std::call_once(entry->Once, [&] {
    std::vector<uint8_t> bytes;
    try {
      bytes.reserve(ref.Size);
      ReadImage(source, ref, [&](std::span<const uint8_t> piece) { bytes.insert(bytes.end(), piece.begin(), piece.end()); });
    } catch (const ERangeError&) {
      return;  // a material file changed since it was read: no colour
    }
    TRgb mean;
    if (!MeanColour(bytes, mean)) return;
    entry->Rgb = (uint32_t{mean.R} << 16) | (uint32_t{mean.G} << 8) | mean.B;
    entry->Known = true;
  });
  rgb = entry->Rgb;
  return entry->Known;
}

std::vector<TPreviewMaterial> PreviewMaterials(const TMatrList& blockMaterials, const TMaterials& materials,
                                               TColourCache& shared, TColourCache& own) {
  std::vector<TPreviewMaterial> list;
  list.reserve(static_cast<size_t>(blockMaterials.Count()));
  for (const TMatrRec& mat : blockMaterials) {
    TPreviewMaterial& m = list.emplace_back();
    m.ID = mat.ID;
    const TMatSource* named = nullptr;
    int32_t k = -1;
    if (!FindMatTex(materials, mat.ID, named, k)) continue;
    const TTexRec& tex = named->Tex.MatTexList[k];
    m.Named = true;
    m.TextureName = tex.Name;
    TImageRef ref;
    const int32_t at = FindImageIn(materials.Sources, tex.Key, ref);
    if (at < 0) continue;
    const TMatSource& source = *materials.Sources[static_cast<size_t>(at)];
    m.HasImage = true;
    m.HasColour = (source.FileName.empty() ? own : shared).ColourOf(source, ref, m.Rgb);
  }
  return list;
}

}  // namespace bw
