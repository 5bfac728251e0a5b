// Writes the bundled sample: a small compound model with two levels of
// detail, four parts in a chain of constraints (a rotated middle part among
// them) and several materials, plus its material file.
//
//   make_sample <folder>   writes <folder>/sample.cmp and <folder>/sample.mat

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "cmp_builder.h"
#include "parts_builder.h"

using namespace bwtest;

namespace {

struct TMeshGeom {
  std::string Material;
  Bytes Vertices;  // 32-byte records
  std::vector<TTriSpec> Triangles;
  uint16_t VertexCount = 0;
};

TMeshGeom Box(const std::string& material, std::array<float, 3> c, std::array<float, 3> s, float uvScale) {
  TMeshGeom g;
  g.Material = material;
  uint16_t base = 0;
  for (const auto& face : BoxFaces(c, s, uvScale)) {
    for (const TCorner& k : face) {
      const Bytes v = VertexRecord(32, k.X, k.Y, k.Z, k.U, k.V);
      g.Vertices.insert(g.Vertices.end(), v.begin(), v.end());
    }
    g.Triangles.push_back({base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2)});
    g.Triangles.push_back({base, static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)});
    base = static_cast<uint16_t>(base + 4);
  }
  g.VertexCount = base;
  return g;
}

// A block of the meshes in order; partStarts are the first meshes of the
// parts. As in real files, a mesh stores its first vertex counted from the
// first vertex of its part (its part reference's StartVertex).
Bytes Block(const std::vector<TMeshGeom>& meshes, const std::vector<size_t>& partStarts) {
  TBlockSpec desc;
  uint16_t start = 0;
  uint16_t partStart = 0;
  for (size_t i = 0; i < meshes.size(); ++i) {
    const TMeshGeom& m = meshes[i];
    for (const size_t first : partStarts)
      if (first == i) partStart = start;
    const auto stored = static_cast<uint16_t>(start - partStart);
    desc.Meshes.push_back({TestNameHash(m.Material), stored,
                           static_cast<uint16_t>(stored + m.VertexCount - 1),
                           static_cast<uint16_t>(3 * m.Triangles.size())});
    desc.Triangles.insert(desc.Triangles.end(), m.Triangles.begin(), m.Triangles.end());
    desc.Vertices.insert(desc.Vertices.end(), m.Vertices.begin(), m.Vertices.end());
    start = static_cast<uint16_t>(start + m.VertexCount);
  }
  return BuildMeshBlock(desc);
}

const std::string kLod0 = "Sample.LOD0.vms";
const std::string kLod1 = "Sample.LOD1.vms";

// A part reference into one block: meshes [startMesh, startMesh + count).
Bytes Ref(const std::string& lod, uint16_t startMesh, uint16_t count, float radius) {
  TVMeshRefSpec r;
  r.ID = TestNameHash(lod);
  r.StartMesh = startMesh;
  r.MeshCount = count;
  r.StartVertex = static_cast<uint16_t>(24 * startMesh);
  r.EndVertex = static_cast<uint16_t>(24 * (startMesh + count) - 1);
  r.StartIndex = static_cast<uint16_t>(36 * startMesh);
  r.EndIndex = static_cast<uint16_t>(36 * (startMesh + count) - 1);
  r.Bounds = {-radius, -radius, -radius, radius, radius, radius};
  r.U = {0.0f, 0.125f, 0.0f};
  r.Radius = radius;
  return VMeshRefData(r);
}

TNodeSpec Level(const std::string& name, Bytes ref) {
  return Folder(name, {Folder("VMeshPart", {Leaf("VMeshRef", std::move(ref))})});
}

Bytes SampleModel() {
  // Level 0: hull (three meshes, two sharing a material), tower, arm, light.
  const std::vector<TMeshGeom> lod0 = {
      Box("Hull_Plate", {0, 0, 0}, {4, 1, 2}, 1),
      Box("Hull_Plate", {0, 0.625f, 0}, {3, 0.25f, 1.5f}, 0.5f),
      Box("Engine_Glow", {-2.25f, 0, 0}, {0.5f, 0.5f, 0.5f}, 0.25f),
      Box("Tower_Metal", {0, 0.75f, 0}, {0.5f, 1.5f, 0.5f}, 1),
      Box("Hull_Plate", {0.75f, 0, 0}, {1.5f, 0.25f, 0.25f}, 0.125f),
      Box("Light_Lens", {0, 0, 0}, {0.25f, 0.25f, 0.25f}, 1),
  };
  // Level 1: hull, tower and arm only; the light has no coarse form.
  const std::vector<TMeshGeom> lod1 = {
      Box("Hull_Plate", {0, 0.125f, 0}, {4, 1.25f, 2}, 1),
      Box("Tower_Metal", {0, 0.75f, 0}, {0.5f, 1.5f, 0.5f}, 1),
      Box("Hull_Plate", {0.75f, 0, 0}, {1.5f, 0.25f, 0.25f}, 0.125f),
  };

  // Root -> Tower: raised and turned 90 degrees about y (x goes to -z).
  const float aboutY[3][3] = {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}};
  // Tower -> Arm: at the tower's top, hinged 90 degrees about z (x goes to y).
  const float aboutZ[3][3] = {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}};

  TConsSpec tower;
  tower.RootName = "Root";
  tower.PartName = "Tower";
  tower.Origin = {0.5f, 0.5f, 0};
  tower.Mtx = StoredRotation(aboutY);
  TConsSpec light;
  light.RootName = "Arm";
  light.PartName = "Light";
  light.Origin = {1.5f, 0, 0};
  TConsSpec arm;
  arm.RootName = "Tower";
  arm.PartName = "Arm";
  arm.Origin = {0, 1.5f, 0};
  arm.Mtx = StoredRotation(aboutZ);
  arm.Unk1 = {0, 0, 1};
  arm.Unk2 = {-1.5f, 1.5f, 0, 0, 0, 0};

  std::vector<TNodeSpec> root;
  root.push_back(Folder("VMeshLibrary", {Folder(kLod0, {Leaf("VMeshData", Block(lod0, {0, 3, 4, 5}))}),
                                         Folder(kLod1, {Leaf("VMeshData", Block(lod1, {0, 1, 2}))})}));
  root.push_back(Folder("hull.3db", {Folder("MultiLevel", {Level("Level0", Ref(kLod0, 0, 3, 2.5f)),
                                                           Level("Level1", Ref(kLod1, 0, 1, 2.5f))})}));
  root.push_back(Folder("tower.3db", {Folder("MultiLevel", {Level("Level0", Ref(kLod0, 3, 1, 0.8f)),
                                                            Level("Level1", Ref(kLod1, 1, 1, 0.8f))})}));
  root.push_back(Folder("arm.3db", {Folder("MultiLevel", {Level("Level0", Ref(kLod0, 4, 1, 0.8f)),
                                                          Level("Level1", Ref(kLod1, 2, 1, 0.8f))})}));
  root.push_back(Folder("light.3db", {Folder("VMeshPart", {Leaf("VMeshRef", Ref(kLod0, 5, 1, 0.2f))})}));
  root.push_back(
      Folder("Cmpnd", {PartNode("Root", "Root", "hull.3db"), PartNode("Part_Tower", "Tower", "tower.3db"),
                       PartNode("Part_Arm", "Arm", "arm.3db"), PartNode("Part_Light", "Light", "light.3db"),
                       Folder("Cons", {Leaf("Fix", ConsTable(TConsLayout::Fixed, {tower, light})),
                                       Leaf("Rev", ConsTable(TConsLayout::Revolute, {arm}))})}));
  return BuildUtf(root);
}

// A 2 x 2 image of 32-bit pixels as a whole DDS file: its signature, the
// 124-byte header and the pixels.
Bytes TinyDds(uint32_t colour) {
  Bytes b = {'D', 'D', 'S', ' '};
  for (const uint32_t v : {124u, 0x100Fu, 2u, 2u, 8u, 0u, 0u}) PutU32(b, v);
  for (int i = 0; i < 11; ++i) PutU32(b, 0);
  // Pixel format: uncompressed RGB with alpha.
  for (const uint32_t v : {32u, 0x41u, 0u, 32u, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
    PutU32(b, v);
  for (const uint32_t v : {0x1000u, 0u, 0u, 0u, 0u}) PutU32(b, v);
  for (int i = 0; i < 4; ++i) PutU32(b, colour);
  return b;
}

// A 2 x 2 image of 24-bit pixels as a whole uncompressed TGA file.
Bytes TinyTga(uint8_t blue, uint8_t green, uint8_t red) {
  Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
  for (int i = 0; i < 4; ++i) b.insert(b.end(), {blue, green, red});
  return b;
}

// Four materials, each with its texture's image in the file's texture
// library: the first image of an entry, "MIPS" for a DDS file, "MIP0" for a
// TGA file, as real libraries keep them.
Bytes SampleMaterials() {
  auto material = [](const std::string& name, const std::string& texture) {
    Bytes flags;
    PutU32(flags, 64);
    return Folder(name, {TextLeaf("Dt_name", texture), Leaf("Dt_flags", flags)});
  };
  return BuildUtf(
      {Folder("material library",
              {material("Hull_Plate", "hull_plate.tga"), material("Engine_Glow", "engine_glow.dds"),
               material("Tower_Metal", "Tower_Metal.dds"), material("Light_Lens", "lens.v2.tga")}),
       Folder("texture library", {Folder("hull_plate.tga", {Leaf("MIP0", TinyTga(0x60, 0x60, 0x60))}),
                                  Folder("engine_glow.dds", {Leaf("MIPS", TinyDds(0xFFFF8020))}),
                                  Folder("Tower_Metal.dds", {Leaf("MIPS", TinyDds(0xFF808890))}),
                                  Folder("lens.v2.tga", {Leaf("MIP0", TinyTga(0xF0, 0xE0, 0x40))})})});
}

bool Write(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("use: make_sample <folder>\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  if (!Write(folder + "/sample.cmp", SampleModel()) || !Write(folder + "/sample.mat", SampleMaterials())) {
    std::fputs("make_sample: cannot write the sample files\n", stderr);
    return 1;
  }
  return 0;
}
