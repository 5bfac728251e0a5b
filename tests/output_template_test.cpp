#include <gtest/gtest.h>

#include <string>

#include "output/mat_template.h"
#include "output/materials.h"

using namespace bw;

namespace {

// The formatted text, or "<fail>" when the template was refused.
std::string Fmt(std::string_view tmpl, int32_t index, const char* name = nullptr) {
  std::string out;
  const std::string nameText = name ? name : "";
  if (!FormatTemplate(tmpl, index, name ? &nameText : nullptr, out)) return "<fail>";
  return out;
}

}  // namespace

TEST(MatTemplate, IntegerConversions) {
  EXPECT_EQ(Fmt("a%db", 7), "a7b");
  EXPECT_EQ(Fmt("%i", -42), "-42");
  EXPECT_EQ(Fmt("%D|%0:I", 3), "3|3");
  EXPECT_EQ(Fmt("%u", -1), "4294967295");
  EXPECT_EQ(Fmt("%x", 255), "FF");
  EXPECT_EQ(Fmt("%X", -1), "FFFFFFFF");
  EXPECT_EQ(Fmt("%d", INT32_MIN), "-2147483648");
  // Precision: the minimum number of digits, zeros after the sign.
  EXPECT_EQ(Fmt("%.3d", 5), "005");
  EXPECT_EQ(Fmt("%.3d", -5), "-005");
  EXPECT_EQ(Fmt("%.d", 0), "0");
  EXPECT_EQ(Fmt("%.4x", 10), "000A");
  // Width: blanks on the left, or on the right after "-".
  EXPECT_EQ(Fmt("[%5d]", 42), "[   42]");
  EXPECT_EQ(Fmt("[%-5d]", 42), "[42   ]");
  EXPECT_EQ(Fmt("[%6.3d]", -7), "[  -007]");
  EXPECT_EQ(Fmt("100%% %d%%", 9), "100% 9%");
  EXPECT_EQ(Fmt("", 1), "");
}

TEST(MatTemplate, StringArgumentAndArgumentNumbers) {
  EXPECT_EQ(Fmt("%d %S", 3, "Hull"), "3 Hull");
  EXPECT_EQ(Fmt("[%1:6s][%1:-6s]", 0, "ab"), "[    ab][ab    ]");
  EXPECT_EQ(Fmt("[%1:.2s]", 0, "abcdef"), "[ab]");
  EXPECT_EQ(Fmt("[%1:5.2s]", 0, "abcdef"), "[   ab]");
  EXPECT_EQ(Fmt("[%1:.s]", 0, "abc"), "[]");
  // An argument number selects; later conversions continue after it.
  EXPECT_EQ(Fmt("%1:s %0:d %s", 4, "T"), "T 4 T");
  EXPECT_EQ(Fmt("%0:d %0:d %d", 4, "T"), "<fail>");
  EXPECT_EQ(Fmt("%0:d %0:x", 26, "T"), "26 1A");
  // Surplus arguments are ignored.
  EXPECT_EQ(Fmt("only %d", 1, "unused"), "only 1");
  // The shipped templates.
  EXPECT_EQ(Fmt(kBuiltInTemplate, 2),
            "MATERIAL5: 2; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0;");
}

TEST(MatTemplate, Failures) {
  // A type that does not suit its argument, or an argument that is missing.
  EXPECT_EQ(Fmt("%s", 1, "n"), "<fail>");
  EXPECT_EQ(Fmt("%d %d", 1, "n"), "<fail>");
  EXPECT_EQ(Fmt("%d %s", 1), "<fail>");
  EXPECT_EQ(Fmt("%2:d", 1, "n"), "<fail>");
  // Malformed conversions.
  EXPECT_EQ(Fmt("50%", 1), "<fail>");
  EXPECT_EQ(Fmt("%-", 1), "<fail>");
  EXPECT_EQ(Fmt("%5", 1), "<fail>");
  EXPECT_EQ(Fmt("%.", 1), "<fail>");
  EXPECT_EQ(Fmt("%1:", 1), "<fail>");
  EXPECT_EQ(Fmt("%:d", 1), "<fail>");
  EXPECT_EQ(Fmt("%f", 1), "<fail>");
  EXPECT_EQ(Fmt("%*d", 1), "<fail>");
  EXPECT_EQ(Fmt("%5-d", 1), "<fail>");
  EXPECT_EQ(Fmt("% d", 1), "<fail>");
  // Hostile sizes are refused, not allocated.
  EXPECT_EQ(Fmt("%4096d", 1).size(), 4096u);
  EXPECT_EQ(Fmt("%4097d", 1), "<fail>");
  EXPECT_EQ(Fmt("%.99999999999999999999d", 1), "<fail>");
  EXPECT_EQ(Fmt("%99999999999:d", 1), "<fail>");
}
