#pragma once
// The program's failure kinds. Every failure inside a conversion ends at the
// driver's single handler, so the kinds differ only in their message and in
// what a test wants to tell apart.

#include <stdexcept>
#include <string>

namespace bw {

// A table of the input whose size or layout the program does not know.
class EIdxError : public std::runtime_error {
 public:
  EIdxError() : std::runtime_error("  Unknown format tables.") {}
};

// An offset, index or count outside the image or a list, or an arithmetic
// overflow: the input is damaged.
class ERangeError : public std::runtime_error {
 public:
  explicit ERangeError(const std::string& what) : std::runtime_error(what) {}
};

// A number that cannot be converted (not finite, or out of range).
class EInvalidOp : public std::runtime_error {
 public:
  explicit EInvalidOp(const std::string& what) : std::runtime_error(what) {}
};

class EFOpenError : public std::runtime_error {
 public:
  explicit EFOpenError(const std::string& what) : std::runtime_error(what) {}
};

// An output that cannot be created or written whole: its name and the
// system's reason, for the line that tells the user which file it was.
class EFCreateError : public std::runtime_error {
 public:
  EFCreateError(const std::string& file, const std::string& reason)
      : std::runtime_error("Cannot create file \"" + file + "\". " + reason), File(file), Reason(reason) {}
  std::string File;
  std::string Reason;
};

// An output file whose name leads to the input or the material file. The
// console line has been written by the time this is thrown.
class EOverwriteError : public std::runtime_error {
 public:
  explicit EOverwriteError(const std::string& what) : std::runtime_error(what) {}
};

// The user asked the program to stop (Ctrl-C, say): a conversion under way
// stops at its next step.
class EInterrupted : public std::runtime_error {
 public:
  EInterrupted() : std::runtime_error("interrupted") {}
};

// NOTE: every range failure goes through here; a breakpoint on it stops at
// the first sign of a damaged file.
[[noreturn]] void RaiseRange(const char* what);

}  // namespace bw
