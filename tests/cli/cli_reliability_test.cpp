// lumora-cli as a hostile or unlucky user meets it: full disks, closed
// streams, odd settings files, runaway runs, signals during a write.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "scratch_test.hpp"
#include "common/file_io.hpp"

extern char** environ;

namespace lumora {
namespace {

namespace fs = std::filesystem;

struct Shell {
  int status = -1;
  std::string err;  // standard error
};

// Runs a shell command line with lumora-cli as "CLI", standard error captured;
// timeout ends a hung run (status 124).
Shell RunShell(const std::string& line) {
  std::string command = line;
  for (std::size_t at; (at = command.find("CLI")) != std::string::npos;)
    command.replace(at, 3, std::string("timeout 20 ") + LUMORA_CLI_PATH);
  Shell run;
  FILE* pipe = popen(("( " + command + " ) 2>&1").c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) run.err.append(buffer.data(), n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

class CliReliability : public lumora::testing::ScratchTest {
 protected:
  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }
};

TEST_F(CliReliability, EveryWriteToStandardOutputIsChecked) {
  for (const char* command : {"CLI reflections >/dev/full", "CLI reflections --loops 4 --format csv >/dev/full",
                              "CLI matrices >/dev/full", "CLI reflections --help >/dev/full",
                              "CLI tiling >/dev/full", "CLI reflections >&-"}) {
    const Shell run = RunShell(command);
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_NE(run.err.find("lumora-cli: cannot write to standard output"), std::string::npos) << command << run.err;
  }
  // A closed output does not pass its number on to a file the program writes.
  const Shell closed = RunShell("CLI reflections -o " + Path("out.hkl") + " >&-");
  EXPECT_EQ(closed.status, 0) << closed.err;
  EXPECT_EQ(ReadWholeFile(Path("out.hkl")).value_or("").rfind("LUMORA REPORT", 0), 0u);
  EXPECT_EQ(RunShell("CLI reflections >/dev/null").status, 0);
}

TEST_F(CliReliability, SettingsMustBeASmallRegularFile) {
  ASSERT_EQ(::mkfifo(Path("fifo.cfg").c_str(), 0600), 0);
  const std::pair<std::string, std::string> cases[] = {
      {Path("fifo.cfg"), "is a pipe, not a file"},
      {"/dev/zero", "is a device, not a file"},
      {dir_.string(), "is a folder, not a file"},
  };
  for (const auto& [file, problem] : cases) {
    // A blocking read would hang until the timeout (status 124).
    const Shell run = RunShell("CLI reflections --settings " + file);
    EXPECT_EQ(run.status, 2) << file;
    EXPECT_EQ(run.err, "lumora-cli: option --settings: \"" + file + "\" " + problem + "\n");
  }
  std::ofstream(Path("huge.cfg")) << std::string(100000, '1');
  EXPECT_NE(RunShell("CLI reflections --settings " + Path("huge.cfg")).err.find("is larger than 65536 bytes"),
            std::string::npos);
}

TEST_F(CliReliability, ValuesFromTheSettingsFileAreReportedByLine) {
  std::ofstream(Path("bad.cfg"), std::ios::binary) << "1\r\n5\r\nTrue\r\nabc\r\n12.06\r\n2\r\n2\r\n-7\r\n";
  const Shell fromFile = RunShell("CLI reflections --settings " + Path("bad.cfg"));
  EXPECT_EQ(fromFile.status, 2);
  EXPECT_EQ(fromFile.err, "lumora-cli: settings file \"" + Path("bad.cfg") +
                              "\" line 4 (a): \"abc\" is not a number\n");
  // Typed, the option takes over; the next bad value is on line 8.
  const Shell typedA = RunShell("CLI reflections -a 2.82 --settings " + Path("bad.cfg"));
  EXPECT_EQ(typedA.err, "lumora-cli: settings file \"" + Path("bad.cfg") +
                            "\" line 8 (Loop Limits h3): \"-7\" must be a whole number from 0 to 32767\n");
  EXPECT_EQ(RunShell("CLI reflections -a 2.82 --loops 1 --settings " + Path("bad.cfg") + " >/dev/null").status, 0);
  EXPECT_EQ(RunShell("CLI reflections -a x --settings " + Path("bad.cfg")).err,
            "lumora-cli: option -a: \"x\" is not a number\n");
  // The value as written, not as read (decimal commas turn into points).
  EXPECT_EQ(RunShell("CLI reflections -a '2,8x'").err, "lumora-cli: option -a: \"2,8x\" is not a number\n");
  EXPECT_EQ(RunShell("CLI matrices -c '1,5e999'").err, "lumora-cli: option -c: \"1,5e999\" is not a number\n");
  EXPECT_EQ(RunShell("CLI powder --qi-max ' 1,5x'").err, "lumora-cli: option --qi-max: \" 1,5x\" is not a number\n");
  std::ofstream(Path("comma.cfg"), std::ios::binary) << "1\r\n5\r\nTrue\r\n2,8x\r\n";
  EXPECT_EQ(RunShell("CLI reflections --settings " + Path("comma.cfg")).err,
            "lumora-cli: settings file \"" + Path("comma.cfg") + "\" line 4 (a): \"2,8x\" is not a number\n");
}

TEST_F(CliReliability, EchoedValuesAreEscapedAndCut) {
  const Shell run = RunShell("CLI reflections -a \"$(printf 'x\\033[2J\\342\\200\\256')$(printf '%0300d' 0)\"");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.find('\033'), std::string::npos);
  EXPECT_EQ(run.err.find("\xE2\x80\xAE"), std::string::npos);
  EXPECT_EQ(run.err.rfind("lumora-cli: option -a: \"x\\x1B[2J\\u202E000", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("0\xE2\x80\xA6\" is not a number\n"), std::string::npos) << run.err;
  EXPECT_LT(run.err.size(), 200u);
  EXPECT_EQ(RunShell("CLI reflections \"--bo$(printf '\\033')gus\"").err, "lumora-cli: unknown option --bo\\x1Bgus\n");
}

// Model files that used to abort, hang or fill the memory: refused at once
// with status 2, naming the line and field (or what the file is).
TEST_F(CliReliability, UnusableModelsAreBadInput) {
  const std::string head = "system decagonal\nsetting yamamoto\n";
  const std::pair<std::string, std::string> files[] = {
      {head + "A Al 1 0 0 0 0 0 polygon:5:1e300 1 0 0\n", "line 3, field 9 (domain): \"polygon:5:1e300\" needs an angle"},
      {head + "A Al 1 0 0 0 0 0 polygon:5:0 1e-300 0 0\n", "line 3, field 10 (size): \"1e-300\" must lie from"},
      {head + "A Al 1 1e308 0 0 0 0 disk 1 0 0\n", "line 3, field 4 (x1): \"1e308\" is not a fractional coordinate"},
  };
  for (const auto& [text, message] : files) {
    std::ofstream(Path("m.qcm")) << text;
    const Shell run = RunShell("CLI reflections --format json --model " + Path("m.qcm") + " >/dev/null");
    EXPECT_EQ(run.status, 2) << text;
    EXPECT_EQ(run.err.rfind("lumora-cli: option --model: " + Path("m.qcm") + ": " + message, 0), 0u) << run.err;
  }
  ASSERT_EQ(::mkfifo(Path("model.fifo").c_str(), 0600), 0);
  const std::pair<std::string, std::string> kinds[] = {
      {Path("model.fifo"), "is a pipe, not a file"},
      {"/dev/zero", "is a device, not a file"},
      {dir_.string(), "is a folder, not a file"},
  };
  for (const auto& [file, problem] : kinds) {
    const Shell run = RunShell("CLI reflections --model " + file + " >/dev/null");
    EXPECT_EQ(run.status, 2) << file;  // not 124: the pipe is not opened
    EXPECT_EQ(run.err, "lumora-cli: option --model: \"" + file + "\" " + problem + "\n");
  }
  // A lattice on which the built-in domains overflow.
  const Shell huge = RunShell("CLI reflections --model penrose -a 1e300 >/dev/null");
  EXPECT_EQ(huge.status, 2);
  EXPECT_EQ(huge.err, "lumora-cli: option --model: at a = 1e+300 the internal cell volume is beyond what can be computed\n");
}

TEST_F(CliReliability, NumbersAreCheckedBeforeTheyAreConverted) {
  const std::pair<const char*, const char*> cases[] = {
      {"reflections --max-records 1e300", "option --max-records: \"1e300\" is not a whole number from 1 to"},
      {"reflections --max-visited -1", "option --max-visited: \"-1\" is not a whole number from 1 to"},
      {"reflections --max-seconds 0", "option --max-seconds: \"0\" is not a number of seconds above 0"},
      {"matrices -a 1e308", "option -a: \"1e308\" gives matrix values too large to print in their columns"},
      {"matrices -c 1e-300", "option -c: \"1e-300\" gives matrix values too large to print in their columns"},
      {"matrices -a 1000", "option -a: \"1000\" gives matrix values too large"},
      {"tiling --symmetry 1e300", "option --symmetry: \"1e300\" is not a whole number from 5 to 20"},
  };
  for (const auto& [arguments, message] : cases) {
    const Shell run = RunShell(std::string("CLI ") + arguments + " >/dev/null");
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err.rfind(std::string("lumora-cli: ") + message, 0), 0u) << run.err;
  }
  EXPECT_EQ(RunShell("CLI matrices -a 50 >/dev/null").status, 0);  // -80.9017 still fits
  EXPECT_EQ(RunShell("CLI reflections --max-records 1e6 >/dev/null").status, 0);
}

TEST_F(CliReliability, RunawayRunsStopWithAMessage) {
  // Theta up to 90 degrees used to lift every bound: now milliseconds.
  const Shell wide = RunShell("CLI reflections --system icosahedral --loops 20 --theta 0,90 -o " + Path("w.hkl"));
  EXPECT_EQ(wide.status, 0) << wide.err;
  const Shell huge =
      RunShell("CLI reflections --system icosahedral --loops 32767 --theta 0,90 --qi-max 1e300 -o " + Path("h.hkl"));
  EXPECT_EQ(huge.status, 1);
  EXPECT_EQ(huge.err,
            "lumora-cli: the run would visit more than 10000000000 index vectors; lower the loop limits or qi-max\n");
  EXPECT_FALSE(fs::exists(Path("h.hkl")));
  EXPECT_EQ(RunShell("CLI reflections --loops 3 --max-visited 1000 --algorithm box").status, 1);
}

// A model's name goes into reports, CSV comments and JSON: escaped by the
// same rule as a message, so that JSON stays valid UTF-8 and no terminal
// escape or NUL reaches an output.
TEST_F(CliReliability, NamesAreEscapedInEveryOutput) {
  std::ofstream(Path("odd.qcm"), std::ios::binary)
      << std::string("name Bad\x1B[31m\xFF\0Na\"me\nsystem decagonal\nsetting yamamoto\nA Al 1 0 0 0 0 0 disk 1 0 0\n", 83);
  const std::string shown = "Bad\\x1B[31m\\xFF\\x00Na\"me";
  const Shell json = RunShell("CLI reflections --format json --model " + Path("odd.qcm") +
                              " | python3 -c 'import json, sys; print(json.load(sys.stdin)[\"model\"])'");
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.err, shown + "\n");
  const Shell csv = RunShell("CLI reflections --format csv --model " + Path("odd.qcm"));
  EXPECT_NE(csv.err.find("# model: " + shown + "\r\n"), std::string::npos) << csv.err.substr(0, 600);
  const Shell powder = RunShell("CLI powder --model " + Path("odd.qcm"));
  EXPECT_NE(powder.err.find("intensities: model " + shown + " x LP\n"), std::string::npos) << powder.err.substr(0, 600);
  for (const Shell* run : {&json, &csv, &powder}) {
    EXPECT_EQ(run->err.find('\x1B'), std::string::npos);
    EXPECT_EQ(run->err.find('\0'), std::string::npos);
  }
}

TEST_F(CliReliability, IntensitiesKeepTheTimeLimit) {
  // 10,000 sites of distinct domains: minutes of work for a few thousand reflections.
  std::ofstream model(Path("big.qcm"));
  model << "system decagonal\nsetting yamamoto\n";
  for (int i = 0; i < 10000; ++i)
    model << "S" << i << " Al 1 0." << i << " 0 0 0 0 polygon:7:" << i % 360 << " " << 1 + i * 1e-4 << " 0 0\n";
  model.close();
  const Shell run =
      RunShell("CLI reflections --loops 3 --max-seconds 0.3 --model " + Path("big.qcm") + " -o " + Path("out.hkl"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "lumora-cli: the run was stopped after 0.3 seconds; lower the loop limits, theta maximum or qi-max\n");
  EXPECT_FALSE(fs::exists(Path("out.hkl")));
}

TEST_F(CliReliability, ReplacedOutputsKeepTheirMode) {
  const std::string out = Path("private.hkl");
  std::ofstream(out) << "old";
  ASSERT_EQ(::chmod(out.c_str(), 0600), 0);
  ASSERT_EQ(RunShell("CLI reflections -o " + out).status, 0);
  struct stat info {};
  ASSERT_EQ(::stat(out.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(CliReliability, TilingWritesAllOutputsOrNone) {
  std::ofstream(Path("old.xy")) << "old";
  const Shell run = RunShell("CLI tiling --xy " + Path("old.xy") + " --vertices-png " + Path("v.png") +
                             " --tiling-png " + Path("missing/t.png"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no file was written"), std::string::npos) << run.err;
  EXPECT_EQ(ReadWholeFile(Path("old.xy")), "old");
  EXPECT_FALSE(fs::exists(Path("v.png")));
  EXPECT_EQ(Entries(), 1u);
  EXPECT_EQ(RunShell("CLI tiling --xy " + Path("old.xy") + " --vertices-png " + Path("v.png")).status, 0);
  EXPECT_NE(ReadWholeFile(Path("old.xy")), "old");
  EXPECT_TRUE(fs::exists(Path("v.png")));
}

TEST_F(CliReliability, ATerminatedWriteLeavesNoTemporaryFile) {
  // The pipe has no reader, so the program waits there with the picture staged
  // beside its target; SIGTERM then must take the staged file away with it.
  const std::string fifo = Path("wait.xy");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path pictures = dir_ / "pictures";
  fs::create_directory(pictures);
  const std::string png = (pictures / "t.png").string();
  std::vector<std::string> args = {LUMORA_CLI_PATH, "tiling", "--xy", fifo, "--tiling-png", png};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, LUMORA_CLI_PATH, nullptr, nullptr, argv.data(), environ), 0);
  bool staged = false;
  for (int i = 0; i < 2000 && !staged; ++i) {
    staged = std::distance(fs::directory_iterator(pictures), {}) > 0;
    if (!staged) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(staged);
  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(std::distance(fs::directory_iterator(pictures), {}), 0);
}

}  // namespace
}  // namespace lumora
