#include "common/file_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include "common/text.hpp"

namespace lumora {

namespace fs = std::filesystem;

namespace {

std::string Errno() { return std::strerror(errno); }

std::string CannotWrite(const fs::path& path, const std::string& why) {
  return "cannot write " + EchoText(path.string(), 256) + ": " + why;
}

bool WriteAll(int fd, std::string_view content) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// The process's umask, read without changing it (umask() would, for every thread).
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

fs::path ParentOf(const fs::path& path) {
  const fs::path parent = path.parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

// The kernel's rule for links in sticky world-writable folders, applied to the
// link the program is asked to follow: only links of the user or of the
// folder's owner are trusted there.
bool PlantedLink(const fs::path& link, const struct stat& linkStat) {
  struct stat folder {};
  if (::stat(ParentOf(link).c_str(), &folder) != 0) return true;
  const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
  return shared && linkStat.st_uid != ::geteuid() && linkStat.st_uid != folder.st_uid;
}

struct Resolved {
  fs::path target;
  bool exists = false;
  struct stat info {};
  std::string error;
};

// Follows links to the file they name, refusing planted ones.
Resolved ResolveTarget(const fs::path& requested) {
  Resolved r;
  fs::path path = requested;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
      if (errno != ENOENT) {
        r.error = CannotWrite(requested, Errno());
        return r;
      }
      r.target = path;
      return r;
    }
    if (!S_ISLNK(info.st_mode)) {
      r.target = path;
      r.exists = true;
      r.info = info;
      return r;
    }
    if (PlantedLink(path, info)) {
      r.error = CannotWrite(requested, "it is a link in the shared folder " + ParentOf(path).string() +
                                           " that belongs to another user; remove it or choose another name");
      return r;
    }
    std::error_code ec;
    const fs::path next = fs::read_symlink(path, ec);
    if (ec) {
      r.error = CannotWrite(requested, ec.message());
      return r;
    }
    path = next.is_absolute() ? next : ParentOf(path) / next;
  }
  r.error = CannotWrite(requested, "too many levels of links");
  return r;
}

// A name nobody can guess, so that nobody can prepare it.
std::string RandomSuffix() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device seed;
  std::string s;
  for (int i = 0; i < 12; ++i) s += kChars[seed() % (sizeof(kChars) - 1)];
  return s;
}

// Writes every piece the writer makes; false, with errno telling why when it
// was the file, when a piece could not be written or the writer gave up.
bool WriteAllOf(int fd, const ContentWriter& write) {
  errno = 0;
  const bool ok = write([fd](std::string_view piece) { return WriteAll(fd, piece); });
  if (!ok && errno == 0) errno = ECANCELED;
  return ok;
}

WriteOutcome WriteInPlace(const fs::path& requested, const fs::path& path, const ContentWriter& content, bool truncate) {
  // A regular file is opened as resolved (no link); a device by the name given.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (truncate ? O_TRUNC | O_NOFOLLOW : 0));
  if (fd < 0) return {false, CannotWrite(requested, Errno())};
  bool ok = WriteAllOf(fd, content);
  std::string why = ok ? std::string() : Errno();
  if (ok && truncate && ::fsync(fd) != 0) {
    ok = false;
    why = Errno();
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    why = Errno();
  }
  if (!ok) return {false, CannotWrite(requested, why + (truncate ? " (the file may be incomplete)" : ""))};
  return {};
}

void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename itself has already succeeded
  ::close(fd);
}

}  // namespace

FileTransaction::FileTransaction(const TempFileWatch* watch) : watch_(watch) {}

FileTransaction::~FileTransaction() {
  for (Staged& staged : staged_) Discard(staged);
}

void FileTransaction::Discard(Staged& staged) {
  if (staged.temp.empty()) return;
  ::unlink(staged.temp.c_str());
  if (watch_ && watch_->gone) watch_->gone(staged.temp);
  staged.temp.clear();
}

WriteOutcome FileTransaction::Stage(const fs::path& requested, std::string_view content, SpecialFiles special) {
  // Held by the transaction, since a device or a file of several names is
  // written again at commit.
  auto text = std::make_shared<const std::string>(content);
  return Stage(requested, ContentWriter([text](const ContentSink& put) { return put(*text); }), special);
}

WriteOutcome FileTransaction::Stage(const fs::path& requested, const ContentWriter& content, SpecialFiles special) {
  if (requested.empty()) return {false, "cannot write a file without a name"};
  const Resolved resolved = ResolveTarget(requested);
  if (!resolved.error.empty()) return {false, resolved.error};
  Staged staged;
  staged.requested = requested;
  staged.target = resolved.target;
  const struct stat& info = resolved.info;
  struct stat followed {};
  if (::stat(requested.c_str(), &followed) == 0 && !S_ISREG(followed.st_mode) && !S_ISDIR(followed.st_mode)) {
    if (special == SpecialFiles::Refuse) return {false, CannotWrite(requested, "it is not a regular file")};
    // Devices and pipes ("/dev/stdout", a named pipe): a rename would replace
    // them with a regular file. Opened by the name given, since links such as
    // /proc/self/fd/1 only resolve when opened.
    staged.target = requested;
    staged.inPlace = true;
    staged.write = content;
    staged_.push_back(std::move(staged));
    return {};
  }
  if (resolved.exists) {
    if (S_ISDIR(info.st_mode)) return {false, CannotWrite(requested, "it is a folder")};
    if (!S_ISREG(info.st_mode)) return {false, CannotWrite(requested, "it is not a regular file")};
    if ((info.st_mode & 0222) == 0) return {false, CannotWrite(requested, "the file is read-only")};
    if (::access(resolved.target.c_str(), W_OK) != 0) return {false, CannotWrite(requested, Errno())};
  }

  const fs::path folder = ParentOf(resolved.target);
  const std::string base = "." + resolved.target.filename().string() + ".";
  int fd = -1;
  fs::path temp;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder / (base + RandomSuffix() + ".part");
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) return {false, CannotWrite(requested, Errno())};
  }
  if (fd < 0) return {false, CannotWrite(requested, "no temporary file could be created beside it")};
  staged.temp = temp;
  if (watch_ && watch_->created) watch_->created(temp);

  bool ok = WriteAllOf(fd, content);
  std::string why = ok ? std::string() : Errno();
  if (ok && resolved.exists) {
    // The replacement keeps the owner (where allowed) and the mode of the file it replaces.
    if ((info.st_uid != ::geteuid() || info.st_gid != ::getegid()) && ::fchown(fd, info.st_uid, info.st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), info.st_gid) != 0) {
      // Only root may give a file away, and only to a group one belongs to:
      // otherwise the replacement is the user's, as any new file would be.
    }
    if (::fchmod(fd, info.st_mode & 07777) != 0) {
      ok = false;
      why = Errno();
    }
  } else if (ok && ::fchmod(fd, 0666 & ~CurrentUmask()) != 0) {
    ok = false;
    why = Errno();
  }
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    why = Errno();
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    why = Errno();
  }
  if (!ok) {
    Discard(staged);
    return {false, CannotWrite(requested, why)};
  }
  if (resolved.exists && info.st_nlink > 1) {
    // A rename would split the names apart; the staged copy has proved the
    // space is there, so the file itself is rewritten.
    staged.inPlace = true;
    staged.write = content;
  }
  staged_.push_back(std::move(staged));
  return {};
}

WriteOutcome FileTransaction::Commit() {
  WriteOutcome outcome;
  for (Staged& staged : staged_) {
    if (staged.inPlace) {
      const bool regular = !staged.temp.empty();
      outcome = WriteInPlace(staged.requested, staged.target, staged.write, regular);
      Discard(staged);
    } else if (::rename(staged.temp.c_str(), staged.target.c_str()) != 0) {
      outcome = {false, CannotWrite(staged.requested, Errno())};
      Discard(staged);
    } else {
      if (watch_ && watch_->gone) watch_->gone(staged.temp);
      staged.temp.clear();
      SyncFolder(ParentOf(staged.target));
    }
    if (!outcome.ok) break;
  }
  for (Staged& staged : staged_) Discard(staged);
  staged_.clear();
  return outcome;
}

WriteOutcome WriteFileAtomically(const fs::path& path, std::string_view content, const TempFileWatch* watch,
                                 SpecialFiles special) {
  FileTransaction transaction(watch);
  const WriteOutcome staged = transaction.Stage(path, content, special);
  if (!staged.ok) return staged;
  return transaction.Commit();
}

WriteOutcome WriteFileAtomically(const fs::path& path, const ContentWriter& write, const TempFileWatch* watch,
                                 SpecialFiles special) {
  FileTransaction transaction(watch);
  const WriteOutcome staged = transaction.Stage(path, write, special);
  if (!staged.ok) return staged;
  return transaction.Commit();
}

std::optional<std::string> ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

ReadOutcome ReadSmallRegularFile(const fs::path& path, std::size_t maxBytes) {
  ReadOutcome r;
  auto refuse = [&r](std::string problem) {
    r.status = ReadStatus::Refused;
    r.problem = std::move(problem);
    return r;
  };
  auto kind = [](const struct stat& info) -> std::optional<std::string> {
    if (S_ISREG(info.st_mode)) return std::nullopt;
    if (S_ISDIR(info.st_mode)) return std::string("is a folder, not a file");
    if (S_ISFIFO(info.st_mode)) return std::string("is a pipe, not a file");
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return std::string("is a device, not a file");
    return std::string("is not a regular file");
  };
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) {
      r.status = ReadStatus::Missing;
      return r;
    }
    return refuse("cannot be read: " + Errno());
  }
  // Checked before opening: opening a device or pipe can block or act.
  if (auto problem = kind(info)) return refuse(*problem);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return refuse("cannot be read: " + Errno());
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  if (::fstat(fd, &info) != 0) return refuse("cannot be read: " + Errno());
  if (auto problem = kind(info)) return refuse(*problem);
  const std::string tooLarge = "is larger than " + std::to_string(maxBytes) + " bytes";
  if (static_cast<std::size_t>(info.st_size) > maxBytes) return refuse(tooLarge);
  // Sized by the file, grown only if it grows while read (one byte beyond the
  // limit tells a too-large file), so that a large limit costs nothing.
  const std::size_t limit = maxBytes + 1;
  std::string text(std::min(limit, static_cast<std::size_t>(info.st_size) + 1), '\0');
  std::size_t got = 0;
  while (got < limit) {
    if (got == text.size()) text.resize(std::min(limit, 2 * text.size()));
    const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return refuse("cannot be read: " + Errno());
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > maxBytes) return refuse(tooLarge);
  text.resize(got);
  r.text = std::move(text);
  return r;
}

bool IsPrivateFolder(const fs::path& folder, uid_t uid) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid &&
         (info.st_mode & 077) == 0;
}

FolderOutcome PrivateTempFolder(const fs::path& runtimeDir, const fs::path& base) {
  const uid_t uid = ::geteuid();
  // mkdir then check: an existing entry of that name counts only when it is
  // the user's own private folder; a stranger's folder or a link is passed over.
  auto own = [uid](const fs::path& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != uid) return false;
    if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return false;
    return IsPrivateFolder(folder, uid);
  };
  if (!runtimeDir.empty() && runtimeDir.is_absolute() && IsPrivateFolder(runtimeDir, uid) &&
      own(runtimeDir / "lumora"))
    return {runtimeDir / "lumora", {}};
  if (base.empty()) return {{}, "no folder for temporary files"};
  const fs::path shared = base / ("lumora-" + std::to_string(uid));
  if (own(shared)) return {shared, {}};
  std::string pattern = (base / "lumora-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) return {fs::path(pattern), {}};
  return {{}, "cannot create a private folder in " + EchoText(base.string(), 256) + ": " + Errno()};
}

}  // namespace lumora
