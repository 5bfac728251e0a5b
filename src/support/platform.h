#pragma once
// The operating system beneath the program: files, the program's own path,
// file identity and the local clock. Everything platform-specific lives
// behind these calls.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bw {
class TRunControl;
}

namespace bw::plat {

using TFileHandle = intptr_t;
inline constexpr TFileHandle kNoFile = -1;

// The console's own line break.
const char* LineBreak();

// Open an existing file for reading / create or empty a file for reading and
// writing. Both deny other openers where the platform allows it. On failure
// they return kNoFile and set `error` to the system's text.
TFileHandle OpenForRead(const std::string& path, std::string& error);
TFileHandle CreateForWrite(const std::string& path, std::string& error);
void CloseFile(TFileHandle file);
// Opens an existing file (not a folder) for reading without keeping any
// other program from writing, renaming or deleting it meanwhile: for files
// read a piece at a time over a whole run.
TFileHandle OpenShared(const std::string& path, std::string& error);

// Unbuffered transfers at the current position; the result is the number of
// bytes moved, 0 when the system refuses.
int64_t ReadFile(TFileHandle file, void* buffer, int64_t count);
int64_t WriteFile(TFileHandle file, const void* buffer, int64_t count);
// origin: 0 from the start, 1 from the current position, 2 from the end.
// Returns the new position, or -1.
int64_t SeekFile(TFileHandle file, int64_t offset, int origin);
int64_t FileEnd(TFileHandle file);
// Reads up to `count` bytes at `offset` without moving the file's position;
// the result is the number of bytes read, less at the end of the file or
// when the system refuses.
int64_t ReadAt(TFileHandle file, int64_t offset, void* buffer, int64_t count);
bool TruncateFile(TFileHandle file, int64_t size);

// True for an existing file that is not a directory.
bool FileExists(const std::string& path);
// True for an existing directory (also through a link).
bool FolderExists(const std::string& path);
// What a path names, in one question to the system.
enum class EPathKind { None, File, Folder };
EPathKind PathKind(const std::string& path);
// Makes the directory unless it exists; its parent must exist. False when
// it cannot be made.
bool MakeFolder(const std::string& path);
// What tells one existing file from every other, however it is named: two
// names lead to one file when their identities are equal.
struct TFileId {
  uint64_t Volume = 0;
  uint64_t Index = 0;
  bool operator==(const TFileId&) const = default;
};
// False when the file cannot be reached (it does not exist, say).
bool FileIdentity(const std::string& path, TFileId& id);
// What tells an open file from the same file changed since: its identity,
// size and time of last change. Another program that shortens, replaces or
// rewrites the file changes its stamp.
struct TFileStamp {
  TFileId Id;
  int64_t Size = 0;
  int64_t ModTime = 0;  // in the system's own units
  bool operator==(const TFileStamp&) const = default;
};
bool FileStampOf(TFileHandle file, TFileStamp& stamp);
// Moves `from` over `to`, replacing it. False when the system refuses.
bool RenameReplace(const std::string& from, const std::string& to);
// The same, setting `error` to the system's text on failure.
bool RenameReplace(const std::string& from, const std::string& to, std::string& error);
void RemoveFile(const std::string& path);

// True where the program itself must expand wildcards in its arguments
// (Windows: its shells pass them on unexpanded).
bool ProgramExpandsWildcards();
// Sets `names` to the long names of the files (not folders) in `folder`, as
// given: empty means the current folder, "C:" on Windows drive C's current
// folder. False when the folder cannot be listed.
bool ListFiles(const std::string& folder, std::vector<std::string>& names);

// True for a byte that ends a folder's name in a path: on Windows "\", "/"
// and the ":" of a drive; elsewhere "/" alone, where "\" and ":" are bytes
// of a name like any other. Every split of a path asks this.
bool IsPathSeparator(char c);

// `folder` + the system's separator + `name`, without a second separator
// after a folder that already ends in one (on Windows also after "C:", whose
// names are relative to drive C's current folder); `name` alone after an
// empty folder.
std::string JoinPath(const std::string& folder, const std::string& name);

// One name in a folder, as a walk of the folder needs to see it.
struct TFolderEntry {
  enum class TKind : uint8_t {
    File,        // a file, also through a symbolic link
    Folder,      // a folder to descend into
    FolderLink,  // a link to a folder elsewhere (on Windows also a junction
                 // or mount point), which a walk does not follow
    Other,       // a device, a pipe and the like
    Unknown,     // nothing the system can reach: a link to nothing, or a
                 // name gone since the listing
  };
  // The name as the file calls take it; when Nameable is false (on Windows,
  // a name of broken UTF-16, which UTF-8 cannot carry) a likeness for
  // display only, which may name another file or none.
  std::string Name;
  TKind Kind = TKind::Other;
  bool Nameable = true;
};
// Sets `entries` to everything in `folder` but "." and "..", in the
// system's order; an empty folder is the current one. False, with
// `entries` empty and `error` the system's text, when the folder cannot be
// listed to its end.
bool ListFolder(const std::string& folder, std::vector<TFolderEntry>& entries, std::string& error);

// The running program's full path; `argv0` serves only when the system
// cannot tell.
std::string OwnPath(const char* argv0);

// The path made absolute, as the system resolves it; the path itself when
// the system cannot tell.
std::string FullPath(const std::string& path);

// A file name as the program holds it, as UTF-8 text for showing: the name
// when it is valid UTF-8 (on Windows every name the system gives is). False,
// with `utf8` set to the name, when the name is to be read as 8-bit
// Windows-1252 text instead.
bool FileNameAsUtf8(const std::string& name, std::string& utf8);

// The bytes that a link to the file named `name` percent-encodes, so that a
// browser reaches that file: the name's own bytes, as the file system holds
// them (on Windows UTF-8, as file URLs are read there).
std::string LinkBytesOf(const std::string& name);

// main's arguments after the program's name, as the program holds names: on
// Windows the wide command line in UTF-8, which holds every character
// (main's `argv` holds only those of the ANSI code page); elsewhere `argv`
// as it is.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// A settings value that names a file (a folder, an extension) as the
// program holds names: on Windows the settings file's ANSI code page text
// turned into UTF-8; elsewhere the bytes as they are.
std::string SettingsNameAsUtf8(const std::string& text);

// Writes a line of standard output, adding the line break, when standard
// output is a console that takes text rather than bytes (Windows); false,
// with nothing written, when the caller is to write the bytes.
bool WriteConsoleLine(std::string_view text);

#ifdef _WIN32
// The text of a console line as the console takes it: valid UTF-8 decoded
// as such (names), every other byte as Windows-1252 (8-bit text from
// models).
std::wstring ConsoleText(std::string_view text);
#endif

// Requests to stop (Ctrl-C, SIGTERM, SIGHUP and SIGPIPE; on Windows also
// Ctrl-Break and closing the console window) are no longer fatal once this
// is called: they are noted in `control`, for the run to stop at its next
// step, and a second one removes the files under way and ends the program
// at once. Called by main() alone, before anything is read; a signal that
// the program was started with ignored stays ignored.
void InstallStopHandlers(TRunControl& control);
// After a run stopped by `signal`: on POSIX the program ends as that signal
// ends it, so that a shell sees it (status 130 after Ctrl-C in bash). On
// Windows it returns: the exit status stays 1, and a closing console window,
// which waits for the program to stop, is told that it has.
void EndAsStopped(int signal);
// Removes a file from within a signal handler.
void RemoveFileNow(const char* path) noexcept;

// The system's text for the last failure of a file call on this thread.
std::string LastErrorText();

// True when standard error is a terminal that can rewrite a line in place.
bool ErrorIsTerminal();
// Writes text to standard error as it is.
void WriteError(const std::string& text);
// On Windows, when the program's console is its own (a double click, a
// folder dropped on its icon), waits for Enter so that its last lines can be
// read before the window closes. Elsewhere nothing.
void WaitIfOwnConsole();

// The process id, for names of temporary files.
uint32_t ProcessId();

// "YYYY-MM-DD HH:MM:SS" of the local time now; the time part is left out at
// exactly midnight.
std::string LocalDateTimeText();

}  // namespace bw::plat
