// The per-user settings store: text values addressed by section and key, kept in one INI file
// per application in the user's configuration folder.
#pragma once

#include <memory>

#include <QSettings>
#include <QString>

class SettingsStore {
 public:
  // The store of the given application in the user's configuration folder, for example
  // ~/.config/Quillmark/Quillmark.conf for the application "Quillmark" (an INI file on Linux).
  explicit SettingsStore(const QString& application);

  // A store kept in the given file; used by tests and by anyone who wants the file elsewhere.
  static SettingsStore AtPath(const QString& filePath);

  SettingsStore(SettingsStore&&) = default;
  SettingsStore& operator=(SettingsStore&&) = default;

  // The stored text; defaultValue when the key is absent or the file cannot be read.
  // A stored empty text is present and is returned as it is.
  QString Read(const QString& section, const QString& key, const QString& defaultValue);

  // Stores the text and writes the file at once (atomically: a crash leaves the old or the new
  // file, never half of one). False when it did not reach the disk; nothing else happens then.
  bool Write(const QString& section, const QString& key, const QString& value);

  // The file the store lives in.
  QString FileName() const;

 private:
  struct AtPathTag {};
  SettingsStore(AtPathTag, const QString& filePath);

  static QString KeyPath(const QString& section, const QString& key);

  std::unique_ptr<QSettings> settings_;
};
