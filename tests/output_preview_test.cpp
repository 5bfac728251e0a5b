#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "output/preview_svg.h"
#include "support/errors.h"
#include "test_support.h"

using namespace bw;

namespace {

struct TModel {
  std::vector<TPreviewPoint> Points;
  TTriList Tris;
  void Tri(int a, int b, int c, int32_t mat) {
    TTriRec t;
    t.A = static_cast<uint16_t>(a);
    t.B = static_cast<uint16_t>(b);
    t.C = static_cast<uint16_t>(c);
    t.MatIndex = mat;
    Tris.Add(t);
  }
};

// Keeps a picture in the build folder, where CI opens every one of them
// with a real SVG renderer and an XML checker.
void KeepPicture(const std::string& name, const std::string& svg) {
  bwtest::fs::create_directories(BODWRIGHT_PICTURE_DIR);
  bwtest::WriteFileText(std::string(BODWRIGHT_PICTURE_DIR) + "/" + name, svg);
}

std::string Render(const TModel& m, const TPreviewCaption& caption = {}) {
  std::string out;
  RenderPreview(m.Points, m.Tris, caption, out);
  return out;
}

// A box (material 0) with a pyramid (material 1) on it; the faces wind
// both ways as seen from any side.
TModel BoxAndPyramid() {
  TModel m;
  for (int i = 0; i < 8; ++i) m.Points.push_back({(i & 1) ? 400 : 0, (i & 2) ? 200 : 0, (i & 4) ? 300 : 0});
  for (const auto& f :
       {std::array{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}}) {
    m.Tri(f[0], f[1], f[2], 0);
    m.Tri(f[0], f[2], f[3], 0);
  }
  for (const TPreviewPoint& p :
       {TPreviewPoint{100, 200, 50}, {300, 200, 50}, {300, 200, 250}, {100, 200, 250}, {200, 450, 150}})
    m.Points.push_back(p);
  for (int i = 0; i < 4; ++i) m.Tri(8 + i, 8 + (i + 1) % 4, 12, 1);
  return m;
}

// The first way `doc` falls short of a well-formed XML document in printable
// ASCII, or "" when it does not.
std::string XmlFault(const std::string& doc) {
  const std::string prolog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  if (doc.compare(0, prolog.size(), prolog) != 0) return "no prolog";
  static const std::regex ref(R"(&(amp|lt|gt|quot|apos|#([0-9]{1,7}));)");
  std::vector<std::string> open;
  int roots = 0;
  for (size_t i = prolog.size(); i < doc.size();) {
    const auto c = static_cast<unsigned char>(doc[i]);
    const std::string at = " at " + std::to_string(i);
    if (c >= 0x7F || (c < 0x20 && c != '\n') || c == '>') return "byte " + std::to_string(c) + at;
    std::smatch m;
    if (c == '&') {
      if (!std::regex_search(doc.cbegin() + static_cast<ptrdiff_t>(i), doc.cend(), m, ref,
                             std::regex_constants::match_continuous))
        return "bad reference" + at;
      const long code = m[2].matched ? std::stol(m[2].str()) : 0x20;
      if (code < 0x20 || (code >= 0xD800 && code < 0xE000) || code == 0xFFFE || code == 0xFFFF ||
          code > 0x10FFFF)
        return "reference to a character XML does not allow" + at;
      i += static_cast<size_t>(m.length());
    } else if (c != '<') {
      if (open.empty() && c != '\n') return "text outside the root" + at;
      ++i;
    } else {
      const size_t end = doc.find('>', i);
      if (end == doc.npos) return "unclosed tag" + at;
      const std::string tag = doc.substr(i + 1, end - i - 1);
      i = end + 1;
      if (tag.starts_with("/")) {
        if (open.empty() || open.back() != tag.substr(1)) return "mismatched <" + tag + ">" + at;
        open.pop_back();
        continue;
      }
      // A name, then name="value" pairs after blanks, maybe a final "/".
      size_t k = std::min(tag.find_first_not_of("abcdefghijklmnopqrstuvwxyz"), tag.size());
      const std::string name = tag.substr(0, k);
      while (k < tag.size() && tag[k] == ' ') {
        const size_t eq = tag.find("=\"", k), close = tag.find('"', eq + 2);
        if (eq == tag.npos || close == tag.npos || eq == k + 1 ||
            tag.find_first_not_of("abcdefghijklmnopqrstuvwxyzB-", k + 1) != eq ||
            tag.find_first_of("<&", eq) < close)
          return "bad attribute in <" + tag + ">" + at;
        k = close + 1;
      }
      const bool empty = tag.substr(k) == "/";
      if (name.empty() || (k < tag.size() && !empty)) return "bad tag <" + tag + ">" + at;
      if (open.empty() && ++roots > 1) return "second root" + at;
      if (!empty) open.push_back(name);
    }
  }
  return open.empty() && roots == 1 ? "" : "unclosed element";
}

// The fills of each view's paths, in drawing order.
std::vector<std::vector<std::string>> ViewFills(const std::string& svg) {
  std::vector<std::vector<std::string>> views;
  static const std::regex fill(R"re(<path fill="(#[0-9a-f]{6})")re");
  for (size_t at = svg.find("<g transform="); at != svg.npos; at = svg.find("<g transform=", at + 1)) {
    const std::string group = svg.substr(at, svg.find("</g>", at) - at);
    views.emplace_back();
    for (std::sregex_iterator m(group.begin(), group.end(), fill), end; m != end; ++m)
      views.back().push_back((*m)[1].str());
  }
  return views;
}

// Checks every path's outline, triangles "Mx ylbx by cx cyz" (B relative
// to A, C to B), and returns how many triangles they hold.
int CheckOutlines(const std::string& svg) {
  static const std::regex triangle(R"re(M(\d+) (\d+)l(-?\d+)( \d+|-\d+)( \d+|-\d+)( \d+|-\d+)z)re");
  int count = 0;
  for (size_t at = svg.find(" d=\""); at != svg.npos; at = svg.find(" d=\"", at + 1)) {
    const std::string outline = svg.substr(at + 4, svg.find('"', at + 4) - at - 4);
    size_t covered = 0;
    for (std::sregex_iterator t(outline.begin(), outline.end(), triangle), end; t != end; ++t) {
      EXPECT_EQ(static_cast<size_t>(t->position()), covered) << outline;
      covered += static_cast<size_t>(t->length());
      std::array<long, 6> v;
      for (size_t k = 0; k < 6; ++k) v[k] = std::stol((*t)[k + 1].str());
      for (const long w : {v[0], v[1], v[0] + v[2], v[1] + v[3], v[0] + v[2] + v[4], v[1] + v[3] + v[5]}) {
        EXPECT_GE(w, 0) << t->str();
        EXPECT_LE(w, 3600) << t->str();
      }
      // One winding and at least 0.01 square units (2 in doubled tenths).
      EXPECT_GE(v[2] * v[5] - v[3] * v[4], 2) << t->str();
      ++count;
    }
    EXPECT_EQ(covered, outline.size()) << outline;
  }
  return count;
}

}  // namespace

TEST(RenderPreview, PlainWellFormedSvgDrawnAlikeEveryTime) {
  const TModel m = BoxAndPyramid();
  const TPreviewCaption caption{"ship.cmp", "Root", 2, 2, 13, 16, false, true, {}};
  const std::string svg = Render(m, caption);
  KeepPicture("box_and_pyramid.svg", svg);
  EXPECT_EQ(XmlFault(svg), "");
  EXPECT_NE(
      svg.find("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"1160\" height=\"496\" "
               "viewBox=\"0 0 1160 496\">"),
      std::string::npos);
  for (const char* banned : {"script", "href", "url(", "style", "e+", "E"})
    EXPECT_EQ(svg.find(banned), svg.npos);
  EXPECT_NE(svg.find(">file ship.cmp</text>\n<text x=\"20\" y=\"454\">block Root</text>"), svg.npos);
  EXPECT_NE(svg.find(">parts 2, materials 2, vertices 13, triangles 16; size x 400, y 450, z 300</text>"),
            svg.npos);
  // Per view, no back faces culled: the box's near and far sides (two
  // triangles each), and the pyramid's four faces from above and two from
  // either side (the other two are edge-on).
  EXPECT_EQ(CheckOutlines(svg), (4 + 4) + (4 + 2) + (4 + 2));

  // The caller's text is kept; the rest is the same bytes again.
  std::string again = "kept";
  RenderPreview(m.Points, m.Tris, caption, again);
  EXPECT_EQ(again, "kept" + svg);
}

TEST(RenderPreview, BackToFrontInOneColourPerMaterialInEveryView) {
  // Two triangles facing (1, 1, 1), so lit alike in every view (level 2 of
  // 0..3): material 1 in front of material 0 from every side (higher y,
  // lower x, higher z), and listed first.
  TModel m;
  for (const int s : {1, -1}) {
    const int b = static_cast<int>(m.Points.size());
    for (const TPreviewPoint& d : {TPreviewPoint{2, -1, -1}, {-1, 2, -1}, {-1, -1, 2}})
      m.Points.push_back({-10 * s + 5 * d[0], 10 * s + 5 * d[1], 10 * s + 5 * d[2]});
    m.Tri(b, b + 1, b + 2, s > 0 ? 1 : 0);
  }
  const std::vector<std::string> backToFront = {"#42668d", "#cd7824"};  // 85 % of 4e79a7, f28e2b
  const std::string svg = Render(m);
  EXPECT_EQ(ViewFills(svg), (std::vector(3, backToFront)));

  // The palette wraps around, negative indices too.
  TModel wrapped = m;
  for (TTriRec& t : wrapped.Tris) t.MatIndex = t.MatIndex == 0 ? 12 : -11;
  EXPECT_EQ(Render(wrapped), svg);

  // Equal depths: list order.
  m.Tris[0] = m.Tris[1];
  m.Tris[1].MatIndex = 1;
  EXPECT_EQ(ViewFills(Render(m)), (std::vector(3, backToFront)));
  std::swap(m.Tris[0], m.Tris[1]);
  EXPECT_EQ(ViewFills(Render(m)), (std::vector(3, std::vector<std::string>{"#cd7824", "#42668d"})));
}

TEST(RenderPreview, EmptyAndDegenerateModelsStillGetAPicture) {
  TModel empty;
  empty.Points = {{1, 2, 3}};
  std::string svg = Render(empty);
  KeepPicture("empty.svg", svg);
  EXPECT_EQ(XmlFault(svg), "");
  const size_t message = svg.find(">no triangles in this block</text>");
  EXPECT_NE(message, svg.npos);
  EXPECT_GT(message, svg.rfind("<rect"));  // over the panels, not under them
  EXPECT_EQ(svg.find("<path"), svg.npos);

  // One point, or all points equal: nothing has area from any side.
  TModel dot;
  dot.Points = {{7, 7, 7}, {7, 7, 7}};
  dot.Tri(0, 0, 0, 0);
  dot.Tri(0, 1, 1, 0);
  svg = Render(dot);
  EXPECT_EQ(XmlFault(svg), "");
  EXPECT_EQ(ViewFills(svg), (std::vector<std::vector<std::string>>(3)));

  // Flat on the ground: only the top view has something to fill.
  TModel flat;
  flat.Points = {{0, 5, 0}, {10, 5, 0}, {0, 5, 10}};
  flat.Tri(0, 1, 2, 0);
  svg = Render(flat);
  KeepPicture("flat.svg", svg);
  const auto views = ViewFills(svg);
  EXPECT_EQ(views, (std::vector<std::vector<std::string>>{{views[0][0]}, {}, {}}));
  const size_t note = svg.find(">edge-on: no area from this side<");
  EXPECT_NE(note, svg.npos);
  EXPECT_NE(svg.find(">edge-on: no area from this side<", note + 1), svg.npos);

  // The int64 range's ends: the arithmetic runs in double.
  constexpr int64_t lo = std::numeric_limits<int64_t>::min(), hi = std::numeric_limits<int64_t>::max();
  TModel huge;
  huge.Points = {{lo, lo, lo}, {hi, lo, hi}, {lo, hi, hi}, {int64_t{1} << 62, -(int64_t{1} << 62), 0}};
  huge.Tri(0, 1, 2, 0);
  huge.Tri(0, 3, 1, 1);
  svg = Render(huge);
  KeepPicture("huge.svg", svg);
  EXPECT_EQ(XmlFault(svg), "");
  EXPECT_NE(svg.find("size x 18446744073709551615, y 18446744073709551615, z 18446744073709551615<"),
            svg.npos);
  EXPECT_EQ(CheckOutlines(svg), 2 + 2 + 2);
}

TEST(RenderPreview, HostileNamesBecomeWellFormedText) {
  TPreviewCaption caption;
  for (int b = 0; b < 0x60; ++b) caption.InputName += static_cast<char>(b);
  caption.BlockName = "</text><script>&amp;\"'";
  for (int b = 0x7D; b <= 0xA0; ++b) caption.BlockName += static_cast<char>(b);
  caption.BlockName += "\xE9\xFF";
  std::string svg = Render(BoxAndPyramid(), caption);
  KeepPicture("hostile_names.svg", svg);
  EXPECT_EQ(XmlFault(svg), "");
  std::string expected = ">file ";
  // Control bytes and the bytes that Windows-1252 leaves unassigned become
  // U+FFFD, the others their Windows-1252 characters.
  for (int b = 0; b < 0x20; ++b) expected += "&#65533;";
  expected +=
      " !&quot;#$%&amp;&apos;()*+,-./0123456789:;&lt;=&gt;?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_</text>\n";
  expected += "<text x=\"20\" y=\"454\">block &lt;/text&gt;&lt;script&gt;&amp;amp;&quot;&apos;}~&#65533;";
  expected += "&#8364;&#65533;&#8218;&#402;&#8222;&#8230;&#8224;&#8225;&#710;&#8240;&#352;&#8249;&#338;";
  expected += "&#65533;&#381;&#65533;&#65533;&#8216;&#8217;&#8220;&#8221;&#8226;&#8211;&#8212;&#732;&#8482;";
  expected += "&#353;&#8250;&#339;&#65533;&#382;&#376;&#160;&#233;&#255;</text>";
  EXPECT_NE(svg.find(expected), svg.npos) << svg.substr(svg.find(">file "), 1200);

  // Long names are cut, a path to its end.
  caption = {std::string(300, 'a') + "/ship.cmp", std::string(300, 'b'), 0, 0, 0, 0, false, true, {}};
  svg = Render(BoxAndPyramid(), caption);
  EXPECT_NE(svg.find(">file ..." + std::string(108, 'a') + "/ship.cmp<"), svg.npos);
  EXPECT_NE(svg.find(">block " + std::string(117, 'b') + "...<"), svg.npos);

  // A file name the system gives as UTF-8 shows its characters; cut, it
  // loses whole characters only.
  caption = {"Kreuzer Gr\xC3\xB6\xC3\x9F" "e.cmp", "b", 0, 0, 0, 0, true, true, {}};
  svg = Render(BoxAndPyramid(), caption);
  EXPECT_NE(svg.find(">file Kreuzer Gr&#246;&#223;e.cmp<"), svg.npos);
  std::string longName;
  for (int i = 0; i < 70; ++i) longName += "\xC3\xB6";
  caption = {longName, "b", 0, 0, 0, 0, true, true, {}};
  svg = Render(BoxAndPyramid(), caption);
  EXPECT_EQ(XmlFault(svg), "");
  EXPECT_NE(svg.find(">file ...&#246;"), svg.npos);
}

TEST(RenderPreview, SwatchesOfThirtyTwoMaterialsAtMostThenHowManyMore) {
  TPreviewCaption caption;
  for (uint32_t k = 0; k < 40; ++k) {
    TPreviewMaterial& m = caption.MaterialList.emplace_back();
    m.ID = k;
    m.Named = k % 2 == 0;
    m.TextureName = "tex" + std::to_string(k) + "<&>";
    m.HasImage = m.HasColour = k % 4 == 0;
    m.Rgb = 0x102030;
  }
  const std::string svg = Render(BoxAndPyramid(), caption);
  EXPECT_EQ(XmlFault(svg), "");
  EXPECT_NE(svg.find(">31 no texture name 0000001F</text>"), svg.npos);
  EXPECT_NE(svg.find(">30 tex30&lt;&amp;&gt;: no image</text>"), svg.npos);
  EXPECT_NE(svg.find(">28 tex28&lt;&amp;&gt;</text>"), svg.npos);
  EXPECT_EQ(svg.find(">32 "), svg.npos);
  EXPECT_NE(svg.find(">and 8 more</text>"), svg.npos);
  // Material 0 (the box) in its texture's colour, at every shading level it
  // shows; material 1 (the pyramid) in its palette colour.
  EXPECT_NE(svg.find("fill=\"#102030\"/>"), svg.npos);
  EXPECT_EQ(svg.find("<path fill=\"#4e79a7"), svg.npos);
  EXPECT_NE(svg.find("<path fill=\"#f28e2b"), svg.npos);
}

TEST(RenderPreview, LargestBlockStaysUnderFourMegabytes) {
  // 21845 separate triangles of 65535 points, spread over the model, of
  // every material and orientation: next to no two neighbours in depth
  // share a fill, the worst case for the picture's size.
  TModel m;
  uint64_t seed = 12345;
  const auto next = [&seed](int64_t range) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    return static_cast<int64_t>((seed >> 33) % static_cast<uint64_t>(2 * range + 1)) - range;
  };
  for (int t = 0; t < 21845; ++t) {
    const TPreviewPoint c = {next(100000), next(100000), next(100000)};
    for (int k = 0; k < 3; ++k)
      m.Points.push_back({c[0] + next(20000), c[1] + next(20000), c[2] + next(20000)});
    m.Tri(3 * t, 3 * t + 1, 3 * t + 2, t % 7);
  }
  const std::string svg = Render(m);
  KeepPicture("largest.svg", svg);
  EXPECT_LT(svg.size(), 4000000u);
  EXPECT_EQ(XmlFault(svg), "");
  size_t paths = 0;
  for (size_t at = svg.find("<path"); at != svg.npos; at = svg.find("<path", at + 1)) ++paths;
  EXPECT_GT(paths, 3 * 21845 * 8 / 10);
}

TEST(RenderPreview, IndexOutsideThePointsRaisesBeforeWriting) {
  TModel m = BoxAndPyramid();
  m.Tri(0, 1, 13, 0);
  std::string out = "kept";
  EXPECT_THROW(RenderPreview(m.Points, m.Tris, {}, out), ERangeError);
  EXPECT_EQ(out, "kept");
  EXPECT_THROW(RenderPreview({}, m.Tris, {}, out), ERangeError);
}
