#include "cmp_builder.h"

#include <stdexcept>

namespace bwtest {

TNodeSpec Folder(std::string name, std::vector<TNodeSpec> children) {
  TNodeSpec n;
  n.Name = std::move(name);
  n.Folder = true;
  n.Children = std::move(children);
  return n;
}

TNodeSpec Leaf(std::string name, Bytes data) {
  TNodeSpec n;
  n.Name = std::move(name);
  n.Data = std::move(data);
  return n;
}

TNodeSpec TextLeaf(std::string name, const std::string& text) {
  Bytes data(text.begin(), text.end());
  data.push_back(0);
  return Leaf(std::move(name), std::move(data));
}

void PutU16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutF32(Bytes& b, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  PutU32(b, bits);
}
void SetU32(Bytes& b, size_t offset, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(offset + i) = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t GetU32(const Bytes& b, size_t offset) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b.at(offset + i)) << (8 * i);
  return v;
}

namespace {

// Pre-order: a folder, then its children's subtrees in order.
int32_t Flatten(const TNodeSpec& desc, std::vector<TRawNode>& out) {
  const int32_t self = static_cast<int32_t>(out.size());
  TRawNode raw;
  raw.Name = desc.Name;
  raw.Folder = desc.Folder;
  raw.Data = desc.Data;
  raw.DataSizeOverride = desc.DataSizeOverride;
  raw.UsedSizeOverride = desc.UsedSizeOverride;
  out.push_back(std::move(raw));
  int32_t prev = -1;
  for (const TNodeSpec& child : desc.Children) {
    const int32_t idx = Flatten(child, out);
    if (prev < 0)
      out[static_cast<size_t>(self)].Child = idx;
    else
      out[static_cast<size_t>(prev)].Sibling = idx;
    prev = idx;
  }
  return self;
}

}  // namespace

Bytes BuildUtf(const std::vector<TNodeSpec>& rootChildren) {
  std::vector<TRawNode> flat;
  Flatten(Folder("\\", rootChildren), flat);
  return BuildUtfRaw(flat);
}

Bytes BuildUtfRaw(const std::vector<TRawNode>& entries) {
  Bytes names;
  Bytes data;
  std::vector<uint32_t> nameOffsets, dataOffsets;
  for (const TRawNode& f : entries) {
    nameOffsets.push_back(static_cast<uint32_t>(names.size()));
    names.insert(names.end(), f.Name.begin(), f.Name.end());
    names.push_back(0);
    dataOffsets.push_back(static_cast<uint32_t>(data.size()));
    if (!f.Folder) {
      data.insert(data.end(), f.Data.begin(), f.Data.end());
      while (data.size() % 4) data.push_back(0);
    }
  }
  while (names.size() % 4) names.push_back(0);

  const uint32_t nodeOffset = kHeaderSize;
  const uint32_t nodeSize = static_cast<uint32_t>(entries.size()) * kEntrySize;
  const uint32_t stringOffset = nodeOffset + nodeSize;
  const uint32_t dataOffset = stringOffset + static_cast<uint32_t>(names.size());

  Bytes img;
  PutU32(img, 0x20465455);  // "UTF "
  PutU32(img, 0x101);
  PutU32(img, nodeOffset);
  PutU32(img, nodeSize);
  PutU32(img, 0);
  PutU32(img, kEntrySize);
  PutU32(img, stringOffset);
  PutU32(img, static_cast<uint32_t>(names.size()));
  PutU32(img, static_cast<uint32_t>(names.size()));
  PutU32(img, dataOffset);
  PutU32(img, 0);
  PutU32(img, 0);
  PutU32(img, 0);
  PutU32(img, 0);
  if (img.size() != kHeaderSize) throw std::logic_error("header size");

  for (size_t i = 0; i < entries.size(); ++i) {
    const TRawNode& s = entries[i];
    const uint32_t len = static_cast<uint32_t>(s.Data.size());
    const uint32_t dataSize = s.DataSizeOverride >= 0 ? static_cast<uint32_t>(s.DataSizeOverride) : len;
    const uint32_t usedSize = s.UsedSizeOverride >= 0 ? static_cast<uint32_t>(s.UsedSizeOverride) : len;
    PutU32(img, static_cast<uint32_t>(s.Sibling) * kEntrySize);
    PutU32(img, nameOffsets[i]);
    PutU32(img, s.Folder ? 0x10 : 0x80);
    PutU32(img, 0);
    PutU32(img, s.Folder ? static_cast<uint32_t>(s.Child) * kEntrySize : dataOffsets[i]);
    PutU32(img, s.Folder ? 0 : dataSize);
    PutU32(img, s.Folder ? 0 : usedSize);
    PutU32(img, s.Folder ? 0 : usedSize);
    PutU32(img, 0);
    PutU32(img, 0);
    PutU32(img, 0);
  }
  img.insert(img.end(), names.begin(), names.end());
  img.insert(img.end(), data.begin(), data.end());
  return img;
}

Bytes BuildMeshBlock(const TBlockSpec& desc) {
  Bytes b;
  const uint32_t vertexSize = desc.VertexSize ? desc.VertexSize : 1;
  const int32_t meshCount = desc.MeshCount >= 0 ? desc.MeshCount : static_cast<int32_t>(desc.Meshes.size());
  const int32_t refCount =
      desc.VertexRefCount >= 0 ? desc.VertexRefCount : static_cast<int32_t>(desc.Triangles.size() * 3);
  const int32_t vertexCount =
      desc.VertexCount >= 0 ? desc.VertexCount : static_cast<int32_t>(desc.Vertices.size() / vertexSize);
  PutU32(b, desc.Kind);
  PutU32(b, desc.SubKind);
  PutU16(b, static_cast<uint16_t>(meshCount));
  PutU16(b, static_cast<uint16_t>(refCount));
  PutU16(b, desc.Signature);
  PutU16(b, static_cast<uint16_t>(vertexCount));
  for (const TMeshSpec& m : desc.Meshes) {
    PutU32(b, m.Material);
    PutU16(b, m.StartVertex);
    PutU16(b, m.EndVertex);
    PutU16(b, m.VertexRefCount);
    PutU16(b, 0xCCCC);  // reserved
  }
  for (const TTriSpec& t : desc.Triangles) {
    PutU16(b, t.A);
    PutU16(b, t.B);
    PutU16(b, t.C);
  }
  b.insert(b.end(), desc.Vertices.begin(), desc.Vertices.end());
  return b;
}

Bytes VertexRecord(uint32_t size, float x, float y, float z, float u, float v) {
  Bytes b;
  PutF32(b, x);
  PutF32(b, y);
  PutF32(b, z);
  auto normal = [&] {
    PutF32(b, 0);
    PutF32(b, 0);
    PutF32(b, 1);
  };
  switch (size) {
    case 32:
      normal();
      PutF32(b, u);
      PutF32(b, v);
      break;
    case 40:
      normal();
      PutF32(b, u);
      PutF32(b, v);
      PutF32(b, 7);
      PutF32(b, 8);
      break;
    case 24:
      PutU32(b, 0xFF102030);
      PutF32(b, u);
      PutF32(b, v);
      break;
    case 36:
      normal();
      PutU32(b, 0xFF102030);
      PutF32(b, u);
      PutF32(b, v);
      break;
    case 44:
      normal();
      PutU32(b, 0xFF102030);
      PutF32(b, u);
      PutF32(b, v);
      PutF32(b, 7);
      PutF32(b, 8);
      break;
    case 20:
      PutF32(b, u);
      PutF32(b, v);
      break;
    case 12: break;
    default: throw std::logic_error("no such vertex layout");
  }
  return b;
}

std::array<std::array<TCorner, 4>, 6> BoxFaces(std::array<float, 3> c, std::array<float, 3> s,
                                               float uvScale) {
  const float hx = s[0] / 2, hy = s[1] / 2, hz = s[2] / 2;
  const float faces[6][4][3] = {
      {{+hx, -hy, -hz}, {+hx, +hy, -hz}, {+hx, +hy, +hz}, {+hx, -hy, +hz}},
      {{-hx, -hy, +hz}, {-hx, +hy, +hz}, {-hx, +hy, -hz}, {-hx, -hy, -hz}},
      {{-hx, +hy, -hz}, {-hx, +hy, +hz}, {+hx, +hy, +hz}, {+hx, +hy, -hz}},
      {{-hx, -hy, +hz}, {-hx, -hy, -hz}, {+hx, -hy, -hz}, {+hx, -hy, +hz}},
      {{-hx, -hy, +hz}, {+hx, -hy, +hz}, {+hx, +hy, +hz}, {-hx, +hy, +hz}},
      {{+hx, -hy, -hz}, {-hx, -hy, -hz}, {-hx, +hy, -hz}, {+hx, +hy, -hz}},
  };
  const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  std::array<std::array<TCorner, 4>, 6> out{};
  for (size_t f = 0; f < 6; ++f)
    for (size_t k = 0; k < 4; ++k)
      out[f][k] = {c[0] + faces[f][k][0], c[1] + faces[f][k][1], c[2] + faces[f][k][2], uv[k][0] * uvScale,
                   uv[k][1] * uvScale};
  return out;
}

uint32_t TestNameHash(const std::string& name) {
  uint32_t table[256];
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t x = i;
    for (int k = 0; k < 8; ++k) {
      const uint32_t shifted = (x >> 1) | (x & 0x80000000u);  // arithmetic shift
      x = (x & 1) ? shifted ^ 0xEDB88320u : shifted;
    }
    table[i] = x;
  }
  uint32_t h = 0xFFFFFFFFu;
  for (char ch : name) {
    const uint8_t c = static_cast<uint8_t>((ch >= 'A' && ch <= 'Z') ? ch + 32 : ch);
    h = table[(c ^ h) & 0xFF] ^ (h >> 8);
  }
  return h ^ 0xFFFFFFFFu;
}

// Two blocks, each with one triangle per material, in the order given.
Bytes MaterialsModel(const std::vector<std::string>& materials, std::vector<TNodeSpec> extra) {
  TBlockSpec block;
  block.VertexSize = 12;
  for (size_t i = 0; i < materials.size(); ++i) {
    const auto first = static_cast<uint16_t>(3 * i);
    block.Meshes.push_back({TestNameHash(materials[i]), first, static_cast<uint16_t>(first + 2), 3});
    block.Triangles.push_back({0, 1, 2});
    for (int k = 0; k < 3; ++k) {
      const Bytes v = VertexRecord(12, float(k), float(i), 0, 0, 0);
      block.Vertices.insert(block.Vertices.end(), v.begin(), v.end());
    }
  }
  const Bytes data = BuildMeshBlock(block);
  extra.push_back(Folder("VMeshLibrary", {Folder("m.lod0.vms", {Leaf("VMeshData", data)}),
                                          Folder("m.lod1.vms", {Leaf("VMeshData", data)})}));
  return BuildUtf(extra);
}

// A material library naming the texture of each material.
TNodeSpec MaterialLibrary(const std::vector<std::pair<std::string, std::string>>& textures) {
  std::vector<TNodeSpec> materials;
  for (const auto& [material, texture] : textures)
    materials.push_back(Folder(material, {TextLeaf("Dt_name", texture)}));
  return Folder("Material library", materials);
}

}  // namespace bwtest
