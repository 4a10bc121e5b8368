#include "DialogService.h"

#include "AppInfo.h"

void ShowPlainMessage(DialogService& dialogs, const std::string& text) {
  dialogs.ShowMessage(text, AppInfo::kProductName, DialogService::Icon::None);
}
