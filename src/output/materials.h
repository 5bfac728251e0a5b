#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cmp/utf_tree.h"
#include "mesh/mesh_lists.h"

namespace bw {

struct TContext;

inline constexpr const char* kBuiltInTemplate =
    "MATERIAL5: %d; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0;";
inline constexpr const char* kFormatError = "//Error formatting materials string.";

// The texture names one source lists: for each material ID (the first entry
// in node order) its texture name, and beside it the "dt_name" text the
// name was cut from, extension kept, which names the texture's image.
struct TTexTable {
  TMatrList MatTexList;
  std::vector<std::string> TexKeys;  // one per entry of MatTexList
};

// A named material file: its path as given, its image, the tree read from
// it (which borrows from the image) and its texture names.
struct TMatFile {
  std::string MatFileName;
  std::vector<uint8_t> MatData;
  TNodesList MatNodeList;
  TTexTable Tex;
};

// One place that names textures: a named material file, or the model's own
// material library. Nodes is the tree that holds its texture library.
struct TMatSource {
  const TTexTable* Tex = nullptr;
  const TNodesList* Nodes = nullptr;
};

// What the material lines are made from: the sources in lookup order (none
// selects the built-in template) and the StrMat template.
struct TMaterials {
  std::vector<TMatSource> Sources;
  std::string StrMat;
};

// Reads the material file whole into memory.
TMatFile LoadMatFile(const std::string& matFileName);
// Reads the file's tree and fills its texture names; false when it is no
// UTF file (then it names nothing). `heading`, when not empty, is written
// before its texture dump.
bool ParseMatFile(TMatFile& mat, TContext& ctx, std::string_view heading = {});
// Fills `tex` from the "dt_name" nodes of the model's own tree, with its
// dump between the model-materials markers when Debug is on.
void ParseModelMaterials(const TNodesList& nodes, TTexTable& tex, TContext& ctx);
void AddMatTex(TTexTable& tex, uint32_t id, std::string name, std::string key);

// The first source that names the material `id`: its table and the entry's
// position; false when none does.
bool FindMatTex(const TMaterials& materials, uint32_t id, const TTexTable*& tex, int32_t& k);
std::string FormatMatLine(const TMaterials& materials, int32_t index, uint32_t id);

}  // namespace bw
