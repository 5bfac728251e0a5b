#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "cmp/part_table.h"
#include "mesh/mesh_lists.h"
#include "output/materials.h"
#include "support/output_file.h"

namespace bw {

struct TContext;

// What the BOD files of a run share: where they go and under which guard,
// what their header says, and how their numbers and material lines are
// written.
struct TBodOutput {
  std::string BodBaseName;  // the input's path without its extension
  std::string BodExt;
  std::string MeshExt;
  std::string PreviewExt;
  std::array<float, 3> ScaleFactor{1000.0f, 1000.0f, 1000.0f};
  bool OriginOn = false;
  std::string Banner;
  std::string InpFileName;
  std::string InpFileTitle;  // the input's file name without its folder
  std::string DateText;
  TMaterials Materials;
  TOutputGuard Guard;
};

// A block or part number as the output names carry it: two digits at least.
std::string TwoDigits(int32_t v);

// The model BOD file of block n from the model's placed lists; the name of
// the file written.
std::string WriteBodFile(const TBodyLists& model, int32_t n, const std::string& lodName, const TBodOutput& out);
// The group mesh file of part g of block n from the part's placed lists,
// and its log line (when the log is on); the name of the file written.
std::string WriteGroupFile(const TBodyLists& part, int32_t n, int32_t g, const TMeshGroup& group,
                    const TBodOutput& out, TContext& ctx);

}  // namespace bw
