#pragma once
// Builders for compound models: part references, constraint records and the
// whole tree of a compound model.

#include <array>
#include <string>
#include <vector>

#include "cmp_builder.h"

namespace bwtest {

// The 60 bytes of a part reference.
struct TVMeshRefSpec {
  uint32_t HeaderSize = 60;
  uint32_t ID = 0;
  uint16_t StartVertex = 0, EndVertex = 0, StartIndex = 0, EndIndex = 0;
  uint16_t StartMesh = 0, MeshCount = 0;
  std::array<float, 6> Bounds{};
  std::array<float, 3> U{};
  float Radius = 0;
};
Bytes VMeshRefData(const TVMeshRefSpec& ref);

// One constraint record. Names are written into their 64-byte fields with a
// NUL when they are shorter, cut at 64 bytes otherwise.
enum class TConsLayout { Fixed, Revolute, Sphere };
struct TConsSpec {
  std::string RootName;
  std::string PartName;
  std::array<float, 3> Origin{};
  std::array<float, 9> Mtx = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // as stored: column by column
  std::array<float, 3> Unk1{};
  std::array<float, 6> Unk2{};  // Revolute records keep the first five
};
Bytes ConsRecord(TConsLayout layout, const TConsSpec& rec);  // 176, 208 or 212 bytes
Bytes ConsTable(TConsLayout layout, const std::vector<TConsSpec>& records);

// The nine stored floats of a rotation given by the rows of its row-vector
// matrix: they are kept column by column.
std::array<float, 9> StoredRotation(const float rows[3][3]);

// A compound model: one mesh data block under VMeshLibrary\<LodName>, a
// Cmpnd folder with one child per part and a Cons folder, and a file-name
// node per part holding its part reference.
struct TPartSpec {
  std::string Name;        // "Object Name"; the Cmpnd child is called "Part_" + Name
  std::string FileName;    // "File Name"; empty: Name + ".3db"
  TVMeshRefSpec Ref;       // ID 0 is replaced by the block's name hash
  bool MultiLevel = true;  // MultiLevel\Level0\VMeshPart\VMeshRef, else VMeshPart\VMeshRef
};
struct TCompoundSpec {
  std::string LodName = "model.lod0.vms";
  std::vector<TPartSpec> Parts;
  std::vector<TNodeSpec> ConsTables;  // the data nodes under Cmpnd\Cons
  Bytes MeshBlock = Bytes(16, 0);     // the data of the vmeshdata node
};
std::vector<TNodeSpec> CompoundTree(const TCompoundSpec& desc);

// The Cmpnd child of one part.
TNodeSpec PartNode(const std::string& folderName, const std::string& objectName, const std::string& fileName);
// A file-name node that holds a part reference under MultiLevel\Level0 or
// directly under VMeshPart.
TNodeSpec FileNode(const std::string& fileName, const TVMeshRefSpec& ref, bool multiLevel);

}  // namespace bwtest
