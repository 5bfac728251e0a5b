#pragma once
// A whole modification as it lies on a user's disk, for the runs that
// convert every model of it: 2000 model files in 120 folders 3 to 6 deep
// below data/ (ships, solar objects, equipment, effects, characters), from
// 1.5 KB to 3.9 MB (median about 23 KB, one in ten above 350 KB, about
// 270 MB in all). 850 of the models with mesh data carry their own material
// and texture libraries; 375 files hold no mesh data (a material and texture
// library alone, or a part table whose mesh library was left out); 9 pairs
// share a name, x.3db beside x.cmp; and the 100 material files of
// bench_mod.h lie two by two in 50 of the folders. The models of one folder
// use materials of a few of the modification's files, as a ship's pieces
// share their faction's look. Built from a fixed seed.

#include <cstdint>
#include <string>
#include <vector>

#include "cmp_builder.h"

namespace bwbench {

using bwtest::Bytes;

enum class ETreeKind : uint8_t {
  Mesh,         // levels of detail, compound (.cmp) or of one piece (.3db)
  LibraryOnly,  // a material library and the images it names, no mesh data
  PartsOnly,    // a part table and part files with hardpoints, no mesh library
};

struct TTreeModel {
  std::string Relative;  // below the modification's folder, '/' between components
  ETreeKind Kind = ETreeKind::Mesh;
  // What TreeModelBytes builds it from.
  uint32_t TargetBytes = 0;  // its size, within a few per cent
  bool OwnLibraries = false;
  bool Lone = false;  // one piece without a part table, saved as .3db
  size_t Folder = 0;  // index into TModTree::Palettes
  uint64_t Seed = 0;
};

struct TTreeMatFile {
  std::string Relative;
  size_t ModFile = 0;  // index into Mod().Files
};

struct TModTree {
  std::vector<std::vector<uint32_t>> Palettes;  // per folder: indices into Mod().Materials
  std::vector<TTreeModel> Models;               // in the order the program walks them
  std::vector<TTreeMatFile> MatFiles;
};

// Laid out once, without building a file.
const TModTree& ModTree();

// The bytes of model `i`.
Bytes TreeModelBytes(const TModTree& tree, size_t i);

}  // namespace bwbench
