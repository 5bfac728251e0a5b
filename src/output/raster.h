#pragma once
// A small rasteriser for the PNG preview picture: RGB images and the pixels
// a triangle covers, found the same way on every build.
//
// Vertices are snapped to a grid of kSub steps a pixel; a pixel is covered
// when its centre lies inside the triangle by the signs of three integer
// edge functions, and a centre exactly on an edge goes to the triangle that
// has the edge on its top or left side (the top-left rule). Two triangles
// that share an edge therefore cover each pixel along it once: no gaps, no
// pixel drawn twice. Everything here is integer arithmetic, so the covered
// pixels and their edge values are the same on every platform and compiler.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace bw {

// An image of Width x Height pixels, 3 bytes each (R, G, B), row by row
// from the top.
struct TRgbImage {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Rgb;

  TRgbImage(int32_t width, int32_t height, uint32_t rgb);
  void Set(int32_t x, int32_t y, uint32_t rgb) {
    uint8_t* p = &Rgb[(static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)) * 3];
    p[0] = static_cast<uint8_t>(rgb >> 16);
    p[1] = static_cast<uint8_t>(rgb >> 8);
    p[2] = static_cast<uint8_t>(rgb);
  }
  uint8_t* Row(int32_t y) { return &Rgb[static_cast<size_t>(y) * static_cast<size_t>(Width) * 3]; }
  const uint8_t* Row(int32_t y) const { return &Rgb[static_cast<size_t>(y) * static_cast<size_t>(Width) * 3]; }
  uint32_t At(int32_t x, int32_t y) const {
    const uint8_t* p = &Rgb[(static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)) * 3];
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  // The rectangle of w x h pixels at (x, y), cut to the image.
  void Fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb);
  // Its one-pixel outline, cut to the image.
  void Frame(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb);
};

// Sub-pixel steps a pixel: vertices are snapped to 1/16 of a pixel.
inline constexpr int32_t kSubBits = 4;
inline constexpr int32_t kSub = 1 << kSubBits;
// Snapped coordinates are held within this many steps of the origin, so
// that no edge function can overflow (products stay below 2^47), whatever
// the coordinates a caller snaps.
inline constexpr int32_t kSnapLimit = 1 << 22;

// A vertex on the sub-pixel grid: x to the right, y down, in steps.
struct TSnapped {
  int32_t X = 0, Y = 0;
};

// The nearest grid point to (x, y) pixels (halves rounded up), held within
// kSnapLimit (a coordinate that is not a number goes to its lower end).
inline TSnapped Snap(double x, double y) {
  auto snap = [](double v) {
    // Rounded half up by the truncation of a positive number; the limit is
    // applied first, where the value still fits an int32 whatever it was.
    const double steps = v * kSub + 0.5;
    if (!(steps > -kSnapLimit)) return -kSnapLimit;  // NaN too
    if (steps >= kSnapLimit) return kSnapLimit;
    const auto t = static_cast<int32_t>(steps + kSnapLimit) - kSnapLimit;
    return t;
  };
  return {snap(x), snap(y)};
}

// What ForEachSpan tells of a triangle with area: twice its area in square
// steps, and how each vertex's edge value changes a pixel to the right.
struct TCoverage {
  int64_t Area = 0;
  int64_t StepA = 0, StepB = 0, StepC = 0;
};

// Calls visit(cover, y, xFirst, xLast, wa, wb, wc) for every row of [0,
// height) in which the triangle a, b, c covers pixel centres of [0, width),
// from the top: it covers xFirst to xLast, each once, and wa, wb, wc are
// the edge values at xFirst that weigh the vertices a, b, c (each from 0 to
// cover.Area, summing to it), whichever way the triangle winds. A pixel
// further right adds cover.StepA, StepB and StepC to them. A triangle
// without area covers nothing.
//
// Each row's span is found from the edge functions by division, so that
// the visitor walks covered pixels only: a large triangle's rows need no
// test a pixel, and the pixels of its bounding box outside it cost nothing.
template <class Visit>
void ForEachSpan(TSnapped a, TSnapped b, TSnapped c, int32_t width, int32_t height, Visit&& visit) {
  // Pixel centres at (i + 1/2) pixels: kSub * i + kSub / 2 steps. The
  // bounding box first, cut to the panel: the small triangles of a large
  // model mostly cover no centre at all and stop here.
  const int32_t minX = std::min({a.X, b.X, c.X}), maxX = std::max({a.X, b.X, c.X});
  const int32_t minY = std::min({a.Y, b.Y, c.Y}), maxY = std::max({a.Y, b.Y, c.Y});
  auto firstCentre = [](int32_t lo) { return (lo - kSub / 2 + kSub - 1 + 2 * kSnapLimit) / kSub - 2 * kSnapLimit / kSub; };
  auto lastCentre = [](int32_t hi) { return (hi - kSub / 2 + 2 * kSnapLimit) / kSub - 2 * kSnapLimit / kSub; };
  const int32_t x0 = std::max(0, firstCentre(minX)), x1 = std::min(width - 1, lastCentre(maxX));
  const int32_t y0 = std::max(0, firstCentre(minY)), y1 = std::min(height - 1, lastCentre(maxY));
  if (x0 > x1 || y0 > y1) return;

  int64_t area = int64_t{b.X - a.X} * (c.Y - a.Y) - int64_t{b.Y - a.Y} * (c.X - a.X);
  if (area == 0) return;
  // One winding inside: b and c swapped for the other, their weights too.
  const bool swapped = area < 0;
  if (swapped) {
    std::swap(b, c);
    area = -area;
  }
  // Edge p->q at r: (q - p) x (r - p), positive inside. An edge owns the
  // centres on it when it is a left edge (it runs up the picture) or a top
  // edge (level, running right): the inside then lies right of or below it.
  struct TEdge {
    int64_t StepX, StepY, Row;
    int64_t Bias;  // 0 where the edge owns its centres, -1 where not
  };
  const int64_t cx0 = int64_t{x0} * kSub + kSub / 2, cy0 = int64_t{y0} * kSub + kSub / 2;
  auto edge = [&](TSnapped p, TSnapped q) {
    const int64_t dx = q.X - p.X, dy = q.Y - p.Y;
    const bool owns = dy < 0 || (dy == 0 && dx > 0);
    return TEdge{-dy * kSub, dx * kSub, dx * (cy0 - p.Y) - dy * (cx0 - p.X), owns ? 0 : -1};
  };
  TEdge ea = edge(b, c), eb = edge(c, a), ec = edge(a, b);  // each opposite its vertex
  const TCoverage cover = swapped ? TCoverage{area, ea.StepX, ec.StepX, eb.StepX}
                                  : TCoverage{area, ea.StepX, eb.StepX, ec.StepX};
  const int64_t last = x1 - x0;
  // Narrows [lo, hi] (pixels right of x0) to where edge e's value w + k *
  // StepX, plus its bias, is not negative.
  auto narrow = [](const TEdge& e, int64_t& lo, int64_t& hi) {
    const int64_t w = e.Row + e.Bias;
    if (e.StepX > 0) {
      if (w < 0) lo = std::max(lo, (-w + e.StepX - 1) / e.StepX);
    } else if (e.StepX < 0) {
      hi = w < 0 ? -1 : std::min(hi, w / -e.StepX);
    } else if (w < 0) {
      hi = -1;
    }
  };
  for (int32_t y = y0; y <= y1; ++y) {
    int64_t lo = 0, hi = last;
    narrow(ea, lo, hi);
    narrow(eb, lo, hi);
    narrow(ec, lo, hi);
    if (lo <= hi) {
      const int64_t wa = ea.Row + lo * ea.StepX, wb = eb.Row + lo * eb.StepX, wc = ec.Row + lo * ec.StepX;
      const auto xFirst = static_cast<int32_t>(x0 + lo), xLast = static_cast<int32_t>(x0 + hi);
      if (swapped)
        visit(cover, y, xFirst, xLast, wa, wc, wb);
      else
        visit(cover, y, xFirst, xLast, wa, wb, wc);
    }
    ea.Row += ea.StepY;
    eb.Row += eb.StepY;
    ec.Row += ec.StepY;
  }
}

// Calls visit(x, y, wa, wb, wc, area) for every pixel that ForEachSpan
// finds covered, row by row from the top, each row from the left, with the
// edge values at that pixel.
template <class Visit>
void ForEachCovered(TSnapped a, TSnapped b, TSnapped c, int32_t width, int32_t height, Visit&& visit) {
  ForEachSpan(a, b, c, width, height,
              [&](const TCoverage& cover, int32_t y, int32_t xFirst, int32_t xLast, int64_t wa, int64_t wb, int64_t wc) {
                for (int32_t x = xFirst; x <= xLast; ++x) {
                  visit(x, y, wa, wb, wc, cover.Area);
                  wa += cover.StepA;
                  wb += cover.StepB;
                  wc += cover.StepC;
                }
              });
}

}  // namespace bw
