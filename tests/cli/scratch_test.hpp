// A test with a private folder of its own for the files it makes, removed
// afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace lumora::testing {

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = (std::filesystem::temp_directory_path() / "lumora-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(name.data()), nullptr) << name;
    dir_ = name;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
};

}  // namespace lumora::testing
