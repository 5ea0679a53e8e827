// Where a write lands: the path walked one component at a time from an open
// folder, so that no folder or link on it can be swapped between the check
// and the write, and no link that another user planted in a shared sticky
// folder (/tmp) is followed, wherever on the path it stands.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>

namespace lumora {

// An open folder (O_PATH), shared by everything staged in it.
class OpenFolder {
 public:
  explicit OpenFolder(int fd) : fd_(fd) {}
  ~OpenFolder();
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

struct WriteTarget {
  std::shared_ptr<OpenFolder> folder;  // holds the target
  std::string name;                    // the target's name in it
  std::filesystem::path folderPath;    // the folder as a path, for the signal guard
  bool exists = false;
  struct stat info {};                 // the target's, when it exists
  // A device or pipe: written in place. kernelLink: name is a link of the
  // kernel's own (/proc/self/fd/1 -> "pipe:[…]") that only opening resolves.
  bool special = false;
  bool kernelLink = false;
  std::string error;  // "cannot write …: why"; the rest is unset then
};

// Follows the user's links (and any link outside shared sticky folders) as the
// kernel would; a link in a world-writable sticky folder is followed only when
// it belongs to the user or to the folder's owner, the kernel's own rule.
WriteTarget FindWriteTarget(const std::filesystem::path& requested);

// "cannot write PATH: why", the path escaped and cut.
std::string CannotWrite(const std::filesystem::path& path, const std::string& why);

}  // namespace lumora
