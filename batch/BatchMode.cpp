#include "BatchMode.h"

#include <chrono>
#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "ArchiveWalk.h"
#include "BatchCommandLine.h"
#include "BatchDialogs.h"
#include "BatchReport.h"
#include "BusyPointer.h"
#include "EnclosureSaver.h"
#include "EventPump.h"
#include "FeedItem.h"
#include "FolderField.h"
#include "HttpCache.h"
#include "HtmlExport.h"
#include "MemoryResultsList.h"
#include "MemoryUrlList.h"
#include "PathChecks.h"
#include "ProgressSink.h"
#include "RetrievalRun.h"
#include "RunState.h"
#include "SavedRecord.h"
#include "StopSignals.h"
#include "TextEscapes.h"
#include "UrlFileLoader.h"
#include "Version.h"

namespace {

// Without a window there are no events to handle, no bar to show and no pointer to set.
class NoEvents : public EventPump {
 public:
  void ProcessEvents() override {}
};

class NoProgress : public ProgressSink {
 public:
  void SetPosition(double) override {}
  void SetText(const std::string&) override {}
};

class PlainPointer : public BusyPointer {
 public:
  int Value() const override { return value_; }
  void SetValue(int value) override { value_ = value; }

 private:
  int value_ = kDefault;
};

// The output folder named on the command line, in place of the window's field.
class FixedFolder : public FolderField {
 public:
  explicit FixedFolder(std::string text) : text_(std::move(text)) {}
  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override { text_ = text; }

 private:
  std::string text_;
};

int UsageError(std::ostream& err, const std::string& error) {
  err << "feedwright: " << DisplayText(error) << "\n"
      << "Try 'feedwright --help' for more information.\n";
  return kBatchUsage;
}

// The listing reaches standard output in blocks of about this size, not a line at a time.
constexpr std::size_t kListingBlockBytes = 256 * 1024;

void AppendJsonKey(std::string& out, const char* key, std::string_view value) {
  out += ",\"";
  out += key;
  out += "\":";
  AppendJsonString(out, value);
}

// One object per results row, {"address":...,"title":...,"description":...,"link":...}, then
// what else the row's entry says (each empty when the feed gave none), and the line break after
// it. "address" is the address given, "feed"'s "address" the feed the entry came from (the row's
// address): they differ when the address given was a page that announced the feed.
void AppendJsonLine(std::string& out, const MemoryResultsList::Row& row, const FeedItem& entry,
                    const BatchReport& report) {
  const std::string feed = row.text.str();
  out += "{\"address\":";
  AppendJsonString(out, report.AddressOfFeed(feed));
  AppendJsonKey(out, "title", row.title.str());
  AppendJsonKey(out, "description", row.description.str());
  AppendJsonKey(out, "link", row.link.str());
  AppendJsonKey(out, "id", entry.Id());
  AppendJsonKey(out, "published", entry.Published());
  AppendJsonKey(out, "updated", entry.Updated());
  AppendJsonKey(out, "author", entry.Author());
  AppendJsonKey(out, "content", entry.Content());
  out += ",\"categories\":[";
  for (std::size_t i = 0; i < entry.Categories().size(); ++i) {
    if (i > 0) out += ',';
    AppendJsonString(out, entry.Categories()[i]);
  }
  out += "],\"enclosures\":[";
  for (std::size_t i = 0; i < entry.Enclosures().size(); ++i) {
    const FeedEnclosure& enclosure = entry.Enclosures()[i];
    out += i > 0 ? ",{\"url\":" : "{\"url\":";
    AppendJsonString(out, enclosure.url);
    AppendJsonKey(out, "type", enclosure.type);
    out += ",\"length\":" + std::to_string(enclosure.length) + "}";
  }
  out += "],\"feed\":{\"address\":";
  AppendJsonString(out, feed);
  AppendJsonKey(out, "title", entry.Channel().title);
  AppendJsonKey(out, "link", entry.Channel().link);
  out += "}}\n";
}

// The job itself, once the options have been read.
class BatchJob {
 public:
  BatchJob(const BatchCommand& command, std::ostream& out, std::ostream& err, const HttpOptions& http,
           const BatchSurroundings& surroundings)
      : command_(command),
        out_(out),
        err_(err),
        http_(http),
        surroundings_(surroundings),
        dialogs_(err),
        report_(err, surroundings.errIsTerminal, command.quiet) {}

  int Run() {
    const bool saving = command_.action == BatchCommand::Action::kSaveFiles;
    // Checked before any feed is read, so that a mistyped folder costs no downloads.
    if (!command_.outFolder.empty() && !FolderExists(command_.outFolder)) {
      return UsageError(err_, "the output folder does not exist: " + command_.outFolder);
    }
    if (!FileExists(command_.urlFile)) {
      return UsageError(err_, "the URL file does not exist: " + command_.urlFile);
    }
    if (!LoadUrls()) return kBatchUsage;
    Retrieve();
    // Every save is recorded; --only-new and --catch-up read the record too.
    if (!command_.outFolder.empty()) {
      record_ = OpenSavedRecord(surroundings_.dataFolder, command_.outFolder, Clock::Steady(),
                                [this](const std::string& message) { err_ << "feedwright: " << DisplayText(message) << '\n'; });
    }
    if (command_.onlyNew) LeaveOutSaved();

    int64_t filesWritten = 0;
    bool outputFailed = false;
    if (command_.action == BatchCommand::Action::kCatchUp) {
      CatchUp();
    } else if (saving) {
      filesWritten = SaveFiles();
    } else {
      outputFailed = !ListRows();
    }
    if (stoppedBy_ != 0) {
      err_ << "feedwright: stopped by " << (stoppedBy_ == SIGINT ? "SIGINT" : "SIGTERM")
           << "; the rows after the last file written were not saved\n";
    }
    report_.WriteSummary(results_.Count(), filesWritten);
    if (command_.enclosures) report_.WriteEnclosureSummary();
    // As a shell reports a program ended by the signal.
    if (stoppedBy_ != 0) return 128 + stoppedBy_;
    // An enclosure not saved is a file not written, though its feed and entry were.
    const bool failed = outputFailed || report_.FeedsFailed() > 0 || dialogs_.ErrorReports() > 0 ||
                        report_.EnclosuresFailed() > 0;
    return failed ? kBatchFailed : kBatchSuccess;
  }

 private:
  bool LoadUrls() {
    try {
      return LoadUrlFile(urls_, command_.urlFile, dialogs_, events_) == UrlFileLoad::kLoaded;
    } catch (const std::exception& error) {
      err_ << "feedwright: cannot read the URL file: " << DisplayText(error.what()) << '\n';
      return false;
    }
  }

  // The limits of every download of the run.
  HttpOptions DownloadOptions() const {
    HttpOptions options = http_;
    if (command_.timeoutSeconds) options.deadline = std::chrono::seconds(*command_.timeoutSeconds);
    return options;
  }

  void Retrieve() {
    RetrievalOptions options;
    options.http = DownloadOptions();
    if (command_.jobs) options.jobs = static_cast<std::size_t>(*command_.jobs);
    if (command_.maxRows) options.maxRows = static_cast<std::size_t>(*command_.maxRows);
    if (command_.archive) {
      options.archivePages =
          command_.archivePages ? static_cast<std::size_t>(*command_.archivePages) : ArchiveWalk::kDefaultMaxPages;
    }
    // Nobody watches a bar here.
    options.closingWaitSeconds = 0;
    options.observer = &report_;
    if (!surroundings_.cacheFolder.empty()) {
      // --no-cache still honours the waits servers asked for: it is about kept answers only.
      options.cache = std::make_shared<HttpCache>(surroundings_.cacheFolder, *options.clock,
                                                  HttpCache::kDefaultMaxBytes, !command_.noCache);
    }
    RetrievalRun run(urls_, results_, progress_, pointer_, events_, dialogs_, state_, options);
    run.Start();
  }

  RowEntry RowAt(std::size_t row) const {
    const MemoryResultsList::Row& cells = results_.rows[row];
    return {cells.text.str(), cells.title.str(), cells.description.str(), cells.link.str(),
            results_.Entry(static_cast<int64_t>(row))};
  }

  // Unticks the rows whose entries were saved into the folder before: they are neither saved
  // nor listed.
  void LeaveOutSaved() {
    if (!record_) return;
    // One read for all the lookups; the save's Record ends it before it writes.
    record_->BeginLookups();
    for (std::size_t row = 0; row < results_.rows.size(); ++row) {
      if (record_->Find(EntryIdentity(RowAt(row)))) results_.rows[row].checked = false;
    }
    record_->EndLookups();
  }

  // Every row recorded as saved, without a file.
  void CatchUp() {
    std::vector<SavedEntry> entries;
    const int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::Steady().WallNow().time_since_epoch()).count();
    for (std::size_t row = 0; row < results_.rows.size(); ++row) {
      entries.push_back({EntryIdentity(RowAt(row)), results_.rows[row].text.str(), "", now});
    }
    if (record_) record_->Record(entries);
    err_ << "Recorded as saved: " << (record_ ? entries.size() : 0) << '\n';
  }

  int64_t SaveFiles() {
    FixedFolder folder(command_.outFolder);
    HtmlExport exporter(results_, folder, pointer_, dialogs_);
    std::string ignored;
    exporter.SetChoices({command_.format, *NameTemplate::Parse(command_.nameTemplate, ignored)});
    int64_t written = 0;
    exporter.OnFileWritten([&](int64_t, const std::string&) { ++written; });
    exporter.SetRecord(record_.get(), Clock::Steady());
    std::unique_ptr<EnclosureSaver> enclosures;
    if (command_.enclosures) {
      const uint64_t ceiling = command_.enclosureMaxBytes.value_or(EnclosureSaver::kDefaultMaxBytes);
      enclosures = std::make_unique<EnclosureSaver>(DownloadOptions(), DownloadLimits{}, ceiling, Clock::Steady());
      enclosures->OnProgress([this](const EnclosureProgress& progress) { report_.EnclosureMoving(progress); });
      enclosures->OnSaved([this](int64_t row, const std::vector<EnclosureOutcome>& outcomes) {
        report_.EnclosuresSaved(row, outcomes);
      });
      // A stop abandons the download under way; its file is dropped unnamed.
      enclosures->SetWaitHook([] { return StopSignals::Received() == 0; });
      exporter.SetEnclosures(enclosures.get());
    }
    {
      StopSignals signals;
      exporter.SetStopRequest([] { return StopSignals::Received() != 0; });
      exporter.Save();
      stoppedBy_ = StopSignals::Received();
    }
    return written;
  }

  // Writes the listing; false when standard output refused it.
  bool ListRows() {
    std::string block;
    block.reserve(kListingBlockBytes + kListingBlockBytes / 4);
    static const FeedItem kNoEntry;
    for (std::size_t index = 0; index < results_.rows.size(); ++index) {
      // Only rows left out by --only-new are unticked here.
      if (!results_.rows[index].checked) continue;
      const std::shared_ptr<const FeedItem> entry = results_.Entry(static_cast<int64_t>(index));
      AppendJsonLine(block, results_.rows[index], entry ? *entry : kNoEntry, report_);
      if (block.size() < kListingBlockBytes) continue;
      if (!out_.write(block.data(), static_cast<std::streamsize>(block.size()))) break;
      block.clear();
    }
    if (out_) out_.write(block.data(), static_cast<std::streamsize>(block.size()));
    out_.flush();
    if (out_) return true;
    err_ << "feedwright: the listing could not be written to standard output\n";
    return false;
  }

  const BatchCommand& command_;
  std::ostream& out_;
  std::ostream& err_;
  const HttpOptions& http_;
  const BatchSurroundings& surroundings_;
  BatchDialogs dialogs_;
  BatchReport report_;
  NoEvents events_;
  NoProgress progress_;
  PlainPointer pointer_;
  RunState state_;
  MemoryUrlList urls_;
  MemoryResultsList results_;
  // The record of the --out folder, when there is one to use.
  std::unique_ptr<SavedRecord> record_;
  // The signal that stopped the save, or 0.
  int stoppedBy_ = 0;
};

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const HttpOptions& http, const BatchSurroundings& surroundings) {
  const BatchCommand command = ParseBatchCommand(args);
  switch (command.action) {
    case BatchCommand::Action::kHelp:
      out << BatchUsage();
      return kBatchSuccess;
    case BatchCommand::Action::kVersion:
      out << Version::kProgramName << ' ' << Version::kVersion << '\n';
      return kBatchSuccess;
    case BatchCommand::Action::kUsageError:
      return UsageError(err, command.error);
    case BatchCommand::Action::kSaveFiles:
    case BatchCommand::Action::kList:
    case BatchCommand::Action::kCatchUp:
      break;
  }
  return BatchJob(command, out, err, http, surroundings).Run();
}
