#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cmp/mat_source.h"

namespace bw {

struct TContext;

inline constexpr const char* kBuiltInTemplate =
    "MATERIAL5: %d; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0;";
inline constexpr const char* kFormatError = "//Error formatting materials string.";

// What the material lines are made from: the sources in lookup order (none
// selects the built-in template) and the StrMat template.
struct TMaterials {
  std::vector<const TMatSource*> Sources;
  std::string StrMat;
};

// A material file's part of a conversion: raises the range failure for a
// damaged one, as reading its tree did, and writes its listing and texture
// dump to the diagnostics file when Debug is on, `heading` first when not
// empty.
void WriteMatFileListing(const TMatSource& source, TContext& ctx, std::string_view heading = {});
// The model's own texture names, between the model-materials markers, when
// Debug is on.
void WriteModelMaterials(const TMatSource& source, TContext& ctx);

// The first source that names the material `id`: the source and the entry's
// position; false when none does.
bool FindMatTex(const TMaterials& materials, uint32_t id, const TMatSource*& source, int32_t& k);

// What the sources hold of one material: the texture that the first source
// naming it gives, and that texture's image from the first source that
// holds one. The texture images, the pictures' colours and the page's facts
// all ask here, so that they never disagree on a material.
struct TMatLookup {
  const TMatSource* Namer = nullptr;  // none when no source names the material
  int32_t Entry = -1;                 // in Namer's texture list
  const TMatSource* ImageSource = nullptr;  // none when no source holds the image
  int32_t ImageAt = -1;                     // ImageSource's position in the sources
  TImageRef Image;

  bool Named() const { return Namer != nullptr; }
  const TTexRec& Tex() const { return Namer->Tex.MatTexList[Entry]; }
  bool HasImage() const { return ImageSource != nullptr; }
};
TMatLookup LookUpMaterial(const TMaterials& materials, uint32_t id);
std::string FormatMatLine(const TMaterials& materials, int32_t index, uint32_t id);

}  // namespace bw
