#include "BatchCommandLine.h"

#include <optional>
#include <string_view>

namespace {

BatchCommand UsageError(std::string error) {
  BatchCommand command;
  command.action = BatchCommand::Action::kUsageError;
  command.error = std::move(error);
  return command;
}

// Walks the arguments; each option with a value takes it here.
class OptionReader {
 public:
  explicit OptionReader(const std::vector<std::string>& args) : args_(args) {}

  bool AtEnd() const { return next_ >= args_.size(); }

  // The next argument, split at its first "=" when it is a long option.
  std::string_view NextName() {
    current_ = args_[next_++];
    inlineValue_.reset();
    const std::string_view argument = current_;
    const std::size_t equals = argument.find('=');
    if (argument.substr(0, 2) == "--" && equals != std::string_view::npos) {
      inlineValue_ = std::string(argument.substr(equals + 1));
      return argument.substr(0, equals);
    }
    return argument;
  }

  // The value of the option just read, or nothing when it has none.
  std::optional<std::string> Value() {
    if (inlineValue_) return inlineValue_->empty() ? std::nullopt : inlineValue_;
    if (AtEnd() || args_[next_].empty() || args_[next_][0] == '-') return std::nullopt;
    return args_[next_++];
  }

  // Whether the option just read carried "=value", which a switch must not.
  bool HasInlineValue() const { return inlineValue_.has_value(); }

 private:
  const std::vector<std::string>& args_;
  std::size_t next_ = 0;
  std::string current_;
  std::optional<std::string> inlineValue_;
};

}  // namespace

BatchCommand ParseBatchCommand(const std::vector<std::string>& args) {
  std::optional<std::string> urlFile;
  std::optional<std::string> outFolder;
  bool list = false;
  OptionReader reader(args);
  while (!reader.AtEnd()) {
    const std::string name(reader.NextName());
    if (name == "--help" || name == "-h" || name == "--version") {
      if (reader.HasInlineValue()) return UsageError("option " + name + " takes no value");
      BatchCommand command;
      command.action =
          name == "--version" ? BatchCommand::Action::kVersion : BatchCommand::Action::kHelp;
      return command;
    }
    if (name == "--batch" || name == "--out") {
      std::optional<std::string>& target = name == "--batch" ? urlFile : outFolder;
      if (target) return UsageError("option " + name + " given more than once");
      target = reader.Value();
      if (!target) {
        return UsageError("option " + name + " needs " +
                          (name == "--batch" ? "a URL file" : "a folder"));
      }
    } else if (name == "--list") {
      if (reader.HasInlineValue()) return UsageError("option --list takes no value");
      if (list) return UsageError("option --list given more than once");
      list = true;
    } else if (!name.empty() && name[0] == '-') {
      return UsageError("unknown option " + name);
    } else {
      return UsageError("unexpected argument " + name);
    }
  }
  if (!urlFile) return UsageError("--batch URLFILE is missing");
  if (outFolder && list) return UsageError("--out and --list cannot be used together");
  if (!outFolder && !list) return UsageError("--batch needs either --out DIR or --list");

  BatchCommand command;
  command.action = list ? BatchCommand::Action::kList : BatchCommand::Action::kSaveFiles;
  command.urlFile = *urlFile;
  if (outFolder) command.outFolder = *outFolder;
  return command;
}

std::string BatchUsage() {
  return "Usage: feedwright                            open the window\n"
         "       feedwright --batch URLFILE --out DIR  save every entry as a file in DIR\n"
         "       feedwright --batch URLFILE --list     list every entry as JSON Lines\n"
         "       feedwright --help | --version\n"
         "\n"
         "URLFILE holds one feed address per line, or is an OPML subscription list.\n"
         "DIR must exist; files already there are never overwritten.\n"
         "--list writes one JSON object per entry to standard output, with the keys\n"
         "\"address\", \"title\", \"description\" and \"link\".\n"
         "Progress and a summary go to standard error.\n"
         "\n"
         "Exit status: 0 every feed was read; 1 a feed failed or a file could not be\n"
         "written (everything else was still done); 2 bad usage or an unusable URL file.\n";
}
