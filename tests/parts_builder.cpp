#include "parts_builder.h"

namespace bwtest {

Bytes VMeshRefData(const TVMeshRefSpec& ref) {
  Bytes b;
  PutU32(b, ref.HeaderSize);
  PutU32(b, ref.ID);
  for (uint16_t v :
       {ref.StartVertex, ref.EndVertex, ref.StartIndex, ref.EndIndex, ref.StartMesh, ref.MeshCount})
    PutU16(b, v);
  for (float f : ref.Bounds) PutF32(b, f);
  for (float f : ref.U) PutF32(b, f);
  PutF32(b, ref.Radius);
  return b;
}

namespace {

void PutName(Bytes& b, const std::string& name) {
  for (size_t i = 0; i < 64; ++i) b.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
}

}  // namespace

Bytes ConsRecord(TConsLayout layout, const TConsSpec& rec) {
  Bytes b;
  PutName(b, rec.RootName);
  PutName(b, rec.PartName);
  for (float f : rec.Origin) PutF32(b, f);
  if (layout != TConsLayout::Fixed)
    for (float f : rec.Unk1) PutF32(b, f);
  for (float f : rec.Mtx) PutF32(b, f);
  if (layout == TConsLayout::Revolute)
    for (size_t i = 0; i < 5; ++i) PutF32(b, rec.Unk2[i]);
  if (layout == TConsLayout::Sphere)
    for (float f : rec.Unk2) PutF32(b, f);
  return b;
}

Bytes ConsTable(TConsLayout layout, const std::vector<TConsSpec>& records) {
  Bytes b;
  for (const TConsSpec& rec : records) {
    const Bytes r = ConsRecord(layout, rec);
    b.insert(b.end(), r.begin(), r.end());
  }
  return b;
}

TNodeSpec PartNode(const std::string& folderName, const std::string& objectName,
                   const std::string& fileName) {
  return Folder(folderName, {TextLeaf("Object Name", objectName), TextLeaf("File Name", fileName),
                             Leaf("Index", Bytes(4, 0))});
}

TNodeSpec FileNode(const std::string& fileName, const TVMeshRefSpec& ref, bool multiLevel) {
  TNodeSpec vmeshPart = Folder("VMeshPart", {Leaf("VMeshRef", VMeshRefData(ref))});
  if (!multiLevel) return Folder(fileName, {vmeshPart});
  return Folder(fileName, {Folder("MultiLevel", {Folder("Level0", {vmeshPart})})});
}

std::vector<TNodeSpec> CompoundTree(const TCompoundSpec& desc) {
  const uint32_t hash = TestNameHash(desc.LodName);
  std::vector<TNodeSpec> cmpndChildren;
  cmpndChildren.push_back(Folder("Cons", desc.ConsTables));
  std::vector<TNodeSpec> fileNodes;
  for (const TPartSpec& part : desc.Parts) {
    const std::string fileName = part.FileName.empty() ? part.Name + ".3db" : part.FileName;
    cmpndChildren.push_back(PartNode("Part_" + part.Name, part.Name, fileName));
    TVMeshRefSpec ref = part.Ref;
    if (ref.ID == 0) ref.ID = hash;
    fileNodes.push_back(FileNode(fileName, ref, part.MultiLevel));
  }
  std::vector<TNodeSpec> root;
  root.push_back(Folder("VMeshLibrary", {Folder(desc.LodName, {Leaf("VMeshData", desc.MeshBlock)})}));
  root.push_back(Folder("Cmpnd", cmpndChildren));
  for (TNodeSpec& f : fileNodes) root.push_back(std::move(f));
  return root;
}

std::array<float, 9> StoredRotation(const float rows[3][3]) {
  std::array<float, 9> m{};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) m[static_cast<size_t>(3 * col + row)] = rows[row][col];
  return m;
}

}  // namespace bwtest
