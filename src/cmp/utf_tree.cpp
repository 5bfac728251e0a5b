#include "cmp/utf_tree.h"

#include <algorithm>
#include <cstring>

#include "support/byte_reader.h"
#include "support/context.h"
#include "support/file_reader.h"
#include "support/errors.h"
#include "support/number_text.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {
namespace {

constexpr uint32_t kUtfMagic = 0x20465455;  // "UTF "
constexpr uint32_t kUtfVersion = 0x101;
constexpr uint32_t kHeaderEnd = 0x28;
constexpr uint32_t kEntrySize = 44;
constexpr uint32_t kLeafFlag = 0x80;

// Names are copied out per node, and damaged entries may all point at one
// long unterminated tail of the file. Real name tables are smaller than the
// node table, so this many name bytes per image byte means damage.
constexpr size_t kNameBytesPerImageByte = 4;
constexpr size_t kNameBytesSlack = 64 * 1024;

// Chains of a tree are disjoint, so their indexes hold at most one entry per
// node. Chains that merge (damage) could make that quadratic; past this
// budget a chain is walked instead of indexed.
constexpr size_t kChainEntriesSlack = 1024;

// Chains up to this long are searched by walking them.
constexpr int32_t kWalkedChain = 16;

std::vector<std::string> SplitPath(std::string_view path) {
  const std::string lower = LowerCase(path);
  std::vector<std::string> segments;
  std::string current;
  auto endSegment = [&] {
    if (!current.empty()) segments.push_back(std::move(current));
    current.clear();
  };
  size_t i = 0;
  while (i < lower.size()) {
    const char c = lower[i];
    if (c == '\'' || c == '"') {
      // Only a matched pair protects what lies between; a lone quote is an
      // ordinary character. At most one quote of each kind can be unmatched,
      // so the look-ahead stays linear.
      const size_t close = lower.find(c, i + 1);
      if (close != std::string::npos) {
        current.append(lower, i, close - i + 1);
        i = close + 1;
        continue;
      }
      current += c;
    } else if (c == '\\' || c == '\r' || c == '\n') {
      endSegment();
    } else {
      current += c;
    }
    ++i;
  }
  endSegment();
  return segments;
}

// A file seen through the reader's questions, as TByteReader answers them
// for an image in memory: the same checks against the same size, the bytes
// read only where asked, and no node's data read at all.
class TFileBytes {
 public:
  explicit TFileBytes(TFileReader& file) : FFile(file) {}

  size_t Size() const { return FFile.Size(); }
  void Require(size_t offset, size_t count) const {
    if (offset > Size() || count > Size() - offset) RaiseRange("read outside the data");
  }
  // The header and the node table come through one window, the names
  // through the other.
  static constexpr size_t kTableWindow = 0, kNameWindow = 1;

  uint32_t U32(size_t offset) const {
    const uint8_t* b = FFile.At(offset, 4, kTableWindow).data();
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[3]) << 24);
  }
  std::string CString(size_t offset) const {
    if (offset > Size()) RaiseRange("text outside the data");
    std::string text;
    while (offset < Size()) {
      const std::span<const uint8_t> piece = FFile.At(offset, 1, kNameWindow);
      const auto* start = reinterpret_cast<const char*>(piece.data());
      const void* nul = std::memchr(start, 0, piece.size());
      const size_t len = nul ? static_cast<size_t>(static_cast<const char*>(nul) - start) : piece.size();
      text.append(start, len);
      if (nul) break;
      offset += len;
    }
    return text;
  }
  std::span<const uint8_t> Sub(size_t offset, size_t count) const {
    Require(offset, count);
    return {};
  }

 private:
  TFileReader& FFile;
};

// Reads the node table through `rd` (TByteReader, or TFileBytes) into `nodes`.
template <class TBytes>
bool ReadNodes(const TBytes& rd, TNodesList& nodes);

}  // namespace

// ---- Lookups --------------------------------------------------------------

void TNodesList::SyncIndexes() const {
  if (FIndexedCount == Count()) return;
  FByName.clear();
  FByNameBuilt = false;
  FMeshDataByParent.clear();
  FMeshDataBuilt = false;
  FChainIndex.clear();
  FChainEntries = 0;
  FIndexedCount = Count();
}

const TNodesList::TChainIndex& TNodesList::ChainIndex(int32_t head) const {
  const auto found = FChainIndex.find(head);
  if (found != FChainIndex.end()) return found->second;

  TChainIndex chain;
  const int32_t count = Count();
  int32_t k = head;
  // A looping chain repeats after at most `count` distinct nodes, so the
  // bound loses no first match.
  for (int32_t steps = 0; k > 0 && k < count && steps < count; ++steps) {
    const TUtfNode& node = FItems[static_cast<size_t>(k)];
    chain.ByName.emplace(LowerCase(node.Name), k);  // keeps the first
    k = node.SiblingIdx;
  }
  const size_t budget = 2 * static_cast<size_t>(count) + kChainEntriesSlack;
  if (FChainEntries + chain.ByName.size() <= budget) {
    FChainEntries += chain.ByName.size();
    chain.Indexed = true;
  } else {
    chain.ByName.clear();
  }
  return FChainIndex.emplace(head, std::move(chain)).first->second;
}

int32_t TNodesList::WalkChain(int32_t head, std::string_view name) const {
  const int32_t count = Count();
  int32_t k = head;
  for (int32_t steps = 0; k > 0 && k < count && steps < count; ++steps) {
    const TUtfNode& node = FItems[static_cast<size_t>(k)];
    if (SameName(node.Name, name)) return k;
    k = node.SiblingIdx;
  }
  return -1;
}

int32_t TNodesList::FindChild(int32_t parentIdx, std::string_view name) const {
  if (parentIdx < 0 || parentIdx >= Count()) return -1;
  const int32_t head = FItems[static_cast<size_t>(parentIdx)].ChildIdx;
  if (head <= 0) return -1;
  // Most folders hold a few children: walking them costs less than building
  // and asking an index. A chain that goes on past the walk has no match in
  // its first nodes, so its index gives the first match all the same.
  const int32_t count = Count();
  int32_t k = head;
  for (int32_t steps = 0; steps < kWalkedChain; ++steps) {
    if (k <= 0 || k >= count) return -1;
    const TUtfNode& node = FItems[static_cast<size_t>(k)];
    if (SameName(node.Name, name)) return k;
    k = node.SiblingIdx;
  }
  SyncIndexes();
  const TChainIndex& chain = ChainIndex(head);
  if (!chain.Indexed) return WalkChain(head, name);
  const auto it = chain.ByName.find(LowerCase(name));
  return it == chain.ByName.end() ? -1 : it->second;
}

int32_t TNodesList::FindPath(std::string_view path) const {
  if (path.find('\\') == std::string_view::npos) {
    SyncIndexes();
    if (!FByNameBuilt) {
      for (int32_t i = 0; i < Count(); ++i)
        FByName.emplace(LowerCase(FItems[static_cast<size_t>(i)].Name), i);
      FByNameBuilt = true;
    }
    const auto it = FByName.find(LowerCase(path));
    return it == FByName.end() ? -1 : it->second;
  }
  int32_t k = 0;
  for (const std::string& segment : SplitPath(path)) {
    k = FindChild(k, segment);
    if (k == -1) break;
  }
  return k;
}

int32_t TNodesList::FindMeshData(std::string_view parentName) const {
  SyncIndexes();
  if (!FMeshDataBuilt) {
    const int32_t count = Count();
    for (int32_t i = 0; i < count; ++i) {
      const TUtfNode& node = FItems[static_cast<size_t>(i)];
      if (!SameName(node.Name, "vmeshdata") || node.ParentIdx < 0 || node.ParentIdx >= count) continue;
      FMeshDataByParent.emplace(LowerCase(FItems[static_cast<size_t>(node.ParentIdx)].Name), i);
    }
    FMeshDataBuilt = true;
  }
  const auto it = FMeshDataByParent.find(LowerCase(parentName));
  return it == FMeshDataByParent.end() ? -1 : it->second;
}

void TNodesList::FreeAll() {
  TRecList::FreeAll();
  SyncIndexes();
}

// ---- Reading --------------------------------------------------------------

bool ReadUtfImage(std::span<const uint8_t> image, TNodesList& nodes) {
  return ReadNodes(TByteReader(image), nodes);
}

bool ReadUtfFile(TFileReader& file, TNodesList& nodes) {
  return ReadNodes(TFileBytes(file), nodes);
}

namespace {

template <class TBytes>
bool ReadNodes(const TBytes& rd, TNodesList& nodes) {
  nodes.FreeAll();
  const size_t imageSize = rd.Size();
  if (imageSize == 0) RaiseRange("empty UTF image");
  if (rd.U32(0) != kUtfMagic) return false;
  if (rd.U32(4) != kUtfVersion) return false;
  rd.Require(0, kHeaderEnd);

  const uint32_t nodeBlockOffset = rd.U32(0x08);
  const uint32_t nodeBlockSize = rd.U32(0x0C);
  const uint32_t stringBlockOffset = rd.U32(0x18);
  const uint32_t dataBlockOffset = rd.U32(0x24);

  const uint32_t n = nodeBlockSize / kEntrySize;
  if (n == 0) RaiseRange("UTF image without nodes");

  // Entries past the end of the image fail as they are reached, so only the
  // entries the image can hold get memory, whatever the table claims.
  const size_t fit = nodeBlockOffset < imageSize ? (imageSize - nodeBlockOffset) / kEntrySize : 0;
  const size_t held = std::min<size_t>(n, fit);
  // parentOf[k]: the parent known so far for node k. Entries at or beyond
  // `held` are never read (the reading fails before reaching those nodes),
  // so writes to them are dropped.
  std::vector<int32_t> parentOf(held, 0);
  auto setParentOf = [&](uint32_t k, int32_t parent) {
    if (k < held) parentOf[k] = parent;
  };
  nodes.Reserve(held);

  const size_t nameBudget = kNameBytesPerImageByte * imageSize + kNameBytesSlack;
  size_t nameBytes = 0;
  // In a tree every node is walked at most once by the sibling repairs
  // below, and only nodes already read are walked; more steps than the image
  // holds nodes means the chains loop or merge. (Not the table's claimed
  // count: a loop would spin that many times before a damaged header fails.)
  uint64_t walkSteps = 0;

  for (uint32_t i = 0; i < n; ++i) {
    const size_t e = AddOffsets(nodeBlockOffset, kEntrySize * i);
    rd.Require(e, kEntrySize);
    const uint32_t siblingOffset = rd.U32(e + 0x00);
    const uint32_t nameOffset = rd.U32(e + 0x04);
    const uint32_t flags = rd.U32(e + 0x08);
    const uint32_t childOrDataOffset = rd.U32(e + 0x10);

    TUtfNode node;
    const uint32_t nameStart = AddOffsets(stringBlockOffset, nameOffset);
    if (nameStart >= imageSize) RaiseRange("node name outside the image");
    node.Name = rd.CString(nameStart);
    nameBytes += node.Name.size();
    if (nameBytes > nameBudget) RaiseRange("node names larger than the image can hold");

    node.IsLeaf = (flags & kLeafFlag) != 0;
    const uint32_t childIdx = node.IsLeaf ? 0 : childOrDataOffset / kEntrySize;
    if (childIdx >= n) RaiseRange("child index outside the node table");
    node.ChildIdx = static_cast<int32_t>(childIdx);
    setParentOf(childIdx, static_cast<int32_t>(i));

    const uint32_t siblingIdx = siblingOffset / kEntrySize;
    if (siblingIdx >= n) RaiseRange("sibling index outside the node table");
    node.SiblingIdx = static_cast<int32_t>(siblingIdx);

    node.ParentIdx = parentOf[i];

    // Siblings stored before the node whose chain reaches them learn their
    // parent here.
    if (node.ParentIdx != 0 && siblingIdx != 0) {
      setParentOf(siblingIdx, node.ParentIdx);
      int32_t next = node.SiblingIdx;
      while (next != 0 && static_cast<uint32_t>(next) < i) {
        if (++walkSteps > held) RaiseRange("sibling chains loop or merge");
        TUtfNode& current = nodes[next];
        current.ParentIdx = node.ParentIdx;
        setParentOf(static_cast<uint32_t>(current.SiblingIdx), node.ParentIdx);
        next = current.SiblingIdx;
      }
    }

    // A first child stored before its folder.
    if (childIdx != 0 && childIdx < i) nodes[node.ChildIdx].ParentIdx = static_cast<int32_t>(i);

    node.DataSize = rd.U32(e + 0x14);
    node.UsedSize = rd.U32(e + 0x18);
    if (node.DataSize != 0 && node.ChildIdx == 0) {
      if (node.UsedSize >= 0x80000000u) RaiseRange("data size of 2 GB or more");
      const uint32_t dataStart = AddOffsets(dataBlockOffset, childOrDataOffset);
      if (dataStart >= imageSize) RaiseRange("node data outside the image");
      // NOTE: only the bytes actually present are kept; the reserved size is
      // a claim of the file and is never allocated.
      node.HasData = true;
      node.DataOffset = dataStart;
      node.DataLen = std::min(node.UsedSize, node.DataSize);
      node.Data = rd.Sub(dataStart, node.DataLen);
    }

    node.Reserved = rd.U32(e + 0x0C);
    node.Extra1 = rd.U32(e + 0x20);
    node.Extra2 = rd.U32(e + 0x24);
    node.Extra3 = rd.U32(e + 0x28);
    nodes.Add(std::move(node));
  }
  return true;
}

}  // namespace

bool ReadUtfTree(std::span<const uint8_t> image, TNodesList& nodes, TContext& ctx) {
  if (!ReadUtfImage(image, nodes)) return false;

  const int32_t count = nodes.Count();
  if (ctx.DebugOn()) {
    // One line per node: built in one reused string.
    std::string line;
    for (int32_t i = 0; i < count; ++i) {
      const TUtfNode& node = nodes[i];
      line.assign("idx = ");
      AppendInt(line, i, 4);
      line += " \"";
      line += node.Name;
      line += "\";  DataSize = ";
      AppendInt(line, node.DataSize);
      line += ";  ChildIdx = ";
      AppendInt(line, node.ChildIdx);
      line += ";  Parent = ";
      AppendInt(line, node.ParentIdx);
      line += "\r\n";
      WriteDbg(ctx, line);
    }
    WriteDbg(ctx, "\r\n\r\n");
    for (int32_t i = 0; i < count; ++i) {
      const TUtfNode& node = nodes[i];
      if (!SameName(node.Name, "vmeshdata")) continue;
      WriteDbg(ctx, "idx = " + PadLeft(IntText(i), 4, ' ') + "; parent = \"" + nodes[node.ParentIdx].Name +
                        "\";  node.name = \"" + node.Name + "\";  DataSize = " + UIntText(node.DataSize) +
                        "\r\n");
    }
    WriteDbg(ctx, "\r\n\r\n");
  }

  for (const TUtfNode& node : nodes)
    if (SameName(node.Name, "vmeshdata")) return true;
  return false;
}

}  // namespace bw
