#include "mesh/mesh_lists.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace bw {
namespace {

uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

// The vertex index key. -0.0 and +0.0 compare equal, so both map to the bits
// of +0.0; every other non-NaN value compares equal exactly when its bits do.
std::array<uint32_t, 4> VertKey(int32_t key, float x, float y, float z) {
  auto norm = [](float f) { return f == 0.0f ? 0u : FloatBits(f); };
  return {static_cast<uint32_t>(key), norm(x), norm(y), norm(z)};
}

bool HasNaN(float x, float y, float z) {
  return std::isnan(x) || std::isnan(y) || std::isnan(z);
}

// -1 / 0 / 1 for one coordinate; a NaN on either side counts as "smaller",
// so it never yields 0.
int CompareCoord(float p, float q) {
  if (p > q) return 1;
  if (!(p >= q)) return -1;
  return 0;
}

}  // namespace

int CompareVert(const TVertRec& p, const TVertRec& q) {
  if (p.Key > q.Key) return 1;
  if (p.Key < q.Key) return -1;
  if (int c = CompareCoord(p.X, q.X)) return c;
  if (int c = CompareCoord(p.Y, q.Y)) return c;
  return CompareCoord(p.Z, q.Z);
}

// ---- TVertList ------------------------------------------------------------

namespace {

uint32_t VertHash(const std::array<uint32_t, 4>& k) {
  uint64_t h = (uint64_t{k[0]} << 32 | k[1]) * 0x9E3779B97F4A7C15ull;
  h ^= (uint64_t{k[2]} << 32 | k[3]) + (h >> 29);
  h *= 0xBF58476D1CE4E5B9ull;
  return static_cast<uint32_t>(h >> 32);
}

constexpr size_t kFirstSlots = 64;

}  // namespace

size_t TVertList::Probe(uint32_t hash, const std::array<uint32_t, 4>& sought) const {
  const size_t mask = FSlots.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const TSlot& slot = FSlots[i];
    if (slot.Pos < 0) return i;
    if (slot.Hash != hash) continue;
    const TVertRec& r = FItems[static_cast<size_t>(slot.Pos)];
    if (VertKey(r.Key, r.X, r.Y, r.Z) == sought) return i;
  }
}

void TVertList::Grow(size_t minSlots) const {
  size_t size = std::max(kFirstSlots, FSlots.size());
  while (size < minSlots) size *= 2;
  if (size == FSlots.size()) return;
  if (FSlots.empty()) {
    // Nothing to move: the memory of an emptied table (see FreeAll) serves
    // again, instead of fresh pages the system has to hand out one by one.
    FSlots.assign(size, TSlot{});
    return;
  }
  std::vector<TSlot> old(size);
  old.swap(FSlots);
  const size_t mask = FSlots.size() - 1;
  for (const TSlot& slot : old) {
    if (slot.Pos < 0) continue;
    size_t i = slot.Hash & mask;
    while (FSlots[i].Pos >= 0) i = (i + 1) & mask;
    FSlots[i] = slot;
  }
}

void TVertList::CatchUp() const {
  if (FIndexed > Count()) {
    FSlots.clear();
    FUsedSlots = 0;
    FIndexed = 0;
  }
  for (; FIndexed < Count(); ++FIndexed) {
    const TVertRec& r = FItems[static_cast<size_t>(FIndexed)];
    // A record with a NaN coordinate never matches anything: not indexed.
    if (HasNaN(r.X, r.Y, r.Z)) continue;
    if (2 * static_cast<size_t>(FUsedSlots + 1) > FSlots.size()) Grow(2 * FSlots.size());
    const std::array<uint32_t, 4> key = VertKey(r.Key, r.X, r.Y, r.Z);
    const uint32_t hash = VertHash(key);
    TSlot& slot = FSlots[Probe(hash, key)];
    if (slot.Pos >= 0) continue;  // an earlier record matches: it stays the first
    slot = {hash, FIndexed};
    ++FUsedSlots;
  }
}

int32_t TVertList::Find(int32_t key, float x, float y, float z) const {
  if (HasNaN(x, y, z)) return -1;
  CatchUp();
  if (FSlots.empty()) return -1;
  const std::array<uint32_t, 4> sought = VertKey(key, x, y, z);
  return FSlots[Probe(VertHash(sought), sought)].Pos;
}

int32_t TVertList::FindOrAdd(const TVertRec& rec) {
  if (FIndexed != Count()) CatchUp();
  if (HasNaN(rec.X, rec.Y, rec.Z)) {
    Add(rec);
    FIndexed = Count();  // never indexed: it matches nothing
    return Count() - 1;
  }
  // One probe finds the record or the free slot the new one takes.
  if (2 * static_cast<size_t>(FUsedSlots + 1) > FSlots.size()) Grow(2 * FSlots.size());
  const std::array<uint32_t, 4> sought = VertKey(rec.Key, rec.X, rec.Y, rec.Z);
  const uint32_t hash = VertHash(sought);
  TSlot& slot = FSlots[Probe(hash, sought)];
  if (slot.Pos >= 0) return slot.Pos;
  Add(rec);
  slot = {hash, Count() - 1};
  ++FUsedSlots;
  FIndexed = Count();
  return Count() - 1;
}

void TVertList::Prefetch(int32_t key, float x, float y, float z) const {
  if (FSlots.empty()) return;
  const TSlot* slot = &FSlots[VertHash(VertKey(key, x, y, z)) & (FSlots.size() - 1)];
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(slot);
#else
  (void)slot;
#endif
}

void TVertList::ReserveIndexed(size_t n) {
  FItems.reserve(n);
  Grow(2 * n);
}

void TVertList::FreeAll() {
  TRecList::FreeAll();
  // The slots go too, their memory stays: a list refilled with few records
  // (the part lists, group by group) must not sweep the slots of a large
  // one each time, and Grow sets up only as many as the new list needs.
  FSlots.clear();
  FUsedSlots = 0;
  FIndexed = 0;
}

// ---- TMatrList ------------------------------------------------------------

void TMatrList::CatchUp() const {
  if (FIndexed > Count()) {
    FIndex.clear();
    FIndexed = 0;
  }
  for (; FIndexed < Count(); ++FIndexed) FIndex.emplace(FItems[static_cast<size_t>(FIndexed)].ID, FIndexed);
}

int32_t TMatrList::IndexOf(uint32_t id) const {
  CatchUp();
  const auto it = FIndex.find(id);
  return it == FIndex.end() ? -1 : it->second;
}

int32_t TMatrList::AddUnique(uint32_t id, std::string name) {
  if (IndexOf(id) >= 0) return -1;
  TMatrRec rec;
  rec.ID = id;
  rec.Name = std::move(name);
  Add(std::move(rec));
  return Count() - 1;
}

void TMatrList::FreeAll() {
  TRecList::FreeAll();
  FIndex.clear();
  FIndexed = 0;
}

// ---- Add operations ------------------------------------------------------

void AddMesh(TMeshList& list, uint32_t material, uint16_t startVertex, uint16_t endVertex,
             uint16_t vertexRefCount, uint16_t startTriangle, uint16_t endTriangle,
             uint16_t storedStartVertex) {
  list.Add({material, startVertex, endVertex, vertexRefCount, startTriangle, endTriangle, storedStartVertex,
            startVertex});
}

void AddTri(TCornerList& list, uint16_t a, uint16_t b, uint16_t c) {
  list.Add({a, b, c});
}

}  // namespace bw
