#include "output/textures.h"

#include <algorithm>
#include <array>

#include "support/context.h"
#include "support/errors.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {
namespace {

constexpr size_t kMaxTextureName = 200;
constexpr int32_t kImageBufSize = 256 * 1024;
constexpr std::string_view kForbidden = "\\/:*?\"<>|";

// The warnings, each said once per run and name.
enum EWarning { kNotFileName, kNotFound, kNotWritten, kOverBound };

bool IsControl(unsigned char c) {
  return c < 32 || c == 127;
}

// Windows opens a device, not a file, for these names, whatever follows
// the first dot: CON, PRN, AUX, NUL, CONIN$, CONOUT$, and COM or LPT with a
// digit or a superscript one, two or three (Latin-1, or UTF-8 after C2).
bool IsDeviceName(std::string_view stem) {
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  const std::string s = UpperCase(stem);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (s == device) return true;
  if (s.size() < 4 || (s.compare(0, 3, "COM") != 0 && s.compare(0, 3, "LPT") != 0)) return false;
  std::string_view tail = std::string_view(s).substr(3);
  if (tail.size() == 1 && tail[0] >= '0' && tail[0] <= '9') return true;
  if (tail.size() == 2 && static_cast<unsigned char>(tail[0]) == 0xC2) tail.remove_prefix(1);
  if (tail.size() != 1) return false;
  const auto c = static_cast<unsigned char>(tail[0]);
  return c == 0xB9 || c == 0xB2 || c == 0xB3;
}

bool IsDds(std::span<const uint8_t> image) {
  static constexpr std::array<uint8_t, 4> kDds{'D', 'D', 'S', ' '};
  return image.size() >= kDds.size() && std::equal(kDds.begin(), kDds.end(), image.begin());
}

// The image of a texture library entry: its first child "MIPS" that is a
// leaf with data, else its first such "MIP0". Walks at most one step per
// node of the tree, each charged to the work bound.
std::span<const uint8_t> ImageOf(const TNodesList& nodes, const TUtfNode& entry, TContext& ctx) {
  std::span<const uint8_t> mip0;
  bool haveMip0 = false;
  int32_t child = entry.ChildIdx;
  for (int32_t steps = 0; child > 0 && steps < nodes.Count(); ++steps) {
    ctx.Work.Charge(1);
    const TUtfNode& node = nodes[child];
    if (node.IsLeaf && !node.Data.empty()) {
      if (SameName(node.Name, "MIPS")) return node.Data;
      if (!haveMip0 && SameName(node.Name, "MIP0")) {
        mip0 = node.Data;
        haveMip0 = true;
      }
    }
    child = node.SiblingIdx;
  }
  return mip0;
}

}  // namespace

bool IsTextureFileName(std::string_view name) {
  if (name.empty() || name.size() > kMaxTextureName) return false;
  for (char c : name)
    if (IsControl(static_cast<unsigned char>(c)) || kForbidden.find(c) != std::string_view::npos)
      return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  return !IsDeviceName(name.substr(0, name.find('.')));
}

std::string ShownTextureName(std::string_view name) {
  std::string shown(name.substr(0, kMaxTextureName));
  for (char& c : shown)
    if (IsControl(static_cast<unsigned char>(c))) c = '?';
  if (name.size() > kMaxTextureName) shown += "...";
  return shown;
}

TTextureWriter::TTextureWriter(std::string folder, TOutputGuard guard, const TFileSet& written,
                               uint64_t byteLimit)
    : FFolder(std::move(folder)), FGuard(std::move(guard)), FWrittenOutputs(written), FByteLimit(byteLimit) {
  // Images are not outputs of the kind that an image may not replace.
  FGuard.Written = nullptr;
}

void TTextureWriter::WriteImages(const TMatrList& blockMaterials, const TMaterials& materials,
                                 TContext& ctx) {
  for (const TMatrRec& mat : blockMaterials) {
    const TTexTable* tex = nullptr;
    int32_t k = -1;
    if (FStopped) return;
    // An entry met again in a later block was decided when first met: its
    // image written, skipped or warned about. Deciding it once keeps many
    // blocks sharing long texture names from costing blocks x names.
    if (FindMatTex(materials, mat.ID, tex, k) && FDecided.emplace(tex, k).second)
      WriteImage(*tex, k, materials, ctx);
  }
}

void TTextureWriter::WriteImage(const TTexTable& tex, int32_t k, const TMaterials& materials, TContext& ctx) {
  const std::string& name = tex.MatTexList[k].Name;
  if (!IsTextureFileName(name)) return Warn(ctx, kNotFileName, name, "is not a file name.");
  std::span<const uint8_t> image;
  if (!FindImage(tex.TexKeys.at(static_cast<size_t>(k)), materials, ctx, image))
    return Warn(ctx, kNotFound, name, "not found.");

  const std::string fileName = name + (IsDds(image) ? ".dds" : ".tga");
  if (!FImageNames.insert(LowerCase(fileName)).second) return;
  const std::string path = FFolder + fileName;
  if (FImages.Leads(path)) return;
  // An image may replace an earlier run's image, but never an input or a
  // file this run has written.
  GuardOutput(FGuard, path);
  GuardOutput(FGuard.Console, FWrittenOutputs, path);
  if (image.size() > FByteLimit - FBytesWritten) {
    Warn(ctx, kOverBound, name, "not written: the images exceed the input size.");
    FStopped = true;
    return;
  }
  try {
    TOutputFile file(FGuard, path, kImageBufSize);
    file.Stream().Write(image.data(), static_cast<int32_t>(image.size()));
    file.Commit();
  } catch (const EFCreateError&) {
    // Open in a viewer, or a read-only file: the model's other outputs
    // matter more than one image.
    return Warn(ctx, kNotWritten, name, "not written.");
  }
  FBytesWritten += image.size();
  FImages.Add(path);
}

bool TTextureWriter::FindImage(const std::string& key, const TMaterials& materials, TContext& ctx,
                               std::span<const uint8_t>& image) {
  const std::string folded = LowerCase(key);
  FIndexes.resize(materials.Sources.size());
  for (size_t i = 0; i < materials.Sources.size(); ++i) {
    const TImageIndex& index = IndexOf(i, *materials.Sources[i].Nodes, ctx);
    const auto it = index.find(folded);
    if (it != index.end()) {
      image = it->second;
      return true;
    }
  }
  return false;
}

const TTextureWriter::TImageIndex& TTextureWriter::IndexOf(size_t source, const TNodesList& nodes,
                                                           TContext& ctx) {
  std::optional<TImageIndex>& slot = FIndexes[source];
  if (slot) return *slot;
  // One pass in node order; every chain walk is bounded by the node count,
  // and every step is charged, so that libraries sharing one long chain
  // cost what they make the program do. An entry that several chains reach
  // (or a chain that loops) is read at its first visit only.
  TImageIndex index;
  const int32_t count = nodes.Count();
  std::vector<bool> seen(static_cast<size_t>(count));
  ctx.Work.Charge(static_cast<uint64_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    if (!SameName(nodes[i].Name, "Texture library")) continue;
    int32_t child = nodes[i].ChildIdx;
    for (int32_t steps = 0; child > 0 && steps < count; ++steps) {
      ctx.Work.Charge(1);
      const TUtfNode& entry = nodes[child];
      if (!seen[static_cast<size_t>(child)]) {
        seen[static_cast<size_t>(child)] = true;
        std::string folded = LowerCase(entry.Name);
        if (index.find(folded) == index.end()) {
          const std::span<const uint8_t> image = ImageOf(nodes, entry, ctx);
          if (!image.empty()) index.emplace(std::move(folded), image);
        }
      }
      child = entry.SiblingIdx;
    }
  }
  slot = std::move(index);
  return *slot;
}

void TTextureWriter::Warn(TContext& ctx, int kind, std::string_view name, std::string_view text) {
  if (!FWarned.emplace(kind, std::string(name)).second) return;
  const bool ofName = kind == kNotFileName;
  ctx.Console.Line(std::string(ofName ? "  Warning : texture name " : "  Warning : texture ") +
                   ShownTextureName(name) + " " + std::string(text));
}

}  // namespace bw
