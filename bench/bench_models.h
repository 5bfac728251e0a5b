#pragma once
// The models the benchmark converts, built in code at a fraction of their
// largest size (divisor 1, 2, 4 or 8), so that growth with size shows.

#include <string>
#include <vector>

#include "bench_mod.h"
#include "cmp_builder.h"

namespace bwbench {

struct TModelFiles {
  Bytes Model;      // the CMP image
  Bytes Materials;  // a material file naming a texture for every material
};

// The largest legal mesh data block: 65535 vertices, 21845 triangles (the
// 16-bit reference count holds 65535 references), 342 meshes over 48
// materials, without a part table. Half the meshes are triangle strips whose
// corners meet (shared model vertices), half are loose triangles.
TModelFiles MeshModel(int divisor);

// A compound model of 512 parts in constraint chains eight parts deep, with
// two levels of detail (two mesh data blocks) and Fix, Rev and Sphere tables.
TModelFiles CompoundModel(int divisor);

// A large node table: 4096 parts of one small mesh each, every part carrying
// hardpoint folders as real models do, about 100000 nodes in all.
TModelFiles NodesModel(int divisor);

// The yardstick of the floor comparison: the largest legal block, 65535
// vertices of 32 bytes (positions random in a cube of side 100) and 21845
// triangles whose corners are random vertices of their mesh, in 64 meshes of
// 8 materials, over 16 parts of 4 meshes each, placed by a chain of Fix
// constraints each turning about z. Smaller sizes keep the meshes and parts
// and divide the vertices and triangles.
TModelFiles ChainModel(int divisor);

// Two models of a modification, for the runs with its material files
// (bench_mod.h): a small one (a turret of about 25 KB: 3 parts, 2 levels of
// detail) and a large one (a ship of about 350 KB: 12 parts, 3 levels),
// each with its own material and texture libraries. Their meshes use
// materials of their own library, of the material files, of both, and of
// neither; their own materials name images of their own library, of the
// material files, and of neither.
Bytes SmallModModel();
Bytes LargeModModel();

// A tube of `Segments` x `Rings` quads along x, or a box when Rings is 0.
struct TPiece {
  int Segments, Rings;
};

// A model of a modification: parts in a tree of Fix constraints, several
// levels of detail, and the model's own material and texture libraries.
struct TModModelPlan {
  std::string Prefix;
  int Parts = 1;
  std::vector<std::vector<TPiece>> Levels;  // each part's pieces, per level of detail
  // The materials the meshes use in turn; a piece keeps its material at
  // every level that has it.
  std::vector<std::string> MeshMaterials;
  std::vector<std::pair<std::string, std::string>> Library;  // the model's materials: name, dt_name text
  std::vector<TModTexture> Images;                           // the model's texture library
  uint64_t Seed = 1;
  // Tubes whose quads have four corners of their own, as flat-shaded hulls
  // are saved: about three times the bytes of a smooth tube per triangle,
  // which lets a model of several MB fit the 21845 triangles of a block.
  bool Faceted = false;
  // One part without a part table, as a model of one piece is saved: its
  // levels under MultiLevel at the root.
  bool Lone = false;
  // Hardpoint folders in each part's file-name node (fixed ones, every
  // third revolute), as models carry them for weapons, lights and docks.
  int HardpointsPerPart = 0;
  // The part table and part files without the mesh library they refer to,
  // as a model is left when its meshes are kept elsewhere: no mesh data.
  bool WithoutMeshLibrary = false;
};
// Empty Library or Images leave out their folder; no parts nor levels leave
// the libraries alone.
Bytes ModModel(const TModModelPlan& plan);

struct TModelKind {
  const char* Name;
  TModelFiles (*Build)(int divisor);
};
inline constexpr TModelKind kModelKinds[] = {
    {"mesh", MeshModel}, {"compound", CompoundModel}, {"nodes", NodesModel}, {"chain", ChainModel}};

}  // namespace bwbench
