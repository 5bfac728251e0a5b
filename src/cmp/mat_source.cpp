#include "cmp/mat_source.h"

#include <cstring>

#include "support/byte_reader.h"
#include "support/errors.h"
#include "support/file_reader.h"
#include "support/text_helpers.h"
#include "support/work_budget.h"

namespace bw {
namespace {

// The signature and version words that tell a UTF file.
constexpr size_t kUtfIdSize = 8;

bool IsTextureNode(const TUtfNode& node) {
  return SameName(node.Name, "dt_name");
}

// Bytes as text, up to the first NUL byte or their end.
std::string TextUpToNul(std::span<const uint8_t> bytes) {
  const auto* start = reinterpret_cast<const char*>(bytes.data());
  const void* nul = bytes.empty() ? nullptr : std::memchr(start, 0, bytes.size());
  return std::string(start, nul ? static_cast<size_t>(static_cast<const char*>(nul) - start) : bytes.size());
}

// A node's data as text, read from the file a window at a time (the
// reader's second, once the tree is read): a long text without NUL costs no
// more memory than its bytes.
constexpr size_t kTextWindow = 1;
std::string FileDataText(TFileReader& file, const TUtfNode& node) {
  std::string text;
  size_t offset = node.DataOffset;
  size_t left = node.HasData ? node.DataLen : 0;
  while (left > 0) {
    std::span<const uint8_t> piece = file.At(offset, 1, kTextWindow);
    if (piece.size() > left) piece = piece.first(left);
    const std::string part = TextUpToNul(piece);
    text += part;
    if (part.size() < piece.size()) break;
    offset += piece.size();
    left -= piece.size();
  }
  return text;
}

// Cuts the extension: from the last "." on, unless a folder separator or a
// drive colon comes after it.
std::string WithoutExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) return fileName;
  const size_t sep = fileName.find_first_of("\\:", dot);
  if (sep != std::string::npos) return fileName;
  return fileName.substr(0, dot);
}

// The texture names of the "dt_name" nodes, in node order; `textOf` gives a
// node's data as text.
template <class TTextOf>
void AddTextureNodes(const TNodesList& nodes, TMatSource& source, TTextOf textOf) {
  for (int32_t i = 0; i < nodes.Count(); ++i) {
    const TUtfNode& node = nodes[i];
    if (!IsTextureNode(node)) continue;
    TTexNode tex;
    tex.NodeIdx = i;
    if (node.DataSize != 0) {
      tex.Named = true;
      tex.Material = nodes[node.ParentIdx].Name;
      tex.ID = NameHash(tex.Material);
      tex.Text = textOf(node);
      AddMatTex(source.Tex, tex.ID, WithoutExtension(tex.Text), tex.Text);
    }
    source.TexNodes.push_back(std::move(tex));
  }
}

// The image of a texture library entry: its first child "MIPS" that is a
// leaf with data, else its first such "MIP0"; -1 when it has none. Walks at
// most one step per node of the tree, each charged to `work`.
int32_t ImageOf(const TNodesList& nodes, const TUtfNode& entry, TWorkBudget& work) {
  int32_t mip0 = -1;
  int32_t child = entry.ChildIdx;
  for (int32_t steps = 0; child > 0 && steps < nodes.Count(); ++steps) {
    work.Charge(1);
    const TUtfNode& node = nodes[child];
    if (node.IsLeaf && node.HasData && node.DataLen > 0) {
      if (SameName(node.Name, "MIPS")) return child;
      if (mip0 < 0 && SameName(node.Name, "MIP0")) mip0 = child;
    }
    child = node.SiblingIdx;
  }
  return mip0;
}

// Finds the images of every "Texture library" of the tree: one pass in node
// order; every chain walk is bounded by the node count, and every node and
// step is charged, so that libraries sharing one long chain cost what they
// make the program do. An entry that several chains reach (or a chain that
// loops) is read at its first visit only. Past the work bound the search
// stops, and its charge says so.
void IndexImages(const TNodesList& nodes, TMatSource& source) {
  TWorkBudget work;
  try {
    const int32_t count = nodes.Count();
    std::vector<bool> seen(static_cast<size_t>(count));
    work.Charge(static_cast<uint64_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      if (!SameName(nodes[i].Name, "Texture library")) continue;
      int32_t child = nodes[i].ChildIdx;
      for (int32_t steps = 0; child > 0 && steps < count; ++steps) {
        work.Charge(1);
        const TUtfNode& entry = nodes[child];
        if (!seen[static_cast<size_t>(child)]) {
          seen[static_cast<size_t>(child)] = true;
          std::string folded = LowerCase(entry.Name);
          if (source.Images.find(folded) == source.Images.end()) {
            const int32_t image = ImageOf(nodes, entry, work);
            if (image >= 0) source.Images.emplace(std::move(folded), TImageRef{nodes[image].DataOffset, nodes[image].DataLen});
          }
        }
        child = entry.SiblingIdx;
      }
    }
  } catch (const ERangeError&) {
    // Only the work bound raises here: the walks stay inside the list.
    source.Images.clear();
    source.IndexCharge = work.Limit + 1;
    return;
  }
  source.IndexCharge = work.Used;
}

}  // namespace

int32_t TTexList::IndexOf(uint32_t id) const {
  const auto it = FIndex.find(id);
  return it == FIndex.end() ? -1 : it->second;
}

int32_t TTexList::AddUnique(TTexRec rec) {
  const auto [it, added] = FIndex.emplace(rec.ID, Count());
  if (!added) return -1;
  Add(std::move(rec));
  return it->second;
}

void AddMatTex(TTexTable& tex, uint32_t id, std::string name, std::string key) {
  tex.MatTexList.AddUnique({id, std::move(name), std::move(key)});
}

TMatSource ReadMatFileSource(const std::string& fileName, bool withListing) {
  TMatSource source;
  source.FileName = fileName;
  TFileReader file(fileName);
  source.FileSize = file.Size();
  source.Stamp = file.Stamp();
  // NOTE: a file too short to hold the signature and version words (an
  // empty one too) is taken as one that is not a UTF file: its material
  // lines then carry the hexadecimal IDs, as for any unknown file.
  if (file.Size() < kUtfIdSize) return source;
  try {
    if (!ReadUtfFile(file, source.Nodes)) return source;
    source.IsUtf = true;
    AddTextureNodes(source.Nodes, source, [&](const TUtfNode& node) { return FileDataText(file, node); });
  } catch (const ERangeError&) {
    source.Damaged = true;
    source.Nodes.FreeAll();
    source.TexNodes.clear();
    source.Tex = {};
    return source;
  }
  IndexImages(source.Nodes, source);
  if (!withListing) {
    source.Nodes = TNodesList();
    source.TexNodes.clear();
    source.TexNodes.shrink_to_fit();
  }
  return source;
}

TMatSource ModelMatSource(const TNodesList& nodes, std::span<const uint8_t> image, bool withImages) {
  TMatSource source;
  source.IsUtf = true;
  source.Memory = image;
  source.FileSize = image.size();
  AddTextureNodes(nodes, source, [](const TUtfNode& node) { return TextUpToNul(node.Data); });
  if (withImages) IndexImages(nodes, source);
  return source;
}

bool FindImage(const TMatSource& source, std::string_view key, TImageRef& ref) {
  const TMatSource* const one[] = {&source};
  return FindImageIn(one, key, ref) == 0;
}

int32_t FindImageIn(std::span<const TMatSource* const> sources, std::string_view key, TImageRef& ref) {
  // Folded once for every source asked.
  const std::string folded = LowerCase(key);
  for (size_t i = 0; i < sources.size(); ++i) {
    const auto it = sources[i]->Images.find(folded);
    if (it == sources[i]->Images.end()) continue;
    ref = it->second;
    return static_cast<int32_t>(i);
  }
  return -1;
}

size_t ReadImageHead(const TMatSource& source, const TImageRef& ref, std::span<uint8_t> out) {
  const size_t n = std::min<size_t>(out.size(), ref.Size);
  if (source.FileName.empty()) {
    const std::span<const uint8_t> head = TByteReader(source.Memory).Sub(ref.Offset, n);
    std::copy(head.begin(), head.end(), out.begin());
    return n;
  }
  size_t done = 0;
  ReadUnchanged(source.FileName, source.Stamp, ref.Offset, n, [&](std::span<const uint8_t> piece) {
    std::copy(piece.begin(), piece.end(), out.begin() + static_cast<std::ptrdiff_t>(done));
    done += piece.size();
  });
  return n;
}

void ReadImage(const TMatSource& source, const TImageRef& ref,
               const std::function<void(std::span<const uint8_t>)>& sink) {
  if (source.FileName.empty()) return sink(TByteReader(source.Memory).Sub(ref.Offset, ref.Size));
  ReadUnchanged(source.FileName, source.Stamp, ref.Offset, ref.Size, sink);
}

}  // namespace bw
