#pragma once
// The page of a folder run: one HTML file that shows every model of the run
// with its outcome, its numbers, its pictures and links to its BOD files, so
// that a modder who converted a few hundred models can look them over in a
// browser and pick out the ones that need attention.
//
// The page stands alone: HTML5 and CSS with one small inline script for the
// filters, nothing fetched from anywhere, opened from the disk. Its Content
// Security Policy allows that script alone and images from files, so even a
// mistake in the escaping below could not run anything or reach the network.
//
// Every text comes from files and may be anything. A text that is valid
// UTF-8 is read as UTF-8, any other as Windows-1252 (the code page of the
// game's tools); it is written HTML-escaped, control characters as U+FFFD.
// Links are relative, start with "./" and percent-encode every byte of the
// name as the system resolves a link to it (plat::LinkBytesOf) but A-Z a-z
// 0-9 - . _ ~ and the "/" separators, so that every link leads to its file
// and no name can turn into a scheme, a query or a fragment.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/outcome.h"
#include "support/output_file.h"

namespace bw {

struct TPageModel {
  std::string Relative;  // path below the folder, "/" between components (8-bit text)
  EOutcome Outcome = EOutcome::Converted;
  bool MaterialFile = false;  // a material file the walk could not take, not a model
  std::string ErrorLine;      // for Failed and Skipped: the error line or the reason
  int32_t Blocks = 0;
  int64_t Triangles = 0;
  int32_t MaterialsNamed = 0, MaterialsAll = 0;  // materials whose lines carry a texture name, out of all
  int32_t ImagesWritten = 0, Warnings = 0;
  bool UnnamedMaterials = false;  // a material that no source names
  bool MissingImages = false;     // a texture name with no image in the sources
  // Relative to the page's folder, "/" separators ("\" is part of a name).
  std::vector<std::string> Pictures;  // the SVG files
  std::vector<std::string> BodFiles;  // the model BOD files
};

struct TPage {
  std::string FolderName;            // shown as the title (8-bit text)
  std::vector<std::string> Summary;  // the summary's lines as the console shows them
  std::vector<TPageModel> Models;    // in model order
};

// In the first line of every page: what tells a page of this program from
// any other file of the same name.
inline constexpr const char* kPageMarker = "<!-- bodwright folder page: rewritten by each run -->";

// The room each picture takes before it loads, so that lazy loading sees
// where the pictures of a long page are: half the preview's width and half
// the height of a preview with two rows of material swatches. A preview
// grows with its materials; once loaded it keeps its own aspect ratio.
inline constexpr int kPagePictureWidth = 580;
inline constexpr int kPagePictureHeight = 270;

// The whole page. It depends on nothing but `page`.
std::string PageText(const TPage& page);

// Writes the page to `path` the way every output is written: under a
// temporary name renamed when complete, and guarded. It replaces only a
// page of this program (kPageMarker in its first line); any other file or
// folder of that name is left alone with a console warning, and the result
// is false. Raises what TOutputFile raises when the page cannot be written.
bool WritePage(const TPage& page, const std::string& path, const TOutputGuard& guard);

// A text from a file as page text: decoded, escaped for text and quoted
// attributes alike, control characters as U+FFFD.
std::string PageHtmlText(std::string_view text);
// A relative file name as a link: "./" and the name encoded.
std::string PageLink(std::string_view relative);

}  // namespace bw
