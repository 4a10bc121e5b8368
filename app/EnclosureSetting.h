// The window's "Save Enclosures" setting, a tick box of the results header's menu (MenuSetting.h),
// and what a save does with it on: each saved entry's
// enclosures downloaded beside its file, the bar showing their bytes and rate, and a row whose
// enclosures failed telling why in its tool tip.
#pragma once

#include <QString>
#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "EnclosureSaver.h"
#include "HttpOptions.h"
#include "ProgressSink.h"
#include "SettingsStore.h"

class EnclosureSetting {
 public:
  explicit EnclosureSetting(SettingsStore& settings) : settings_(settings) {}

  // The setting's name in the store and in the menu (see MenuSetting.h).
  static inline const QString kName = QStringLiteral("Save Enclosures");

  bool On() const;

  // A saver for one save, null while the setting is off. Its downloads run under http; the
  // bar shows their progress, a failure goes into its row's tool tip in results, and wait is
  // called while a download waits (false abandons it).
  std::unique_ptr<EnclosureSaver> MakeSaver(const HttpOptions& http, ProgressSink& bar, QTreeWidget* results,
                                            std::function<bool()> wait);
  // "; enclosures: S saved, F failed" after a save with the setting on, else "".
  QString Summary() const;

 private:
  SettingsStore& settings_;
  bool used_ = false;
  int64_t saved_ = 0;
  int64_t failed_ = 0;
};
