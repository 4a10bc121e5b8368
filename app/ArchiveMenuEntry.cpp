#include "ArchiveMenuEntry.h"

#include <QAction>
#include <QMenu>

#include "AppInfo.h"
#include "SettingsStore.h"

namespace {

const QString kReadWholeArchives = QStringLiteral("Read Whole Archives");

QString Section() { return QString::fromUtf8(AppInfo::kSettingsSection); }

}  // namespace

bool ArchiveMenuEntry::ReadsWholeArchives(SettingsStore& settings) {
  return settings.Read(Section(), kReadWholeArchives, QStringLiteral("false")) == QStringLiteral("true");
}

void ArchiveMenuEntry::AddTo(QMenu& menu, SettingsStore& settings) {
  QAction* action = menu.addAction(kReadWholeArchives);
  action->setObjectName(QStringLiteral("ReadWholeArchives"));
  action->setCheckable(true);
  action->setChecked(ReadsWholeArchives(settings));
  action->setToolTip(QStringLiteral("Also read each feed's older pages (its prev-archive and next links), "
                                    "on the feed's own host, each entry once"));
  QObject::connect(action, &QAction::toggled, &menu, [&settings](bool on) {
    settings.Write(Section(), kReadWholeArchives, on ? QStringLiteral("true") : QStringLiteral("false"));
  });
}
