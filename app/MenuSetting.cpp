#include "MenuSetting.h"

#include <QAction>

#include "AppInfo.h"
#include "SettingsStore.h"

QAction* MakeMenuSetting(QObject* parent, SettingsStore& settings, const QString& name,
                         const QString& objectName, const QString& toolTip) {
  const QString section = QString::fromUtf8(AppInfo::kSettingsSection);
  auto* action = new QAction(name, parent);
  action->setObjectName(objectName);
  action->setToolTip(toolTip);
  action->setCheckable(true);
  action->setChecked(settings.Read(section, name, QStringLiteral("0")) == QStringLiteral("1"));
  QObject::connect(action, &QAction::toggled, action, [&settings, section, name](bool on) {
    settings.Write(section, name, on ? QStringLiteral("1") : QStringLiteral("0"));
  });
  return action;
}
