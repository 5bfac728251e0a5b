// Writes the folder that the browser test opens: a page of a made-up folder
// run whose models carry every kind of awkward name and outcome, with real
// preview pictures and BOD files beside it where the page links to them.
//
//   page_browser_sample <empty folder> <SVG preview>...
//
// The previews are copied in turn, so that pictures of several sizes meet.
//
// The page is <folder>/bodwright.html. tests/page_browser_test.py knows what
// each entry should show; the two change together.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "output/page_html.h"

namespace fs = std::filesystem;
using namespace bw;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Under its name's bytes, as the program writes a file of that name and the
// page links it (a name the page shows decoded from Windows-1252 too).
void Put(const fs::path& root, const std::string& relative, const std::string& bytes) {
  const fs::path path = root / relative;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

TPageModel Converted(const std::string& stem, int32_t blocks) {
  TPageModel m;
  m.Relative = stem + ".cmp";
  m.Blocks = blocks;
  m.Triangles = 108 * blocks;
  m.MaterialsNamed = 3, m.MaterialsAll = 4;
  m.ImagesWritten = 2;
  for (int32_t n = 0; n < blocks; ++n) {
    const std::string base = stem + "_0" + std::to_string(n);
    m.Pictures.push_back(base + ".svg");
    m.BodFiles.push_back(base + ".bod");
  }
  return m;
}

TPageModel Other(const std::string& relative, EOutcome outcome, const std::string& error = {}) {
  TPageModel m;
  m.Relative = relative;
  m.Outcome = outcome;
  m.ErrorLine = error;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: page_browser_sample <empty folder> <preview svg>...\n");
    return 2;
  }
  try {
    const fs::path root = argv[1];
    std::vector<std::string> svgs;
    for (int i = 2; i < argc; ++i) svgs.push_back(ReadAll(argv[i]));
    TPage page;
    page.FolderName = "test folder <i>&amp;</i>";

    TPageModel markup = Converted("<b>x&y'\"", 1);
    markup.Relative = "<b>x&y'\".3db";
    markup.UnnamedMaterials = true;
    TPageModel odd = Converted("odd names/100% #1?", 1);
    odd.MissingImages = true;
    TPageModel naive = Converted("na\xC3\xAFve/\xC3\xBC", 2);
    naive.UnnamedMaterials = naive.MissingImages = true;
    TPageModel hollow = Other("hollow.cmp", EOutcome::NoMeshData);
    hollow.UnnamedMaterials = true;
    TPageModel wreck =
        Other("fleet/wreck.cmp", EOutcome::Failed, "  Error : fleet/wreck.cmp is damaged.");
    wreck.MissingImages = true;
    page.Models = {
        Converted("ships/hawk", 2),
        markup,
        odd,
        naive,
        Converted("caf\xE9", 1),
        Other("javascript:alert(1).cmp", EOutcome::NoMeshData),
        Other("broken.cmp", EOutcome::Failed,
              "  Error : <script>document.title='pwned'</script><img src=x onerror=alert(1)> is damaged."),
        hollow,
        Other("gone.cmp", EOutcome::Skipped, "it leads to no file"),
        Other("late.cmp", EOutcome::NotConverted),
    };
    // Enough pictures below the first screens that lazy loading matters.
    for (int i = 1; i <= 24; ++i) {
      page.Models.push_back(Converted("fleet/ship" + std::string(i < 10 ? "0" : "") + std::to_string(i), 2));
      if (i == 12) page.Models.push_back(wreck);
    }

    size_t copied = 0;
    for (const TPageModel& m : page.Models) {
      for (const std::string& picture : m.Pictures) Put(root, picture, svgs[copied++ % svgs.size()]);
      for (const std::string& bod : m.BodFiles) Put(root, bod, "; a model BOD file\r\n");
    }
    page.Summary = {"",
                    "== SUMMARY ==",
                    "  models found: " + std::to_string(page.Models.size()),
                    "  failed: 2",
                    "    models/broken.cmp: Error : <script>document.title='pwned'</script> is damaged.",
                    "    models/fleet/wreck.cmp: Error : fleet/wreck.cmp is damaged."};
    TOutputGuard guard;
    return WritePage(page, (root / "bodwright.html").string(), guard) ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "page_browser_sample: %s\n", e.what());
    return 1;
  }
}
