// The URL list's removal gestures: the Delete key, with any modifier keys held, and a
// double-click with the left button anywhere in the list's rows area.
#pragma once

#include <QObject>
#include <QTreeWidget>
#include <functional>

class RemovalGestures : public QObject {
 public:
  // Calls remove for each gesture on list. The gestures do nothing else.
  RemovalGestures(QTreeWidget* list, std::function<void()> remove);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Compared with, never called: events keep arriving while the list is being destroyed.
  const QObject* list_;
  const QObject* viewport_;
  std::function<void()> remove_;
};
