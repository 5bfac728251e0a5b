#include "output/page_html.h"

#include <cstring>

#include "support/platform.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {
namespace {

// The characters of an 8-bit text: UTF-8 when the whole text is, else
// Windows-1252. A name comes from one system, so it is read one way whole
// and never as a mix of both.
std::u32string Decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t code = 0;
    const size_t len = Utf8CharAt(s, i, code);
    if (len == 0) {
      out.clear();
      // The five bytes Windows-1252 leaves unassigned are the C1 controls of
      // the same number, as Windows itself maps them; as text they are
      // control characters like any other.
      for (const char ch : s) {
        const auto b = static_cast<unsigned char>(ch);
        const char32_t c = Cp1252Char(b);
        out += c != 0 ? c : char32_t{b};
      }
      return out;
    }
    out += code;
    i += len;
  }
  return out;
}

void AppendText(std::string& out, std::string_view s) {
  for (const char32_t c : Decode(s)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        // A control character has no business in a name or a console line,
        // and some of them (NUL, say) are parse errors in HTML.
        AppendUtf8(out, c < 0x20 || (c >= 0x7F && c < 0xA0) ? char32_t{0xFFFD} : c);
    }
  }
}

bool Unreserved(unsigned char b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
         b == '_' || b == '~';
}

// The link needs no HTML escaping after this: every byte it keeps is
// unreserved, "/" or "%".
void AppendLink(std::string& out, std::string_view relative) {
  constexpr char kHex[] = "0123456789ABCDEF";
  out += "./";
  for (const char ch : plat::LinkBytesOf(std::string(relative))) {
    const auto b = static_cast<unsigned char>(ch);
    if (Unreserved(b) || b == '/') {
      out += ch;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
}

// The last component of a relative name, for link texts.
std::string_view FileName(std::string_view relative) {
  const size_t slash = relative.rfind('/');
  return slash == std::string_view::npos ? relative : relative.substr(slash + 1);
}

std::string_view TrimBlanks(std::string_view line) {
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  return line;
}

// The page's one script: the filters. The Content Security Policy allows it
// by its SHA-256 hash alone, so a change here needs the new kScriptHash too;
// the browser test prints the hash of the script it finds when they differ.
constexpr std::string_view kScript = R"(
const boxes = [...document.querySelectorAll('.filters input')];
const models = [...document.querySelectorAll('.model')];
function apply() {
  const on = boxes.filter(b => b.checked).map(b => b.value);
  let shown = 0;
  for (const m of models) {
    const show = on.length === 0 || on.some(f => m.classList.contains(f));
    m.hidden = !show;
    if (show) ++shown;
  }
  document.getElementById('shown').textContent = shown + ' of ' + models.length + ' shown';
}
for (const b of boxes) b.addEventListener('change', apply);
addEventListener('pageshow', apply);
apply();
)";
constexpr std::string_view kScriptHash = "sha256-Ed/BPq9WJzLnNdV653L6yCPwnPLXIIqXM2OeJHKKUEs=";

// Inline style, no external sheet: nothing for the page to fetch.
constexpr std::string_view kStyle = R"(
body { font-family: system-ui, sans-serif; margin: 1.5em; line-height: 1.4; color: #202020; background: #f6f6f6; }
h1 { font-size: 1.4em; margin: 0 0 .5em; overflow-wrap: anywhere; }
pre.summary { background: #fff; border: 1px solid #ccc; padding: .6em; white-space: pre-wrap; overflow-wrap: anywhere; }
.filters { position: sticky; top: 0; z-index: 1; background: #f6f6f6; padding: .5em 0; border-bottom: 1px solid #ccc; }
.filters label { margin-right: 1.2em; white-space: nowrap; }
.model { background: #fff; border: 1px solid #ccc; border-left: 6px solid #59a14f; margin: 1em 0; padding: .6em .8em; }
.model.failed { border-left-color: #e15759; }
.model.nomesh { border-left-color: #edc948; }
.model.skipped, .model.notconverted { border-left-color: #bab0ac; }
.model h2 { font-size: 1.05em; margin: 0; overflow-wrap: anywhere; }
.outcome { font-weight: normal; color: #555; margin-left: .5em; }
.error { color: #b00020; overflow-wrap: anywhere; margin: .3em 0; }
.facts { margin: .3em 0; color: #444; }
.flag { display: inline-block; background: #fff0c0; border: 1px solid #e0c060; padding: 0 .4em; margin-right: .5em; }
.pictures img { max-width: 100%; height: auto; border: 1px solid #ddd; margin: .3em .3em 0 0; vertical-align: top; }
.bods a { margin-right: 1em; overflow-wrap: anywhere; }
#shown { white-space: nowrap; color: #555; }
[hidden] { display: none !important; }
)";

const char* OutcomeClass(EOutcome o) {
  switch (o) {
    case EOutcome::Converted: return "converted";
    case EOutcome::NoMeshData: return "nomesh";
    case EOutcome::Failed: return "failed";
    // Left incomplete like a failed model, and shown by the same filter.
    case EOutcome::Stopped: return "failed stopped";
    case EOutcome::Skipped: return "skipped";
    case EOutcome::NotConverted: return "notconverted";
  }
  return "failed";
}

const char* OutcomeText(EOutcome o) {
  switch (o) {
    case EOutcome::Converted: return "converted";
    case EOutcome::NoMeshData: return "no mesh data";
    case EOutcome::Failed: return "failed";
    case EOutcome::Stopped: return "stopped";
    case EOutcome::Skipped: return "skipped";
    case EOutcome::NotConverted: return "not converted, the run was interrupted";
  }
  return "failed";
}

void AppendModel(std::string& out, const TPageModel& m, size_t index) {
  out += "<article class=\"model ";
  out += OutcomeClass(m.Outcome);
  if (m.UnnamedMaterials) out += " unnamed";
  if (m.MissingImages) out += " missing";
  out += "\" id=\"model-" + UIntText(index + 1) + "\">\r\n<h2><span class=\"path\">";
  AppendText(out, m.Relative);
  out += "</span><span class=\"outcome\">";
  out += m.MaterialFile ? "skipped material file" : OutcomeText(m.Outcome);
  out += "</span></h2>\r\n";
  if ((m.Outcome == EOutcome::Failed || m.Outcome == EOutcome::Skipped) && !m.ErrorLine.empty()) {
    out += "<p class=\"error\">";
    AppendText(out, TrimBlanks(m.ErrorLine));
    out += "</p>\r\n";
  }
  // A model that failed part way has numbers too: what it wrote before.
  if (m.Outcome != EOutcome::Skipped && m.Outcome != EOutcome::NotConverted) {
    out += "<p class=\"facts\">blocks " + IntText(m.Blocks) + " &middot; triangles " + IntText(m.Triangles) +
           " &middot; materials named " + IntText(m.MaterialsNamed) + " of " + IntText(m.MaterialsAll) +
           " &middot; images written " + IntText(m.ImagesWritten) + " &middot; warnings " +
           IntText(m.Warnings) + "</p>\r\n";
  }
  if (m.UnnamedMaterials || m.MissingImages) {
    out += "<p class=\"flags\">";
    if (m.UnnamedMaterials) out += "<span class=\"flag\">materials that no source names</span>";
    if (m.MissingImages) out += "<span class=\"flag\">textures with no image in the sources</span>";
    out += "</p>\r\n";
  }
  if (!m.Pictures.empty()) {
    out += "<div class=\"pictures\">\r\n";
    for (const std::string& picture : m.Pictures) {
      std::string link;
      AppendLink(link, picture);
      out += "<a href=\"" + link + "\"><img src=\"" + link + "\" width=\"" + IntText(kPagePictureWidth) +
             "\" height=\"" + IntText(kPagePictureHeight) + "\" loading=\"lazy\" alt=\"";
      AppendText(out, FileName(picture));
      out += "\"></a>\r\n";
    }
    out += "</div>\r\n";
  }
  if (!m.BodFiles.empty()) {
    out += "<p class=\"bods\">BOD files:";
    for (const std::string& bod : m.BodFiles) {
      out += " <a href=\"";
      AppendLink(out, bod);
      out += "\">";
      AppendText(out, FileName(bod));
      out += "</a>";
    }
    out += "</p>\r\n";
  }
  out += "</article>\r\n";
}

void AppendFilter(std::string& out, const char* value, const char* label, size_t count) {
  out += "<label><input type=\"checkbox\" value=\"";
  out += value;
  out += "\"> ";
  out += label;
  out += " (" + UIntText(count) + ")</label>\r\n";
}

// True when the file's first line carries the marker. A file that cannot be
// read is not known to be a page, so it counts as another file.
bool IsOwnPage(const std::string& path) {
  std::string error;
  const plat::TFileHandle file = plat::OpenForRead(path, error);
  if (file == plat::kNoFile) return false;
  char head[512];
  const int64_t got = plat::ReadAt(file, 0, head, sizeof head);
  plat::CloseFile(file);
  std::string_view first(head, static_cast<size_t>(got > 0 ? got : 0));
  first = first.substr(0, first.find('\n'));
  return first.find(kPageMarker) != std::string_view::npos;
}

}  // namespace

std::string PageHtmlText(std::string_view text) {
  std::string out;
  AppendText(out, text);
  return out;
}

std::string PageLink(std::string_view relative) {
  std::string out;
  AppendLink(out, relative);
  return out;
}

std::string PageText(const TPage& page) {
  std::string out;
  out += "<!DOCTYPE html>";
  out += kPageMarker;
  out += "\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n";
  // Only the script below runs, images come from files or the page's own
  // server, and nothing else is fetched. What 'self' means for a page opened
  // from the disk differs from browser to browser; naming "file:" as well
  // leaves no doubt that the pictures beside the page may be shown.
  out +=
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src 'self' file:; "
      "style-src 'unsafe-inline'; script-src '";
  out += kScriptHash;
  out += "'; base-uri 'none'; form-action 'none'\">\r\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n";
  out += "<title>bodwright: ";
  AppendText(out, page.FolderName);
  out += "</title>\r\n<style>";
  out += kStyle;
  out += "</style>\r\n</head>\r\n<body>\r\n<h1>bodwright: ";
  AppendText(out, page.FolderName);
  out += "</h1>\r\n<pre class=\"summary\">";
  for (const std::string& line : page.Summary) {
    AppendText(out, line);
    out += "\r\n";
  }
  out += "</pre>\r\n";

  size_t failed = 0, noMesh = 0, unnamed = 0, missing = 0;
  for (const TPageModel& m : page.Models) {
    failed += m.Outcome == EOutcome::Failed || m.Outcome == EOutcome::Stopped ? 1 : 0;
    noMesh += m.Outcome == EOutcome::NoMeshData ? 1 : 0;
    unnamed += m.UnnamedMaterials ? 1 : 0;
    missing += m.MissingImages ? 1 : 0;
  }
  out += "<div class=\"filters\">Show only (none ticked: all):\r\n";
  AppendFilter(out, "failed", "failed", failed);
  AppendFilter(out, "nomesh", "without mesh data", noMesh);
  AppendFilter(out, "unnamed", "materials that no source names", unnamed);
  AppendFilter(out, "missing", "textures with no image", missing);
  out += "<span id=\"shown\">" + UIntText(page.Models.size()) + " models</span>\r\n</div>\r\n<main>\r\n";
  for (size_t i = 0; i < page.Models.size(); ++i) AppendModel(out, page.Models[i], i);
  out += "</main>\r\n<script>";
  out += kScript;
  out += "</script>\r\n</body>\r\n</html>\r\n";
  return out;
}

bool WritePage(const TPage& page, const std::string& path, const TOutputGuard& guard) {
  const plat::EPathKind kind = plat::PathKind(path);
  if (kind == plat::EPathKind::Folder || (kind == plat::EPathKind::File && !IsOwnPage(path))) {
    guard.Console.Line("  Warning : " + path + " is not a page of this program; it was left alone.");
    return false;
  }
  const std::string text = PageText(page);
  TOutputFile file(guard, path);
  WriteText(file.Stream(), text);
  file.Commit();
  return true;
}

}  // namespace bw
