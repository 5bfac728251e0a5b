#pragma once
// The geometry of a conversion: the decoded meshes, vertices and triangles
// of a block, and the placed lists of a body (a model or one part), held by
// value with their find-or-add operations.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "support/errors.h"
#include "support/rec_list.h"

namespace bw {

struct TMeshRec {
  uint32_t Material = 0;
  // The running sum of the vertex counts of the meshes before this one.
  uint16_t StartVertex = 0;
  uint16_t EndVertex = 0;
  uint16_t VertexRefCount = 0;
  uint16_t StartTriangle = 0;
  uint16_t EndTriangle = 0;
  // The mesh's first vertex as the block stores it: counted from the
  // StartVertex of the part reference that draws the mesh.
  uint16_t StoredStartVertex = 0;
  // The first vertex when the default part draws the mesh: found by the
  // decoder through the block's references, or StartVertex without one.
  int32_t RootFirstVertex = 0;
};

struct TVertRec {
  float X = 0, Y = 0, Z = 0;
  float U = 0, V = 0;
  int32_t Key = 0;
};

struct TTriRec {
  uint16_t A = 0, B = 0, C = 0;
  float UA = 0, VA = 0, UB = 0, VB = 0, UC = 0, VC = 0;
  int32_t MatIndex = 0;
  int32_t MeshSeq = 0;
};

// A decoded triangle: its corners, counted from its mesh's first vertex.
// Apart from the placed triangles, which carry their texture coordinates and
// material: a block of the largest size holds it in 128 KB instead of 850.
struct TCornerRec {
  uint16_t A = 0, B = 0, C = 0;
};

struct TMatrRec {
  uint32_t ID = 0;
  std::string Name;
};

// Three-way comparison of a listed vertex P with the values sought in Q; only
// the 0 result (Key, X, Y, Z all equal; -0.0 equals 0.0, NaN never) is used.
int CompareVert(const TVertRec& p, const TVertRec& q);

class TMeshList : public TRecList<TMeshRec> {};
class TTriList : public TRecList<TTriRec> {};
class TCornerList : public TRecList<TCornerRec> {};

class TVertList : public TRecList<TVertRec> {
 public:
  // Position of the first record matching Key, X, Y, Z, or -1.
  int32_t Find(int32_t key, float x, float y, float z) const;
  // Position of the first matching record, or of a new one appended with all
  // six fields. Lookups go through a hash index, so they cost O(1).
  int32_t FindOrAdd(const TVertRec& rec);
  // Asks the processor to fetch the index slot where a lookup of these
  // values starts, so that a lookup soon after does not wait for it. Only a
  // hint: the list does not change.
  void Prefetch(int32_t key, float x, float y, float z) const;
  // Room for n records, in the list and its lookup index, without growing.
  void ReserveIndexed(size_t n);
  void FreeAll();

 private:
  // NOTE: the indexes of these lists catch up lazily with records appended
  // by any means (Add included), so they assume the looked-up fields of a
  // record do not change once it is in the list.
  void CatchUp() const;
  // The slot of the first indexed record matching Key, X, Y, Z, or the free
  // slot where it belongs.
  size_t Probe(uint32_t hash, const std::array<uint32_t, 4>& sought) const;
  void Grow(size_t minSlots) const;
  // Open addressing, at most half full: one flat array, so filling and
  // emptying a list allocates nothing per record. A slot keeps its record's
  // hash, so that probing past other records and growing read no records.
  struct TSlot {
    uint32_t Hash = 0;
    int32_t Pos = -1;  // -1: free
  };
  mutable std::vector<TSlot> FSlots;
  mutable int32_t FUsedSlots = 0;
  mutable int32_t FIndexed = 0;
};

class TMatrList : public TRecList<TMatrRec> {
 public:
  // Position of the first record with this ID, or -1.
  int32_t IndexOf(uint32_t id) const;
  // Appends a record with this ID (and name) unless one exists; returns the
  // new record's position, or -1 when nothing was added.
  int32_t AddUnique(uint32_t id, std::string name = {});
  void FreeAll();

 private:
  void CatchUp() const;
  mutable std::unordered_map<uint32_t, int32_t> FIndex;
  mutable int32_t FIndexed = 0;
};

// One decoded mesh data block: what the decoder makes and body generation reads.
struct TMeshData {
  TMeshList MeshList;
  TVertList VertList;
  TCornerList TriList;
  // The vertex records' layout carries texture coordinates (without them
  // every vertex gets (0, 1)).
  bool TexCoords = false;
};

// The placed lists of one body, a whole model or one part, as its BOD file
// holds them: materials in order of first use, shared vertices, triangles.
struct TBodyLists {
  TMatrList MatrList;
  TVertList VertList;
  TTriList TriList;
};

// Records of a block, appended to the decoder's lists.
void AddMesh(TMeshList& list, uint32_t material, uint16_t startVertex, uint16_t endVertex,
             uint16_t vertexRefCount, uint16_t startTriangle, uint16_t endTriangle,
             uint16_t storedStartVertex);
// Inline: the decoder calls it for each of up to 65535 vertex records.
inline void AddVert(TVertList& list, float x, float y, float z, float u, float v) {
  list.Add({x, y, z, u, v, 0});
}
void AddTri(TCornerList& list, uint16_t a, uint16_t b, uint16_t c);

}  // namespace bw
