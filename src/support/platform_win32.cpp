#include "support/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cwchar>
#include <string_view>
#include <system_error>
#include <utility>

#include "support/run_control.h"
#include "support/text_helpers.h"

namespace bw::plat {
namespace {

// The console writes its own "\r\n"; in the C runtime's text mode every LF
// would gain a second CR. Set once, before main, for the whole process.
const bool kStdoutBinary = _setmode(_fileno(stdout), _O_BINARY) != -1;

// Names are UTF-8 inside, whatever the ANSI code page: the wide calls take
// every name Windows can hold after one conversion, which also lifts the
// MAX_PATH limit of the ANSI calls. A byte that is not UTF-8 becomes U+FFFD
// and so names no file the program was given.
std::wstring WideIn(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int count = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (count <= 0) return {};
  std::wstring out(static_cast<size_t>(count), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), count);
  return out;
}

std::wstring Wide(const std::string& text) {
  return WideIn(CP_UTF8, text);
}

std::string Narrow(const wchar_t* text, size_t length) {
  if (length == 0) return {};
  const int size = static_cast<int>(length);
  const int count = ::WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  if (count <= 0) return {};
  std::string out(static_cast<size_t>(count), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, size, out.data(), count, nullptr, nullptr);
  return out;
}

// The system ends a name at its first NUL; a name with one inside (the
// settings can put one into an extension) would reach another file than the
// one meant, and an output's temporary name would be its final name. Such a
// name names no file.
bool NamesNoFile(const std::string& path) {
  return path.find('\0') != std::string::npos;
}

bool StartsWith(const std::wstring& s, const wchar_t* prefix) {
  return s.rfind(prefix, 0) == 0;
}

// The path made absolute by the system; false when it cannot tell.
bool FullWide(const std::wstring& wide, std::wstring& full) {
  const DWORD need = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (need == 0) return false;
  full.assign(need, L'\0');
  const DWORD got = ::GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return false;
  full.resize(got);
  return true;
}

// A long path is made absolute and given the "\\?\" prefix, under which
// Windows takes it as it is; shorter ones keep the usual rules (relative
// names, "/" as a separator).
std::wstring SystemPath(const std::string& path) {
  std::wstring wide = Wide(path);
  if (wide.size() < MAX_PATH - 12 || StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\"))
    return wide;
  std::wstring full;
  if (!FullWide(wide, full)) return wide;
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string SystemText(DWORD err) {
  // Said the same way on every system, and more plainly than Windows says it.
  if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION)
    return "The file is in use by another program.";
  std::string text = std::system_category().message(static_cast<int>(err));
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "System error " + UIntText(err);
  if (text.back() != '.') text.push_back('.');
  return text;
}

HANDLE Handle(TFileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}
TFileHandle FromHandle(HANDLE h) {
  return reinterpret_cast<TFileHandle>(h);
}

// A file being written is ours alone; a file being read may have other
// readers but no writer. This is what the POSIX side gets from its shared
// and exclusive locks.
HANDLE OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition, std::string& error) {
  if (NamesNoFile(path)) {
    error = SystemText(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE h = ::CreateFileW(SystemPath(path).c_str(), access, share, nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) error = SystemText(::GetLastError());
  return h;
}

// One transfer is at most a DWORD; larger requests go in pieces.
constexpr int64_t kChunk = int64_t{1} << 30;

// Identity of an existing file or folder; false when it cannot be opened.
bool Identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  if (NamesNoFile(path)) return false;
  // No access rights asked: this open never collides with an unshared one.
  const HANDLE h =
      ::CreateFileW(SystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  return ok;
}

}  // namespace

const char* LineBreak() {
  (void)kStdoutBinary;
  return "\r\n";
}

TFileHandle OpenForRead(const std::string& path, std::string& error) {
  const HANDLE h = OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, error);
  return h == INVALID_HANDLE_VALUE ? kNoFile : FromHandle(h);
}

TFileHandle OpenShared(const std::string& path, std::string& error) {
  // Every sharing right: a program that saves, renames or deletes the file
  // meanwhile is not refused, and whoever reads on checks the file's stamp.
  const HANDLE h = OpenFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            OPEN_EXISTING, error);
  return h == INVALID_HANDLE_VALUE ? kNoFile : FromHandle(h);
}

TFileHandle CreateForWrite(const std::string& path, std::string& error) {
  // Opened first and emptied after: a file that someone else holds fails
  // the open and keeps its bytes. Deleting is shared so that a second
  // Ctrl-C can remove a file under way before the program ends.
  const HANDLE h = OpenFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, OPEN_ALWAYS, error);
  if (h == INVALID_HANDLE_VALUE) return kNoFile;
  if (!::SetEndOfFile(h)) {
    error = SystemText(::GetLastError());
    ::CloseHandle(h);
    return kNoFile;
  }
  return FromHandle(h);
}

void CloseFile(TFileHandle file) {
  if (file != kNoFile) ::CloseHandle(Handle(file));
}

int64_t ReadFile(TFileHandle file, void* buffer, int64_t count) {
  auto* out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const DWORD want = static_cast<DWORD>(count - done < kChunk ? count - done : kChunk);
    DWORD got = 0;
    if (!::ReadFile(Handle(file), out + done, want, &got, nullptr) || got == 0) break;
    done += got;
  }
  return done;
}

int64_t ReadAt(TFileHandle file, int64_t offset, void* buffer, int64_t count) {
  auto* out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const DWORD want = static_cast<DWORD>(count - done < kChunk ? count - done : kChunk);
    const auto at = static_cast<uint64_t>(offset + done);
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD got = 0;
    if (!::ReadFile(Handle(file), out + done, want, &got, &where) || got == 0) break;
    done += got;
  }
  return done;
}

int64_t WriteFile(TFileHandle file, const void* buffer, int64_t count) {
  const auto* in = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const DWORD want = static_cast<DWORD>(count - done < kChunk ? count - done : kChunk);
    DWORD put = 0;
    if (!::WriteFile(Handle(file), in + done, want, &put, nullptr) || put == 0) break;
    done += put;
  }
  return done;
}

int64_t SeekFile(TFileHandle file, int64_t offset, int origin) {
  const DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER pos;
  if (!::SetFilePointerEx(Handle(file), distance, &pos, method)) return -1;
  return static_cast<int64_t>(pos.QuadPart);
}

int64_t FileEnd(TFileHandle file) {
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(Handle(file), &size)) return -1;
  return static_cast<int64_t>(size.QuadPart);
}

bool TruncateFile(TFileHandle file, int64_t size) {
  if (size < 0) return false;
  // SetEndOfFile cuts at the file pointer; the caller's position is kept,
  // as the POSIX call keeps it.
  const int64_t here = SeekFile(file, 0, 1);
  if (here < 0 || SeekFile(file, size, 0) != size) return false;
  const bool cut = ::SetEndOfFile(Handle(file)) != 0;
  return SeekFile(file, here, 0) == here && cut;
}

bool FileExists(const std::string& path) {
  if (NamesNoFile(path)) return false;
  const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
  return PathKind(path) == EPathKind::Folder;
}

EPathKind PathKind(const std::string& path) {
  if (NamesNoFile(path)) return EPathKind::None;
  const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EPathKind::None;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EPathKind::Folder : EPathKind::File;
}

bool MakeFolder(const std::string& path) {
  if (NamesNoFile(path)) return false;
  return ::CreateDirectoryW(SystemPath(path).c_str(), nullptr) != 0 ||
         (::GetLastError() == ERROR_ALREADY_EXISTS && FolderExists(path));
}

bool FileIdentity(const std::string& path, TFileId& id) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!Identity(path, info)) return false;
  id.Volume = info.dwVolumeSerialNumber;
  id.Index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

bool FileStampOf(TFileHandle file, TFileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(Handle(file), &info)) return false;
  stamp.Id.Volume = info.dwVolumeSerialNumber;
  stamp.Id.Index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  stamp.Size = static_cast<int64_t>((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  stamp.ModTime = static_cast<int64_t>((uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                       info.ftLastWriteTime.dwLowDateTime);
  return true;
}

bool RenameReplace(const std::string& from, const std::string& to) {
  std::string error;
  return RenameReplace(from, to, error);
}

bool RenameReplace(const std::string& from, const std::string& to, std::string& error) {
  if (NamesNoFile(from) || NamesNoFile(to)) {
    error = SystemText(ERROR_INVALID_NAME);
    return false;
  }
  if (::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  error = SystemText(::GetLastError());
  return false;
}

void RemoveFile(const std::string& path) {
  if (!NamesNoFile(path)) ::DeleteFileW(SystemPath(path).c_str());
}

bool ProgramExpandsWildcards() {
  return true;
}

bool ListFiles(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  if (NamesNoFile(folder)) return false;
  // Basic information leaves out the 8.3 short name, which is never matched:
  // Windows' own matching would let "*.mat" take "ship.mat_old" by its short
  // name "SHIP~1.MAT".
  WIN32_FIND_DATAW data{};
  const HANDLE find = ::FindFirstFileExW(SystemPath(folder + "*").c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const std::wstring wide(data.cFileName);
    std::string name = Narrow(wide.data(), wide.size());
    // Only a name of broken UTF-16 (an unpaired surrogate, which NTFS
    // allows) has no UTF-8 form: it would come back as another name.
    if (!name.empty() && Wide(name) == wide) names.push_back(std::move(name));
  } while (::FindNextFileW(find, &data));
  const bool ok = ::GetLastError() == ERROR_NO_MORE_FILES;
  ::FindClose(find);
  return ok;
}

namespace {

// In UTF-8 the byte of '\\' never ends a longer character, as it can in a
// double-byte code page: the last byte tells.
bool EndsInSeparator(const std::string& path) {
  return !path.empty() && IsPathSeparator(path.back());
}

// The program's name for a name the system lists, and whether the file
// calls, converting it back, reach the same name: every name but one of
// broken UTF-16, whose unpaired surrogate UTF-8 cannot carry.
bool NarrowName(std::wstring_view wide, std::string& name) {
  name = Narrow(wide.data(), wide.size());
  return !name.empty() && Wide(name) == wide;
}

TFolderEntry::TKind EntryKind(const WIN32_FIND_DATAW& data) {
  using TKind = TFolderEntry::TKind;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return TKind::File;
  // Only these two lead elsewhere; a folder under any other reparse point
  // (a cloud placeholder, say) holds its own files. The tag is in
  // dwReserved0 for reparse points alone.
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT))
    return TKind::FolderLink;
  return TKind::Folder;
}

}  // namespace

bool IsPathSeparator(char c) {
  return c == '\\' || c == '/' || c == ':';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return EndsInSeparator(folder) ? folder + name : folder + '\\' + name;
}

bool ListFolder(const std::string& folder, std::vector<TFolderEntry>& entries, std::string& error) {
  entries.clear();
  if (NamesNoFile(folder)) {
    error = SystemText(ERROR_INVALID_NAME);
    return false;
  }
  WIN32_FIND_DATAW data{};
  const HANDLE find = ::FindFirstFileExW(SystemPath(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    // Only a drive's empty root lacks even "." and "..".
    if (err == ERROR_FILE_NOT_FOUND) return true;
    error = SystemText(err);
    return false;
  }
  do {
    const std::wstring_view wide(data.cFileName);
    if (wide == L"." || wide == L"..") continue;
    TFolderEntry entry;
    entry.Nameable = NarrowName(wide, entry.Name);
    entry.Kind = EntryKind(data);
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(find, &data));
  const DWORD err = ::GetLastError();
  ::FindClose(find);
  if (err == ERROR_NO_MORE_FILES) return true;
  entries.clear();
  error = SystemText(err);
  return false;
}

std::string OwnPath(const char* argv0) {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD len = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (len == 0) break;
    if (len < buf.size()) {
      std::string own = Narrow(buf.data(), len);
      // The loader may report a long path in its "\\?\" form.
      if (own.rfind("\\\\?\\", 0) == 0 && own.rfind("\\\\?\\UNC\\", 0) != 0) own.erase(0, 4);
      if (!own.empty()) return own;
      break;
    }
    // Cut off: the path is longer than the buffer.
    if (buf.size() >= 32768) break;
    buf.resize(buf.size() * 2);
  }
  return argv0 ? std::string(argv0) : std::string();
}

std::string FullPath(const std::string& path) {
  if (NamesNoFile(path)) return path;
  std::wstring full;
  if (!FullWide(Wide(path), full)) return path;
  std::string result = Narrow(full.data(), full.size());
  return result.empty() ? path : result;
}

// Names are UTF-8 inside: as on POSIX, a name that is not (a settings
// value kept as written, say) is shown as Windows-1252 text.
bool FileNameAsUtf8(const std::string& name, std::string& utf8) {
  utf8 = name;
  return IsValidUtf8(name);
}

// File URLs are read as UTF-8 on Windows, which names are already.
std::string LinkBytesOf(const std::string& name) {
  return name;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // main's argv went through the ANSI code page, which loses every
  // character it lacks; the wide command line holds them all.
  int count = 0;
  LPWSTR* const wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (!wide) {
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
  }
  for (int i = 1; i < count; ++i) args.push_back(Narrow(wide[i], std::wcslen(wide[i])));
  ::LocalFree(wide);
  return args;
}

std::string SettingsNameAsUtf8(const std::string& text) {
  // The settings file is read in the ANSI code page, as Windows' own
  // settings calls read it; a value that names a file is turned into the
  // UTF-8 that names are inside.
  const std::wstring wide = WideIn(CP_ACP, text);
  return wide.empty() ? text : Narrow(wide.data(), wide.size());
}

std::wstring ConsoleText(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  auto put = [&out](char32_t code) {
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(code));
    }
  };
  for (size_t i = 0; i < text.size();) {
    char32_t code = 0;
    const size_t len = Utf8CharAt(text, i, code);
    if (len > 0) {
      put(code);
      i += len;
      continue;
    }
    // A byte of 8-bit text from a model, in the game tools' code page; its
    // five unassigned bytes are shown as the replacement character.
    const char32_t c = Cp1252Char(static_cast<unsigned char>(text[i]));
    put(c != 0 ? c : U'\uFFFD');
    ++i;
  }
  return out;
}

namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

// A console takes UTF-16 whatever its code page; a file or a pipe takes the
// bytes, which the caller writes.
void WriteToConsole(HANDLE handle, std::string_view text) {
  const std::wstring wide = ConsoleText(text);
  for (size_t done = 0; done < wide.size();) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 16384));
    DWORD put = 0;
    if (!::WriteConsoleW(handle, wide.data() + done, want, &put, nullptr) || put == 0) break;
    done += put;
  }
}

}  // namespace

bool WriteConsoleLine(std::string_view text) {
  // Asked once: standard output stays what it was at the start.
  static const bool kToConsole = IsConsole(::GetStdHandle(STD_OUTPUT_HANDLE));
  if (!kToConsole) return false;
  // What the C runtime holds goes first, for the lines to keep their order.
  std::fflush(stdout);
  std::string line(text);
  line += "\r\n";
  WriteToConsole(::GetStdHandle(STD_OUTPUT_HANDLE), line);
  return true;
}

namespace {
// NOTE: the console's control handler runs on a thread of its own and can
// reach nothing but what has static storage: the run's control, set by
// main() before the handler is installed, and the event that tells the
// handler the program has stopped.
std::atomic<TRunControl*> gControl{nullptr};
HANDLE gStopped = nullptr;

BOOL WINAPI NoteStop(DWORD event) {
  TRunControl* const control = gControl.load();
  if (!control) return FALSE;
  const bool closing = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
  if (control->RequestStop(event == CTRL_C_EVENT ? SIGINT : SIGTERM) > 1 && !closing) {
    control->RemoveFilesUnderWay();
    ::ExitProcess(1);
  }
  // Closing the window ends the process when the handler returns, about
  // five seconds on: wait for the program to stop cleanly first.
  if (closing && gStopped) ::WaitForSingleObject(gStopped, 4500);
  return TRUE;
}
}  // namespace

void InstallStopHandlers(TRunControl& control) {
  gControl.store(&control);
  if (!gStopped) gStopped = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ::SetConsoleCtrlHandler(NoteStop, TRUE);
}

void EndAsStopped(int) {
  if (gStopped) ::SetEvent(gStopped);
}

void RemoveFileNow(const char* path) noexcept {
  RemoveFile(path);
}

std::string LastErrorText() {
  return SystemText(::GetLastError());
}

bool ErrorIsTerminal() {
  // Not _isatty, which is true for NUL too.
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void WriteError(const std::string& text) {
  const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  if (IsConsole(err)) {
    WriteToConsole(err, text);
    return;
  }
  DWORD put = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
}

void WaitIfOwnConsole() {
  // A console that only this process uses was made for it: the window
  // closes when the program ends.
  DWORD processes[2];
  if (::GetConsoleProcessList(processes, 2) != 1) return;
  std::fputs("Press Enter to close this window.\r\n", stdout);
  std::fflush(stdout);
  for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
  }
}

uint32_t ProcessId() {
  return static_cast<uint32_t>(::GetCurrentProcessId());
}

std::string LocalDateTimeText() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return DateTimeText(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

}  // namespace bw::plat
