#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/textures.h"

using namespace bw;

TEST(TextureNames, PlainFileNamesOnly) {
  const std::string longest(200, 'a');
  for (const std::string& name :
       std::vector<std::string>{"hull", "a.b", "con_x", "CONIN", "com10", "comx", "LPT\xB9x", "x y", longest,
                                "x ", "eqdetail.", "...", ". "})  // the extension keeps a last blank or dot
    EXPECT_TRUE(IsTextureFileName(name)) << name;
  for (const std::string& name :
       std::vector<std::string>{"CONIN$", "conout$.a", "Com0", "lpt9", "LPT\xC2\xB3", "com\xB2.x", "nul .x",
                                "a|b", "a<b", "a\"b", "a\x7f", "a\tb", "..", ".", "con ", "aux.", longest + "a"})
    EXPECT_FALSE(IsTextureFileName(name)) << name;
  EXPECT_EQ(ShownTextureName("a\r\n\x7f" + longest), "a???" + longest.substr(4) + "...");
}
