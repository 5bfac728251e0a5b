#pragma once
// The UTF tree container: a flat list of node records in node-table order,
// with child, sibling and parent links resolved to list indices.
//
// A tree read from an image in memory borrows from it: every node's Data
// points into that image, which must outlive the tree (the driver keeps the
// input image for the whole run). A material file's tree is read from the
// file piece by piece and holds where its data lies instead.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "support/rec_list.h"

namespace bw {

struct TContext;
class TFileReader;

struct TUtfNode {
  std::string Name;
  int32_t ChildIdx = 0;
  int32_t SiblingIdx = 0;
  int32_t ParentIdx = 0;
  bool IsLeaf = false;
  uint32_t DataSize = 0;
  uint32_t UsedSize = 0;
  // The node has a data block (DataSize > 0 and no child). Its bytes lie at
  // DataOffset in the file, DataLen of them: the first min(UsedSize,
  // DataSize) of the block. A tree read from an image in memory has them in
  // Data, which points into that image; a tree read from a file piece by
  // piece leaves Data empty.
  bool HasData = false;
  std::span<const uint8_t> Data;
  uint32_t DataOffset = 0;
  uint32_t DataLen = 0;
  uint32_t Reserved = 0, Extra1 = 0, Extra2 = 0, Extra3 = 0;
};

class TNodesList : public TRecList<TUtfNode> {
 public:
  // First node of the child chain of parentIdx named `name` (ASCII case
  // folded); -1 when none, or when parentIdx is -1.
  int32_t FindChild(int32_t parentIdx, std::string_view name) const;
  // The node reached by a backslash path from the root, or for a path
  // without backslash the first node anywhere with that name; -1 if none.
  int32_t FindPath(std::string_view path) const;
  // The first "vmeshdata" node in list order whose parent is named
  // `parentName` (both ASCII case folded); -1 when none.
  int32_t FindMeshData(std::string_view parentName) const;
  void FreeAll();

 private:
  // Lookup indexes, built on first use; they return the same first match as
  // a walk of the list or chain would.
  struct TChainIndex {
    bool Indexed = false;  // false: the chain is walked instead (see FindChild)
    std::unordered_map<std::string, int32_t> ByName;
  };
  void SyncIndexes() const;
  const TChainIndex& ChainIndex(int32_t head) const;
  int32_t WalkChain(int32_t head, std::string_view name) const;

  mutable std::unordered_map<std::string, int32_t> FByName;
  mutable bool FByNameBuilt = false;
  mutable std::unordered_map<std::string, int32_t> FMeshDataByParent;
  mutable bool FMeshDataBuilt = false;
  mutable std::unordered_map<int32_t, TChainIndex> FChainIndex;
  mutable size_t FChainEntries = 0;
  mutable int32_t FIndexedCount = 0;
};

// Reads a whole UTF image into `nodes` (emptied first). False when the
// signature or version does not match; range failure on damage. The nodes'
// Data spans point into `image`, which must outlive them.
bool ReadUtfImage(std::span<const uint8_t> image, TNodesList& nodes);
// The same from a file read piece by piece: the header, the node table and
// the names, but no node's data (every Data span is empty; DataOffset and
// DataLen say where the data lies). The checks are those of an image of
// the file's size, so both ways give one verdict on every file.
bool ReadUtfFile(TFileReader& file, TNodesList& nodes);

// Reads the input's image into `nodes` and writes the node listings; true
// when the tree holds at least one "vmeshdata" node.
bool ReadUtfTree(std::span<const uint8_t> image, TNodesList& nodes, TContext& ctx);

}  // namespace bw
