#include "BatchCommandLine.h"

#include "ArchiveWalk.h"

#include <charconv>
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

// A whole number from 1 to max written in plain digits, or nothing.
std::optional<int> WholeNumber(const std::string& text, int max) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > max) return std::nullopt;
  return value;
}

// A byte count from 1 to kMaxEnclosureBytes in plain digits, with an optional K, M or G for
// KiB, MiB or GiB; or nothing.
std::optional<uint64_t> ByteCount(const std::string& text) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  const std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
  int shift = 0;
  if (unit == "K" || unit == "k") {
    shift = 10;
  } else if (unit == "M" || unit == "m") {
    shift = 20;
  } else if (unit == "G" || unit == "g") {
    shift = 30;
  } else if (!unit.empty()) {
    return std::nullopt;
  }
  if (value < 1 || value > (kMaxEnclosureBytes >> shift)) return std::nullopt;
  return value << shift;
}

}  // namespace

BatchCommand ParseBatchCommand(const std::vector<std::string>& args) {
  std::optional<std::string> urlFile;
  std::optional<std::string> outFolder;
  std::optional<int> jobsValue;
  std::optional<int> timeoutValue;
  std::optional<int> maxRowsValue;
  std::optional<int> archivePagesValue;
  bool list = false;
  bool archive = false;
  bool noCache = false;
  bool quiet = false;
  bool onlyNew = false;
  bool catchUp = false;
  bool enclosures = false;
  std::optional<uint64_t> enclosureMaxBytes;
  std::optional<std::string> formatValue;
  std::optional<std::string> nameValue;
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
    } else if (name == "--jobs" || name == "--timeout") {
      const bool jobs = name == "--jobs";
      std::optional<int>& target = jobs ? jobsValue : timeoutValue;
      if (target) return UsageError("option " + name + " given more than once");
      const std::optional<std::string> value = reader.Value();
      target = value ? WholeNumber(*value, jobs ? kMaxJobs : kMaxTimeoutSeconds) : std::nullopt;
      if (!target) {
        return UsageError(jobs ? "option --jobs needs a whole number from 1 to " + std::to_string(kMaxJobs)
                               : "option --timeout needs a whole number of seconds from 1 to " +
                                     std::to_string(kMaxTimeoutSeconds));
      }
    } else if (name == "--max-rows") {
      if (maxRowsValue) return UsageError("option --max-rows given more than once");
      const std::optional<std::string> value = reader.Value();
      maxRowsValue = value ? WholeNumber(*value, kMaxRowsLimit) : std::nullopt;
      if (!maxRowsValue) {
        return UsageError("option --max-rows needs a whole number from 1 to " + std::to_string(kMaxRowsLimit));
      }
    } else if (name == "--archive-pages") {
      constexpr int kMaxPages = static_cast<int>(ArchiveWalk::kMaxPagesLimit);
      if (archivePagesValue) return UsageError("option --archive-pages given more than once");
      const std::optional<std::string> value = reader.Value();
      archivePagesValue = value ? WholeNumber(*value, kMaxPages) : std::nullopt;
      if (!archivePagesValue) {
        return UsageError("option --archive-pages needs a whole number from 1 to " + std::to_string(kMaxPages));
      }
    } else if (name == "--format" || name == "--name") {
      std::optional<std::string>& target = name == "--format" ? formatValue : nameValue;
      if (target) return UsageError("option " + name + " given more than once");
      target = reader.Value();
      if (name == "--format" && (!target || !OutputFormatNamed(*target))) {
        return UsageError("option --format needs one of text, html, markdown, json");
      }
      if (!target) return UsageError("option --name needs a template");
      std::string error;
      if (name == "--name" && !NameTemplate::Parse(*target, error)) return UsageError(error);
    } else if (name == "--enclosure-max-bytes") {
      if (enclosureMaxBytes) return UsageError("option --enclosure-max-bytes given more than once");
      const std::optional<std::string> value = reader.Value();
      enclosureMaxBytes = value ? ByteCount(*value) : std::nullopt;
      if (!enclosureMaxBytes) {
        return UsageError("option --enclosure-max-bytes needs a number of bytes from 1 to 1024G, with K, M or G "
                          "for KiB, MiB or GiB");
      }
    } else if (name == "--list" || name == "--no-cache" || name == "--quiet" || name == "--only-new" ||
               name == "--catch-up" || name == "--enclosures" || name == "--archive") {
      if (reader.HasInlineValue()) return UsageError("option " + name + " takes no value");
      bool& target = name == "--list"       ? list
                     : name == "--no-cache" ? noCache
                     : name == "--quiet"    ? quiet
                     : name == "--only-new" ? onlyNew
                     : name == "--catch-up" ? catchUp
                     : name == "--archive"  ? archive
                                            : enclosures;
      if (target) return UsageError("option " + name + " given more than once");
      target = true;
    } else if (!name.empty() && name[0] == '-') {
      return UsageError("unknown option " + name);
    } else {
      return UsageError("unexpected argument " + name);
    }
  }
  if (!urlFile) return UsageError("--batch URLFILE is missing");
  if ((onlyNew || catchUp) && !outFolder) return UsageError("--only-new and --catch-up need --out DIR");
  if (onlyNew && catchUp) return UsageError("--only-new and --catch-up cannot be used together");
  if (catchUp && list) return UsageError("--catch-up writes nothing and lists nothing; leave out --list");
  // With --only-new, --out names the folder whose saved entries --list leaves out.
  if (outFolder && list && !onlyNew) return UsageError("--out and --list cannot be used together");
  if (!outFolder && !list) return UsageError("--batch needs either --out DIR or --list");
  if (archivePagesValue && !archive) return UsageError("--archive-pages goes with --archive");
  if (list && (formatValue || nameValue)) return UsageError("--format and --name go with --out, not --list");
  if (enclosureMaxBytes && !enclosures) return UsageError("--enclosure-max-bytes goes with --enclosures");
  if (enclosures && (list || catchUp)) {
    return UsageError("--enclosures saves files: it goes with --out, not --list or --catch-up");
  }

  BatchCommand command;
  command.action = list      ? BatchCommand::Action::kList
                   : catchUp ? BatchCommand::Action::kCatchUp
                             : BatchCommand::Action::kSaveFiles;
  command.urlFile = *urlFile;
  if (outFolder) command.outFolder = *outFolder;
  command.jobs = jobsValue;
  command.timeoutSeconds = timeoutValue;
  command.maxRows = maxRowsValue;
  command.noCache = noCache;
  command.archive = archive;
  command.archivePages = archivePagesValue;
  command.quiet = quiet;
  command.onlyNew = onlyNew;
  command.catchUp = catchUp;
  command.enclosures = enclosures;
  command.enclosureMaxBytes = enclosureMaxBytes;
  if (formatValue) command.format = *OutputFormatNamed(*formatValue);
  if (nameValue) command.nameTemplate = *nameValue;
  return command;
}

std::string BatchUsage() {
  return "Usage: feedwright [QT OPTIONS] [FILE...]     open the window, loading each FILE of\n"
         "                                             addresses into its URL list\n"
         "       feedwright --batch URLFILE --out DIR  save every entry as a file in DIR\n"
         "       feedwright --batch URLFILE --list     list every entry as JSON Lines\n"
         "       feedwright --batch URLFILE --out DIR --catch-up\n"
         "                                             record every entry as saved in DIR,\n"
         "                                             writing nothing\n"
         "       feedwright --help | --version\n"
         "\n"
         "Options with --batch:\n"
         "  --jobs N           download up to N feeds at once (default 8, at most 4 from\n"
         "                     one host; 1 reads them one after another)\n"
         "  --timeout SECONDS  give every download at most SECONDS to complete (default 60)\n"
         "  --max-rows N       keep at most N entries in all; later feeds are not read\n"
         "                     (default 1000000)\n"
         "  --format FORMAT    with --out, what each file holds: text (default: title,\n"
         "                     description and link), html (a whole page), markdown\n"
         "                     (front matter and the content), json (every field)\n"
         "  --name TEMPLATE    with --out, how files are named, the extension added:\n"
         "                     fields {stem} {n} {date} {title} {host} {id}, \"/\" for\n"
         "                     subfolders (default {stem}{n})\n"
         "  --archive          also read each feed's archive: its prev-archive and next\n"
         "                     links (RFC 5005), page after page on the feed's own host\n"
         "                     and port, each entry once, newest page first\n"
         "  --archive-pages N  with --archive, read at most N pages of a feed, its own\n"
         "                     included (default 1000, at most 1000000)\n"
         "  --no-cache         download every feed whole, without asking the server\n"
         "                     whether it changed, and keep nothing for the next run\n"
         "  --quiet            write only failures to standard error\n"
         "  --only-new         save only the entries not yet saved into DIR; with --list\n"
         "                     and --out DIR, list only those\n"
         "  --enclosures       with --out, also download each saved entry's enclosures\n"
         "                     (audio, video, images, documents) into DIR beside its\n"
         "                     file: \"NAME.EXT\", then \"NAME-2.EXT\", ... for NAME.html\n"
         "  --enclosure-max-bytes N\n"
         "                     the largest enclosure downloaded, in bytes or with K, M or\n"
         "                     G (default 2G); a larger one is reported and not kept\n"
         "\n"
         "QT OPTIONS are Qt's own (-platform, -display, -style, -reverse, ...); every\n"
         "argument after -- is a FILE.\n"
         "URLFILE holds one feed address per line, or is an OPML subscription list.\n"
         "DIR must exist; files already there are never overwritten.\n"
         "--list writes one JSON object per entry to standard output, in the order of\n"
         "URLFILE, with the keys \"address\", \"title\", \"description\" and \"link\", then\n"
         "\"id\", \"published\", \"updated\", \"author\", \"content\", \"categories\",\n"
         "\"enclosures\" (\"url\", \"type\", \"length\") and \"feed\" (\"title\", \"link\").\n"
         "Progress (when standard error is a terminal) and a summary go to standard\n"
         "error.\n"
         "Feeds that send an ETag or Last-Modified are kept in $XDG_CACHE_HOME/feedwright\n"
         "(default ~/.cache/feedwright, at most 256 MiB); the next run asks for them only\n"
         "if they changed. A server that answers 429 or 503 with Retry-After is not asked\n"
         "again for that address until the wait is over.\n"
         "Every file saved is recorded, per output folder, in\n"
         "$XDG_DATA_HOME/feedwright/saved.sqlite (default ~/.local/share/feedwright); a\n"
         "file deleted from DIR stays recorded as saved.\n"
         "\n"
         "Exit status: 0 every feed was read; 1 a feed failed or a file could not be\n"
         "written (everything else was still done); 2 bad usage or an unusable URL file.\n";
}
