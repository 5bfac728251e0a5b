#pragma once
// Builds CMP (UTF tree) images in code for the tests: a tree of folders and
// leaves becomes a file laid out as real files are (header, node table in
// pre-order with folders before their children, name table, data area), and
// helpers lay out mesh data blocks.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace bwtest {

using Bytes = std::vector<uint8_t>;

struct TNodeSpec {
  std::string Name;
  bool Folder = false;
  Bytes Data;
  std::vector<TNodeSpec> Children;
  // When set, written as the entry's DataSize / UsedSize instead of the
  // data's length (for damaged files).
  int64_t DataSizeOverride = -1;
  int64_t UsedSizeOverride = -1;
};

TNodeSpec Folder(std::string name, std::vector<TNodeSpec> children = {});
TNodeSpec Leaf(std::string name, Bytes data);
TNodeSpec TextLeaf(std::string name, const std::string& text);  // text + NUL

// The root folder is written as node 0 with the name "\".
Bytes BuildUtf(const std::vector<TNodeSpec>& rootChildren);

// One node entry written as given, for trees stored in any order: Child and
// Sibling are entry indices (0 = none), so children may come before their
// folder and siblings before the node whose chain reaches them.
struct TRawNode {
  std::string Name;
  bool Folder = false;
  int32_t Child = 0;
  int32_t Sibling = 0;
  Bytes Data;
  int64_t DataSizeOverride = -1;
  int64_t UsedSizeOverride = -1;
};
// Entry 0 is the root; the caller supplies it.
Bytes BuildUtfRaw(const std::vector<TRawNode>& entries);

// Header field offsets and the offset of entry i in a built image.
inline constexpr size_t kNodeBlockOffsetAt = 0x08;
inline constexpr size_t kNodeBlockSizeAt = 0x0C;
inline constexpr size_t kStringBlockOffsetAt = 0x18;
inline constexpr size_t kDataBlockOffsetAt = 0x24;
inline constexpr size_t EntryAt(size_t i) {
  return 0x38 + 44 * i;
}
// Fields within an entry.
inline constexpr size_t kSiblingAt = 0x00, kNameAt = 0x04, kFlagsAt = 0x08, kChildOrDataAt = 0x10,
                        kDataSizeAt = 0x14, kUsedSizeAt = 0x18;

// Offsets of the image BuildUtf lays out, for tests that damage it.
inline constexpr uint32_t kHeaderSize = 0x38;
inline constexpr uint32_t kEntrySize = 44;

// Little-endian appenders.
void PutU16(Bytes& b, uint16_t v);
void PutU32(Bytes& b, uint32_t v);
void PutF32(Bytes& b, float v);
void SetU32(Bytes& b, size_t offset, uint32_t v);
uint32_t GetU32(const Bytes& b, size_t offset);

// A mesh data block.
struct TMeshSpec {
  uint32_t Material = 0;
  uint16_t StartVertex = 0;
  uint16_t EndVertex = 0;
  uint16_t VertexRefCount = 0;
};
struct TTriSpec {
  uint16_t A = 0, B = 0, C = 0;
};
struct TBlockSpec {
  uint32_t Kind = 1;
  uint32_t SubKind = 4;
  uint16_t Signature = 0x112;
  std::vector<TMeshSpec> Meshes;
  std::vector<TTriSpec> Triangles;
  // Header counts; when negative they are derived from the lists above
  // (MeshCount from Meshes, VertexRefCount = 3 x triangles, VertexCount from
  // VertexCountOf).
  int32_t MeshCount = -1;
  int32_t VertexRefCount = -1;
  int32_t VertexCount = -1;
  // The vertex records, already laid out.
  Bytes Vertices;
  uint32_t VertexSize = 32;
};
Bytes BuildMeshBlock(const TBlockSpec& desc);

// One vertex record of the given layout size (32, 40, 24, 36, 44, 20 or 12)
// with position and texture coordinate; the other fields get recognisable
// values (normal 0,0,1; colour 0xFF102030; second U, V 7, 8).
Bytes VertexRecord(uint32_t size, float x, float y, float z, float u, float v);

// The corners of a box of the given centre and size: six faces of four
// corners each, counter-clockwise seen from outside, with texture
// coordinates (0,0), (1,0), (1,1), (0,1) times uvScale. Four corners per face
// give each face its own texture coordinates.
struct TCorner {
  float X, Y, Z, U, V;
};
std::array<std::array<TCorner, 4>, 6> BoxFaces(std::array<float, 3> centre, std::array<float, 3> size,
                                               float uvScale = 1);

// The hash the program uses for names (CRC-32 with an arithmetic shift),
// written here independently for the tests.
uint32_t TestNameHash(const std::string& name);

// A model of two blocks (m.lod0.vms, m.lod1.vms) with one triangle per
// material, in the order given, beside the `extra` nodes.
Bytes MaterialsModel(const std::vector<std::string>& materials, std::vector<TNodeSpec> extra = {});
// A material library naming the texture of each material.
TNodeSpec MaterialLibrary(const std::vector<std::pair<std::string, std::string>>& textures);

}  // namespace bwtest
