// "Read Whole Archives" in the results header's menu: whether "Start Retrieving Data" also walks
// each feed's archive (ArchiveWalk.h), remembered in the settings store; off until ticked.
#pragma once

class QMenu;
class SettingsStore;

namespace ArchiveMenuEntry {

// Whether the setting is on.
bool ReadsWholeArchives(SettingsStore& settings);

// Adds the entry to menu, ticked when the setting is on; toggling it stores the
// setting at once. The entry belongs to the menu.
void AddTo(QMenu& menu, SettingsStore& settings);

}  // namespace ArchiveMenuEntry
