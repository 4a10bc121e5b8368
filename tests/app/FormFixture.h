// A window under test: scripted dialogs, a settings file and a program folder of its own in a
// temporary folder, and a desktop folder the test chooses.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "AppInfo.h"
#include "Form1.h"
#include "ScriptedDialogs.h"
#include "SettingsStore.h"

class FormFixture : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.isValid()) << "a temporary folder is needed for settings and program files";
    ASSERT_TRUE(QDir(temp_.path()).mkpath(QStringLiteral("program")));
    ASSERT_TRUE(QDir(temp_.path()).mkpath(QStringLiteral("Desktop")));
  }

  QString ProgramFolder() const { return temp_.filePath(QStringLiteral("program")); }
  QString DesktopFolder() const { return temp_.filePath(QStringLiteral("Desktop")); }
  QString SettingsFile() const { return temp_.filePath(QStringLiteral("Quillmark.conf")); }

  // The form, made on first use; desktop_ decides what the desktop lookup answers.
  Form1& Form() {
    if (!form_) {
      form_ = std::make_unique<Form1>(dialogs_, settings_, ProgramFolder(), [this] { return desktop_; });
    }
    return *form_;
  }

  // Writes bytes into a file below the temporary folder, making its folders; gives its path.
  std::string WriteFile(const QString& relativePath, const QByteArray& bytes) {
    const QString path = temp_.filePath(relativePath);
    EXPECT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    EXPECT_EQ(file.write(bytes), bytes.size());
    return path.toStdString();
  }
  void WriteProgramFile(const QString& relativePath, const QByteArray& bytes) {
    WriteFile(QStringLiteral("program/") + relativePath, bytes);
  }

  // What the settings file holds under "Download Location", read by a fresh store.
  QString StoredLocation() {
    return SettingsStore::AtPath(SettingsFile())
        .Read(QString::fromUtf8(AppInfo::kSettingsSection), QStringLiteral("Download Location"),
              QStringLiteral("<absent>"));
  }

  // Runs the event loop as main does; a watchdog closes every window and ends a hang, so the
  // test fails instead of the whole run. Gives the loop's exit code.
  int RunEventLoop() {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [this] {
      timedOut_ = true;
      for (QWidget* window : QApplication::topLevelWidgets()) window->close();
      QCoreApplication::exit(1);
    });
    watchdog.start(5000);
    return QApplication::exec();
  }

  QTemporaryDir temp_;
  ScriptedDialogs dialogs_;
  SettingsStore settings_ = SettingsStore::AtPath(temp_.filePath(QStringLiteral("Quillmark.conf")));
  QString desktop_ = temp_.filePath(QStringLiteral("Desktop"));
  std::unique_ptr<Form1> form_;
  bool timedOut_ = false;
};
