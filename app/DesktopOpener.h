// Hands links, files and folders to the user's desktop: the browser, the file's program, the file
// manager. The window opens everything through this, so tests can see what it would open.
#pragma once

#include <QString>
#include <QUrl>

class DesktopOpener {
 public:
  virtual ~DesktopOpener() = default;

  // Opens the address or file with the desktop's program for it; false when none could be started.
  virtual bool Open(const QUrl& url) = 0;
};

// The desktop's own handling, through QDesktopServices.
class StandardDesktopOpener : public DesktopOpener {
 public:
  bool Open(const QUrl& url) override;
};
