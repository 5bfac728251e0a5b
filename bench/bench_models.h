#pragma once
// The models the benchmark converts, built in code at a fraction of their
// largest size (divisor 1, 2, 4 or 8), so that growth with size shows.

#include <string>
#include <vector>

#include "cmp_builder.h"

namespace bwbench {

using bwtest::Bytes;

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

struct TModelKind {
  const char* Name;
  TModelFiles (*Build)(int divisor);
};
inline constexpr TModelKind kModelKinds[] = {
    {"mesh", MeshModel},
    {"compound", CompoundModel},
    {"nodes", NodesModel},
    {"chain", ChainModel},
};

}  // namespace bwbench
