#include "output/texture_colours.h"

#include "image/image_colour.h"
#include "image/image_texels.h"
#include "support/errors.h"

namespace bw {

const TImageCache::TLook& TImageCache::LookOf(const TMatSource& source, const TImageRef& ref) {
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
      return;  // a material file changed since it was read: a flat colour
    }
    TLook& look = entry->Look;
    TRgb mean;
    if (!MeanColour(bytes, mean)) return;
    look.Rgb = (uint32_t{mean.R} << 16) | (uint32_t{mean.G} << 8) | mean.B;
    look.HasColour = true;
    look.HasTexels = FTexels && ReducedTexels(bytes, look.Texels);
  });
  return entry->Look;
}

std::vector<TPreviewMaterial> PreviewMaterials(const TMatrList& blockMaterials, const TMaterials& materials,
                                               TImageCache& shared, TImageCache& own) {
  std::vector<TPreviewMaterial> list;
  list.reserve(static_cast<size_t>(blockMaterials.Count()));
  for (const TMatrRec& mat : blockMaterials) {
    TPreviewMaterial& m = list.emplace_back();
    m.ID = mat.ID;
    const TMatLookup found = LookUpMaterial(materials, mat.ID);
    if (!found.Named()) continue;
    m.Named = true;
    m.TextureName = found.Tex().Name;
    if (!found.HasImage()) continue;
    const TMatSource& source = *found.ImageSource;
    m.HasImage = true;
    const TImageCache::TLook& look = (source.FileName.empty() ? own : shared).LookOf(source, found.Image);
    m.HasColour = look.HasColour;
    m.Rgb = look.Rgb;
    m.Texels = look.HasTexels ? &look.Texels : nullptr;
  }
  return list;
}

}  // namespace bw
