// Whole-file reading and writing. A write either replaces the file completely
// or leaves it as it was and says why: a failed write never leaves a partial file.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/write_target.hpp"

namespace lumora {

struct WriteOutcome {
  bool ok = true;
  std::string error;  // empty when ok
};

// Told about every temporary file a write creates and about its end (renamed
// or removed), so that a program can remove what a signal interrupts.
struct TempFileWatch {
  // Called just before a temporary file is created (a signal in between must
  // not leave it behind), and gone when it could not be or is removed.
  std::function<void(const std::filesystem::path&)> created;
  std::function<void(const std::filesystem::path&)> gone;
  // The temporary file now holds the only whole copy of target's new content
  // (the target, of several names, is being rewritten in place): a signal
  // must leave it, and the user must learn where it is. gone follows once the
  // target is synced.
  std::function<void(const std::filesystem::path& temp, const std::filesystem::path& target)> keep;
  // true before the targets are replaced, false after: a signal meanwhile is
  // best acted on afterwards, so that a commit is all or none. The call with
  // false may end the program.
  std::function<void(bool)> committing;
  // For tests: called between the steps of a write ("staged", then for each
  // target "renamed", or "copying", "copied", "synced" for a file of several
  // names).
  std::function<void(std::string_view step)> step;
};

// Content handed over in pieces: write calls put for each piece in order and
// returns false to give up (put returns false when a piece cannot be
// written). It may be called more than once for one file.
using ContentSink = std::function<bool(std::string_view piece)>;
using ContentWriter = std::function<bool(const ContentSink& put)>;

// What a write does when the name is a device or pipe.
enum class SpecialFiles { WriteInPlace, Refuse };

// Several files written together: each is staged in full (a private
// temporary file beside it, synced) before any is replaced, so that a failure
// while staging leaves every target as it was. Staged files not committed are
// removed when the transaction ends.
//
// The path is walked one folder at a time from open folders (write_target.hpp):
// a link is followed to the file or folder it names, except a link in a
// world-writable sticky folder (/tmp) that belongs to neither the user nor the
// folder's owner, wherever on the path: another user may have planted it. A
// replaced file keeps its mode and owner; a read-only file is refused. A file
// with several names is rewritten in place from the staged copy, so that every
// name sees the new content; the staged copy stays until the file is synced
// (and stays, named in the message, when the rewrite fails). Devices and pipes
// are written in place when committed, before the files are replaced.
class FileTransaction {
 public:
  explicit FileTransaction(const TempFileWatch* watch = nullptr);
  ~FileTransaction();
  FileTransaction(const FileTransaction&) = delete;
  FileTransaction& operator=(const FileTransaction&) = delete;

  WriteOutcome Stage(const std::filesystem::path& path, std::string_view content,
                     SpecialFiles special = SpecialFiles::WriteInPlace);
  // The same for content that is made while it is written, so that a large
  // file never has to be held whole. write must stay valid until Commit.
  WriteOutcome Stage(const std::filesystem::path& path, const ContentWriter& write,
                     SpecialFiles special = SpecialFiles::WriteInPlace);
  // Writes the devices and pipes, then replaces the files in the order
  // staged; stops at the first failure.
  WriteOutcome Commit();

 private:
  struct Staged {
    enum class Kind { Rename, CopyInPlace, Device };
    Kind kind = Kind::Rename;
    std::filesystem::path requested;
    std::shared_ptr<OpenFolder> folder;
    std::string name;                 // the target in folder
    std::string temp;                 // the staged file in folder; empty when none
    std::filesystem::path tempPath;   // the same as a path, for the watch
    ContentWriter write;              // devices only
    bool followLink = false;          // devices: a link of the kernel's
    bool kept = false;                // the staged file must outlive the transaction
    dev_t device = 0;                 // CopyInPlace: the file staged for
    ino_t inode = 0;
  };
  void Discard(Staged& staged);
  void Step(std::string_view step) const;
  WriteOutcome CommitCopy(Staged& staged);
  const TempFileWatch* watch_;
  std::vector<Staged> staged_;
};

// One file: stage and commit.
WriteOutcome WriteFileAtomically(const std::filesystem::path& path, std::string_view content,
                                 const TempFileWatch* watch = nullptr,
                                 SpecialFiles special = SpecialFiles::WriteInPlace);
WriteOutcome WriteFileAtomically(const std::filesystem::path& path, const ContentWriter& write,
                                 const TempFileWatch* watch = nullptr,
                                 SpecialFiles special = SpecialFiles::WriteInPlace);

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// A small file a user names (the settings): regular files only, read without
// blocking on pipes or devices and never beyond maxBytes.
enum class ReadStatus { Ok, Missing, Refused };
struct ReadOutcome {
  ReadStatus status = ReadStatus::Ok;
  std::string text;
  std::string problem;  // "is a folder", ... (to follow the file's name)
};
ReadOutcome ReadSmallRegularFile(const std::filesystem::path& path, std::size_t maxBytes);

// A folder for temporary files that only this user can enter (mode 0700, owned
// by the user, not a link): runtimeDir/lumora when runtimeDir is a private
// folder of the user's, else base/lumora-UID, else a new base/lumora-XXXXXX.
// Empty path with a reason when none can be had.
struct FolderOutcome {
  std::filesystem::path path;
  std::string error;
};
FolderOutcome PrivateTempFolder(const std::filesystem::path& runtimeDir, const std::filesystem::path& base);

// True when folder is a folder (not a link) owned by uid that no one else can enter.
bool IsPrivateFolder(const std::filesystem::path& folder, uid_t uid);

}  // namespace lumora
