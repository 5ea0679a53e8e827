#include "common/file_io.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace lumora {
namespace {

namespace fs = std::filesystem;

struct TempFolder {
  fs::path path = fs::temp_directory_path() / ("lumora_io_test_" + std::to_string(::getpid()));
  TempFolder() { fs::create_directories(path); }
  ~TempFolder() { fs::remove_all(path); }
};

TEST(WriteFileAtomically, ReplacesWholeFilesAndReportsFailures) {
  TempFolder folder;
  const fs::path file = folder.path / "a.txt";
  ASSERT_TRUE(WriteFileAtomically(file, "first version, longer").ok);
  ASSERT_TRUE(WriteFileAtomically(file, "second").ok);
  EXPECT_EQ(ReadWholeFile(file), "second");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), fs::directory_iterator()), 1);

  const WriteOutcome missing = WriteFileAtomically(folder.path / "no" / "such" / "b.txt", "x");
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.error.find("b.txt"), std::string::npos);
  const WriteOutcome folderTarget = WriteFileAtomically(folder.path, "x");
  EXPECT_FALSE(folderTarget.ok);
  EXPECT_FALSE(ReadWholeFile(folder.path / "absent").has_value());
}

TEST(WriteFileAtomically, FollowsLinksAndWritesPipesInPlace) {
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
}

}  // namespace
}  // namespace lumora
