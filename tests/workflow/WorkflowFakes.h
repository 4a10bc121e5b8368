// Plain stand-ins for the window's lists, progress bar, pointer, event loop and folder field,
// recording what the workflow does to them. Each can be made to fail at a chosen member.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "BusyPointer.h"
#include "EventPump.h"
#include "FolderField.h"
#include "ProgressSink.h"
#include "ResultsList.h"
#include "UrlList.h"

// Called with the member's name at the start of every member; throw from it to make that
// member fail.
using FailureHook = std::function<void(std::string_view member)>;

inline void FailWhen(const FailureHook& hook, std::string_view member) {
  if (hook) hook(member);
}

// A hook that throws std::runtime_error(description) from the named member.
inline FailureHook FailAt(std::string member, std::string description) {
  return [member = std::move(member), description = std::move(description)](std::string_view called) {
    if (called == member) throw std::runtime_error(description);
  };
}

class VectorUrlList : public UrlList {
 public:
  std::vector<std::string> rows;
  int64_t selected = -1;
  FailureHook fail;

  int64_t Count() const override {
    FailWhen(fail, "Count");
    return static_cast<int64_t>(rows.size());
  }
  std::string Text(int64_t row) const override {
    FailWhen(fail, "Text");
    return rows.at(Index(row));
  }
  void Append(const std::string& text) override {
    FailWhen(fail, "Append");
    rows.push_back(text);
  }
  void Remove(int64_t row) override {
    FailWhen(fail, "Remove");
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(Index(row)));
    selected = -1;
  }
  void Clear() override {
    FailWhen(fail, "Clear");
    rows.clear();
    selected = -1;
  }
  int64_t SelectedRow() const override {
    FailWhen(fail, "SelectedRow");
    return selected;
  }

 private:
  std::size_t Index(int64_t row) const {
    if (row < 0 || row >= static_cast<int64_t>(rows.size())) throw std::out_of_range("row");
    return static_cast<std::size_t>(row);
  }
};

class VectorResultsList : public ResultsList {
 public:
  struct Row {
    std::string text;
    std::string title;
    std::string description;
    std::string link;
    bool checked = false;
    bool operator==(const Row&) const = default;
  };

  std::vector<Row> rows;
  // Every row passed to ScrollIntoView, in order.
  std::vector<int64_t> scrolledTo;
  FailureHook fail;

  int64_t Count() const override {
    FailWhen(fail, "Count");
    return static_cast<int64_t>(rows.size());
  }
  void Clear() override {
    FailWhen(fail, "Clear");
    rows.clear();
  }
  int64_t Append(const std::string& address) override {
    FailWhen(fail, "Append");
    rows.push_back({address, "", "", "", false});
    return static_cast<int64_t>(rows.size()) - 1;
  }
  std::string Text(int64_t row) const override {
    FailWhen(fail, "Text");
    return At(row).text;
  }
  void SetChecked(int64_t row, bool checked) override {
    FailWhen(fail, "SetChecked");
    At(row).checked = checked;
  }
  bool IsChecked(int64_t row) const override {
    FailWhen(fail, "IsChecked");
    return At(row).checked;
  }
  void SetSubItem(int64_t row, int column, const std::string& text) override {
    FailWhen(fail, "SetSubItem");
    *Cell(At(row), column) = text;
  }
  std::string SubItem(int64_t row, int column) const override {
    FailWhen(fail, "SubItem");
    return *Cell(At(row), column);
  }
  void ScrollIntoView(int64_t row) override {
    FailWhen(fail, "ScrollIntoView");
    At(row);
    scrolledTo.push_back(row);
  }

 private:
  Row& At(int64_t row) { return rows.at(Index(row)); }
  const Row& At(int64_t row) const { return rows.at(Index(row)); }
  std::size_t Index(int64_t row) const {
    if (row < 0 || row >= static_cast<int64_t>(rows.size())) throw std::out_of_range("row");
    return static_cast<std::size_t>(row);
  }
  // A pointer to the sub-item's text, const when the row is.
  template <class AnyRow>
  static auto Cell(AnyRow& row, int column) -> decltype(&row.title) {
    switch (column) {
      case kTitle:
        return &row.title;
      case kDescription:
        return &row.description;
      case kLink:
        return &row.link;
      default:
        throw std::out_of_range("column");
    }
  }
};

class RecordingProgress : public ProgressSink {
 public:
  // Starts at rest, as the window's bar does.
  double position = 0;
  std::string text = kRestText;
  std::vector<double> positions;
  std::vector<std::string> texts;
  FailureHook fail;

  void SetPosition(double percent) override {
    FailWhen(fail, "SetPosition");
    position = percent;
    positions.push_back(percent);
  }
  void SetText(const std::string& newText) override {
    FailWhen(fail, "SetText");
    text = newText;
    texts.push_back(newText);
  }
};

class RecordingPointer : public BusyPointer {
 public:
  int value = kDefault;
  std::vector<int> history;

  int Value() const override { return value; }
  void SetValue(int newValue) override {
    value = newValue;
    history.push_back(newValue);
  }
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
  FailureHook fail;

  std::string Text() const override {
    FailWhen(fail, "Text");
    return text;
  }
  void SetText(const std::string& newText) override {
    FailWhen(fail, "SetText");
    text = newText;
    history.push_back(newText);
  }
};
