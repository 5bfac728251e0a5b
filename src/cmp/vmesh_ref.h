#pragma once
// A part reference (VMeshRef): which meshes and vertices of one mesh data
// block a part draws. Read by the part table and by the decoder, which
// finds the first vertex of a lone model's meshes through it.

#include <array>
#include <cstdint>

#include "cmp/utf_tree.h"
#include "support/byte_reader.h"

namespace bw {

inline constexpr uint32_t kVMeshRefSize = 60;

struct TVMeshRef {
  uint32_t HeaderSize = 0;
  uint32_t ID = 0;
  uint16_t StartVertex = 0, EndVertex = 0, StartIndex = 0, EndIndex = 0;
  uint16_t StartMesh = 0, MeshCount = 0;
  std::array<float, 6> Bounds{};
  std::array<float, 3> U{};
  float Radius = 0;
};

// NOTE: a reference whose bytes were not all copied from the file is treated
// like a short one; the reserved rest holds nothing of the file.
inline bool HoldsVMeshRef(const TUtfNode& node) {
  return node.DataSize >= kVMeshRefSize && node.Data.size() >= kVMeshRefSize;
}

// The reference in a node for which HoldsVMeshRef is true.
inline TVMeshRef ReadVMeshRef(const TUtfNode& node) {
  const TByteReader in(node.Data);
  TVMeshRef r;
  r.HeaderSize = in.U32(0x00);
  r.ID = in.U32(0x04);
  r.StartVertex = in.U16(0x08);
  r.EndVertex = in.U16(0x0A);
  r.StartIndex = in.U16(0x0C);
  r.EndIndex = in.U16(0x0E);
  r.StartMesh = in.U16(0x10);
  r.MeshCount = in.U16(0x12);
  for (size_t i = 0; i < r.Bounds.size(); ++i) r.Bounds[i] = in.F32(0x14 + 4 * i);
  for (size_t i = 0; i < r.U.size(); ++i) r.U[i] = in.F32(0x2C + 4 * i);
  r.Radius = in.F32(0x38);
  return r;
}

// A reference is taken for the block whose parent name hashes to `hash`.
inline bool RefersToBlock(const TVMeshRef& ref, uint32_t hash) {
  return ref.HeaderSize == kVMeshRefSize && ref.ID == hash;
}

}  // namespace bw
