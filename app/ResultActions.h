// What the user can do with a row of the results list besides ticking it: Enter or a double-click
// opens the entry's link in the browser, Space ticks or unticks the row from any column, and the
// row's menu opens or copies the link and opens or shows the file saved from it.
#pragma once

#include <QObject>
#include <QString>
#include <QTreeWidget>
#include <QUrl>
#include <cstdint>
#include <string>

#include "DesktopOpener.h"

class QMenu;

class ResultActions : public QObject {
  Q_OBJECT

 public:
  // Owned by list.
  ResultActions(QTreeWidget* list, DesktopOpener& opener);

  // Where links and files are opened from now on; not owned.
  void SetOpener(DesktopOpener& opener) { opener_ = &opener; }

  // The link of the row as an address to open: only http and https, else an empty address.
  static QUrl OpenableLink(const QTreeWidgetItem* item);

  // Remembers the file saved from the row (from 0) in this session, for its menu.
  void SetSavedFile(int64_t row, const std::string& path);
  // The file saved from the row, or empty text.
  static QString SavedFile(const QTreeWidgetItem* item);

  // The menu of the row, with its actions enabled where they apply; the caller owns it.
  QMenu* MenuFor(QTreeWidgetItem* item);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OpenLink(const QTreeWidgetItem* item);

  QTreeWidget* list_;
  DesktopOpener* opener_;
};
