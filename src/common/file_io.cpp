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

// A device or pipe, opened by its name in its folder: never created, never truncated.
WriteOutcome WriteDevice(const fs::path& requested, const OpenFolder& folder, const std::string& name, bool follow,
                         const ContentWriter& content) {
  const int fd = ::openat(folder.fd(), name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
  if (fd < 0) return {false, CannotWrite(requested, Errno())};
  bool ok = WriteAllOf(fd, content);
  std::string why = ok ? std::string() : Errno();
  if (::close(fd) != 0 && ok) {
    ok = false;
    why = Errno();
  }
  if (!ok) return {false, CannotWrite(requested, why)};
  return {};
}

void SyncFolder(const OpenFolder& folder) {
  const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename itself has already succeeded
  ::close(fd);
}

// Copies the staged file over the target's content, then trims and syncs it.
// False with errno when it could not; the target may be cut short then.
bool CopyOver(int from, int to, const std::function<void(std::string_view)>& step) {
  std::vector<char> buffer(1 << 16);
  off_t total = 0;
  for (;;) {
    const ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    if (!WriteAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return false;
    total += n;
  }
  if (step) step("copied");
  return ::ftruncate(to, total) == 0 && ::fsync(to) == 0;
}

}  // namespace

FileTransaction::FileTransaction(const TempFileWatch* watch) : watch_(watch) {}

FileTransaction::~FileTransaction() {
  for (Staged& staged : staged_) Discard(staged);
}

void FileTransaction::Step(std::string_view step) const {
  if (watch_ && watch_->step) watch_->step(step);
}

void FileTransaction::Discard(Staged& staged) {
  if (staged.temp.empty() || staged.kept) return;
  ::unlinkat(staged.folder->fd(), staged.temp.c_str(), 0);
  if (watch_ && watch_->gone) watch_->gone(staged.tempPath);
  staged.temp.clear();
}

WriteOutcome FileTransaction::Stage(const fs::path& requested, std::string_view content, SpecialFiles special) {
  // Held by the transaction, since a device is written at commit.
  auto text = std::make_shared<const std::string>(content);
  return Stage(requested, ContentWriter([text](const ContentSink& put) { return put(*text); }), special);
}

WriteOutcome FileTransaction::Stage(const fs::path& requested, const ContentWriter& content, SpecialFiles special) {
  const WriteTarget target = FindWriteTarget(requested);
  if (!target.error.empty()) return {false, target.error};
  Staged staged;
  staged.requested = requested;
  staged.folder = target.folder;
  staged.name = target.name;
  const struct stat& info = target.info;
  if (target.special) {
    if (special == SpecialFiles::Refuse) return {false, CannotWrite(requested, "it is not a regular file")};
    // Devices and pipes ("/dev/stdout", a named pipe): a rename would replace
    // them with a regular file.
    staged.kind = Staged::Kind::Device;
    staged.followLink = target.kernelLink;
    staged.write = content;
    staged_.push_back(std::move(staged));
    return {};
  }
  if (target.exists) {
    if (S_ISDIR(info.st_mode)) return {false, CannotWrite(requested, "it is a folder")};
    if ((info.st_mode & 0222) == 0) return {false, CannotWrite(requested, "the file is read-only")};
    if (::faccessat(target.folder->fd(), target.name.c_str(), W_OK, 0) != 0)
      return {false, CannotWrite(requested, Errno())};
  }

  const std::string base = "." + target.name + ".";
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    staged.temp = base + RandomSuffix() + ".part";
    staged.tempPath = target.folderPath / staged.temp;
    // Watched before it exists: a signal between the two would leave it behind.
    if (watch_ && watch_->created) watch_->created(staged.tempPath);
    fd = ::openat(target.folder->fd(), staged.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                  0600);
    if (fd < 0) {
      const int error = errno;
      if (watch_ && watch_->gone) watch_->gone(staged.tempPath);
      errno = error;
      if (error != EEXIST) return {false, CannotWrite(requested, Errno())};
    }
  }
  if (fd < 0) return {false, CannotWrite(requested, "no temporary file could be created beside it")};

  bool ok = WriteAllOf(fd, content);
  std::string why = ok ? std::string() : Errno();
  if (ok && target.exists) {
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
  if (target.exists && info.st_nlink > 1) {
    // A rename would split the names apart: the file itself is rewritten from
    // the staged copy, which has proved the space is there.
    staged.kind = Staged::Kind::CopyInPlace;
    staged.device = info.st_dev;
    staged.inode = info.st_ino;
  }
  staged_.push_back(std::move(staged));
  Step("staged");
  return {};
}

WriteOutcome FileTransaction::CommitCopy(Staged& staged) {
  // Until the target is synced the staged file is the only whole copy of the
  // new content: a signal must leave it, and a failure names it.
  if (watch_ && watch_->keep) watch_->keep(staged.tempPath, staged.requested);
  staged.kept = true;
  Step("copying");
  const int from = ::openat(staged.folder->fd(), staged.temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  const int to = from < 0 ? -1 : ::openat(staged.folder->fd(), staged.name.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  struct stat now {};
  const bool same = to >= 0 && ::fstat(to, &now) == 0 && now.st_dev == staged.device && now.st_ino == staged.inode;
  WriteOutcome outcome;
  if (from < 0 || to < 0) {
    outcome = {false, CannotWrite(staged.requested, Errno())};
  } else if (!same) {
    outcome = {false, CannotWrite(staged.requested, "it was replaced while it was written")};
  } else if (!CopyOver(from, to, watch_ ? watch_->step : nullptr)) {
    outcome = {false, CannotWrite(staged.requested, Errno() + "; the file may be incomplete, its new content is in " +
                                                        EchoText(staged.tempPath.string(), 256))};
  }
  if (from >= 0) ::close(from);
  if (to >= 0 && ::close(to) != 0 && outcome.ok)
    outcome = {false, CannotWrite(staged.requested, Errno() + "; the file may be incomplete, its new content is in " +
                                                        EchoText(staged.tempPath.string(), 256))};
  if (!outcome.ok && outcome.error.find("its new content is in") != std::string::npos) return outcome;  // kept
  Step("synced");
  staged.kept = false;
  Discard(staged);
  return outcome;
}

WriteOutcome FileTransaction::Commit() {
  WriteOutcome outcome;
  // Devices and pipes first: they may wait for a reader, so they are written
  // before the files, whose replacement is not to be cut short by a signal.
  for (Staged& staged : staged_) {
    if (staged.kind != Staged::Kind::Device || !outcome.ok) continue;
    outcome = WriteDevice(staged.requested, *staged.folder, staged.name, staged.followLink, staged.write);
  }
  if (outcome.ok) {
    if (watch_ && watch_->committing) watch_->committing(true);
    for (Staged& staged : staged_) {
      if (staged.kind == Staged::Kind::Device) continue;
      if (staged.kind == Staged::Kind::CopyInPlace) {
        outcome = CommitCopy(staged);
      } else if (::renameat(staged.folder->fd(), staged.temp.c_str(), staged.folder->fd(), staged.name.c_str()) != 0) {
        outcome = {false, CannotWrite(staged.requested, Errno())};
      } else {
        if (watch_ && watch_->gone) watch_->gone(staged.tempPath);
        staged.temp.clear();
        SyncFolder(*staged.folder);
        Step("renamed");
      }
      if (!outcome.ok) break;
    }
  }
  for (Staged& staged : staged_) Discard(staged);
  staged_.clear();
  // May end the program, when a signal came meanwhile.
  if (watch_ && watch_->committing) watch_->committing(false);
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
