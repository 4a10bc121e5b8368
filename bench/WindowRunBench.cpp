// Times "Start Retrieving Data" in the real window, offscreen, on one loopback feed of many
// entries, against ReadFeed alone on the same feed in the same process. The run's closing wait
// is set to zero, so the figure is the run's own work: download, parse, and one results row per
// entry. A 10 ms timer watches the event loop meanwhile: the longest gap between its ticks is
// the longest time the window could not answer. With --tick-only-new the window's runs look
// every row up in a record of saved files that holds every other entry.
//
//   window_run_bench [--items N] [--runs R] [--tick-only-new]

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <ctime>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "FeedGenerator.h"
#include "ComponentRegistry.h"
#include "FeedReader.h"
#include "Form1.h"
#include "LoopbackServer.h"
#include "MemoryResultsList.h"
#include "MemoryUrlList.h"
#include "SavedRecord.h"
#include "SettingsStore.h"

namespace {

// Answers the address prompt with the feed's address and keeps every message.
class BenchDialogs : public DialogService {
 public:
  explicit BenchDialogs(std::string address) : address_(std::move(address)) {}
  void ShowMessage(const std::string& text, const std::string&, Icon) override {
    if (onMessage) onMessage();
    messages.push_back(text);
  }
  std::string Prompt(const std::string&, const std::string&, const std::string&) override {
    return address_;
  }
  std::string OpenFile(const std::string&, const std::string&) override { return {}; }
  std::string ChooseFolder(const std::string&, const std::string&) override { return {}; }

  std::vector<std::string> messages;
  std::function<void()> onMessage;

 private:
  std::string address_;
};

class NullProgress : public ProgressSink {
 public:
  void SetPosition(double) override {}
  void SetText(const std::string&) override {}
};
class PlainPointer : public BusyPointer {
 public:
  int Value() const override { return value_; }
  void SetValue(int value) override { value_ = value; }

 private:
  int value_ = 0;
};
class AppEvents : public EventPump {
 public:
  void ProcessEvents() override { QCoreApplication::processEvents(); }
};

// Ticks every 10 ms while it lives and keeps the longest time between two ticks.
class StallWatch {
 public:
  StallWatch() {
    timer_.setInterval(10);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const double now = clock_.nsecsElapsed() / 1e6;
      longest_ = std::max(longest_, now - last_);
      if (now - last_ > 50) ++over50_;
      if (arriving_) longestArriving_ = std::max(longestArriving_, now - last_);
      last_ = now;
      ++ticks_;
    });
    clock_.start();
    timer_.start();
  }
  // From the start to now counts as a gap too: a run that never lets the timer fire has stalled
  // for all of it.
  void Finish() {
    const double now = clock_.nsecsElapsed() / 1e6;
    longest_ = std::max(longest_, now - last_);
    timer_.stop();
  }
  // Gaps that end while rows are arriving, from the first row to the last.
  void RowsArriving(bool arriving) {
    if (arriving && !arriving_) firstRowMs_ = clock_.nsecsElapsed() / 1e6;
    if (!arriving && arriving_) {
      const double now = clock_.nsecsElapsed() / 1e6;
      longestArriving_ = std::max(longestArriving_, now - std::max(last_, firstRowMs_));
      lastRowMs_ = now;
    }
    arriving_ = arriving;
  }
  double LongestMs() const { return longest_; }
  double LongestArrivingMs() const { return longestArriving_; }
  double FirstRowMs() const { return firstRowMs_; }
  double LastRowMs() const { return lastRowMs_; }
  int Ticks() const { return ticks_; }
  int Over50() const { return over50_; }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  double last_ = 0;
  double longest_ = 0;
  bool arriving_ = false;
  double longestArriving_ = 0;
  double firstRowMs_ = 0;
  double lastRowMs_ = 0;
  int ticks_ = 0;
  int over50_ = 0;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Seconds(const QElapsedTimer& clock) { return clock.nsecsElapsed() / 1e9; }

// Processor time of the calling thread. The run, its download included, works on the window's
// thread, so this leaves out the loopback server and whatever else the machine is doing.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

struct Timing {
  std::vector<double> wall;
  std::vector<double> cpu;
};

// Times one call, on the wall clock and in processor time.
template <class Action>
void Measure(Timing& timing, Action&& action) {
  const double cpuStart = ThreadCpuSeconds();
  QElapsedTimer clock;
  clock.start();
  action();
  timing.wall.push_back(Seconds(clock));
  timing.cpu.push_back(ThreadCpuSeconds() - cpuStart);
}

void Report(const char* what, const Timing& timing, const Timing& base) {
  const auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
  std::printf("%-22s wall median %.3f s best %.3f s (%.2fx) | cpu median %.3f s best %.3f s (%.2fx)\n",
              what, Median(timing.wall), best(timing.wall), Median(timing.wall) / Median(base.wall),
              Median(timing.cpu), best(timing.cpu), Median(timing.cpu) / Median(base.cpu));
}

int Run(int argc, char** argv) {
  std::size_t items = 10000;
  int runs = 5;
  bool tickOnlyNew = false;
  for (int i = 1; i < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--tick-only-new") {
      tickOnlyNew = true;
      --i;
    } else if (i + 1 >= argc) {
      throw std::invalid_argument("no value for " + flag);
    } else if (flag == "--items") {
      items = std::stoul(argv[i + 1]);
    } else if (flag == "--runs") {
      runs = std::max(1, std::stoi(argv[i + 1]));
    } else {
      throw std::invalid_argument("unknown option " + flag);
    }
  }

  const std::string body = GenerateFeed(FeedDialect::kRss, items);
  LoopbackServer server;
  server.Http().Get("/feed.rss", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(body, "application/rss+xml");
  });
  server.Start();
  const std::string address = server.Url("/feed.rss");
  std::printf("feed: %zu entries, %zu bytes, %s\n", items, body.size(), address.c_str());

  Timing alone, memory, window;
  // Every other entry, as the record of --tick-only-new holds them.
  std::vector<SavedEntry> savedIdentities;
  std::vector<double> longest, arriving;
  for (int i = 0; i < runs; ++i) {
    FeedReader reader;
    Measure(alone, [&] { reader.ReadFeed(address); });
    if (!reader.FeedItems() || reader.FeedItems()->size() != items) {
      throw std::runtime_error("ReadFeed did not give every entry: " + reader.LastErrorDesc());
    }
  }

  // The same run over lists in memory: what the workflow costs beside the reader.
  for (int i = 0; i < runs; ++i) {
    MemoryUrlList urls;
    urls.Append(address);
    MemoryResultsList results;
    NullProgress progress;
    PlainPointer pointer;
    AppEvents events;
    BenchDialogs dialogs(address);
    RunState state;
    RetrievalOptions options;
    options.closingWaitSeconds = 0;
    Measure(memory, [&] {
      RetrievalRun(urls, results, progress, pointer, events, dialogs, state, options).Start();
    });
    if (results.Count() != static_cast<int64_t>(items)) throw std::runtime_error("rows missing");
    savedIdentities.clear();
    for (std::size_t row = 0; row < results.rows.size(); row += 2) {
      const MemoryResultsList::Row& cells = results.rows[row];
      savedIdentities.push_back({EntryIdentity({cells.text.str(), cells.title.str(), cells.description.str(),
                                                cells.link.str(), results.Entry(static_cast<int64_t>(row))}),
                                 address, "/saved", 1});
    }
  }

  QTemporaryDir temp;
  if (!temp.isValid()) throw std::runtime_error("no temporary folder");
  BenchDialogs dialogs(address);
  SettingsStore settings = SettingsStore::AtPath(temp.filePath(QStringLiteral("Quillmark.conf")));
  const std::string dataFolder = temp.filePath(QStringLiteral("data")).toStdString();
  if (tickOnlyNew) {
    settings.Write(QStringLiteral("Feedwright"), QStringLiteral("Tick Only New Entries"), QStringLiteral("1"));
    SqliteSavedRecord(dataFolder, QDir(temp.path()).canonicalPath().toStdString(), Clock::Steady(),
                      [](const std::string& message) { throw std::runtime_error(message); })
        .Record(savedIdentities);
  }
  Form1 form(dialogs, settings, temp.path(), [&] { return temp.path(); });
  form.SetRecordFolder(dataFolder);
  form.Form_Load();
  form.show();
  // Where a run's time goes: the first and last wait of its download, and the "Done." message.
  QElapsedTimer runClock;
  double firstWait = -1, lastWait = -1, done = -1;
  RetrievalOptions options;
  options.closingWaitSeconds = 0;
  options.readerFactory = [&](const HttpClient& client) {
    const HttpClient marked(client.Pool(), [&, inner = client.Hook()] {
      const double now = runClock.nsecsElapsed() / 1e6;
      if (firstWait < 0) firstWait = now;
      lastWait = now;
      return inner();
    });
    return std::make_unique<FeedReader>(ComponentRegistry::Standard(marked));
  };
  dialogs.onMessage = [&] { done = runClock.nsecsElapsed() / 1e6; };
  form.SetRetrievalOptions(options);
  form.PushButton1_Click();
  for (int i = 0; i < runs; ++i) {
    QCoreApplication::processEvents();
    dialogs.messages.clear();
    firstWait = lastWait = done = -1;
    runClock.start();
    StallWatch watch;
    QMetaObject::Connection arrivals = QObject::connect(
        form.ListView2->model(), &QAbstractItemModel::rowsInserted, [&] {
          watch.RowsArriving(form.ListView2->topLevelItemCount() < static_cast<int>(items));
        });
    Measure(window, [&] { form.PushButton2_Click(); });
    watch.Finish();
    QObject::disconnect(arrivals);
    longest.push_back(watch.LongestMs());
    arriving.push_back(watch.LongestArrivingMs());
    const bool secondTicked = items < 2 || form.ListView2->topLevelItem(1)->checkState(0) == Qt::Checked;
    if (tickOnlyNew && (form.ListView2->topLevelItem(0)->checkState(0) != Qt::Unchecked || !secondTicked)) {
      throw std::runtime_error("Tick Only New Entries did not untick the saved rows alone");
    }
    if (form.ListView2->topLevelItemCount() != static_cast<int>(items) ||
        dialogs.messages != std::vector<std::string>{"Done."}) {
      throw std::runtime_error("the window's run did not end with every row and \"Done.\"");
    }
    std::printf(
        "window run %d: %.3f s; download waits %.0f-%.0f ms, rows arrive %.0f-%.0f ms, \"Done.\" "
        "at %.0f ms; %d ticks, longest gap %.1f ms (%.1f ms while rows arrive), %d over 50 ms\n",
        i + 1, window.wall.back(), firstWait, lastWait, watch.FirstRowMs(), watch.LastRowMs(),
        done, watch.Ticks(),
        watch.LongestMs(), watch.LongestArrivingMs(), watch.Over50());
  }
  QElapsedTimer clearClock;
  clearClock.start();
  form.PushButton10_Click();
  std::printf("\"Clear List\" of the results list with %zu rows: %.3f s\n", items,
              Seconds(clearClock));

  Report("ReadFeed alone", alone, alone);
  Report("run, lists in memory", memory, alone);
  Report("run in the window", window, alone);
  std::printf("longest event-loop gap in the window: median %.1f ms, worst %.1f ms\n",
              Median(longest), *std::max_element(longest.begin(), longest.end()));
  std::printf("  while the rows arrive: median %.1f ms, worst %.1f ms\n", Median(arriving),
              *std::max_element(arriving.begin(), arriving.end()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "window_run_bench: %s\n", error.what());
    return 1;
  }
}
