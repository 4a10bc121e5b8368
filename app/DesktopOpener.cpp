#include "DesktopOpener.h"

#include <QDesktopServices>

bool StandardDesktopOpener::Open(const QUrl& url) { return QDesktopServices::openUrl(url); }
