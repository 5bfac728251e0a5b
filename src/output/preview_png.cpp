#include "output/preview_png.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <memory>
#include <vector>

#include "output/bitmap_font.h"
#include "output/preview_views.h"
#include "support/errors.h"
#include "support/number_text.h"
#include "support/text_helpers.h"

namespace bw {
namespace {

using preview::TFit;

// Picture layout in pixels.
constexpr int32_t kPanel = kPngPanel;
constexpr int32_t kViewCount = 4;
constexpr int32_t kInset = 6;   // room between the model and its panel's border
constexpr int32_t kMargin = 8;  // around the picture and between panels
constexpr int32_t kLine = 10;   // a line of text
constexpr int32_t kPanelTop = kMargin + 2 * kLine + 4;  // below two lines of label
constexpr int32_t kWidth = kMargin + kViewCount * (kPanel + kMargin);
constexpr int32_t kCaptionTop = kPanelTop + kPanel + 8;
constexpr int32_t kCaptionLine = 12;
constexpr int32_t kCaptionBottom = kCaptionTop + 3 * kCaptionLine + 4;
// Swatches in as many columns as their longest line lets the picture's
// width hold, so that a block of many materials with short names gets a
// short picture (each row of pixels costs the same to compress).
constexpr int32_t kSwatchRow = 14;
constexpr int32_t kSwatchSide = 12;  // with its frame
constexpr int32_t kSwatchTextGap = 6;  // between the swatch and its line
constexpr int32_t kSwatchColumnGap = 12;
constexpr double kFitSpan = kPanel - 2 * kInset;

constexpr uint32_t kPaper = 0xffffff, kPanelFill = 0xf4f4f4, kPanelFrame = 0xc0c0c0;
constexpr uint32_t kInk = 0x202020, kSwatchFrame = 0x808080;

// The compression, chosen by measurement: zlib's run-length strategy,
// which looks for nothing but runs of one byte, at a few instructions a
// byte, and the Up filter, which makes a run of zeros of every row that
// repeats the one above it: the paper, the panels, the large flat fills
// and the caption's blank rows. On the sample and on mostly empty panels
// that is a little less work and smaller than zlib's default strategy
// (which also looks for repeats further back); panels full of a texture
// that repeats cost the default strategy less, and a real texture repeats
// little.
constexpr int kZlibLevel = 1;
constexpr int kZlibStrategy = Z_RLE;
constexpr uint8_t kRowFilter = 2;  // Up: each byte less the one above it
// zlib's tables: runs need no hash of earlier strings, and a smaller
// table is cleared faster at each piece (below); a smaller one still
// would end a block, and build its codes anew, every few thousand bytes.
constexpr int kZlibMemLevel = 6;
constexpr int kZlibWindowBits = 15;
// The filtered rows go to zlib in pieces of at most this many bytes, each
// compressed by itself (a run reaches back one byte only, so little is
// lost): zlib keeps twice its window of input before it slides the window,
// and a piece less than that (less its lookahead of 262 bytes) never makes
// it slide. Sliding rewrites zlib's table of earlier positions, a step
// for every byte, and would cost more than the compressing.
constexpr size_t kPieceBytes = (size_t{2} << kZlibWindowBits) - 1024;

// The three-quarter view: turned 45 degrees about y from the front view
// toward the left, then tilted 30 degrees down toward the top, as fixed
// constants (sin 45 = cos 45 = s, sin 30 = 1/2, cos 30 = c).
constexpr double kS = 0.70710678118654752;  // s
constexpr double kC = 0.86602540378443865;  // c
constexpr double kHalfS = 0.35355339059327376;  // s / 2
constexpr double kCS = 0.61237243569579452;     // c s

// A view as unit vectors in model coordinates: the picture's right and down,
// and the direction toward the viewer.
struct TAxes {
  std::array<double, 3> Right, Down, Toward;
};

constexpr std::array<double, 3> Unit(size_t column) {
  // kDownY picks minus y: down the picture is down the model.
  std::array<double, 3> v{};
  v[column] = column == preview::kDownY ? -1 : 1;
  return v;
}

constexpr TAxes AxesOf(const preview::TView& view) {
  std::array<double, 3> toward{};
  toward[view.Facing] = view.FacingNeg ? -1 : 1;
  return {Unit(view.Right), Unit(view.Down), toward};
}

constexpr std::array<TAxes, kViewCount> kAxes = {
    AxesOf(preview::kViews[0]), AxesOf(preview::kViews[1]), AxesOf(preview::kViews[2]),
    TAxes{{kS, 0, kS}, {-kHalfS, -kC, kHalfS}, {-kCS, 0.5, kCS}}};
constexpr std::string_view kQuarterLabel = "3/4: from above, front and left";

double Dot(const std::array<double, 3>& p, const std::array<double, 3>& axis) {
  return p[0] * axis[0] + p[1] * axis[1] + p[2] * axis[2];
}

// Below 2^62 in magnitude; the largest integer not above x.
int64_t FloorInt(double x) {
  const auto t = static_cast<int64_t>(x);
  return static_cast<double>(t) > x ? t - 1 : t;
}

// A texture coordinate as the model BOD file holds it: six decimals (see
// TexCoordText), the common values rounded here the same way, the rest
// read back from their text.
double FileTexCoord(float value) {
  const float magnitude = value < 0 ? -value : value;
  if (magnitude < 100.0f) {
    const auto scaled = static_cast<uint64_t>(static_cast<double>(magnitude) * 1e6 + 0.5);
    const double written = static_cast<double>(scaled) / 1e6;
    return value < 0 ? -written : written;
  }
  char text[kTexTextMax];
  const size_t length = TexCoordText(value, text);
  double written = 0;
  std::from_chars(text, text + length, written);
  return written;
}

// How a triangle is filled: a texture, or a flat colour.
struct TPaint {
  const TTexels* Texels = nullptr;
  uint32_t Rgb = 0;
};

// A triangle's texture coordinates in texels, moved by whole repeats of the
// texture to start near zero and held within 2^30 texels, where their
// interpolation and flooring stay exact enough to wrap.
struct TTexCorners {
  std::array<double, 3> U{}, V{};
};

std::array<double, 3> Texelled(float a, float b, float c, int32_t size) {
  const double n = size;
  std::array<double, 3> t = {FileTexCoord(a) * n, FileTexCoord(b) * n, FileTexCoord(c) * n};
  const double lowest = std::min({t[0], t[1], t[2]}) / n;
  constexpr double kLimit = 1 << 30;
  const double shift = lowest > -kLimit && lowest < kLimit ? static_cast<double>(FloorInt(lowest)) * n : 0;
  for (double& x : t) {
    x -= shift;
    x = x < -kLimit ? -kLimit : (x > kLimit ? kLimit : x);
  }
  return t;
}

int32_t Wrap(int64_t i, int32_t size) {
  const int64_t r = i % size;
  return static_cast<int32_t>(r < 0 ? r + size : r);
}

// A channel's value at each shading level, looked up for each textured
// pixel rather than worked out.
using TShadeTable = std::array<std::array<uint8_t, 256>, preview::kLevels>;
constexpr TShadeTable MakeShadeTable() {
  TShadeTable table{};
  for (size_t level = 0; level < table.size(); ++level)
    for (uint32_t v = 0; v < 256; ++v)
      table[level][v] = static_cast<uint8_t>(v * static_cast<uint32_t>(preview::kShadePercent[level]) / 100);
  return table;
}
constexpr TShadeTable kShade = MakeShadeTable();

uint32_t Shaded(uint32_t rgb, int level) {
  const auto& shade = kShade[static_cast<size_t>(level)];
  return (uint32_t{shade[rgb >> 16 & 0xFF]} << 16) | (uint32_t{shade[rgb >> 8 & 0xFF]} << 8) | shade[rgb & 0xFF];
}

uint32_t TexelRgb(const TRgb& t) {
  return (uint32_t{t.R} << 16) | (uint32_t{t.G} << 8) | t.B;
}

bool Drawable(const TTexels* t) {
  return t && t->Width > 0 && t->Height > 0 &&
         t->Rgb.size() >= static_cast<size_t>(t->Width) * static_cast<size_t>(t->Height);
}

int32_t PanelLeft(int32_t view) {
  return kMargin + view * (kPanel + kMargin);
}

std::string ShownLine(const preview::TTextLine& line) {
  std::string text;
  for (const preview::TTextPiece& piece : line) {
    if (piece.Form == preview::TTextPiece::Plain)
      text += piece.Text;
    else
      AppendShown(text, piece.Text);
  }
  return text;
}

class TPicture {
 public:
  TPicture(std::span<const TPreviewPoint> points, const TTriList& tris, const TPreviewCaption& caption)
      : FPoints(points), FTris(tris), FCaption(caption), FFit(preview::FitModel(points, tris, kFitSpan)),
        FSwatchLines(SwatchLines(caption)), FSwatchColumns(SwatchColumns(FSwatchLines)),
        FImage(kWidth, Height(caption, FSwatchLines.size(), FSwatchColumns), kPaper) {}

  const TRgbImage& Draw() {
    const size_t n = static_cast<size_t>(FTris.Count());
    Paints();
    FTex.resize(n);
    FTexReady.assign(n, 0);
    if (n > 0) Centre();
    for (int32_t v = 0; v < kViewCount; ++v) {
      FImage.Fill(PanelLeft(v), kPanelTop, kPanel, kPanel, kPanelFill);
      FImage.Frame(PanelLeft(v), kPanelTop, kPanel, kPanel, kPanelFrame);
      if (n > 0 && !DrawView(v)) Note(v, preview::kEdgeOnNote);
    }
    if (n == 0) Note(1, preview::kNoTrianglesNote);
    Texts();
    Swatches();
    return FImage;
  }

 private:
  static std::vector<std::string> SwatchLines(const TPreviewCaption& caption) {
    std::vector<std::string> lines;
    const size_t shown = preview::SwatchesShown(caption);
    for (size_t k = 0; k < shown; ++k) lines.push_back(ShownLine(preview::SwatchLine(caption.MaterialList[k], k)));
    return lines;
  }

  // As many columns as fit the longest line, and no more than there are
  // swatches: every column is as wide as the longest.
  static int32_t ColumnWidth(const std::vector<std::string>& lines) {
    size_t longest = 0;
    for (const std::string& line : lines) longest = std::max(longest, line.size());
    return kSwatchSide + kSwatchTextGap + static_cast<int32_t>(longest) * kGlyphAdvance + kSwatchColumnGap;
  }
  static int32_t SwatchColumns(const std::vector<std::string>& lines) {
    if (lines.empty()) return 1;
    const int32_t fit = (kWidth - 2 * kMargin + kSwatchColumnGap) / ColumnWidth(lines);
    return std::clamp(fit, int32_t{1}, static_cast<int32_t>(lines.size()));
  }

  static int32_t Height(const TPreviewCaption& caption, size_t shown, int32_t columns) {
    if (shown == 0) return kCaptionBottom + kMargin;
    const size_t rows = (shown + static_cast<size_t>(columns) - 1) / static_cast<size_t>(columns) +
                        (caption.MaterialList.size() > shown ? 1 : 0);
    return kCaptionBottom + static_cast<int32_t>(rows) * kSwatchRow + kMargin;
  }

  // Each point relative to the fitted box's centre, worked out once for
  // the four views.
  void Centre() {
    FCentred.resize(FPoints.size());
    for (size_t i = 0; i < FPoints.size(); ++i) {
      const TPreviewPoint& p = FPoints[i];
      FCentred[i] = {static_cast<double>(p[0]) - FFit.Centre[0], static_cast<double>(p[1]) - FFit.Centre[1],
                     static_cast<double>(p[2]) - FFit.Centre[2]};
    }
  }

  // The shading level of triangle t in view v: the largest k of 0 to 3 with
  // k / 4 <= |n . toward| / |n|, compared squared so that no root is taken.
  // Asked only of triangles that cover a pixel: most of a large model's
  // small triangles cover none.
  int Level(const TTriRec& t, int32_t v) const {
    const auto &a = FCentred[t.A], &b = FCentred[t.B], &c = FCentred[t.C];
    const std::array<double, 3> u = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const std::array<double, 3> w = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const std::array<double, 3> normal = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                                          u[0] * w[1] - u[1] * w[0]};
    const double square = Dot(normal, normal);
    const double facing = Dot(normal, kAxes[static_cast<size_t>(v)].Toward);
    const double facing16 = 16 * (facing * facing);
    int level = 0;
    while (level < preview::kLevels - 1 && square > 0 &&
           facing16 >= static_cast<double>((level + 1) * (level + 1)) * square)
      ++level;
    return level;
  }

  TPaint PaintOf(int32_t matIndex) const {
    TPaint paint{nullptr, preview::MaterialColour(FCaption, matIndex)};
    if (FCaption.TexCoords && matIndex >= 0 && static_cast<size_t>(matIndex) < FCaption.MaterialList.size()) {
      const TTexels* t = FCaption.MaterialList[static_cast<size_t>(matIndex)].Texels;
      if (Drawable(t)) paint.Texels = t;
    }
    return paint;
  }

  // The paints of the listed materials, looked up once each.
  void Paints() {
    FPaints.clear();
    for (size_t k = 0; k < FCaption.MaterialList.size(); ++k) FPaints.push_back(PaintOf(static_cast<int32_t>(k)));
  }

  TPaint TriPaint(const TTriRec& t) const {
    if (t.MatIndex >= 0 && static_cast<size_t>(t.MatIndex) < FPaints.size()) return FPaints[static_cast<size_t>(t.MatIndex)];
    return PaintOf(t.MatIndex);
  }

  // Made when a triangle first covers a pixel of a textured view; kept for
  // the other views.
  const TTexCorners& TexOf(size_t i, const TTriRec& t, const TTexels& texels) {
    if (!FTexReady[i]) {
      FTex[i].U = Texelled(t.UA, t.UB, t.UC, texels.Width);
      FTex[i].V = Texelled(t.VA, t.VB, t.VC, texels.Height);
      FTexReady[i] = 1;
    }
    return FTex[i];
  }

  // Where each point falls in view v, and its depth toward the viewer.
  void Project(int32_t v) {
    const TAxes& axes = kAxes[static_cast<size_t>(v)];
    double scale = FFit.Scale, midRight = 0, midDown = 0;
    if (v == kViewCount - 1) {
      // Its own fit: the extent of the used points as this view sees them.
      FUsed.assign(FPoints.size(), 0);
      for (const TTriRec& t : FTris) FUsed[t.A] = FUsed[t.B] = FUsed[t.C] = 1;
      double lo[2] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
      double hi[2] = {std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
      for (size_t i = 0; i < FPoints.size(); ++i) {
        if (!FUsed[i]) continue;
        const double r = Dot(FCentred[i], axes.Right), d = Dot(FCentred[i], axes.Down);
        lo[0] = std::min(lo[0], r);
        hi[0] = std::max(hi[0], r);
        lo[1] = std::min(lo[1], d);
        hi[1] = std::max(hi[1], d);
      }
      const double largest = std::max(hi[0] - lo[0], hi[1] - lo[1]);
      scale = largest > 0 ? kFitSpan / largest : 0;
      midRight = lo[0] / 2 + hi[0] / 2;
      midDown = lo[1] / 2 + hi[1] / 2;
    }
    FSnapped.resize(FPoints.size());
    FZ.resize(FPoints.size());
    constexpr double kMiddle = kPanel / 2.0;
    for (size_t i = 0; i < FPoints.size(); ++i) {
      const auto& p = FCentred[i];
      FSnapped[i] = Snap(kMiddle + (Dot(p, axes.Right) - midRight) * scale,
                         kMiddle + (Dot(p, axes.Down) - midDown) * scale);
      FZ[i] = Dot(p, axes.Toward);
    }
  }

  // Draws view v; false when no triangle has area in it.
  bool DrawView(int32_t v) {
    Project(v);
    FDepth.assign(static_cast<size_t>(kPanel) * kPanel, std::numeric_limits<double>::lowest());
    const int32_t left = PanelLeft(v);
    bool anyArea = false;
    size_t i = 0;
    for (const TTriRec& t : FTris) {
      const size_t tri = i++;
      const TSnapped a = FSnapped[t.A], b = FSnapped[t.B], c = FSnapped[t.C];
      if (!anyArea)
        anyArea = int64_t{b.X - a.X} * (c.Y - a.Y) != int64_t{b.Y - a.Y} * (c.X - a.X);
      // What the fill needs, found at the first row covered: depth, and
      // the texture coordinates, are planes over the triangle, worked out
      // exactly from the edge values at each row's first pixel and stepped
      // along the row by adding their change a pixel.
      const double za = FZ[t.A], zb = FZ[t.B], zc = FZ[t.C];
      double inverse = 0, dz = 0, du = 0, dv = 0;
      const TTexels* texels = nullptr;
      const TTexCorners* tex = nullptr;
      const TShadeTable::value_type* shade = nullptr;
      uint32_t flat = 0;
      ForEachSpan(a, b, c, kPanel, kPanel, [&](const TCoverage& cover, int32_t y, int32_t xFirst, int32_t xLast,
                                              int64_t wa, int64_t wb, int64_t wc) {
        const double sa = static_cast<double>(cover.StepA), sb = static_cast<double>(cover.StepB),
                     sc = static_cast<double>(cover.StepC);
        if (inverse == 0) {
          inverse = 1.0 / static_cast<double>(cover.Area);
          const int level = Level(t, v);
          const TPaint paint = TriPaint(t);
          flat = Shaded(paint.Rgb, level);
          dz = (sa * za + sb * zb + sc * zc) * inverse;
          if (paint.Texels) {
            texels = paint.Texels;
            tex = &TexOf(tri, t, *texels);
            shade = &kShade[static_cast<size_t>(level)];
            du = (sa * tex->U[0] + sb * tex->U[1] + sc * tex->U[2]) * inverse;
            dv = (sa * tex->V[0] + sb * tex->V[1] + sc * tex->V[2]) * inverse;
          }
        }
        const double da = static_cast<double>(wa), db = static_cast<double>(wb), dc = static_cast<double>(wc);
        double z = (da * za + db * zb + dc * zc) * inverse;
        double* depth = &FDepth[static_cast<size_t>(y) * kPanel];
        uint8_t* row = FImage.Row(kPanelTop + y) + static_cast<size_t>(left) * 3;
        if (!tex) {
          const auto r = static_cast<uint8_t>(flat >> 16), g = static_cast<uint8_t>(flat >> 8),
                     bl = static_cast<uint8_t>(flat);
          for (int32_t x = xFirst; x <= xLast; ++x, z += dz) {
            if (!(z > depth[x])) continue;
            depth[x] = z;
            uint8_t* p = row + static_cast<size_t>(x) * 3;
            p[0] = r;
            p[1] = g;
            p[2] = bl;
          }
          return;
        }
        double u = (da * tex->U[0] + db * tex->U[1] + dc * tex->U[2]) * inverse;
        double w = (da * tex->V[0] + db * tex->V[1] + dc * tex->V[2]) * inverse;
        for (int32_t x = xFirst; x <= xLast; ++x, z += dz, u += du, w += dv) {
          // Behind what is drawn: no texel is looked up.
          if (!(z > depth[x])) continue;
          depth[x] = z;
          int64_t tu = FloorInt(u), tv = FloorInt(w);
          if (tu < 0 || tu >= texels->Width) tu = Wrap(tu, texels->Width);
          if (tv < 0 || tv >= texels->Height) tv = Wrap(tv, texels->Height);
          const TRgb& texel = texels->At(static_cast<int32_t>(tu), static_cast<int32_t>(tv));
          uint8_t* p = row + static_cast<size_t>(x) * 3;
          p[0] = (*shade)[texel.R];
          p[1] = (*shade)[texel.G];
          p[2] = (*shade)[texel.B];
        }
      });
    }
    return anyArea;
  }

  // A remark in the middle of panel v, over what the panel shows, broken
  // between words into lines that the panel holds.
  void Note(int32_t v, std::string_view text) {
    constexpr size_t kFits = (kPanel - 2 * kInset) / kGlyphAdvance;
    std::vector<std::string_view> lines;
    while (text.size() > kFits) {
      const size_t space = text.rfind(' ', kFits);
      if (space == text.npos || space == 0) break;
      lines.push_back(text.substr(0, space));
      text = text.substr(space + 1);
    }
    lines.push_back(text);
    const auto count = static_cast<int32_t>(lines.size());
    const int32_t top = kPanelTop + (kPanel - kGlyphHeight - (count - 1) * kLine) / 2;
    for (int32_t i = 0; i < count; ++i) {
      const auto width = static_cast<int32_t>(lines[static_cast<size_t>(i)].size()) * kGlyphAdvance;
      DrawText(FImage, PanelLeft(v) + (kPanel - width) / 2, top + i * kLine, lines[static_cast<size_t>(i)], kInk);
    }
  }

  void Texts() {
    // Each label over its panel in two lines, split after its first comma:
    // where the view looks from, then its axes.
    for (int32_t v = 0; v < kViewCount; ++v) {
      const std::string_view label = v < 3 ? preview::kViews[static_cast<size_t>(v)].Label : kQuarterLabel;
      const size_t comma = label.find(", ");
      DrawText(FImage, PanelLeft(v), kMargin, label.substr(0, comma), kInk);
      if (comma != label.npos) DrawText(FImage, PanelLeft(v), kMargin + kLine, label.substr(comma + 2), kInk);
    }
    const auto lines = preview::CaptionLines(FCaption, FFit, FTris.Count() == 0);
    for (size_t i = 0; i < lines.size(); ++i)
      DrawText(FImage, kMargin, kCaptionTop + static_cast<int32_t>(i) * kCaptionLine, ShownLine(lines[i]), kInk);
  }

  void Swatches() {
    const size_t shown = FSwatchLines.size();
    const auto columns = static_cast<size_t>(FSwatchColumns);
    const int32_t columnWidth = ColumnWidth(FSwatchLines);
    for (size_t k = 0; k < shown; ++k) {
      const int32_t x = kMargin + static_cast<int32_t>(k % columns) * columnWidth;
      const int32_t y = kCaptionBottom + static_cast<int32_t>(k / columns) * kSwatchRow;
      FImage.Frame(x, y, kSwatchSide, kSwatchSide, kSwatchFrame);
      const TPaint paint = FPaints[k];
      constexpr int32_t kInner = kSwatchSide - 2;
      for (int32_t j = 0; j < kInner; ++j) {
        for (int32_t i = 0; i < kInner; ++i) {
          uint32_t rgb = paint.Rgb;
          if (paint.Texels)
            rgb = TexelRgb(paint.Texels->At(i * paint.Texels->Width / kInner, j * paint.Texels->Height / kInner));
          FImage.Set(x + 1 + i, y + 1 + j, rgb);
        }
      }
      DrawText(FImage, x + kSwatchSide + kSwatchTextGap, y + (kSwatchSide - kGlyphHeight) / 2, FSwatchLines[k], kInk);
    }
    if (FCaption.MaterialList.size() > shown) {
      const auto rows = static_cast<int32_t>((shown + columns - 1) / columns);
      DrawText(FImage, kMargin, kCaptionBottom + rows * kSwatchRow + 3, preview::MoreSwatchesLine(FCaption), kInk);
    }
  }

  std::span<const TPreviewPoint> FPoints;
  const TTriList& FTris;
  const TPreviewCaption& FCaption;
  TFit FFit;
  std::vector<std::string> FSwatchLines;
  int32_t FSwatchColumns;
  TRgbImage FImage;
  std::vector<TPaint> FPaints;
  std::vector<TTexCorners> FTex;
  std::vector<uint8_t> FTexReady;
  std::vector<std::array<double, 3>> FCentred;
  std::vector<uint8_t> FUsed;
  std::vector<TSnapped> FSnapped;
  std::vector<double> FZ;
  std::vector<double> FDepth;
};

void PutBig32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift & 0xFF);
}

void PutChunk(std::string& out, const char (&type)[5], const uint8_t* data, size_t size) {
  PutBig32(out, static_cast<uint32_t>(size));
  const size_t start = out.size();
  out.append(type, 4);
  if (size > 0) out.append(reinterpret_cast<const char*>(data), size);
  const auto* typed = reinterpret_cast<const Bytef*>(out.data() + start);
  PutBig32(out, static_cast<uint32_t>(crc32(0, typed, static_cast<uInt>(size + 4))));
}

}  // namespace

bool IsPngPreview(std::string_view ext) {
  return LowerCase(ext) == ".png";
}

void EncodePng(const TRgbImage& image, std::string& out) {
  const size_t start = out.size();  // given back as it was when zlib fails
  static constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.append(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
  std::array<uint8_t, 13> header{};
  for (int k = 0; k < 4; ++k) {
    header[static_cast<size_t>(k)] = static_cast<uint8_t>(static_cast<uint32_t>(image.Width) >> (24 - 8 * k));
    header[static_cast<size_t>(4 + k)] = static_cast<uint8_t>(static_cast<uint32_t>(image.Height) >> (24 - 8 * k));
  }
  header[8] = 8;  // bits a channel
  header[9] = 2;  // RGB; compression, filter method and interlace 0
  PutChunk(out, "IHDR", header.data(), header.size());

  // The image data chunk: its length is written once zlib has finished.
  const size_t lengthAt = out.size();
  PutBig32(out, 0);
  out += "IDAT";

  // One zlib stream: its two-byte header (deflate, a window of 2^15 bytes,
  // zlib's fastest level, as zlib writes them), the pieces deflated raw by
  // zlib, each but the last ended at a byte boundary by a sync flush so
  // that the next follows it in the same stream, and the Adler-32 of all
  // the filtered bytes, by zlib.
  z_stream zs{};
  if (deflateInit2(&zs, kZlibLevel, Z_DEFLATED, -kZlibWindowBits, kZlibMemLevel, kZlibStrategy) != Z_OK) {
    out.resize(start);
    RaiseRange("preview: zlib cannot start");
  }
  out += '\x78';
  out += '\x01';
  const size_t rowBytes = static_cast<size_t>(image.Width) * 3;
  const size_t pieceRows = std::max<size_t>(1, kPieceBytes / (rowBytes + 1));
  // Not cleared: every byte is written before zlib reads it.
  const std::unique_ptr<uint8_t[]> filtered(new uint8_t[(rowBytes + 1) * pieceRows]);
  std::array<uint8_t, 16384> packed;
  uLong adler = adler32(0, nullptr, 0);
  int result = Z_OK;
  for (int32_t y = 0; y < image.Height && result == Z_OK;) {
    const int32_t rows = static_cast<int32_t>(std::min<size_t>(pieceRows, static_cast<size_t>(image.Height - y)));
    uint8_t* q = filtered.get();
    for (int32_t r = 0; r < rows; ++r, ++y) {
      const uint8_t* row = image.Row(y);
      *q++ = kRowFilter;
      // The first row as it is, then each byte less the one above it: a
      // loop without a branch, which the compiler runs many bytes a step.
      if (y == 0) {
        std::copy_n(row, rowBytes, q);
      } else {
        const uint8_t* above = image.Row(y - 1);
        for (size_t i = 0; i < rowBytes; ++i) q[i] = static_cast<uint8_t>(row[i] - above[i]);
      }
      q += rowBytes;
    }
    const auto size = static_cast<uInt>(q - filtered.get());
    adler = adler32(adler, filtered.get(), size);
    if (y > rows) result = deflateReset(&zs);
    zs.next_in = filtered.get();
    zs.avail_in = size;
    const bool last = y == image.Height;
    do {
      zs.next_out = packed.data();
      zs.avail_out = static_cast<uInt>(packed.size());
      if (result == Z_OK) result = deflate(&zs, last ? Z_FINISH : Z_SYNC_FLUSH);
      out.append(reinterpret_cast<const char*>(packed.data()), packed.size() - zs.avail_out);
    } while (result == Z_OK && zs.avail_out == 0);
  }
  deflateEnd(&zs);
  if (result != Z_STREAM_END) {
    out.resize(start);
    RaiseRange("preview: zlib did not finish");
  }
  PutBig32(out, static_cast<uint32_t>(adler));

  const size_t length = out.size() - lengthAt - 8;
  for (int k = 0; k < 4; ++k)
    out[lengthAt + static_cast<size_t>(k)] = static_cast<char>(static_cast<uint32_t>(length) >> (24 - 8 * k));
  const auto* typed = reinterpret_cast<const Bytef*>(out.data() + lengthAt + 4);
  PutBig32(out, static_cast<uint32_t>(crc32(0, typed, static_cast<uInt>(length + 4))));
  PutChunk(out, "IEND", nullptr, 0);
}

void RenderPreviewPng(std::span<const TPreviewPoint> points, const TTriList& tris,
                      const TPreviewCaption& caption, std::string& out) {
  TPicture picture(points, tris, caption);  // raises on a bad index before anything is drawn
  EncodePng(picture.Draw(), out);
}

}  // namespace bw
