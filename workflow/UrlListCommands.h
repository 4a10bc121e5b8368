// The commands that fill and empty the URL list, and "Help". Each button command runs under the
// error guard with the window's handler name as its operation name.
#pragma once

#include "BusyPointer.h"
#include "DialogService.h"
#include "EventPump.h"
#include "RunState.h"
#include "UrlList.h"

class UrlListCommands {
 public:
  // The prompt's suggestion, and the two sample addresses in the order they are added.
  static constexpr const char* kDefaultAddress = "http://news.feedwright.example/rss/world.rss";
  static constexpr const char* kSampleBreakingNews =
      "http://news.feedwright.example/rss/breaking_news.rss";
  static constexpr const char* kSampleEarth = "http://news.feedwright.example/rss/earth.rss";

  UrlListCommands(UrlList& list, DialogService& dialogs, EventPump& events,
                  const BusyPointer& pointer, const RunState& run);

  // "Add RSS Feed URL" (PushButton1_Click): prompts for one address and appends it unless the
  // answer is empty.
  void AddUrl();
  // "Load RSS URLs From File" (PushButton6_Click): asks for one text file and loads its lines.
  void LoadFromFile();
  // Loads the given file as "Load RSS URLs From File" loads the chosen one, with the same
  // messages and error report (PushButton6_Click, step 118): a file named on the command line or
  // dropped on the list.
  void LoadFile(const std::string& path);
  // "Load Sample/Example Data" (PushButton9_Click): appends the two sample addresses.
  void LoadSamples();
  // The URL list's "Clear List" (PushButton7_Click): removes every row, except while a
  // retrieval run is under way, when it does nothing.
  void Clear();
  // The Delete key and a double-click: removes the selected row unless the busy pointer shows.
  // Has no error report; a failure leaves the list as it is.
  void RemoveSelected() noexcept;
  // "Help" (PushButton11_Click): the contact message.
  void Help();

 private:
  UrlList& list_;
  DialogService& dialogs_;
  EventPump& events_;
  const BusyPointer& pointer_;
  const RunState& run_;
};
