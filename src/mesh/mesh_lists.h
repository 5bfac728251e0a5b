#pragma once
// The in-memory model shared by the conversion: record lists held by value,
// the find-or-add operations and the 4x4 matrix helpers.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "support/errors.h"

namespace bw {

struct TRun;

// 16 singles, row-major (element [i][j] is number 4i + j), used with row
// vectors: a point is the row (x, y, z, 1) multiplied from the left.
using TMatrix = std::array<float, 16>;
inline constexpr TMatrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// An ordered, zero-based list of records held by value. Access outside the
// list raises the range failure.
template <class T>
class TRecList {
 public:
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  T& operator[](int32_t i) {
    if (i < 0 || i >= Count()) RaiseRange("list index out of bounds");
    return FItems[static_cast<size_t>(i)];
  }
  const T& operator[](int32_t i) const {
    if (i < 0 || i >= Count()) RaiseRange("list index out of bounds");
    return FItems[static_cast<size_t>(i)];
  }
  T& Add(T rec) {
    FItems.push_back(std::move(rec));
    return FItems.back();
  }
  void FreeAll() { FItems.clear(); }
  void Reserve(size_t n) { FItems.reserve(n); }
  auto begin() { return FItems.begin(); }
  auto end() { return FItems.end(); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 protected:
  std::vector<T> FItems;
};

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

struct TMatrRec {
  uint32_t ID = 0;
  std::string Name;
};

struct TMeshGroup {
  std::string RootName;
  std::string PartName;
  int32_t BegMesh = 0;
  int32_t MeshCnt = 0;
  int32_t StartVertex = 0, EndVertex = 0, StartIndex = 0, EndIndex = 0;
  float X = 0, Y = 0, Z = 0, W = 1;
  std::array<float, 6> Bounds{};
  std::array<float, 3> U{};
  float Radius = 0;
  TMatrix Mtx = kIdentity;
  // The part the decoder adds when the model has no part table; its meshes
  // find their vertices through RootFirstVertex, not through StartVertex.
  bool DefaultPart = false;
};

// Three-way comparison of a listed vertex P with the values sought in Q; only
// the 0 result (Key, X, Y, Z all equal; -0.0 equals 0.0, NaN never) is used.
int CompareVert(const TVertRec& p, const TVertRec& q);

class TMeshList : public TRecList<TMeshRec> {};
class TTriList : public TRecList<TTriRec> {};

class TVertList : public TRecList<TVertRec> {
 public:
  // Position of the first record matching Key, X, Y, Z, or -1.
  int32_t Find(int32_t key, float x, float y, float z) const;
  // Position of the first matching record, or of a new one appended with all
  // six fields. Lookups go through a hash index, so they cost O(1).
  int32_t FindOrAdd(const TVertRec& rec);
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

class TMeshGroups : public TRecList<TMeshGroup> {
 public:
  // The first group whose PartName equals `name` without regard to ASCII case.
  TMeshGroup* FindPart(std::string_view name);
  const TMeshGroup* FindPart(std::string_view name) const;
  int32_t IndexOfPart(std::string_view name) const;
  TMeshGroup& AddGroup(TMeshGroup group);
  void FreeAll();

 private:
  void CatchUp() const;
  mutable std::unordered_map<std::string, int32_t> FIndex;  // lower-cased name -> first group
  mutable int32_t FIndexed = 0;
};

// The add operations on the run's lists.
void AddMesh(TRun& run, uint32_t material, uint16_t startVertex, uint16_t endVertex, uint16_t vertexRefCount,
             uint16_t startTriangle, uint16_t endTriangle, uint16_t storedStartVertex);
void AddVert(TRun& run, float x, float y, float z, float u, float v);
void AddTri(TRun& run, uint16_t a, uint16_t b, uint16_t c);
int32_t AddModelVert(TRun& run, int32_t key, float x, float y, float z, float u, float v);
int32_t AddPartVert(TRun& run, int32_t key, float x, float y, float z, float u, float v);
TTriRec& AddModelTri(TRun& run, uint16_t a, uint16_t b, uint16_t c);
TTriRec& AddPartTri(TRun& run, uint16_t a, uint16_t b, uint16_t c);
int32_t AddModelMatr(TRun& run, uint32_t id);
int32_t AddPartMatr(TRun& run, uint32_t id);
TMeshGroup& AddMeshGroup(TRun& run, std::string rootName, std::string partName, int32_t begMesh,
                         int32_t meshCnt, int32_t startVertex, int32_t endVertex, int32_t startIndex,
                         int32_t endIndex, float x, float y, float z, const std::array<float, 6>& bounds,
                         const std::array<float, 3>& u, float radius);

// res := m2 x m1 (res[i][j] = sum over k of m2[i][k] * m1[k][j]), each element
// accumulated in extended precision and rounded once to single.
void MatMul(const TMatrix& m1, const TMatrix& m2, TMatrix& res);
// out := p x m for the row vector p, accumulated the same way.
void MatVec(const TMatrix& m, const std::array<float, 4>& p, std::array<float, 4>& out);

}  // namespace bw
