#include "BatchCommandLine.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Action = BatchCommand::Action;
using Args = std::vector<std::string>;

TEST(BatchCommandLineTest, ReadsEveryFormOfTheOptions) {
  struct Case {
    const char* label;
    Args args;
    Action action;
    std::string urlFile;
    std::string outFolder;
    std::optional<int> jobs = {};
    std::optional<int> timeout = {};
  };
  const std::vector<Case> cases = {
      {"save", {"--batch", "urls.txt", "--out", "dir"}, Action::kSaveFiles, "urls.txt", "dir"},
      {"save, options turned round", {"--out", "dir", "--batch", "urls.txt"}, Action::kSaveFiles,
       "urls.txt", "dir"},
      {"list", {"--batch", "urls.txt", "--list"}, Action::kList, "urls.txt", ""},
      {"list first", {"--list", "--batch", "urls.txt"}, Action::kList, "urls.txt", ""},
      {"values after =", {"--batch=a b.txt", "--out=/tmp/x y"}, Action::kSaveFiles, "a b.txt",
       "/tmp/x y"},
      {"= inside a value", {"--batch=a=b", "--list"}, Action::kList, "a=b", ""},
      {"value that starts with - after =", {"--batch=-odd", "--list"}, Action::kList, "-odd", ""},
      {"help", {"--help"}, Action::kHelp, "", ""},
      {"short help", {"-h"}, Action::kHelp, "", ""},
      {"help wins over what follows", {"--help", "--bogus"}, Action::kHelp, "", ""},
      {"version", {"--version"}, Action::kVersion, "", ""},
      {"jobs and timeout", {"--batch", "u", "--jobs", "1", "--list", "--timeout=20"}, Action::kList, "u", "", 1, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const BatchCommand command = ParseBatchCommand(c.args);
    EXPECT_EQ(command.action, c.action) << command.error;
    EXPECT_EQ(command.urlFile, c.urlFile);
    EXPECT_EQ(command.outFolder, c.outFolder);
    EXPECT_EQ(command.jobs, c.jobs);
    EXPECT_EQ(command.timeoutSeconds, c.timeout);
  }
}

TEST(BatchCommandLineTest, RefusesEveryMistakeWithItsReason) {
  struct Case {
    const char* label;
    Args args;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"nothing", {}, "--batch URLFILE is missing"},
      {"mode without a file", {"--out", "dir"}, "--batch URLFILE is missing"},
      {"file without a mode", {"--batch", "u"}, "--batch needs either --out DIR or --list"},
      {"both modes", {"--batch", "u", "--list", "--out", "d"},
       "--out and --list cannot be used together"},
      {"file missing at the end", {"--list", "--batch"}, "option --batch needs a URL file"},
      {"file taken from the next option", {"--batch", "--list"}, "option --batch needs a URL file"},
      {"empty value after =", {"--batch=", "--list"}, "option --batch needs a URL file"},
      {"empty value", {"--batch", "", "--list"}, "option --batch needs a URL file"},
      {"folder missing", {"--batch", "u", "--out"}, "option --out needs a folder"},
      {"file twice", {"--batch", "u", "--batch", "v", "--list"},
       "option --batch given more than once"},
      {"folder twice", {"--batch", "u", "--out", "d", "--out=e"}, "option --out given more than once"},
      {"list twice", {"--batch", "u", "--list", "--list"}, "option --list given more than once"},
      {"value on a switch", {"--batch", "u", "--list=yes"}, "option --list takes no value"},
      {"value on help", {"--help=me"}, "option --help takes no value"},
      {"unknown long option", {"--batch", "u", "--list", "--quiet"}, "unknown option --quiet"},
      {"unknown short option", {"-b", "u"}, "unknown option -b"},
      {"Qt's own option", {"-platform", "offscreen"}, "unknown option -platform"},
      {"stray argument", {"urls.txt"}, "unexpected argument urls.txt"},
      {"second file", {"--batch", "u", "v", "--list"}, "unexpected argument v"},
      {"no jobs", {"--batch", "u", "--list", "--jobs", "0"}, "option --jobs needs a whole number from 1 to 64"},
      {"jobs missing", {"--batch", "u", "--list", "--jobs"}, "option --jobs needs a whole number from 1 to 64"},
      {"fraction of a second", {"--batch", "u", "--list", "--timeout=1.5"},
       "option --timeout needs a whole number of seconds from 1 to 86400"},
      {"timeout twice", {"--batch", "u", "--list", "--timeout", "5", "--timeout", "5"},
       "option --timeout given more than once"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const BatchCommand command = ParseBatchCommand(c.args);
    EXPECT_EQ(command.action, Action::kUsageError);
    EXPECT_EQ(command.error, c.error);
  }
}

}  // namespace
