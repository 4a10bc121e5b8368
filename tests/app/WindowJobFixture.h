// A prepared, shown window whose buttons the test presses, with a loopback server for its feeds
// and short waits: no closing pause after a run, two-second network time-outs.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "FormFixture.h"
#include "LoopbackServer.h"

using Texts = std::vector<std::string>;

// One row of ListView2 as the window shows it.
struct ShownResult {
  std::string text, title, description, link;
  bool checked = false;
  bool operator==(const ShownResult&) const = default;
};

inline void PrintTo(const ShownResult& row, std::ostream* out) {
  *out << "{\"" << row.text << "\", \"" << row.title << "\", \"" << row.description << "\", \""
       << row.link << "\", " << (row.checked ? "ticked" : "unticked") << "}";
}

class WindowJobFixture : public FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    Form().Form_Load();
    Form().show();
    Form().SetRetrievalOptions(ShortWaits());
  }

  void TearDown() override {
    releaseSlow_ = true;
    server_.Stop();
  }

  static RetrievalOptions ShortWaits() {
    RetrievalOptions options;
    options.closingWaitSeconds = 0;
    options.http.connectTimeout = std::chrono::milliseconds(2000);
    options.http.idleTimeout = std::chrono::milliseconds(2000);
    return options;
  }

  // Answers path with a fixed status and body. Register every path before StartServer.
  void Serve(const std::string& path, int status, std::string body,
             std::string type = "application/rss+xml") {
    server_.Http().Get(path, [status, body, type](const httplib::Request&, httplib::Response& response) {
      response.status = status;
      response.set_content(body, type.c_str());
    });
  }

  // Answers path with body only once the test sets releaseSlow_, or after holdMillis.
  void ServeSlowly(const std::string& path, std::string body, int holdMillis = 5000) {
    server_.Http().Get(path, [this, body, holdMillis](const httplib::Request&, httplib::Response& response) {
      ++slowRequests_;
      for (int waited = 0; waited < holdMillis && !releaseSlow_; waited += 5) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      response.set_content(body, "application/rss+xml");
    });
  }

  void StartServer() { server_.Start(); }
  std::string Url(const std::string& path) const { return server_.Url(path); }

  // "Add RSS Feed URL" with the prompt answered by address.
  void AddAddress(const std::string& address) {
    dialogs_.AnswerPrompt(address);
    Form().PushButton1->click();
  }

  Texts UrlRows() {
    Texts rows;
    for (int row = 0; row < Form().ListView1->topLevelItemCount(); ++row) {
      rows.push_back(Form().ListView1->topLevelItem(row)->text(0).toStdString());
    }
    return rows;
  }

  std::vector<ShownResult> ResultRows() {
    std::vector<ShownResult> rows;
    for (int row = 0; row < Form().ListView2->topLevelItemCount(); ++row) {
      const QTreeWidgetItem* item = Form().ListView2->topLevelItem(row);
      rows.push_back({item->text(0).toStdString(), item->text(1).toStdString(),
                      item->text(2).toStdString(), item->text(3).toStdString(),
                      item->checkState(0) == Qt::Checked});
    }
    return rows;
  }

  // Selects the URL-list row, as a click on it would.
  void SelectUrlRow(int row) { Form().ListView1->setCurrentItem(Form().ListView1->topLevelItem(row)); }

  void PressKey(int key, Qt::KeyboardModifiers modifiers = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(Form().ListView1, &press);
  }

  LoopbackServer server_;
  std::atomic<bool> releaseSlow_{false};
  std::atomic<int> slowRequests_{0};
};
