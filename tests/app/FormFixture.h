// A window under test: scripted dialogs, a settings file and a program folder of its own in a
// temporary folder, and a desktop folder the test chooses.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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

  // Writes bytes into a file below the program folder, making its folders.
  void WriteProgramFile(const QString& relativePath, const QByteArray& bytes) {
    const QString path = QDir(ProgramFolder()).filePath(relativePath);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
  }

  // What the settings file holds under "Download Location", read by a fresh store.
  QString StoredLocation(const QString& absent = QStringLiteral("<absent>")) {
    SettingsStore fresh = SettingsStore::AtPath(SettingsFile());
    return fresh.Read(QString::fromUtf8(AppInfo::kSettingsSection),
                      QStringLiteral("Download Location"), absent);
  }

  QTemporaryDir temp_;
  ScriptedDialogs dialogs_;
  SettingsStore settings_ = SettingsStore::AtPath(temp_.filePath(QStringLiteral("Quillmark.conf")));
  QString desktop_ = temp_.filePath(QStringLiteral("Desktop"));
  std::unique_ptr<Form1> form_;
};
