// lumora-cli's signal guard with the file transaction, signals injected at the
// steps of a write (through the transaction's step hook) in a child process:
// what is on disk afterwards must be the old content, the new content, or,
// when the only complete copy is the staged file, that file, named on stderr.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "cli/process_guard.hpp"
#include "common/file_io.hpp"
#include "scratch_test.hpp"

namespace lumora {
namespace {

namespace fs = std::filesystem;

class SignalGuard : public testing::ScratchTest {
 protected:
  // Runs work in a child with the guard installed and its standard error in
  // err.txt; returns the signal that ended it (0 when it exited).
  int InChild(const std::function<void()>& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int err = ::open(Path("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(err, 2);
      cli::RemoveTemporaryFilesOnSignals();
      work();
      ::_exit(0);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  std::string Read(const std::string& name) const { return ReadWholeFile(dir_ / name).value_or("<missing>"); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_))
      if (entry.path().filename() != "err.txt") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The guard's watch with a step hook that raises SIGTERM count times the
  // first time step comes.
  static TempFileWatch Raising(std::string step, int count) {
    TempFileWatch watch = cli::CleanupWatch();
    watch.step = [step = std::move(step), count, done = false](std::string_view now) mutable {
      if (now != step || done) return;
      done = true;
      for (int i = 0; i < count; ++i) ::raise(SIGTERM);
    };
    return watch;
  }
};

TEST_F(SignalGuard, EveryStagedFileGoesWithTheProgram) {
  // More files than the guard used to have room for.
  const int signal = InChild([this] {
    FileTransaction transaction(&cli::CleanupWatch());
    for (int i = 0; i < 20; ++i) transaction.Stage(Path("out" + std::to_string(i) + ".png"), "picture");
    ::raise(SIGTERM);
  });
  EXPECT_EQ(signal, SIGTERM);
  EXPECT_EQ(Names(), std::vector<std::string>{});
}

TEST_F(SignalGuard, ASignalDuringACommitTakesEffectAfterIt) {
  for (const char* name : {"a.csv", "b.csv", "c.csv"}) std::ofstream(Path(name)) << "old";
  const int signal = InChild([this] {
    const TempFileWatch watch = Raising("renamed", 1);  // after the first of three renames
    FileTransaction transaction(&watch);
    for (const char* name : {"a.csv", "b.csv", "c.csv"}) transaction.Stage(Path(name), "new");
    transaction.Commit();
  });
  EXPECT_EQ(signal, SIGTERM);
  for (const char* name : {"a.csv", "b.csv", "c.csv"}) EXPECT_EQ(Read(name), "new") << name;
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.csv", "b.csv", "c.csv"}));
}

// A file with two names is rewritten in place: the staged copy is the only
// whole new content until the target is synced, and no signal removes it.
TEST_F(SignalGuard, HardLinkedTargetsNeverLoseBothContents) {
  // The new content is shorter: cut short before the trim, the file is neither.
  const std::string oldText(500000, 'o');
  const std::string newText = std::string(300000, 'n') + "end";
  for (const char* step : {"staged", "copying", "copied", "synced"})
    for (int count : {1, 2}) {
      fs::remove_all(dir_);
      fs::create_directory(dir_);
      std::ofstream(Path("first.hkl")) << oldText;
      fs::create_hard_link(Path("first.hkl"), Path("second.hkl"));
      const int signal = InChild([&] {
        const TempFileWatch watch = Raising(step, count);
        WriteFileAtomically(Path("first.hkl"), newText, &watch);
      });
      const std::string where = std::string(step) + " x" + std::to_string(count);
      EXPECT_EQ(signal, SIGTERM) << where;
      ASSERT_TRUE(fs::equivalent(Path("first.hkl"), Path("second.hkl"))) << where;
      const std::string now = Read("first.hkl");
      const std::vector<std::string> names = Names();
      if (now == oldText || now == newText) {
        // Nothing else is left, unless the kept copy was named.
        if (names.size() == 3) {
          EXPECT_NE(Read("err.txt").find(names[0]), std::string::npos) << where;
        } else {
          EXPECT_EQ(names, (std::vector<std::string>{"first.hkl", "second.hkl"})) << where;
        }
        if (count == 1) {
          EXPECT_TRUE(now == (std::string(step) == "staged" ? oldText : newText)) << where;
        }
        continue;
      }
      // Cut short while copying: the staged copy is whole and named.
      ASSERT_EQ(names.size(), 3u) << where;
      EXPECT_EQ(Read(names[0]), newText) << where;
      EXPECT_NE(Read("err.txt").find("its new content is in " + Path(names[0])), std::string::npos)
          << where << ": " << Read("err.txt");
    }
}

}  // namespace
}  // namespace lumora
