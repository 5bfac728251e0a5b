#include "output/preview_svg.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "output/preview_png.h"
#include "output/preview_views.h"
#include "support/errors.h"
#include "support/number_text.h"
#include "support/output_file.h"
#include "support/platform.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {
namespace {

using preview::FitModel;
using preview::kDownY;
using preview::kLevels;
using preview::kShadePercent;
using preview::kViews;
using preview::MaterialColour;
using preview::TFit;
using preview::TView;

// Picture layout in picture units (pixels at the picture's own size).
constexpr int kPanel = 360;  // side of each square panel
constexpr int kInset = 10;   // room between the model and its panel's border
constexpr double kFitSpan = kPanel - 2 * kInset;
constexpr int kMargin = 20;  // around the picture and between panels
constexpr int kLabelHeight = 22;
constexpr int kPanelTop = kMargin + kLabelHeight;
constexpr int kWidth = kMargin + 3 * (kPanel + kMargin);
constexpr int kCaptionBottom = kPanelTop + kPanel + 94;  // three lines of caption
// Swatches below the caption, in three columns.
constexpr int kSwatchColumns = 3;
constexpr int kSwatchRow = 22;
// View coordinates are written as whole tenths inside a group scaled by 0.1:
// that is the tenth-of-a-unit rounding with at most four digits a number and
// no decimal point, which keeps the largest models' pictures small.
constexpr int kTenths = kPanel * 10;
// The picture file's stream buffer: the largest picture in 16 blocks.
constexpr int32_t kPictureBufSize = 256 * 1024;

constexpr int kReplacement = 0xFFFD;

void AppendNum(std::string& out, int64_t v) {
  char buf[24];
  out.append(buf, IntChars(v, buf));
}

void AppendCharRef(std::string& out, int code) {
  out += "&#";
  AppendNum(out, code);
  out += ';';
}

// 8-bit text as XML character data that is also safe inside an attribute.
void AppendXmlText(std::string& out, std::string_view s) {
  for (const char ch : s) {
    const auto b = static_cast<unsigned char>(ch);
    switch (b) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (b >= 0x20 && b < 0x7F) {
          out += ch;
        } else if (b >= 0x80 && Cp1252Char(b) != 0) {
          AppendCharRef(out, static_cast<int>(Cp1252Char(b)));
        } else {
          // Most control bytes may not appear in XML even as references;
          // the bytes Windows-1252 leaves unassigned are no characters.
          AppendCharRef(out, kReplacement);
        }
    }
  }
}

// UTF-8 text as XML character data, every character above ASCII as a
// reference; what is not valid UTF-8 here has been checked before (a byte
// that is not would show as U+FFFD).
void AppendUtf8Text(std::string& out, std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    char32_t code = 0;
    const size_t len = Utf8CharAt(s, i, code);
    if (len == 1) {
      AppendXmlText(out, s.substr(i, 1));
    } else {
      AppendCharRef(out, len == 0 ? kReplacement : static_cast<int>(code));
    }
    i += len == 0 ? 1 : len;
  }
}

void AppendText(std::string& out, int x, int y, std::string_view text) {
  out += "<text x=\"";
  AppendNum(out, x);
  out += "\" y=\"";
  AppendNum(out, y);
  out += "\">";
  out += text;
  out += "</text>\n";
}

// "#rrggbb" of a colour at a shading level.
std::array<char, 7> FillName(uint32_t rgb, int level) {
  constexpr char kHex[] = "0123456789abcdef";
  const int percent = kShadePercent[static_cast<size_t>(level)];
  std::array<char, 7> name{};
  name[0] = '#';
  for (int c = 0; c < 3; ++c) {
    const int channel = static_cast<int>((rgb >> (16 - 8 * c)) & 0xFF) * percent / 100;
    name[static_cast<size_t>(1 + 2 * c)] = kHex[channel >> 4];
    name[static_cast<size_t>(2 + 2 * c)] = kHex[channel & 15];
  }
  return name;
}

// The distinct colours of a drawing: a fill is a colour's place here times
// the levels plus the level, so that materials of one colour share paths.
struct TColours {
  std::vector<uint32_t> Rgb;
  std::unordered_map<uint32_t, uint32_t> Place;
  uint32_t PlaceOf(uint32_t rgb) {
    const auto [it, added] = Place.emplace(rgb, static_cast<uint32_t>(Rgb.size()));
    if (added) Rgb.push_back(rgb);
    return it->second;
  }
};

// The float's bits as an unsigned key with the same order (-0 before +0).
uint32_t OrderedBits(float f) {
  const auto u = std::bit_cast<uint32_t>(f);
  return (u & 0x80000000u) != 0 ? ~u : (u | 0x80000000u);
}

// Sorts keys whose upper half is the depth and whose lower half is the
// triangle's position, ascending from the caller, by depth alone: a stable
// radix sort (four byte-wide passes) keeps equal depths in list order, at a
// fraction of a comparison sort's cost.
void SortByDepth(std::span<uint64_t> keys, std::span<uint64_t> scratch) {
  std::array<std::array<uint32_t, 256>, 4> starts{};
  for (const uint64_t k : keys)
    for (size_t d = 0; d < 4; ++d) ++starts[d][(k >> (32 + 8 * d)) & 0xFF];
  for (auto& s : starts) {
    uint32_t sum = 0;
    for (uint32_t& c : s) sum += std::exchange(c, sum);
  }
  std::span<uint64_t> from = keys, to = scratch;
  for (size_t d = 0; d < 4; ++d) {
    for (const uint64_t k : from) to[starts[d][(k >> (32 + 8 * d)) & 0xFF]++] = k;
    std::swap(from, to);
  }
}

// Nearest tenth of a picture unit from the panel's corner, held inside the
// panel whatever the rounding of huge coordinates did.
int16_t Tenths(double fromCentre) {
  const double t = kTenths / 2 + fromCentre * 10 + 0.5;
  if (!(t > 0)) return 0;
  if (t >= kTenths) return kTenths;
  return static_cast<int16_t>(t);
}

// The picture's height: the panels, the caption and the swatches.
int PictureHeight(const TPreviewCaption& caption) {
  const size_t shown = preview::SwatchesShown(caption);
  if (shown == 0) return kCaptionBottom;
  const size_t rows = (shown + kSwatchColumns - 1) / kSwatchColumns + (caption.MaterialList.size() > shown ? 1 : 0);
  return kCaptionBottom + static_cast<int>(rows) * kSwatchRow;
}

void AppendHead(std::string& out, int height) {
  out +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
  out += " width=\"";
  AppendNum(out, kWidth);
  out += "\" height=\"";
  AppendNum(out, height);
  out += "\" viewBox=\"0 0 ";
  AppendNum(out, kWidth);
  out += ' ';
  AppendNum(out, height);
  out += "\">\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
}

template <size_t N>
char* Put(char* q, const char (&s)[N]) {
  return std::copy_n(s, N - 1, q);
}

// A view number (whole tenths: at most four digits and a sign). Its four
// digits come as the bytes of one word, split the way the BOD files' number
// writer splits eight, and are stored whole less their leading zeros (the
// room of a chunk piece has far more than the 4 bytes this may store).
char* PutTenths(char* q, int32_t v) {
  const uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  if (std::endian::native != std::endian::little || magnitude >= 10000) return PutInt(q, v);
  *q = '-';
  q += v < 0 ? 1 : 0;
  const uint32_t hundreds = (magnitude * 10486) >> 20;               // magnitude / 100
  uint32_t x = hundreds | ((magnitude - hundreds * 100) << 16);      // two lanes below 100
  const uint32_t tens = ((x * 103) >> 10) & 0x000F000Fu;             // x / 10 per lane
  x = tens | ((x - tens * 10) << 8);                                 // the digits, first lowest
  const int zeros = std::countr_zero(x | (uint32_t{1} << 24)) >> 3;  // zero keeps its last digit
  const uint32_t text = (x | 0x30303030u) >> (8 * zeros);
  std::memcpy(q, &text, sizeof text);
  return q + 4 - zeros;
}

// The drawing text is built in a block on the stack and appended to the
// document a block at a time: one library call per block, not per number.
// Given the picture file's stream, it is built in place in the stream's
// buffer instead, after the document so far: the drawing, most of the
// picture, never sits in memory whole.
class TChunk {
 public:
  TChunk(std::string& out, TBufStream* stream) : FOut(out), FStream(stream) {
    if (FStream) {
      WriteText(*FStream, FOut);
      FOut.clear();
    }
  }
  TChunk(const TChunk&) = delete;
  TChunk& operator=(const TChunk&) = delete;
  // Where the next piece goes, with room for the longest piece (a path's
  // end and start and one triangle: well under 128 bytes).
  char* Room() {
    if (FStream) return FRoom = FStream->WriteRoom(kPieceRoom);
    if (FLen > sizeof(FBuf) - kPieceRoom) Flush();
    return FBuf + FLen;
  }
  void Used(const char* end) {
    if (FStream)
      FStream->Written(static_cast<int32_t>(end - FRoom));
    else
      FLen = static_cast<size_t>(end - FBuf);
  }
  void Flush() {
    FOut.append(FBuf, FLen);
    FLen = 0;
  }

 private:
  static constexpr int32_t kPieceRoom = 128;
  std::string& FOut;
  TBufStream* FStream;
  char* FRoom = nullptr;
  char FBuf[16384];
  size_t FLen = 0;
};

int PanelLeft(size_t view) {
  return kMargin + static_cast<int>(view) * (kPanel + kMargin);
}

// A caption line as XML text: the picture's own words as they are, names
// by their encoding.
std::string LineText(const preview::TTextLine& line) {
  std::string text;
  for (const preview::TTextPiece& piece : line) {
    switch (piece.Form) {
      case preview::TTextPiece::Plain: text += piece.Text; break;
      case preview::TTextPiece::Name8: AppendXmlText(text, piece.Text); break;
      case preview::TTextPiece::NameUtf8: AppendUtf8Text(text, piece.Text); break;
    }
  }
  return text;
}

void AppendTexts(std::string& out, const TPreviewCaption& caption, const TFit& fit, bool empty) {
  out += "<g font-family=\"sans-serif\" font-size=\"14\" fill=\"#202020\">\n";
  for (size_t v = 0; v < kViews.size(); ++v) AppendText(out, PanelLeft(v), kPanelTop - 8, kViews[v].Label);
  // A line each for the names: either may take up to 120 characters.
  const auto lines = preview::CaptionLines(caption, fit, empty);
  for (size_t i = 0; i < lines.size(); ++i)
    AppendText(out, kMargin, kPanelTop + kPanel + 28 + 24 * static_cast<int>(i), LineText(lines[i]));
  out += "</g>\n";
}

// One swatch per material in material-line order: its colour, its index,
// and its texture's name and state.
void AppendSwatches(std::string& out, const TPreviewCaption& caption) {
  const size_t shown = preview::SwatchesShown(caption);
  if (shown == 0) return;
  out += "<g font-family=\"sans-serif\" font-size=\"13\" fill=\"#202020\">\n";
  for (size_t k = 0; k < shown; ++k) {
    const int x = PanelLeft(k % kSwatchColumns);
    const int y = kCaptionBottom + static_cast<int>(k / kSwatchColumns) * kSwatchRow;
    out += "<rect x=\"";
    AppendNum(out, x);
    out += "\" y=\"";
    AppendNum(out, y);
    out += "\" width=\"14\" height=\"14\" stroke=\"#808080\" fill=\"";
    out.append(FillName(MaterialColour(caption, static_cast<int32_t>(k)), kLevels - 1).data(), 7);
    out += "\"/>\n";
    AppendText(out, x + 20, y + 12, LineText(preview::SwatchLine(caption.MaterialList[k], k)));
  }
  if (caption.MaterialList.size() > shown) {
    const size_t rows = (shown + kSwatchColumns - 1) / kSwatchColumns;
    AppendText(out, kMargin, kCaptionBottom + static_cast<int>(rows) * kSwatchRow + 12,
               preview::MoreSwatchesLine(caption));
  }
  out += "</g>\n";
}

// A remark in the middle of panel v, over what the panel shows.
void AppendNote(std::string& out, size_t v, std::string_view text) {
  out += "<text x=\"";
  AppendNum(out, PanelLeft(v) + kPanel / 2);
  out += "\" y=\"";
  AppendNum(out, kPanelTop + kPanel / 2);
  out += "\" text-anchor=\"middle\" font-family=\"sans-serif\" font-size=\"14\" fill=\"#202020\">";
  out += text;
  out += "</text>\n";
}

// Per view and triangle (view-major), the fill: the material's palette
// colour at the level of |normal . view direction| / |normal|. The normal
// is taken in picture space (centred and scaled), where its size is bounded.
std::vector<uint32_t> ShadeFills(std::span<const TPreviewPoint> points, const TTriList& tris, const TFit& fit,
                                 const TPreviewCaption& caption, TColours& colours) {
  const size_t n = static_cast<size_t>(tris.Count());
  std::vector<uint32_t> fills(3 * n);
  // A material's colour is looked up once however many triangles it has.
  std::unordered_map<int32_t, uint32_t> placeOf;
  size_t i = 0;
  for (const TTriRec& t : tris) {
    std::array<std::array<double, 3>, 3> p;
    for (size_t a = 0; a < 3; ++a) {
      p[0][a] = (static_cast<double>(points[t.A][a]) - fit.Centre[a]) * fit.Scale;
      p[1][a] = (static_cast<double>(points[t.B][a]) - fit.Centre[a]) * fit.Scale;
      p[2][a] = (static_cast<double>(points[t.C][a]) - fit.Centre[a]) * fit.Scale;
    }
    const std::array<double, 3> u = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    const std::array<double, 3> w = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    const std::array<double, 3> normal = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                                          u[0] * w[1] - u[1] * w[0]};
    const double length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
    auto found = placeOf.find(t.MatIndex);
    if (found == placeOf.end())
      found = placeOf.emplace(t.MatIndex, colours.PlaceOf(MaterialColour(caption, t.MatIndex))).first;
    const uint32_t base = found->second * kLevels;
    for (size_t v = 0; v < kViews.size(); ++v) {
      int level = 0;
      if (length > 0) {
        const double facing = std::fabs(normal[kViews[v].Facing]) / length;
        level = std::min(kLevels - 1, static_cast<int>(facing * kLevels));
      }
      fills[v * n + i] = base + static_cast<uint32_t>(level);
    }
    ++i;
  }
  return fills;
}

void AppendPanel(std::string& out, size_t v) {
  out += "<rect x=\"";
  AppendNum(out, PanelLeft(v));
  out += "\" y=\"";
  AppendNum(out, kPanelTop);
  out += "\" width=\"";
  AppendNum(out, kPanel);
  out += "\" height=\"";
  AppendNum(out, kPanel);
  out += "\" fill=\"#f4f4f4\" stroke=\"#c0c0c0\"/>\n";
}

// A triangle as one view draws it, in tenths, wound one way: the first
// corner, the second relative to the first, the third relative to the
// second (the steps of a relative line-to).
struct TFlat {
  int16_t X, Y, BX, BY, CX, CY;
  uint32_t Fill;
};

// The buffers of the views, sized once for the model and reused by each.
struct TViewWork {
  std::vector<TFlat> Flats;   // the triangles with area in this view, in list order
  std::vector<TFlat> Sorted;  // the same back to front
  std::vector<uint64_t> Keys, Scratch;
};

// One view's triangles, back to front; returns how many were drawn.
size_t AppendView(std::string& out, TBufStream* stream, size_t v, std::span<const TPreviewPoint> points,
                  const TTriList& tris, const TFit& fit, std::span<const std::array<int16_t, 3>> tenths,
                  std::span<const uint32_t> fills, const TColours& colours, TViewWork& work) {
  const TView& view = kViews[v];
  out += "<g transform=\"translate(";
  AppendNum(out, PanelLeft(v));
  out += ' ';
  AppendNum(out, kPanelTop);
  out += ") scale(0.1)\" stroke=\"#202020\" stroke-opacity=\"0.5\" stroke-width=\"3\"";
  out += " stroke-linejoin=\"round\">\n";

  // In list order, where neighbours share points: what the drawing needs,
  // gathered so that drawing in depth order touches one record a triangle.
  const size_t n = static_cast<size_t>(tris.Count());
  const size_t axis = view.Facing;
  const double centre = fit.Centre[axis];
  work.Flats.clear();
  work.Keys.clear();
  size_t i = 0;
  for (const TTriRec& t : tris) {
    const auto& a = tenths[t.A];
    const auto& b = tenths[t.B];
    const auto& c = tenths[t.C];
    const int32_t ax = a[view.Right], ay = a[view.Down];
    int32_t bx = b[view.Right] - ax, by = b[view.Down] - ay;
    int32_t cx = c[view.Right] - ax, cy = c[view.Down] - ay;
    const int32_t cross = bx * cy - by * cx;  // at most 2 * 3600^2
    const uint32_t fill = fills[v * n + i++];
    // Twice the area in square tenths: below 2 is below 0.01 square units.
    if (cross > -2 && cross < 2) continue;
    // One winding for all: overlapping triangles of one path then add up
    // under the nonzero fill rule instead of cutting holes in each other.
    if (cross < 0) {
      std::swap(bx, cx);
      std::swap(by, cy);
    }
    // The centroid's depth toward the viewer, centred but not scaled: the
    // order is the same, and it holds for a model without extent too.
    const double sum = (static_cast<double>(points[t.A][axis]) - centre) +
                       (static_cast<double>(points[t.B][axis]) - centre) +
                       (static_cast<double>(points[t.C][axis]) - centre);
    // +0.0f turns -0 into +0, so that equal depths tie.
    const float depth = static_cast<float>(view.FacingNeg ? -sum : sum) + 0.0f;
    work.Keys.push_back((uint64_t{OrderedBits(depth)} << 32) | work.Flats.size());
    work.Flats.push_back({static_cast<int16_t>(ax), static_cast<int16_t>(ay), static_cast<int16_t>(bx),
                          static_cast<int16_t>(by), static_cast<int16_t>(cx - bx),
                          static_cast<int16_t>(cy - by), fill});
  }
  SortByDepth(work.Keys, std::span(work.Scratch).first(work.Keys.size()));
  // Gathered in a loop of its own, the scattered reads overlap instead of
  // each stalling the text that depends on it.
  work.Sorted.clear();
  for (const uint64_t key : work.Keys) work.Sorted.push_back(work.Flats[static_cast<uint32_t>(key)]);

  TChunk chunk(out, stream);
  int64_t open = -1;  // the fill of the open path
  for (const TFlat& f : work.Sorted) {
    char* q = chunk.Room();
    if (f.Fill != open) {
      if (open >= 0) q = Put(q, "\"/>\n");
      q = Put(q, "<path fill=\"");
      q = std::copy_n(FillName(colours.Rgb[f.Fill / kLevels], static_cast<int>(f.Fill % kLevels)).data(), 7, q);
      q = Put(q, "\" d=\"");
      open = f.Fill;
    }
    // Relative steps: short numbers for the small triangles of big models,
    // and the sign of a negative one separates it from the number before.
    *q++ = 'M';
    q = PutTenths(q, f.X);
    *q++ = ' ';
    q = PutTenths(q, f.Y);
    *q++ = 'l';
    q = PutTenths(q, f.BX);
    for (const int32_t d : {f.BY, f.CX, f.CY}) {
      if (d >= 0) *q++ = ' ';
      q = PutTenths(q, d);
    }
    *q++ = 'z';
    chunk.Used(q);
  }
  chunk.Flush();
  if (open >= 0) out += "\"/>\n";
  out += "</g>\n";
  return work.Keys.size();
}

// The document after FitModel, appended to `out`; with a stream, all but
// what follows the last view goes on into it (see TChunk).
void Render(std::span<const TPreviewPoint> points, const TTriList& tris, const TPreviewCaption& caption,
            const TFit& fit, std::string& out, TBufStream* stream) {
  const size_t n = static_cast<size_t>(tris.Count());
  std::vector<std::array<int16_t, 3>> tenths(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t a = 0; a < 3; ++a) {
      const double d = (static_cast<double>(points[i][a]) - fit.Centre[a]) * fit.Scale;
      tenths[i][a] = Tenths(a == kDownY ? -d : d);
    }
  }
  TColours colours;
  const std::vector<uint32_t> fills = ShadeFills(points, tris, fit, caption, colours);
  TViewWork work;
  work.Flats.reserve(n);
  work.Sorted.reserve(n);
  work.Keys.reserve(n);
  work.Scratch.resize(n);

  // At most 60 bytes a triangle and view (a path of its own, four-digit
  // numbers) and about 4 KB for the rest: the text never moves while it
  // grows, and pages of the reserve that are not written cost nothing.
  if (!stream) out.reserve(out.size() + 4096 + 3 * 60 * n);
  AppendHead(out, PictureHeight(caption));
  AppendTexts(out, caption, fit, n == 0);
  AppendSwatches(out, caption);
  for (size_t v = 0; v < kViews.size(); ++v) {
    AppendPanel(out, v);
    const size_t drawn = AppendView(out, stream, v, points, tris, fit, tenths, fills, colours, work);
    if (n > 0 && drawn == 0) AppendNote(out, v, preview::kEdgeOnNote);
  }
  if (n == 0) AppendNote(out, 1, preview::kNoTrianglesNote);
  out += "</svg>\n";
}

}  // namespace

void RenderPreview(std::span<const TPreviewPoint> points, const TTriList& tris,
                   const TPreviewCaption& caption, std::string& out) {
  const TFit fit = FitModel(points, tris, kFitSpan);  // raises on a bad index before anything is written
  Render(points, tris, caption, fit, out, nullptr);
}

std::string WritePreviewFile(const TBodyLists& model, int32_t n, const std::string& lodName, int32_t parts,
                             std::vector<TPreviewMaterial> materials, const TBodOutput& out, bool texCoords) {
  std::vector<TPreviewPoint> points;
  points.reserve(static_cast<size_t>(model.VertList.Count()));
  const auto& f = out.ScaleFactor;
  for (const TVertRec& v : model.VertList)
    points.push_back({ScaledCoord(v.X, f[0]), ScaledCoord(v.Y, f[1]), ScaledCoord(v.Z, f[2])});
  TPreviewCaption caption;
  caption.InputNameUtf8 = plat::FileNameAsUtf8(out.InpFileTitle, caption.InputName);
  caption.BlockName = lodName;
  caption.MaterialList = std::move(materials);
  caption.Parts = parts;
  caption.Materials = model.MatrList.Count();
  caption.Vertices = model.VertList.Count();
  caption.Triangles = model.TriList.Count();
  caption.TexCoords = texCoords;
  const std::string name = out.BodBaseName + "_" + TwoDigits(n) + out.PreviewExt;
  if (IsPngPreview(out.PreviewExt)) {
    // Drawn whole first, so that a bad index raises before the file is
    // created; written like every output, complete or not at all.
    std::string png;
    RenderPreviewPng(points, model.TriList, caption, png);
    TOutputFile file(out.Guard, name, kPictureBufSize);
    WriteText(file.Stream(), png);
    file.Commit();
    return file.FinalName();
  }
  // A bad index raises before the file is created, as a picture drawn
  // whole first would.
  const TFit fit = FitModel(points, model.TriList, kFitSpan);

  // Like every output: complete under its final name or not there at all.
  // The drawing goes straight into the stream's large buffer.
  TOutputFile file(out.Guard, name, kPictureBufSize);
  std::string text;
  Render(points, model.TriList, caption, fit, text, &file.Stream());
  WriteText(file.Stream(), text);
  file.Commit();
  return file.FinalName();
}

}  // namespace bw
