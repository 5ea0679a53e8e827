#include "common/file_io.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

namespace lumora {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 65534;  // "nobody"

struct TempFolder {
  fs::path path = fs::temp_directory_path() / ("lumora_io_test_" + std::to_string(::getpid()));
  TempFolder() {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempFolder() { fs::remove_all(path); }
  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(path), {})); }
};

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

TEST(WriteFileAtomically, ReplacesWholeFilesAndReportsFailures) {
  TempFolder folder;
  const fs::path file = folder.path / "a.txt";
  ASSERT_TRUE(WriteFileAtomically(file, "first version, longer").ok);
  ASSERT_TRUE(WriteFileAtomically(file, "second").ok);
  EXPECT_EQ(ReadWholeFile(file), "second");
  EXPECT_EQ(folder.Entries(), 1u);

  const WriteOutcome missing = WriteFileAtomically(folder.path / "no" / "such" / "b.txt", "x");
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find("b.txt"), std::string::npos);
  const WriteOutcome folderTarget = WriteFileAtomically(folder.path, "x");
  EXPECT_FALSE(folderTarget.ok);
  EXPECT_FALSE(WriteFileAtomically("", "x").ok);
  EXPECT_FALSE(ReadWholeFile(folder.path / "absent").has_value());
  EXPECT_EQ(folder.Entries(), 1u);  // no temporary file is left behind
}

TEST(WriteFileAtomically, FollowsOwnLinksAndWritesPipesInPlace) {
  TempFolder folder;
  const fs::path target = folder.path / "target.txt";
  const fs::path link = folder.path / "link.txt";
  ASSERT_TRUE(WriteFileAtomically(target, "old").ok);
  fs::create_symlink(target, link);
  ASSERT_TRUE(WriteFileAtomically(link, "new").ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadWholeFile(target), "new");

  const fs::path pipe = folder.path / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadWholeFile(pipe).value_or(""); });
  EXPECT_TRUE(WriteFileAtomically(pipe, "through the pipe").ok);
  reader.join();
  EXPECT_EQ(received, "through the pipe");
  EXPECT_TRUE(fs::is_fifo(pipe));
  // Where a pipe would block (nobody reads it), it can be refused instead.
  const WriteOutcome refused = WriteFileAtomically(pipe, "x", nullptr, SpecialFiles::Refuse);
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error.find("not a regular file"), std::string::npos);
}

TEST(WriteFileAtomically, RefusesALinkAnotherUserPlantedInASharedFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  TempFolder folder;
  const fs::path shared = folder.path / "shared";
  fs::create_directory(shared);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);  // like /tmp
  const fs::path victim = folder.path / "precious.txt";
  ASSERT_TRUE(WriteFileAtomically(victim, "keep me").ok);
  const fs::path planted = shared / "tmp.hkl";
  fs::create_symlink(victim, planted);
  ASSERT_EQ(::lchown(planted.c_str(), kOtherUser, kOtherUser), 0);

  const WriteOutcome outcome = WriteFileAtomically(planted, "report");
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.error.find("another user"), std::string::npos) << outcome.error;
  EXPECT_EQ(ReadWholeFile(victim), "keep me");
  EXPECT_TRUE(fs::is_symlink(planted));
  EXPECT_EQ(std::distance(fs::directory_iterator(shared), {}), 1);

  // The user's own link there, and a stranger's link outside a sticky folder, are followed.
  ASSERT_EQ(::lchown(planted.c_str(), 0, 0), 0);
  EXPECT_TRUE(WriteFileAtomically(planted, "mine").ok);
  EXPECT_EQ(ReadWholeFile(victim), "mine");
  ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
  ASSERT_EQ(::lchown(planted.c_str(), kOtherUser, kOtherUser), 0);
  EXPECT_TRUE(WriteFileAtomically(planted, "not sticky").ok);
  EXPECT_EQ(ReadWholeFile(victim), "not sticky");
}

// The same for a folder of the path: /tmp/shared/dirlink/x.svg with dirlink
// planted would write into whatever folder that user chose.
TEST(WriteFileAtomically, RefusesAFolderLinkAnotherUserPlantedOnThePath) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  TempFolder folder;
  const fs::path shared = folder.path / "shared";
  fs::create_directory(shared);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  const fs::path victim = folder.path / "victim";
  fs::create_directory(victim);
  fs::create_directory(shared / "real");
  const fs::path planted = shared / "dirlink";
  fs::create_symlink(victim, planted);
  ASSERT_EQ(::lchown(planted.c_str(), kOtherUser, kOtherUser), 0);
  // Reached directly, after a ".." and through a link of the user's own.
  fs::create_symlink(shared, folder.path / "mine");
  for (const fs::path& path : {planted / "x.svg", shared / "real" / ".." / "dirlink" / "x.svg",
                               folder.path / "mine" / "dirlink" / "deeper" / "x.svg"}) {
    const WriteOutcome outcome = WriteFileAtomically(path, "picture");
    EXPECT_FALSE(outcome.ok) << path;
    EXPECT_NE(outcome.error.find("another user"), std::string::npos) << outcome.error;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(victim), {}), 0);
  // The user's own folder link there is followed.
  ASSERT_EQ(::lchown(planted.c_str(), 0, 0), 0);
  EXPECT_TRUE(WriteFileAtomically(folder.path / "mine" / "dirlink" / "x.svg", "mine").ok);
  EXPECT_EQ(ReadWholeFile(victim / "x.svg"), "mine");
}

TEST(WriteFileAtomically, KeepsModeAndLinksAndRefusesReadOnlyFiles) {
  TempFolder folder;
  const fs::path secret = folder.path / "secret.cfg";
  ASSERT_TRUE(WriteFileAtomically(secret, "one").ok);
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
  ASSERT_TRUE(WriteFileAtomically(secret, "two").ok);
  EXPECT_EQ(ModeOf(secret), 0600u);
  ASSERT_EQ(::chmod(secret.c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomically(secret, "three").ok);
  EXPECT_EQ(ModeOf(secret), 0640u);

  // A new file gets the usual mode, not the temporary file's 0600.
  const mode_t mask = ::umask(022);
  const fs::path fresh = folder.path / "fresh.txt";
  ASSERT_TRUE(WriteFileAtomically(fresh, "x").ok);
  ::umask(mask);
  EXPECT_EQ(ModeOf(fresh), 0644u);

  const fs::path readOnly = folder.path / "read-only.txt";
  ASSERT_TRUE(WriteFileAtomically(readOnly, "original").ok);
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  const WriteOutcome refused = WriteFileAtomically(readOnly, "replacement");
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.error.find("read-only"), std::string::npos) << refused.error;
  EXPECT_EQ(ReadWholeFile(readOnly), "original");

  const fs::path second = folder.path / "second-name.txt";
  fs::create_hard_link(secret, second);
  ASSERT_TRUE(WriteFileAtomically(second, "both names").ok);
  EXPECT_EQ(ReadWholeFile(secret), "both names");
  EXPECT_TRUE(fs::equivalent(secret, second));
  EXPECT_EQ(fs::hard_link_count(secret), 2u);
  EXPECT_EQ(folder.Entries(), 4u);  // secret, fresh, read-only, second name: no temporary left
}

TEST(WriteFileAtomically, TemporaryFileIsPrivateUnguessableAndAlwaysRemoved) {
  TempFolder folder;
  std::vector<fs::path> created;
  std::vector<fs::path> gone;
  std::vector<mode_t> modes;
  TempFileWatch watch;
  // Watched before it is made, so that a signal in between cannot leave it.
  watch.created = [&](const fs::path& p) {
    EXPECT_FALSE(fs::exists(p));
    created.push_back(p);
  };
  watch.gone = [&](const fs::path& p) { gone.push_back(p); };
  // The mode while the content is written, before it takes the target's.
  auto content = [&](std::string text) {
    return ContentWriter([&, text](const ContentSink& put) {
      modes.push_back(ModeOf(created.back()));
      return put(text);
    });
  };
  const fs::path file = folder.path / "out.hkl";
  ASSERT_TRUE(WriteFileAtomically(file, content("a"), &watch).ok);
  ASSERT_TRUE(WriteFileAtomically(file, content("b"), &watch).ok);
  ASSERT_EQ(created.size(), 2u);
  EXPECT_EQ(created, gone);
  EXPECT_NE(created[0], created[1]);
  EXPECT_EQ(created[0].parent_path(), folder.path);
  EXPECT_EQ(modes[0], 0600u);
  EXPECT_FALSE(fs::exists(created[0]));

  // All or none: the second file cannot be staged, so the first keeps its content.
  {
    FileTransaction transaction(&watch);
    ASSERT_TRUE(transaction.Stage(file, "new content").ok);
    EXPECT_FALSE(transaction.Stage(folder.path / "missing" / "x.png", "y").ok);
  }
  EXPECT_EQ(ReadWholeFile(file), "b");
  EXPECT_EQ(created, gone);
  EXPECT_EQ(folder.Entries(), 1u);
  FileTransaction both;
  ASSERT_TRUE(both.Stage(file, "first").ok);
  ASSERT_TRUE(both.Stage(folder.path / "other", "second").ok);
  ASSERT_TRUE(both.Commit().ok);
  EXPECT_EQ(ReadWholeFile(file), "first");
  EXPECT_EQ(ReadWholeFile(folder.path / "other"), "second");
}

// Content made while it is written (a large report) lands whole, or not at
// all when its writer gives up halfway; a file of two names is written again
// through the same writer.
TEST(WriteFileAtomically, StreamedContentIsAllOrNothing) {
  TempFolder folder;
  const fs::path file = folder.path / "big.hkl";
  auto pieces = [](int count) {
    return ContentWriter([count](const ContentSink& put) {
      for (int i = 0; i < count; ++i)
        if (!put("line " + std::to_string(i) + "\r\n")) return false;
      return true;
    });
  };
  ASSERT_TRUE(WriteFileAtomically(file, pieces(20000)).ok);
  const std::string whole = ReadWholeFile(file).value_or("");
  EXPECT_EQ(whole.substr(0, 16), "line 0\r\nline 1\r\n");
  EXPECT_EQ(whole.size(), ReadWholeFile(file)->size());
  EXPECT_NE(whole.find("line 19999\r\n"), std::string::npos);

  const ContentWriter givesUp = [](const ContentSink& put) { return put("half a report") && false; };
  const WriteOutcome failed = WriteFileAtomically(file, givesUp);
  EXPECT_FALSE(failed.ok);
  EXPECT_FALSE(failed.error.empty());
  EXPECT_EQ(ReadWholeFile(file), whole);
  EXPECT_EQ(folder.Entries(), 1u);  // no temporary file left

  const fs::path second = folder.path / "second name.hkl";
  fs::create_hard_link(file, second);
  ASSERT_TRUE(WriteFileAtomically(file, pieces(3)).ok);
  EXPECT_EQ(ReadWholeFile(second), "line 0\r\nline 1\r\nline 2\r\n");
}

TEST(ReadSmallRegularFile, RefusesWhatIsNotASmallFileWithoutBlocking) {
  TempFolder folder;
  const fs::path good = folder.path / "Lumora.cfg";
  std::ofstream(good) << "1\r\n";
  const ReadOutcome ok = ReadSmallRegularFile(good, 65536);
  EXPECT_EQ(ok.status, ReadStatus::Ok);
  EXPECT_EQ(ok.text, "1\r\n");
  EXPECT_EQ(ReadSmallRegularFile(folder.path / "absent", 65536).status, ReadStatus::Missing);

  const fs::path big = folder.path / "big";
  std::ofstream(big) << std::string(65537, '1');
  EXPECT_EQ(ReadSmallRegularFile(big, 65536).problem, "is larger than 65536 bytes");
  EXPECT_EQ(ReadSmallRegularFile(big, 65537).status, ReadStatus::Ok);

  const fs::path pipe = folder.path / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // No writer ever comes: a blocking read would never return.
  auto pending = std::async(std::launch::async, [&] { return ReadSmallRegularFile(pipe, 65536); });
  ASSERT_EQ(pending.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  const ReadOutcome fifo = pending.get();
  EXPECT_EQ(fifo.status, ReadStatus::Refused);
  EXPECT_EQ(fifo.problem, "is a pipe, not a file");
  EXPECT_EQ(ReadSmallRegularFile("/dev/zero", 65536).problem, "is a device, not a file");
  EXPECT_EQ(ReadSmallRegularFile(folder.path, 65536).problem, "is a folder, not a file");
  fs::create_symlink("/dev/zero", folder.path / "zero-link");
  EXPECT_EQ(ReadSmallRegularFile(folder.path / "zero-link", 65536).status, ReadStatus::Refused);
}

TEST(PrivateTempFolder, OnlyAFolderOfTheUsersOwn) {
  TempFolder folder;
  const uid_t uid = ::geteuid();
  const fs::path runtime = folder.path / "run";
  fs::create_directory(runtime);
  ASSERT_EQ(::chmod(runtime.c_str(), 0700), 0);
  const fs::path base = folder.path / "tmp";
  fs::create_directory(base);
  ASSERT_EQ(::chmod(base.c_str(), 01777), 0);

  FolderOutcome got = PrivateTempFolder(runtime, base);
  EXPECT_EQ(got.path, runtime / "lumora");
  EXPECT_TRUE(IsPrivateFolder(got.path, uid));

  // A runtime folder others can enter is not used; the per-user folder in base is.
  ASSERT_EQ(::chmod(runtime.c_str(), 0755), 0);
  got = PrivateTempFolder(runtime, base);
  EXPECT_EQ(got.path, base / ("lumora-" + std::to_string(uid)));
  EXPECT_TRUE(IsPrivateFolder(got.path, uid));
  // Left open by someone: closed again.
  ASSERT_EQ(::chmod(got.path.c_str(), 0777), 0);
  EXPECT_EQ(PrivateTempFolder({}, base).path, got.path);
  EXPECT_EQ(ModeOf(got.path), 0700u);

  // Squatted with a link: a fresh folder instead.
  fs::remove(got.path);
  fs::create_symlink(folder.path, got.path);
  got = PrivateTempFolder({}, base);
  EXPECT_NE(got.path, base / ("lumora-" + std::to_string(uid)));
  EXPECT_EQ(got.path.parent_path(), base);
  EXPECT_TRUE(IsPrivateFolder(got.path, uid));
  EXPECT_FALSE(PrivateTempFolder({}, folder.path / "absent").error.empty());

  if (uid == 0) {
    // Squatted by another user's folder.
    const fs::path squat = base / "lumora-0";
    fs::remove(squat);
    fs::create_directory(squat);
    ASSERT_EQ(::chown(squat.c_str(), kOtherUser, kOtherUser), 0);
    got = PrivateTempFolder({}, base);
    EXPECT_NE(got.path, squat);
    EXPECT_TRUE(IsPrivateFolder(got.path, uid));
  }
}

}  // namespace
}  // namespace lumora
