// A setting of the window that the results header's menu shows as a tick box: read from the
// settings store when the window is built and written back the moment it is ticked or unticked,
// as "1" or "0". Off until ticked.
#pragma once

#include <QString>

class QAction;
class QObject;
class SettingsStore;

// The tick box named after its setting (also its text), with the object name given for finding
// it and a tool tip; owned by parent. A write that fails leaves the setting as ticked for this
// window only.
QAction* MakeMenuSetting(QObject* parent, SettingsStore& settings, const QString& name,
                         const QString& objectName, const QString& toolTip);
