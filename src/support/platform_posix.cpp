#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <system_error>
#include <vector>

#include "support/platform.h"
#include "support/run_control.h"
#include "support/text_helpers.h"

namespace bw::plat {
namespace {

std::string SystemText(int err) {
  return std::error_code(err, std::system_category()).message() + ".";
}

// flock reports a lock held elsewhere as EWOULDBLOCK, whose system text
// ("Resource temporarily unavailable") says nothing useful to a user.
std::string LockText(int err) {
  if (err == EWOULDBLOCK) return "The file is in use by another program.";
  return SystemText(err);
}

int Fd(TFileHandle file) {
  return static_cast<int>(file);
}

// The system ends a name at its first NUL; a name with one inside (the
// settings can put one into an extension) would reach another file than the
// one the program means, and the temporary name of an output would be its
// final name. Such a name names no file.
bool NamesNoFile(const std::string& path) {
  return path.find('\0') != std::string::npos;
}

// Opens an existing file, not a folder, for reading.
int OpenExisting(const std::string& path, std::string& error) {
  if (NamesNoFile(path)) {
    error = SystemText(EINVAL);
    return -1;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = SystemText(errno);
    return -1;
  }
  // A folder opens for reading on POSIX but has no bytes to give.
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    error = SystemText(err);
    return -1;
  }
  return fd;
}

}  // namespace

const char* LineBreak() {
  return "\n";
}

TFileHandle OpenForRead(const std::string& path, std::string& error) {
  const int fd = OpenExisting(path, error);
  if (fd < 0) return kNoFile;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    error = LockText(err);
    return kNoFile;
  }
  return fd;
}

TFileHandle CreateForWrite(const std::string& path, std::string& error) {
  // Without O_TRUNC: a file that someone else holds must not be emptied
  // before we know we own it.
  if (NamesNoFile(path)) {
    error = SystemText(EINVAL);
    return kNoFile;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = SystemText(errno);
    return kNoFile;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    error = LockText(err);
    return kNoFile;
  }
  // NOTE: a file that is empty already (most are new) is not truncated:
  // on ext4 truncating a file makes its close start writing the file out,
  // which for the thousands of files of a folder run costs more than the
  // conversion.
  struct stat st {};
  const bool empty = ::fstat(fd, &st) == 0 && st.st_size == 0;
  if (!empty && ::ftruncate(fd, 0) != 0) {
    const int err = errno;
    ::close(fd);
    error = SystemText(err);
    return kNoFile;
  }
  return fd;
}

TFileHandle OpenShared(const std::string& path, std::string& error) {
  // No lock: a program that saves the file meanwhile is not kept waiting,
  // and whoever reads on checks the file's stamp instead.
  const int fd = OpenExisting(path, error);
  return fd < 0 ? kNoFile : fd;
}

void CloseFile(TFileHandle file) {
  if (file != kNoFile) ::close(Fd(file));
}

int64_t ReadFile(TFileHandle file, void* buffer, int64_t count) {
  auto* out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(Fd(file), out + done, static_cast<size_t>(count - done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  return done;
}

int64_t ReadAt(TFileHandle file, int64_t offset, void* buffer, int64_t count) {
  auto* out = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(Fd(file), out + done, static_cast<size_t>(count - done), offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  return done;
}

int64_t WriteFile(TFileHandle file, const void* buffer, int64_t count) {
  const auto* in = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(Fd(file), in + done, static_cast<size_t>(count - done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += put;
  }
  return done;
}

int64_t SeekFile(TFileHandle file, int64_t offset, int origin) {
  const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  const off_t pos = ::lseek(Fd(file), static_cast<off_t>(offset), whence);
  return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

int64_t FileEnd(TFileHandle file) {
  struct stat st {};
  if (::fstat(Fd(file), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool TruncateFile(TFileHandle file, int64_t size) {
  return size >= 0 && ::ftruncate(Fd(file), static_cast<off_t>(size)) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !NamesNoFile(path) && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& path) {
  return PathKind(path) == EPathKind::Folder;
}

EPathKind PathKind(const std::string& path) {
  struct stat st {};
  if (NamesNoFile(path) || ::stat(path.c_str(), &st) != 0) return EPathKind::None;
  return S_ISDIR(st.st_mode) ? EPathKind::Folder : EPathKind::File;
}

bool MakeFolder(const std::string& path) {
  if (NamesNoFile(path)) return false;
  return ::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && FolderExists(path));
}

bool FileIdentity(const std::string& path, TFileId& id) {
  struct stat st {};
  if (NamesNoFile(path) || ::stat(path.c_str(), &st) != 0) return false;
  id.Volume = static_cast<uint64_t>(st.st_dev);
  id.Index = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool FileStampOf(TFileHandle file, TFileStamp& stamp) {
  struct stat st {};
  if (::fstat(Fd(file), &st) != 0) return false;
  stamp.Id.Volume = static_cast<uint64_t>(st.st_dev);
  stamp.Id.Index = static_cast<uint64_t>(st.st_ino);
  stamp.Size = static_cast<int64_t>(st.st_size);
  stamp.ModTime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

bool RenameReplace(const std::string& from, const std::string& to) {
  return !NamesNoFile(from) && !NamesNoFile(to) && ::rename(from.c_str(), to.c_str()) == 0;
}

bool RenameReplace(const std::string& from, const std::string& to, std::string& error) {
  if (NamesNoFile(from) || NamesNoFile(to)) {
    error = SystemText(EINVAL);
    return false;
  }
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  error = SystemText(errno);
  return false;
}

void RemoveFile(const std::string& path) {
  if (!NamesNoFile(path)) ::unlink(path.c_str());
}

bool ProgramExpandsWildcards() {
  return false;
}

bool ListFiles(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  if (NamesNoFile(folder)) return false;
  DIR* const dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return false;
  bool ok = true;
  for (;;) {
    errno = 0;
    const dirent* const entry = ::readdir(dir);
    if (entry == nullptr) {
      ok = errno == 0;
      break;
    }
    // stat, not the entry's type: a link to a file is a file to every
    // other call here, and some file systems leave the type unknown.
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
      names.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  return ok;
}

bool IsPathSeparator(char c) {
  return c == '/';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return IsPathSeparator(folder.back()) ? folder + name : folder + '/' + name;
}

namespace {

using TKind = TFolderEntry::TKind;

TKind KindOf(mode_t mode) {
  return S_ISREG(mode) ? TKind::File : S_ISDIR(mode) ? TKind::Folder : TKind::Other;
}

// The entry's type spares a stat for most names; a link, or a file system
// that leaves the type unknown, costs one or two.
TKind EntryKind(int dirFd, const dirent& entry) {
  if (entry.d_type == DT_REG) return TKind::File;
  if (entry.d_type == DT_DIR) return TKind::Folder;
  struct stat st {};
  if (entry.d_type != DT_LNK) {
    if (entry.d_type != DT_UNKNOWN) return TKind::Other;
    if (::fstatat(dirFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return TKind::Unknown;
    if (!S_ISLNK(st.st_mode)) return KindOf(st.st_mode);
  }
  if (::fstatat(dirFd, entry.d_name, &st, 0) != 0) return TKind::Unknown;
  const TKind target = KindOf(st.st_mode);
  return target == TKind::Folder ? TKind::FolderLink : target;
}

}  // namespace

bool ListFolder(const std::string& folder, std::vector<TFolderEntry>& entries, std::string& error) {
  entries.clear();
  if (NamesNoFile(folder)) {
    error = SystemText(EINVAL);
    return false;
  }
  DIR* const dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) {
    error = SystemText(errno);
    return false;
  }
  for (;;) {
    errno = 0;
    const dirent* const entry = ::readdir(dir);
    if (entry == nullptr) break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back({std::string(name), EntryKind(::dirfd(dir), *entry), true});
  }
  const int err = errno;
  ::closedir(dir);
  if (err == 0) return true;
  entries.clear();
  error = SystemText(err);
  return false;
}

std::string OwnPath(const char* argv0) {
  std::vector<char> buf(4096);
  for (;;) {
    const ssize_t len = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (len < 0) break;
    if (static_cast<size_t>(len) < buf.size()) return std::string(buf.data(), static_cast<size_t>(len));
    // Cut off: the path is longer than the buffer.
    if (buf.size() >= (size_t{1} << 20)) break;
    buf.resize(buf.size() * 2);
  }
  return argv0 ? std::string(argv0) : std::string();
}

std::string FullPath(const std::string& path) {
  if (NamesNoFile(path)) return path;
  char* full = ::realpath(path.c_str(), nullptr);
  if (!full) return path;
  std::string result(full);
  std::free(full);
  return result;
}

bool FileNameAsUtf8(const std::string& name, std::string& utf8) {
  utf8 = name;
  return IsValidUtf8(name);
}

std::string LinkBytesOf(const std::string& name) {
  return name;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return args;
}

std::string SettingsNameAsUtf8(const std::string& text) {
  return text;
}

bool WriteConsoleLine(std::string_view) {
  // A terminal takes the bytes.
  return false;
}

namespace {
// NOTE: a signal handler reaches only what has static storage: the run's
// control, set by main() before the handlers are installed and never after.
std::atomic<TRunControl*> gControl{nullptr};
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void SetAction(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

extern "C" void NoteStop(int signal) {
  const int saved = errno;
  TRunControl* const control = gControl.load();
  if (control && control->RequestStop(signal) > 1) {
    // The user insists: what is under way goes, and so does the program.
    control->RemoveFilesUnderWay();
    SetAction(signal, SIG_DFL);
    ::raise(signal);  // delivered as the handler returns
  }
  errno = saved;
}
}  // namespace

void InstallStopHandlers(TRunControl& control) {
  gControl.store(&control);
  for (const int signal : kStopSignals) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    SetAction(signal, NoteStop);
  }
}

void EndAsStopped(int signal) {
  if (signal == 0) return;
  SetAction(signal, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
}

void RemoveFileNow(const char* path) noexcept {
  ::unlink(path);
}

std::string LastErrorText() {
  return SystemText(errno);
}

bool ErrorIsTerminal() {
  const char* term = std::getenv("TERM");
  return ::isatty(2) == 1 && !(term && std::string_view(term) == "dumb");
}

void WriteError(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(2, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    done += static_cast<size_t>(put);
  }
}

void WaitIfOwnConsole() {}

uint32_t ProcessId() {
  return static_cast<uint32_t>(::getpid());
}

std::string LocalDateTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm tmNow{};
  if (::localtime_r(&now, &tmNow) == nullptr) return {};
  return DateTimeText(tmNow.tm_year + 1900, tmNow.tm_mon + 1, tmNow.tm_mday, tmNow.tm_hour, tmNow.tm_min,
                      tmNow.tm_sec);
}

}  // namespace bw::plat
