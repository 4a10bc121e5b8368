#include "SettingsStore.h"

SettingsStore::SettingsStore(const QString& application)
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            application, application)) {}

SettingsStore::SettingsStore(AtPathTag, const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

SettingsStore SettingsStore::AtPath(const QString& filePath) {
  return SettingsStore(AtPathTag{}, filePath);
}

QString SettingsStore::KeyPath(const QString& section, const QString& key) {
  return section + u'/' + key;
}

QString SettingsStore::Read(const QString& section, const QString& key,
                            const QString& defaultValue) {
  // Pick up what another run of the program may have written since.
  settings_->sync();
  const QVariant value = settings_->value(KeyPath(section, key));
  if (!value.isValid()) return defaultValue;
  return value.toString();
}

bool SettingsStore::Write(const QString& section, const QString& key, const QString& value) {
  settings_->setValue(KeyPath(section, key), value);
  // QSettings writes through a temporary file and a rename, and refuses a non-atomic write.
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

QString SettingsStore::FileName() const { return settings_->fileName(); }
