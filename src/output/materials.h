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

// A material file: its image, the tree read from it (which borrows from
// the image) and its texture table.
struct TMatFile {
  std::vector<uint8_t> MatData;
  TNodesList MatNodeList;
  TMatrList MatTexList;
};

// What the material lines are made from: the texture table of the material
// file (null when none was named) and the StrMat template.
struct TMaterials {
  const TMatrList* MatTexList = nullptr;
  std::string StrMat;
};

// Reads the material file whole into memory.
TMatFile LoadMatFile(const std::string& matFileName);
// Reads the file's tree and fills its texture table; false when it is no
// UTF file (then its material lines carry the hexadecimal IDs).
bool ParseMatFile(TMatFile& mat, TContext& ctx);
void AddMatTex(TMatrList& texList, uint32_t id, std::string name);
std::string FormatMatLine(const TMaterials& materials, int32_t index, uint32_t id);

}  // namespace bw
