// A window under test: scripted dialogs, a settings file, a program folder and a desktop folder
// of its own in a temporary folder, and a loopback server for its feeds.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Form1.h"
#include "LoopbackServer.h"
#include "ScriptedDialogs.h"
#include "SettingsStore.h"

using Texts = std::vector<std::string>;

class FormFixture : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(QDir(temp_.path()).mkpath("program") && QDir(temp_.path()).mkpath("Desktop")); }

  QString Path(const QString& relative) const { return temp_.filePath(relative); }
  // The form, made on first use; desktop_ decides what the desktop lookup answers.
  Form1& Form() {
    if (!form_) form_ = std::make_unique<Form1>(dialogs_, settings_, Path("program"), [this] { return desktop_; });
    return *form_;
  }
  // The form prepared and shown.
  Form1& Shown() {
    Form().Form_Load();
    Form().show();
    return Form();
  }

  // Writes bytes into a file below the temporary folder, making its folders; gives its path.
  std::string WriteFile(const QString& relative, const QByteArray& bytes) {
    QFile file(Path(relative));
    EXPECT_TRUE(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.write(bytes), bytes.size());
    return file.fileName().toStdString();
  }
  // What the settings file holds under "Download Location", read by a fresh store.
  QString StoredLocation() {
    return SettingsStore::AtPath(Path("Quillmark.conf")).Read("Feedwright", "Download Location", "<absent>");
  }

  // Answers path with a fixed status and body, counting requests. Register every path before
  // server_.Start().
  void Serve(const std::string& path, int status, std::string body, std::string type = "application/rss+xml") {
    server_.Http().Get(path, [=, this](const httplib::Request&, httplib::Response& response) {
      ++requests_;
      response.status = status;
      response.set_content(body, type.c_str());
    });
  }
  std::string Url(const std::string& path) const { return server_.Url(path); }

  // "Add RSS Feed URL" with the prompt answered by address.
  void AddAddress(const std::string& address) {
    dialogs_.AnswerPrompt(address);
    Form().PushButton1->click();
  }
  // The rows as shown: the URL list's texts; the results list's address, title, description,
  // link and tick.
  Texts UrlRows() {
    Texts rows;
    for (const Texts& row : Rows(Form().ListView1)) rows.push_back(row[0]);
    return rows;
  }
  std::vector<Texts> ResultRows() { return Rows(Form().ListView2); }
  static std::vector<Texts> Rows(const QTreeWidget* list) {
    std::vector<Texts> rows;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
      const QTreeWidgetItem* item = list->topLevelItem(row);
      rows.push_back({item->text(0).toStdString(), item->text(1).toStdString(), item->text(2).toStdString(),
                      item->text(3).toStdString(), item->checkState(0) == Qt::Checked ? "ticked" : "unticked"});
    }
    return rows;
  }

  QTemporaryDir temp_;
  ScriptedDialogs dialogs_;
  SettingsStore settings_ = SettingsStore::AtPath(temp_.filePath("Quillmark.conf"));
  QString desktop_ = temp_.filePath("Desktop");
  LoopbackServer server_;
  std::atomic<int> requests_{0};
  std::unique_ptr<Form1> form_;
};
