#include "common/write_target.hpp"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "common/text.hpp"

namespace lumora {

namespace fs = std::filesystem;

OpenFolder::~OpenFolder() {
  if (fd_ >= 0) ::close(fd_);
}

std::string CannotWrite(const fs::path& path, const std::string& why) {
  return "cannot write " + EchoText(path.string(), 256) + ": " + why;
}

namespace {

std::string Errno() { return std::strerror(errno); }

// The names of a path; a trailing slash gives a last empty name (a folder).
std::deque<std::string> Names(const std::string& path) {
  std::deque<std::string> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start) names.emplace_back(path.substr(start, slash - start));
    else if (slash == path.size() && start == path.size() && start > 0) names.emplace_back();
    start = slash + 1;
  }
  return names;
}

std::shared_ptr<OpenFolder> Open(int at, const char* name, bool follow) {
  const int fd = ::openat(at, name, O_PATH | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
  return fd < 0 ? nullptr : std::make_shared<OpenFolder>(fd);
}

// The kernel's rule for links in sticky world-writable folders: only links of
// the user or of the folder's owner are trusted there.
bool Planted(int folder, const struct stat& link) {
  struct stat info {};
  if (::fstat(folder, &info) != 0) return true;
  const bool shared = (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
  return shared && link.st_uid != ::geteuid() && link.st_uid != info.st_uid;
}

bool OnProc(int folder) {
  struct statfs info {};
  return ::fstatfs(folder, &info) == 0 && info.f_type == PROC_SUPER_MAGIC;
}

std::optional<std::string> LinkText(int folder, const std::string& name) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = ::readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
    if (n < 0) return std::nullopt;
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

WriteTarget FindWriteTarget(const fs::path& requested) {
  WriteTarget t;
  auto fail = [&](const std::string& why) {
    t.folder.reset();
    t.error = CannotWrite(requested, why);
    return t;
  };
  const std::string& text = requested.native();
  if (text.empty()) {
    t.error = "cannot write a file without a name";
    return t;
  }
  const bool absolute = text[0] == '/';
  std::shared_ptr<OpenFolder> folder = Open(AT_FDCWD, absolute ? "/" : ".", true);
  if (!folder) return fail(Errno());
  fs::path folderPath = absolute ? fs::path("/") : fs::path();
  std::deque<std::string> rest = Names(text);
  int links = 0, swaps = 0;
  while (!rest.empty()) {
    const std::string name = rest.front();
    rest.pop_front();
    const bool last = rest.empty();
    if (name.empty() || name == "." || name == "..") {
      if (last) return fail("it is a folder");
      if (name == "..") {
        folder = Open(folder->fd(), "..", false);
        if (!folder) return fail(Errno());
        folderPath /= "..";
      }
      continue;
    }
    struct stat info {};
    if (::fstatat(folder->fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT || !last) return fail(Errno());
      t.folder = folder;
      t.name = name;
      t.folderPath = folderPath;
      return t;
    }
    if (S_ISLNK(info.st_mode)) {
      const fs::path where = folderPath.empty() ? fs::path(".") : folderPath;
      if (Planted(folder->fd(), info))
        return fail("it is a link in the shared folder " + EchoText(where.string(), 256) +
                    " that belongs to another user; remove it or choose another name");
      if (++links > 40) return fail("too many levels of links");
      const std::optional<std::string> target = LinkText(folder->fd(), name);
      if (!target) return fail(Errno());
      if (OnProc(folder->fd()) && (target->empty() || (*target)[0] != '/')) {
        // The kernel's own links (/proc/self, fd/1 -> "pipe:[…]"): only the kernel resolves them.
        if (!last) {
          folder = Open(folder->fd(), name.c_str(), true);
          if (!folder) return fail(Errno());
          folderPath /= name;
          continue;
        }
        struct stat followed {};
        if (::fstatat(folder->fd(), name.c_str(), &followed, 0) != 0) return fail(Errno());
        if (S_ISDIR(followed.st_mode)) return fail("it is a folder");
        t.folder = folder;
        t.name = name;
        t.folderPath = folderPath;
        t.exists = true;
        t.info = followed;
        t.kernelLink = true;
        t.special = !S_ISREG(followed.st_mode);
        if (!t.special) return fail("it is a link the kernel keeps, not a file of its own");
        return t;
      }
      std::deque<std::string> names = Names(*target);
      rest.insert(rest.begin(), names.begin(), names.end());
      if (!target->empty() && (*target)[0] == '/') {
        folder = Open(AT_FDCWD, "/", true);
        if (!folder) return fail(Errno());
        folderPath = "/";
      }
      continue;
    }
    if (last) {
      t.folder = folder;
      t.name = name;
      t.folderPath = folderPath;
      t.exists = true;
      t.info = info;
      t.special = !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
      return t;
    }
    if (!S_ISDIR(info.st_mode)) return fail(std::strerror(ENOTDIR));
    std::shared_ptr<OpenFolder> next = Open(folder->fd(), name.c_str(), false);
    if (!next) {
      // Replaced by a link since it was looked at: look again.
      if ((errno == ELOOP || errno == ENOTDIR) && ++swaps < 40) {
        rest.push_front(name);
        continue;
      }
      return fail(Errno());
    }
    folder = next;
    folderPath /= name;
  }
  return fail("it is a folder");  // "/"
}

}  // namespace lumora
