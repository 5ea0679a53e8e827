// What a user reads and is offered: every command's --help and the manual
// page name each option the command accepts, and the shell completion offers
// the values an option really takes (through the installed bash script).
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <string>

#include "cli/cli_run.hpp"
#include "cli/command_inputs.hpp"
#include "intensity/model_file.hpp"

namespace lumora::cli {
namespace {

using testing::RunCli;

std::set<std::string> Lines(const std::string& text) {
  std::set<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

// True when option stands in text as a word of its own ("-a" not inside "--area").
bool Names(const std::string& text, const std::string& option) {
  for (std::size_t at = text.find(option); at != std::string::npos; at = text.find(option, at + 1)) {
    const bool startOk = at == 0 || (text[at - 1] != '-' && !std::isalnum(static_cast<unsigned char>(text[at - 1])));
    const std::size_t end = at + option.size();
    const bool endOk = end == text.size() || (text[end] != '-' && !std::isalnum(static_cast<unsigned char>(text[end])));
    if (startOk && endOk) return true;
  }
  return false;
}

TEST(CommandHelp, EveryAcceptedOptionIsDescribed) {
  for (std::string_view command : kCommands) {
    const std::string help = RunCli(std::string(command) + " --help").out;
    ASSERT_FALSE(help.empty()) << command;
    for (const NamedInput* in : CommandInputs(command))
      EXPECT_TRUE(Names(help, std::string(in->option))) << command << " --help does not name " << in->option;
  }
  // The anode "US" is explained, not just listed.
  EXPECT_NE(RunCli("reflections --help").out.find("US is"), std::string::npos);
}

TEST(CommandHelp, TheManualPageListsEveryCommandsOptions) {
#ifndef LUMORA_MAN_PAGE
  GTEST_SKIP() << "help2man was not found: no manual page is built";
#else
  const testing::CliRun page = testing::RunCommand(std::string("gzip -dc ") + LUMORA_MAN_PAGE);
  ASSERT_EQ(page.status, 0);
  // roff writes each minus as "\-".
  auto roff = [](std::string option) {
    std::string out;
    for (char ch : option) out += ch == '-' ? std::string("\\-") : std::string(1, ch);
    return out;
  };
  EXPECT_NE(page.out.find(roff("--measured")), std::string::npos);
  for (std::string_view command : kCommands) {
    EXPECT_NE(page.out.find(".SS " + std::string(command)), std::string::npos) << command;
    for (const NamedInput* in : CommandInputs(command))
      EXPECT_NE(page.out.find(roff(std::string(in->option))), std::string::npos) << command << " " << in->option;
  }
#endif
}

TEST(Completion, ValuesComeFromTheOptionsOwnChoices) {
  EXPECT_EQ(Lines(RunCli("--complete plot --format").out),
            (std::set<std::string>{"@value", "png", "bmp", "svg", "pdf", "wmf"}));
  EXPECT_EQ(Lines(RunCli("--complete reflections --format").out),
            (std::set<std::string>{"@value", "hkl", "csv", "json", "cif"}));
  EXPECT_EQ(Lines(RunCli("--complete tiling --tiles-csv").out), (std::set<std::string>{"@value", "@file"}));
  EXPECT_EQ(Lines(RunCli("--complete plot -o").out), (std::set<std::string>{"@value", "@file"}));
  EXPECT_EQ(RunCli("--complete plot --rings").out, "");  // a flag takes nothing
  const std::set<std::string> models = Lines(RunCli("--complete powder --model").out);
  ASSERT_FALSE(BuiltinModelNames().empty());
  for (const std::string& name : BuiltinModelNames()) EXPECT_TRUE(models.count(name)) << name;
  EXPECT_TRUE(models.count("@file"));
  const std::set<std::string> anodes = Lines(RunCli("--complete reflections --anode").out);
  EXPECT_TRUE(anodes.count("US") && anodes.count("Mo"));
  EXPECT_TRUE(Lines(RunCli("--complete plot --space-group").out).count("P10.5/mmc"));
  // Option names, and nothing for what does not exist.
  EXPECT_TRUE(Lines(RunCli("--complete powder").out).count("--measured"));
  EXPECT_EQ(RunCli("--complete plot --nonsense", true).status, 2);
  EXPECT_EQ(RunCli("--complete nonsense", true).status, 2);
}

// The bash script as the shell runs it: COMP_WORDS in, COMPREPLY out.
std::set<std::string> Complete(const std::string& words, int current) {
  const std::string script = "source '" LUMORA_COMPLETION_PATH "'; COMP_WORDS=('" LUMORA_CLI_PATH "' " + words +
                             "); COMP_CWORD=" + std::to_string(current) +
                             "; _lumora_cli; printf '%s\\n' \"${COMPREPLY[@]}\"";
  return Lines(testing::RunCommand("bash 2>/dev/null <<'LUMORA_END'\n" + script + "\nLUMORA_END\n").out);
}

TEST(Completion, TheBashScriptOffersThoseValues) {
  EXPECT_EQ(Complete("plot --format ''", 3), (std::set<std::string>{"png", "bmp", "svg", "pdf", "wmf"}));
  EXPECT_EQ(Complete("plot --format s", 3), (std::set<std::string>{"svg"}));
  EXPECT_EQ(Complete("reflections --model ammann-b", 3), (std::set<std::string>{"ammann-beenker"}));
  // After a file option: file names, not option names.
  const std::set<std::string> files = Complete("tiling --tiles-csv /", 3);
  EXPECT_TRUE(files.count("/tmp") || files.count("/tmp/")) << files.size();
  for (const std::string& f : files) EXPECT_NE(f.rfind("--", 0), 0u) << f;
  // After a flag or at a new word: the command's options.
  EXPECT_TRUE(Complete("plot --rings --sc", 3).count("--scale-bar"));
  EXPECT_TRUE(Complete("p", 1).count("plot"));
}

}  // namespace
}  // namespace lumora::cli
