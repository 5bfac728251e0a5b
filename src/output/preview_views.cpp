#include "output/preview_views.h"

#include <algorithm>
#include <climits>

#include "support/errors.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

namespace bw::preview {
namespace {

// Names longer than this are cut, so that a hostile name cannot blow up the
// picture; a path keeps its end, where the file's own name is.
constexpr size_t kNameMax = 120;

int PaletteIndex(int32_t matIndex) {
  const int n = static_cast<int>(kPalette.size());
  return ((matIndex % n) + n) % n;
}

// A name cut to kNameMax bytes, keeping its end or its start, with "..."
// where it was cut; UTF-8 is cut between characters.
void AddName(TTextLine& line, std::string_view s, bool keepEnd, bool utf8) {
  const TTextPiece::TForm form = utf8 ? TTextPiece::NameUtf8 : TTextPiece::Name8;
  if (s.size() <= kNameMax) {
    line.push_back({std::string(s), form});
    return;
  }
  auto isLead = [&](size_t i) { return !utf8 || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80; };
  if (keepEnd) {
    size_t from = s.size() - (kNameMax - 3);
    while (from < s.size() && !isLead(from)) ++from;
    line.push_back({"...", TTextPiece::Plain});
    line.push_back({std::string(s.substr(from)), form});
  } else {
    size_t to = kNameMax - 3;
    while (to > 0 && !isLead(to)) --to;
    line.push_back({std::string(s.substr(0, to)), form});
    line.push_back({"...", TTextPiece::Plain});
  }
}

}  // namespace

TFit FitModel(std::span<const TPreviewPoint> points, const TTriList& tris, double span) {
  TFit fit;
  fit.Lo.fill(INT64_MAX);
  fit.Hi.fill(INT64_MIN);
  for (const TTriRec& t : tris) {
    for (const uint16_t i : {t.A, t.B, t.C}) {
      if (i >= points.size()) RaiseRange("preview: vertex index out of bounds");
      for (size_t a = 0; a < 3; ++a) {
        fit.Lo[a] = std::min(fit.Lo[a], points[i][a]);
        fit.Hi[a] = std::max(fit.Hi[a], points[i][a]);
      }
    }
  }
  if (tris.Count() == 0) return TFit{};
  // In double: extents of points near +-2^63 do not fit an int64.
  double largest = 0;
  for (size_t a = 0; a < 3; ++a) {
    const double lo = static_cast<double>(fit.Lo[a]), hi = static_cast<double>(fit.Hi[a]);
    fit.Centre[a] = lo / 2 + hi / 2;
    largest = std::max(largest, hi - lo);
  }
  // A model without extent stays a dot at each panel's centre.
  if (largest > 0) fit.Scale = span / largest;
  return fit;
}

uint32_t MaterialColour(const TPreviewCaption& caption, int32_t matIndex) {
  if (matIndex >= 0 && static_cast<size_t>(matIndex) < caption.MaterialList.size()) {
    const TPreviewMaterial& m = caption.MaterialList[static_cast<size_t>(matIndex)];
    if (m.HasColour) return m.Rgb & 0xFFFFFF;
  }
  return kPalette[static_cast<size_t>(PaletteIndex(matIndex))];
}

std::array<TTextLine, 3> CaptionLines(const TPreviewCaption& caption, const TFit& fit, bool empty) {
  std::array<TTextLine, 3> lines;
  lines[0].push_back({"file ", TTextPiece::Plain});
  AddName(lines[0], caption.InputName, true, caption.InputNameUtf8);
  lines[1].push_back({"block ", TTextPiece::Plain});
  AddName(lines[1], caption.BlockName, false, false);
  std::string counts = "parts ";
  AppendInt(counts, caption.Parts);
  counts += ", materials ";
  AppendInt(counts, caption.Materials);
  counts += ", vertices ";
  AppendInt(counts, caption.Vertices);
  counts += ", triangles ";
  AppendInt(counts, caption.Triangles);
  if (!empty) {
    counts += "; size x ";
    // The difference of two int64 values always fits a uint64.
    for (size_t a = 0; a < 3; ++a) {
      if (a > 0) counts += a == 1 ? ", y " : ", z ";
      counts += UIntText(static_cast<uint64_t>(fit.Hi[a]) - static_cast<uint64_t>(fit.Lo[a]));
    }
  }
  lines[2].push_back({std::move(counts), TTextPiece::Plain});
  return lines;
}

TTextLine SwatchLine(const TPreviewMaterial& m, size_t k) {
  TTextLine line;
  std::string head;
  AppendInt(head, static_cast<int64_t>(k));
  head += ' ';
  if (!m.Named) {
    head += "no texture name ";
    head += DWordToHex(m.ID);
    line.push_back({std::move(head), TTextPiece::Plain});
    return line;
  }
  line.push_back({std::move(head), TTextPiece::Plain});
  AddName(line, std::string_view(m.TextureName).substr(0, kSwatchNameMax), false, false);
  std::string tail;
  if (m.TextureName.size() > kSwatchNameMax) tail += "...";
  if (!m.HasImage) tail += ": no image";
  else if (!m.HasColour) tail += ": image not read";
  if (!tail.empty()) line.push_back({std::move(tail), TTextPiece::Plain});
  return line;
}

size_t SwatchesShown(const TPreviewCaption& caption) {
  return std::min(caption.MaterialList.size(), kSwatchMax);
}

std::string MoreSwatchesLine(const TPreviewCaption& caption) {
  std::string line = "and ";
  AppendInt(line, static_cast<int64_t>(caption.MaterialList.size() - SwatchesShown(caption)));
  line += " more";
  return line;
}

}  // namespace bw::preview
