#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cmp/utf_tree.h"
#include "mesh/mesh_lists.h"

namespace bw {

struct TRun;

inline constexpr const char* kBuiltInTemplate =
    "MATERIAL5: %d; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0;";
inline constexpr const char* kFormatError = "//Error formatting materials string.";

// The material file: its image, its node list and its texture table. The
// table exists only when a material file was named.
struct TMatFile {
  std::vector<uint8_t> MatData;
  TNodesList MatNodeList;
  std::optional<TMatrList> MatTexList;
};

void LoadMatFile(TRun& run);
bool ParseMatFile(TRun& run);
void AddMatTex(TRun& run, uint32_t id, std::string name);
std::string FormatMatLine(const TRun& run, int32_t index, uint32_t id);
void FreeMatFile(TRun& run);

}  // namespace bw
