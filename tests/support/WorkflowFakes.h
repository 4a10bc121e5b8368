// Plain stand-ins for the window's lists, progress bar, pointer, event loop and folder field,
// recording what the workflow does to them. The results list can be made to fail.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "BusyPointer.h"
#include "EventPump.h"
#include "FolderField.h"
#include "MemoryResultsList.h"
#include "MemoryUrlList.h"
#include "ProgressSink.h"

// Called with the member's name at the start of every member; throw from it to make that
// member fail.
using FailureHook = std::function<void(std::string_view member)>;

inline void FailWhen(const FailureHook& hook, std::string_view member) {
  if (hook) hook(member);
}

using VectorUrlList = MemoryUrlList;

// The in-memory results list, made to fail at a chosen member, recording every scroll.
class VectorResultsList : public MemoryResultsList {
 public:
  // Every row passed to ScrollIntoView, in order.
  std::vector<int64_t> scrolledTo;
  FailureHook fail;

  int64_t Count() const override { FailWhen(fail, "Count"); return MemoryResultsList::Count(); }
  void Clear() override { FailWhen(fail, "Clear"); MemoryResultsList::Clear(); }
  int64_t Append(const std::string& address) override {
    FailWhen(fail, "Append"); return MemoryResultsList::Append(address);
  }
  void SetChecked(int64_t row, bool checked) override {
    FailWhen(fail, "SetChecked"); MemoryResultsList::SetChecked(row, checked);
  }
  bool IsChecked(int64_t row) const override {
    FailWhen(fail, "IsChecked"); return MemoryResultsList::IsChecked(row);
  }
  std::string SubItem(int64_t row, int column) const override {
    FailWhen(fail, "SubItem"); return MemoryResultsList::SubItem(row, column);
  }
  void ScrollIntoView(int64_t row) override {
    MemoryResultsList::ScrollIntoView(row);
    scrolledTo.push_back(row);
  }
};

class RecordingProgress : public ProgressSink {
 public:
  // Starts at rest, as the window's bar does.
  double position = 0;
  std::string text = kRestText;
  std::vector<double> positions;
  std::vector<std::string> texts;

  void SetPosition(double percent) override {
    positions.push_back(position = percent);
  }
  void SetText(const std::string& newText) override { texts.push_back(text = newText); }
};

class RecordingPointer : public BusyPointer {
 public:
  int value = kDefault;
  std::vector<int> history;

  int Value() const override { return value; }
  void SetValue(int newValue) override { history.push_back(value = newValue); }
};

class CountingEvents : public EventPump {
 public:
  int calls = 0;
  // Runs inside each call, as another handler would: the number of the call, from 1.
  std::function<void(int call)> onProcess;

  void ProcessEvents() override {
    ++calls;
    if (onProcess) onProcess(calls);
  }
};

class PlainFolderField : public FolderField {
 public:
  std::string text;
  std::vector<std::string> history;

  std::string Text() const override { return text; }
  void SetText(const std::string& newText) override { history.push_back(text = newText); }
};
