// The save on its own: N ticked rows written by HtmlExport into a new folder on a real disk,
// timed from the button to "Done.", so that the cost of syncing the files shows.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "BusyPointer.h"
#include "DialogService.h"
#include "FolderField.h"
#include "HtmlExport.h"
#include "MemoryResultsList.h"

namespace fs = std::filesystem;

namespace {

class CountingDialogs : public DialogService {
 public:
  void ShowMessage(const std::string& text, const std::string&, Icon) override {
    if (text != "Done.") std::fprintf(stderr, "%s\n", text.c_str());
  }
  std::string Prompt(const std::string&, const std::string&, const std::string&) override { return {}; }
  std::string OpenFile(const std::string&, const std::string&) override { return {}; }
  std::string ChooseFolder(const std::string&, const std::string&) override { return {}; }
};

class Pointer : public BusyPointer {
 public:
  int Value() const override { return value_; }
  void SetValue(int value) override { value_ = value; }

 private:
  int value_ = kDefault;
};

class Folder : public FolderField {
 public:
  explicit Folder(std::string text) : text_(std::move(text)) {}
  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override { text_ = text; }

 private:
  std::string text_;
};

}  // namespace

// save_bench DIR [ROWS] [RUNS]: each run saves ROWS rows (about 1 KB each) into a new folder
// under DIR, removed afterwards.
int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: save_bench DIR [ROWS] [RUNS]\n");
    return 2;
  }
  const fs::path dir = argv[1];
  const long rows = argc > 2 ? std::atol(argv[2]) : 10000;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
  MemoryResultsList results;
  const std::string description(1000, 'd');
  for (long i = 0; i < rows; ++i) {
    results.rows.push_back({"http://bench.example/feed.rss", "Entry " + std::to_string(i), description,
                            "http://bench.example/" + std::to_string(i), true});
  }
  for (int run = 0; run < runs; ++run) {
    const fs::path folder = dir / ("save-" + std::to_string(run));
    fs::remove_all(folder);
    fs::create_directories(folder);
    // The writes of the run before are on disk first, so that each run pays for its own.
    ::sync();
    Folder field(folder.string());
    Pointer pointer;
    CountingDialogs dialogs;
    HtmlExport exporter(results, field, pointer, dialogs);
    const auto start = std::chrono::steady_clock::now();
    exporter.Save();
    const auto saved = std::chrono::steady_clock::now();
    // A save that does not sync leaves its writes to the kernel; this is what they cost.
    ::sync();
    const std::chrono::duration<double> seconds = saved - start, synced = std::chrono::steady_clock::now() - start;
    const auto files = std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    std::printf("run %d: %ld files in %.3f s, %.3f s with a sync() after it\n", run + 1, static_cast<long>(files),
                seconds.count(), synced.count());
    fs::remove_all(folder);
  }
  return 0;
}
