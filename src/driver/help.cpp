#include "driver/help.h"

#include "driver/driver.h"
#include "support/console.h"
#include "support/path_names.h"

namespace bw {

void WriteHelp(const TConsole& console, const std::string& ownPath) {
  // The program's own file name (bodwright.exe on Windows), so that the
  // lines can be typed as shown.
  const std::string name = FileNamePart(ownPath);
  console.Line("  use : " + name + " <model or folder> [material file or folder ...]");
  console.Line("        " + name + " --help | -h | /?");
  console.Line("        " + name + " --version");
  console.Line("  model            a CMP model; the files written go beside it, named after it");
  console.Line("  folder           every model below the folder");
  console.Line("  material file    its materials' texture names go into the material lines;");
  console.Line("                   any number, the first that names a material wins");
  console.Line("  material folder  every material file below the folder");
  console.Line("  settings file    beside the program, its own name with .ini:");
  console.Line("                   " + ReplaceExtension(ownPath, ".ini") +
               " (without it, nothing is written)");
  console.Line("  README.md        the manual, in the source folder");
}

}  // namespace bw
