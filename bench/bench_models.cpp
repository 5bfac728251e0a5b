#include "bench_models.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "bench_random.h"
#include "parts_builder.h"

namespace bwbench {
namespace {

using namespace bwtest;

std::string Numbered(const char* prefix, int n, int width) {
  std::string digits = std::to_string(n);
  if (static_cast<int>(digits.size()) < width)
    digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return prefix + digits;
}

std::string MaterialName(int i) {
  return Numbered("Mat_", i, 3);
}

Bytes MaterialFile(int materialCount) {
  std::vector<TNodeSpec> materials;
  for (int i = 0; i < materialCount; ++i) {
    Bytes flags;
    PutU32(flags, 64);
    materials.push_back(Folder(MaterialName(i), {TextLeaf("Dt_name", "textures\\" + MaterialName(i) + ".tga"),
                                                 Leaf("Dt_flags", flags)}));
  }
  return BuildUtf({Folder("material library", std::move(materials))});
}

// Collects the meshes of one mesh data block.
class TBlock {
 public:
  // Starts a mesh; vertices and triangles added until the next call are its.
  void BeginMesh(int material) {
    FSpec.Meshes.push_back({TestNameHash(MaterialName(material)), FVertexCount, FVertexCount, 0});
  }
  uint16_t Vertex(float x, float y, float z, float u, float v) {
    const Bytes rec = VertexRecord(32, x, y, z, u, v);
    FSpec.Vertices.insert(FSpec.Vertices.end(), rec.begin(), rec.end());
    TMeshSpec& mesh = FSpec.Meshes.back();
    const auto relative = static_cast<uint16_t>(FVertexCount - mesh.StartVertex);
    mesh.EndVertex = FVertexCount++;
    return relative;
  }
  void Triangle(uint16_t a, uint16_t b, uint16_t c) {
    FSpec.Triangles.push_back({a, b, c});
    FSpec.Meshes.back().VertexRefCount = static_cast<uint16_t>(FSpec.Meshes.back().VertexRefCount + 3);
  }
  uint16_t MeshCount() const { return static_cast<uint16_t>(FSpec.Meshes.size()); }
  Bytes Build() const { return BuildMeshBlock(FSpec); }

 private:
  TBlockSpec FSpec;
  uint16_t FVertexCount = 0;
};

// A box with four corners per face: 24 vertices, 12 triangles.
void AddBox(TBlock& block, int material, std::array<float, 3> c, std::array<float, 3> s) {
  block.BeginMesh(material);
  for (const auto& face : BoxFaces(c, s)) {
    uint16_t k[4];
    for (int i = 0; i < 4; ++i) k[i] = block.Vertex(face[i].X, face[i].Y, face[i].Z, face[i].U, face[i].V);
    block.Triangle(k[0], k[1], k[2]);
    block.Triangle(k[0], k[2], k[3]);
  }
}

// Quarter turns about x, y and z, and no turn.
std::array<float, 9> QuarterTurn(int which) {
  static const float kNone[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  static const float kAboutX[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
  static const float kAboutY[3][3] = {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}};
  static const float kAboutZ[3][3] = {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}};
  switch (which % 4) {
    case 1: return StoredRotation(kAboutX);
    case 2: return StoredRotation(kAboutY);
    case 3: return StoredRotation(kAboutZ);
    default: return StoredRotation(kNone);
  }
}

TVMeshRefSpec RefTo(const std::string& lodName, uint16_t startMesh, uint16_t meshCount, float radius) {
  TVMeshRefSpec r;
  r.ID = TestNameHash(lodName);
  r.StartMesh = startMesh;
  r.MeshCount = meshCount;
  r.Bounds = {-radius, -radius, -radius, radius, radius, radius};
  r.U = {0.0f, 0.125f, 0.0f};
  r.Radius = radius;
  return r;
}

TNodeSpec LevelNode(const std::string& name, const TVMeshRefSpec& ref) {
  return Folder(name, {Folder("VMeshPart", {Leaf("VMeshRef", VMeshRefData(ref))})});
}

Bytes Floats(std::initializer_list<float> values) {
  Bytes b;
  for (float f : values) PutF32(b, f);
  return b;
}

TNodeSpec Hardpoint(const std::string& name, TRandom& rnd, bool revolute) {
  std::vector<TNodeSpec> fields = {
      Leaf("Orientation", Floats({1, 0, 0, 0, 1, 0, 0, 0, 1})),
      Leaf("Position", Floats({rnd.Range(-2, 2), rnd.Range(-2, 2), rnd.Range(-2, 2)})),
  };
  if (revolute) {
    fields.push_back(Leaf("Axis", Floats({0, 1, 0})));
    fields.push_back(Leaf("Min", Floats({-0.5f})));
    fields.push_back(Leaf("Max", Floats({0.5f})));
  }
  return Folder(name, std::move(fields));
}

}  // namespace

TModelFiles MeshModel(int divisor) {
  constexpr int kMaxTriangles = 65535 / 3;
  constexpr int kTrianglesPerMesh = 64;
  constexpr int kMaterials = 48;
  const int triangles = kMaxTriangles / divisor;

  TRandom rnd(7);
  TBlock block;
  for (int done = 0; done < triangles;) {
    const int count = std::min(kTrianglesPerMesh, triangles - done);
    const int mesh = block.MeshCount();
    block.BeginMesh(mesh % kMaterials);
    const float ox = rnd.Range(-40, 40), oy = rnd.Range(-40, 40), oz = rnd.Range(-40, 40);
    const bool strip = mesh % 2 == 0;
    for (int j = 0; j < count; ++j) {
      uint16_t k[3];
      if (strip) {
        // Neighbouring triangles meet at two corners each: the same floats.
        const int col = j / 2;
        const int corners[2][3][2] = {{{0, 0}, {1, 0}, {0, 1}}, {{1, 0}, {1, 1}, {0, 1}}};
        for (int i = 0; i < 3; ++i) {
          const int cx = col + corners[j % 2][i][0], cy = corners[j % 2][i][1];
          k[i] = block.Vertex(ox + 0.0731f * static_cast<float>(cx), oy + 0.0517f * static_cast<float>(cy),
                              oz + 0.01f * static_cast<float>(cx), 0.03125f * static_cast<float>(cx),
                              static_cast<float>(cy));
        }
      } else {
        for (uint16_t& ki : k)
          ki = block.Vertex(ox + rnd.Range(-1, 1), oy + rnd.Range(-1, 1), oz + rnd.Range(-1, 1),
                            rnd.Range(0, 1), rnd.Range(-1, 2));
      }
      block.Triangle(k[0], k[1], k[2]);
    }
    done += count;
  }

  TModelFiles files;
  files.Model =
      BuildUtf({Folder("VMeshLibrary", {Folder("Bench.LOD0.vms", {Leaf("VMeshData", block.Build())})})});
  files.Materials = MaterialFile(kMaterials);
  return files;
}

TModelFiles CompoundModel(int divisor) {
  constexpr int kMaxParts = 512;
  constexpr int kChainLength = 8;
  constexpr int kMaterials = 16;
  const int parts = kMaxParts / divisor;
  const std::string lod0 = "Bench.LOD0.vms", lod1 = "Bench.LOD1.vms";

  TRandom rnd(11);
  TBlock fine, coarse;
  std::vector<TNodeSpec> cmpnd;
  std::vector<TNodeSpec> files;
  std::vector<TConsSpec> tables[3];
  for (int k = 0; k < parts; ++k) {
    const std::string name = k == 0 ? "Root" : Numbered("Seg", k, 4);
    const std::string file = Numbered("seg", k, 4) + ".3db";
    const std::array<float, 3> size = {rnd.Range(0.5f, 2), rnd.Range(0.5f, 2), rnd.Range(0.5f, 2)};

    const auto fineStart = fine.MeshCount();
    AddBox(fine, k % kMaterials, {0, 0, 0}, size);
    AddBox(fine, (k + 5) % kMaterials, {size[0] / 2, 0, 0}, {0.25f, 0.25f, 0.25f});
    const auto coarseStart = coarse.MeshCount();
    AddBox(coarse, k % kMaterials, {0, 0, 0}, size);

    cmpnd.push_back(PartNode(k == 0 ? "Root" : "Part_" + name, name, file));
    files.push_back(
        Folder(file, {Folder("MultiLevel", {LevelNode("Level0", RefTo(lod0, fineStart, 2, 2)),
                                            LevelNode("Level1", RefTo(lod1, coarseStart, 1, 2))})}));
    if (k == 0) continue;
    TConsSpec cons;
    cons.RootName = k % kChainLength == 0 ? "Root" : (k == 1 ? "Root" : Numbered("Seg", k - 1, 4));
    cons.PartName = name;
    cons.Origin = {size[0], rnd.Range(-0.5f, 0.5f), 0.25f};
    cons.Mtx = QuarterTurn(k);
    cons.Unk1 = {0, 0, 1};
    cons.Unk2 = {-1.5f, 1.5f, 0, 0, 0, 0};
    tables[k % 3].push_back(cons);
  }
  cmpnd.insert(cmpnd.begin(), Folder("Cons", {Leaf("Fix", ConsTable(TConsLayout::Fixed, tables[0])),
                                              Leaf("Rev", ConsTable(TConsLayout::Revolute, tables[1])),
                                              Leaf("Sphere", ConsTable(TConsLayout::Sphere, tables[2]))}));

  std::vector<TNodeSpec> root;
  root.push_back(Folder("VMeshLibrary", {Folder(lod0, {Leaf("VMeshData", fine.Build())}),
                                         Folder(lod1, {Leaf("VMeshData", coarse.Build())})}));
  root.push_back(Folder("Cmpnd", std::move(cmpnd)));
  for (TNodeSpec& f : files) root.push_back(std::move(f));

  TModelFiles out;
  out.Model = BuildUtf(root);
  out.Materials = MaterialFile(kMaterials);
  return out;
}

// A compound model of one block: its parts' folders under Cmpnd, led by one
// table of Fix constraints, and the parts' file-name nodes under the root.
TModelFiles CompoundFiles(const std::string& lod, const TBlock& block, std::vector<TNodeSpec> cmpnd,
                          const std::vector<TConsSpec>& fixed, std::vector<TNodeSpec> files, int materials) {
  cmpnd.insert(cmpnd.begin(), Folder("Cons", {Leaf("Fix", ConsTable(TConsLayout::Fixed, fixed))}));
  std::vector<TNodeSpec> root;
  root.push_back(Folder("VMeshLibrary", {Folder(lod, {Leaf("VMeshData", block.Build())})}));
  root.push_back(Folder("Cmpnd", std::move(cmpnd)));
  for (TNodeSpec& f : files) root.push_back(std::move(f));
  TModelFiles out;
  out.Model = BuildUtf(root);
  out.Materials = MaterialFile(materials);
  return out;
}

TModelFiles NodesModel(int divisor) {
  constexpr int kMaxParts = 4096;
  constexpr int kChainLength = 4;
  constexpr int kMaterials = 64;
  const int parts = kMaxParts / divisor;
  const std::string lod = "Bench.LOD0.vms";

  TRandom rnd(13);
  TBlock block;
  std::vector<TNodeSpec> cmpnd;
  std::vector<TNodeSpec> files;
  std::vector<TConsSpec> fixed;
  for (int k = 0; k < parts; ++k) {
    const std::string name = k == 0 ? "Root" : Numbered("Obj", k, 4);
    const std::string file = Numbered("obj", k, 4) + ".3db";

    const auto mesh = block.MeshCount();
    block.BeginMesh(k % kMaterials);
    const float x = rnd.Range(-1, 1), y = rnd.Range(-1, 1), z = rnd.Range(-1, 1);
    const uint16_t a = block.Vertex(x, y, z, 0, 0);
    const uint16_t b = block.Vertex(x + 0.5f, y, z, 1, 0);
    const uint16_t c = block.Vertex(x + 0.5f, y + 0.5f, z, 1, 1);
    const uint16_t d = block.Vertex(x, y + 0.5f, z, 0, 1);
    block.Triangle(a, b, c);
    block.Triangle(a, c, d);

    cmpnd.push_back(PartNode(k == 0 ? "Root" : "Part_" + name, name, file));
    files.push_back(
        Folder(file, {Folder("MultiLevel", {LevelNode("Level0", RefTo(lod, mesh, 1, 1))}),
                      Folder("Hardpoints", {Folder("Fixed", {Hardpoint("HpMount01", rnd, false),
                                                             Hardpoint("HpMount02", rnd, false)}),
                                            Folder("Revolute", {Hardpoint("HpTurret01", rnd, true)})})}));
    if (k == 0) continue;
    TConsSpec cons;
    cons.RootName = k % kChainLength == 1 ? "Root" : Numbered("Obj", k - 1, 4);
    cons.PartName = name;
    cons.Origin = {0.5f, 0, rnd.Range(-1, 1)};
    cons.Mtx = QuarterTurn(k);
    fixed.push_back(cons);
  }
  return CompoundFiles(lod, block, std::move(cmpnd), fixed, std::move(files), kMaterials);
}

TModelFiles ChainModel(int divisor) {
  constexpr int kMaxVertices = 65535;
  constexpr int kMaxTriangles = 65535 / 3;
  constexpr int kMeshes = 64;
  constexpr int kMaterials = 8;
  constexpr int kParts = 16;
  constexpr int kMeshesPerPart = kMeshes / kParts;
  const int vertices = kMaxVertices / divisor;
  const int triangles = kMaxTriangles / divisor;
  const std::string lod = "Bench.LOD0.vms";

  TRandom rnd(17);
  TBlock block;
  for (int m = 0; m < kMeshes; ++m) {
    block.BeginMesh(m % kMaterials);
    const int meshVertices = vertices * (m + 1) / kMeshes - vertices * m / kMeshes;
    for (int v = 0; v < meshVertices; ++v)
      block.Vertex(rnd.Range(-50, 50), rnd.Range(-50, 50), rnd.Range(-50, 50), rnd.Range(0, 1),
                   rnd.Range(0, 1));
    const int meshTriangles = triangles * (m + 1) / kMeshes - triangles * m / kMeshes;
    auto corner = [&] { return static_cast<uint16_t>(rnd.Next() % static_cast<uint64_t>(meshVertices)); };
    for (int t = 0; t < meshTriangles; ++t) {
      const uint16_t a = corner(), b = corner(), c = corner();
      block.Triangle(a, b, c);
    }
  }

  // Each link turns a little further about z than its parent and sits at
  // the end of it.
  const float angle = 0.3f;
  const float rows[3][3] = {
      {std::cos(angle), std::sin(angle), 0}, {-std::sin(angle), std::cos(angle), 0}, {0, 0, 1}};
  std::vector<TNodeSpec> cmpnd;
  std::vector<TNodeSpec> files;
  std::vector<TConsSpec> fixed;
  for (int k = 0; k < kParts; ++k) {
    const std::string name = k == 0 ? "Root" : Numbered("Link", k, 2);
    const std::string file = Numbered("link", k, 2) + ".3db";
    cmpnd.push_back(PartNode(k == 0 ? "Root" : "Part_" + name, name, file));
    const auto firstMesh = static_cast<uint16_t>(k * kMeshesPerPart);
    files.push_back(Folder(
        file, {Folder("MultiLevel", {LevelNode("Level0", RefTo(lod, firstMesh, kMeshesPerPart, 90))})}));
    if (k == 0) continue;
    TConsSpec cons;
    cons.RootName = k == 1 ? "Root" : Numbered("Link", k - 1, 2);
    cons.PartName = name;
    cons.Origin = {60, 5, 0};
    cons.Mtx = StoredRotation(rows);
    fixed.push_back(cons);
  }
  return CompoundFiles(lod, block, std::move(cmpnd), fixed, std::move(files), kMaterials);
}

}  // namespace bwbench
