// Writes the fuzzers' seed corpus: models built in code for the conversion
// target, settings texts with material files for the inputs target, and
// texture images of every form and the test pattern for the image target.
//
//   make_seeds <convert folder> <inputs folder> <image folder>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "cmp_builder.h"
#include "fuzz_harness.h"
#include "image_builder.h"
#include "parts_builder.h"

using namespace bwtest;

namespace {

bool Write(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// A block of one quad per mesh, of the given vertex record size and code.
// Each mesh stores its start as the part that draws it alone would.
Bytes QuadBlock(uint32_t vertexSize, size_t meshes, uint16_t signature = 0x112) {
  TBlockSpec desc;
  desc.VertexSize = vertexSize;
  desc.Signature = signature;
  for (size_t m = 0; m < meshes; ++m) {
    desc.Meshes.push_back({TestNameHash("Mat" + std::to_string(m)), 0, 3, 6});
    desc.Triangles.push_back({0, 1, 2});
    desc.Triangles.push_back({0, 2, 3});
    const float d = static_cast<float>(m);
    for (const auto& p : {std::array<float, 2>{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
      const Bytes v = VertexRecord(vertexSize, p[0] + d, p[1], d, p[0], p[1]);
      desc.Vertices.insert(desc.Vertices.end(), v.begin(), v.end());
    }
  }
  return BuildMeshBlock(desc);
}

// Three meshes drawing from one pool of eight vertices through overlapping
// ranges (0..3, 2..5, 4..7).
Bytes PoolBlock() {
  TBlockSpec desc;
  desc.Meshes = {
      {TestNameHash("Mat0"), 0, 3, 3}, {TestNameHash("Mat1"), 2, 5, 3}, {TestNameHash("Mat0"), 4, 7, 3}};
  desc.Triangles = {{0, 1, 2}, {0, 1, 3}, {3, 2, 0}};
  for (int k = 0; k < 8; ++k) {
    const Bytes v = VertexRecord(32, static_cast<float>(k), static_cast<float>(k % 2), 0, 0.125f * k, 0.5f);
    desc.Vertices.insert(desc.Vertices.end(), v.begin(), v.end());
  }
  return BuildMeshBlock(desc);
}

// A lone model: its block and the reference through which its meshes find
// their vertices.
Bytes LoneModel(const std::string& lod, const Bytes& block, uint16_t meshCount) {
  TVMeshRefSpec ref;
  ref.ID = TestNameHash(lod);
  ref.MeshCount = meshCount;
  return BuildUtf({Folder("VMeshLibrary", {Folder(lod, {Leaf("VMeshData", block)})}),
                   Folder("MultiLevel",
                          {Folder("Level0", {Folder("VMeshPart", {Leaf("VMeshRef", VMeshRefData(ref))})})})});
}

// A compound model of three parts in a chain, placed by one table of the
// given layout, on a block of the given vertex size.
Bytes Chain(TConsLayout layout, const std::string& tableName, uint32_t vertexSize) {
  TCompoundSpec desc;
  desc.MeshBlock = QuadBlock(vertexSize, 3);
  const char* names[] = {"Root", "Mid", "Tip"};
  for (uint16_t i = 0; i < 3; ++i) {
    TPartSpec part;
    part.Name = names[i];
    part.Ref.StartMesh = i;
    part.Ref.MeshCount = 1;
    part.Ref.StartVertex = static_cast<uint16_t>(4 * i);
    part.Ref.EndVertex = static_cast<uint16_t>(4 * i + 3);
    part.MultiLevel = i != 2;
    desc.Parts.push_back(part);
  }
  TConsSpec mid{"Root", "Mid", {1, 2, 3}, {0, 1, 0, -1, 0, 0, 0, 0, 1}, {}, {}};
  TConsSpec tip{"Mid", "Tip", {0, 1, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {}, {}};
  desc.ConsTables.push_back(Leaf(tableName, ConsTable(layout, {mid, tip})));
  std::vector<TNodeSpec> tree = CompoundTree(desc);
  // The root part's Cmpnd child is called "Root".
  return BuildUtf(tree);
}

// Tiny images as texture libraries store them: a DDS file (its magic and a
// header's worth of bytes) and a TGA file (its 18-byte header and a pixel).
Bytes DdsImage(uint8_t fill) {
  Bytes image = {'D', 'D', 'S', ' '};
  image.resize(128 + 8, fill);
  return image;
}
Bytes TgaImage(uint8_t fill) {
  Bytes image(18, 0);
  image[2] = 2;    // true colour
  image[12] = 1;   // one pixel wide
  image[14] = 1;   // and high
  image[16] = 24;  // bits per pixel
  image.insert(image.end(), {fill, fill, fill});
  return image;
}

// A material library naming each material's texture (any bytes), and a
// texture library holding an image for each of those names: a DDS one under
// "MIPS" for even positions, a TGA one under "MIP0" for odd ones.
std::vector<TNodeSpec> Libraries(const std::vector<std::pair<std::string, std::string>>& textures) {
  std::vector<TNodeSpec> materials, entries;
  for (size_t i = 0; i < textures.size(); ++i) {
    const auto& [material, texture] = textures[i];
    materials.push_back(Folder(material, {TextLeaf("Dt_name", texture), Leaf("Dt_flags", {64, 0, 0, 0})}));
    const auto fill = static_cast<uint8_t>(i);
    entries.push_back(i % 2 == 0 ? Folder(texture, {Leaf("MIPS", DdsImage(fill))})
                                 : Folder(texture, {Leaf("MIP0", TgaImage(fill))}));
  }
  return {Folder("Material library", materials), Folder("Texture library", entries)};
}

// Names that must write nothing: paths that climb out of the model's
// folder either way, a drive, device names, control bytes, an empty name
// and one ending in a dot.
const std::vector<std::string> kHostileNames = {
    "..\\..\\evil.tga", "../evil.tga", "..",
    "c:evil.tga",       "CON.dds",     "lpt1",
    "com\xB9.tga",      "nul .x.tga",  std::string("bad\x01name.tga"),
    "crlf\r\n.tga",     "del\x7f",     ".tga",
    "dot..tga"};

// A model of two blocks that name their materials in its own libraries: a
// DDS and a TGA image, both MIPS and MIP0 in one entry (MIPS wins), a name
// shared by two materials, two image files whose names differ in case
// only, an entry
// without an image, one whose image lies in a later library.
Bytes LibraryModel() {
  std::vector<TNodeSpec> tree = Libraries({{"Mat0", "skin.dds"}, {"Mat1", "Paint"}, {"Mat2", "skin.dds"}});
  tree[0].Children.push_back(Folder("Mat3", {TextLeaf("Dt_name", "Skin.tga")}));
  tree[0].Children.push_back(Folder("Mat4", {TextLeaf("Dt_name", "lost.tga")}));
  tree[0].Children.push_back(Folder("Mat5", {TextLeaf("Dt_name", "both")}));
  tree[1].Children.push_back(Folder("Skin.tga", {Leaf("MIPS", DdsImage(9))}));
  tree[1].Children.push_back(Folder("lost.tga", {Leaf("MIPS", {}), Folder("MIP0", {})}));
  tree[1].Children.push_back(Folder("both", {Leaf("MIP0", TgaImage(7)), Leaf("MIPS", DdsImage(7))}));
  tree.push_back(
      Folder("extra", {Folder("texture LIBRARY", {Folder("LOST.TGA", {Leaf("MIP0", TgaImage(5))})})}));
  tree.push_back(Folder("VMeshLibrary", {Folder("a.lod0.vms", {Leaf("VMeshData", QuadBlock(12, 6))}),
                                         Folder("a.lod1.vms", {Leaf("VMeshData", QuadBlock(12, 3))})}));
  return BuildUtf(tree);
}

// A model whose own library names its materials with the hostile names,
// each with its image at hand.
Bytes HostileModel() {
  std::vector<std::pair<std::string, std::string>> textures;
  for (size_t i = 0; i < kHostileNames.size(); ++i)
    textures.emplace_back("Mat" + std::to_string(i), kHostileNames[i]);
  std::vector<TNodeSpec> tree = Libraries(textures);
  tree.push_back(Folder("VMeshLibrary",
                        {Folder("h.lod0.vms", {Leaf("VMeshData", QuadBlock(12, kHostileNames.size()))})}));
  return BuildUtf(tree);
}

// A model whose texture entries all take their image from one data block:
// their images add up to more than the model and the material files, so
// that the size bound stops the images.
Bytes SharedImageModel() {
  constexpr size_t kEntries = 6;
  std::vector<std::pair<std::string, std::string>> textures;
  for (size_t i = 0; i < kEntries; ++i)
    textures.emplace_back("Mat" + std::to_string(i), "big" + std::to_string(i));
  std::vector<TNodeSpec> tree = Libraries(textures);
  for (size_t i = 0; i < kEntries; ++i)
    tree[1].Children[i] = Folder("big" + std::to_string(i), {Leaf("MIPS", {'D'})});
  tree[1].Children[0].Children[0].Data = DdsImage(0);
  tree[1].Children[0].Children[0].Data.resize(2000, 'x');
  tree.push_back(
      Folder("VMeshLibrary", {Folder("s.lod0.vms", {Leaf("VMeshData", QuadBlock(12, kEntries))})}));
  Bytes image = BuildUtf(tree);
  // Every "MIPS" leaf takes the first one's data.
  const uint32_t names = GetU32(image, kStringBlockOffsetAt);
  const uint32_t count = GetU32(image, kNodeBlockSizeAt) / kEntrySize;
  size_t first = 0;
  for (size_t i = 0; i < count; ++i) {
    if (std::string(reinterpret_cast<const char*>(&image[names + GetU32(image, EntryAt(i) + kNameAt)])) !=
        "MIPS")
      continue;
    if (first == 0) first = i;
    for (size_t field : {kChildOrDataAt, kDataSizeAt, kUsedSizeAt, kUsedSizeAt + 4})
      SetU32(image, EntryAt(i) + field, GetU32(image, EntryAt(first) + field));
  }
  return image;
}

const char* const kSettings[] = {
    "[system]\r\nGenBod=.bod, ON\r\nGenLog=.log, ON\r\nGenMesh=.txt, ON\r\nDebug=.dbg, ON\r\nOrigin=ON\r\n"
    "ScaleFactor=1000.0, 1000.0, 1000.0\r\nStrMat=MATERIAL5: %i; 38; 200;200;200; %1:s\r\n",
    "[System]\nGENBOD = \".b\" , on ; comment\nGenMesh=.m,ON\nGenLog=.l,ON\nOrigin=off\n"
    "ScaleFactor=1e3, -2.5, 0.001\nStrMat=%0:-8.3x|%1:20.4s|%%|%u|%d\n",
    "; nothing on\n[other]\nGenBod=.bod, ON\n[system]\nScaleFactor=abc, 1, 1\nDebug=.d, ON\n",
    "[system]\r\nGenBod=.bod, ON\r\nScaleFactor=5000000, 1, 1\r\nStrMat=%2:s %s %-*d\r\n",
    "[system]\r\nPreview=.svg, ON\r\nGenBod=.svg, ON\r\nScaleFactor=1e-3, 1e30, 1\r\n",
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("use: make_seeds <convert folder> <inputs folder> <image folder>\n", stderr);
    return 2;
  }
  const std::string convertDir = argv[1];
  const std::string inputsDir = argv[2];
  const std::string imageDir = argv[3];
  std::vector<std::pair<std::string, Bytes>> models;
  models.emplace_back("sample.cmp", bwfuzz::SampleModel());
  models.emplace_back("fix32.cmp", Chain(TConsLayout::Fixed, "Fix", 32));
  models.emplace_back("rev40.cmp", Chain(TConsLayout::Revolute, "Rev", 40));
  models.emplace_back("sphere24.cmp", Chain(TConsLayout::Sphere, "Sphere", 24));
  models.emplace_back("loose36.cmp", Chain(TConsLayout::Fixed, "Loose", 36));
  models.emplace_back("pris44.cmp", Chain(TConsLayout::Revolute, "Pris", 44));
  models.emplace_back("unnamed20.cmp", Chain(TConsLayout::Sphere, "Other", 20));
  models.emplace_back(
      "plain12.cmp",
      BuildUtf({Folder("VMeshLibrary", {Folder("plain.lod0.vms", {Leaf("VMeshData", QuadBlock(12, 2))})})}));
  models.emplace_back("pool.cmp", LoneModel("pool.lod0.vms", PoolBlock(), 3));
  models.emplace_back("normals24.cmp", LoneModel("normals.lod0.vms", QuadBlock(24, 2, 0x012), 2));
  models.emplace_back("libraries.cmp", LibraryModel());
  models.emplace_back("hostile.cmp", HostileModel());
  models.emplace_back("shared_image.cmp", SharedImageModel());
  bool ok = true;
  for (const auto& [name, bytes] : models) ok = Write(convertDir + "/" + name, bytes) && ok;

  const Bytes mat = bwfuzz::SampleMaterials();
  int n = 0;
  for (const char* settings : kSettings) {
    Bytes input(settings, settings + std::string(settings).size());
    ok = Write(inputsDir + "/settings" + std::to_string(n) + ".txt", input) && ok;
    const std::string marker = "#MAT";
    input.insert(input.end(), marker.begin(), marker.end());
    input.insert(input.end(), mat.begin(), mat.end());
    ok = Write(inputsDir + "/with_mat" + std::to_string(n) + ".bin", input) && ok;
    ++n;
  }
  // Material files with texture libraries for the sample's materials: plain
  // names of both kinds, and hostile ones.
  const std::vector<std::pair<std::string, Bytes>> libraries = {
      {"libraries",
       BuildUtf(Libraries(
           {{"Hull_Plate", "hull_plate.tga"}, {"Engine_Glow", "glow"}, {"Tower_Metal", "Tower.dds"}}))},
      {"hostile", BuildUtf(Libraries({{"Hull_Plate", kHostileNames[0]},
                                      {"Engine_Glow", kHostileNames[1]},
                                      {"Tower_Metal", kHostileNames[4]},
                                      {"Light_Lens", kHostileNames[8]}}))},
  };
  // Images that would replace a file of the run: the model BOD file of the
  // block they belong to, and the material file they come from.
  const std::vector<std::tuple<std::string, std::string, Bytes>> guarded = {
      {"guard_output", "[system]\r\nGenBod=.dds, ON\r\nStrMat=%1:s\r\n",
       BuildUtf(Libraries({{"Hull_Plate", "model_00.tga"}}))},
      {"guard_input", kSettings[0], BuildUtf(Libraries({{"Hull_Plate", "x"}, {"Engine_Glow", "model"}}))},
  };
  for (const auto& [name, settings, bytes] : guarded) {
    Bytes input(settings.begin(), settings.end());
    const std::string marker = "#MAT";
    input.insert(input.end(), marker.begin(), marker.end());
    input.insert(input.end(), bytes.begin(), bytes.end());
    ok = Write(inputsDir + "/" + name + ".bin", input) && ok;
  }
  for (const auto& [name, bytes] : libraries) {
    for (int k : {0, 1}) {
      const std::string settings = kSettings[k];
      Bytes input(settings.begin(), settings.end());
      const std::string marker = "#MAT";
      input.insert(input.end(), marker.begin(), marker.end());
      input.insert(input.end(), bytes.begin(), bytes.end());
      ok = Write(inputsDir + "/" + name + std::to_string(k) + ".bin", input) && ok;
    }
  }
  for (const TSampleImage& image : SampleImages()) ok = Write(imageDir + "/" + image.Name, image.Data) && ok;
  for (const TSampleImage& image : PatternImages()) ok = Write(imageDir + "/" + image.Name, image.Data) && ok;
  if (!ok) {
    std::fputs("make_seeds: cannot write the seed files\n", stderr);
    return 1;
  }
  return 0;
}
