// Watches mouse movement over the window's controls and tells the pointer state whether the
// mouse is over a push button or over a surface (background, frame, list).
#pragma once

#include <QHash>
#include <QObject>

#include "PointerState.h"

class QAbstractScrollArea;

class PointerTracker : public QObject {
  Q_OBJECT

 public:
  enum class Kind { Button, Surface };

  PointerTracker(PointerState& pointer, QObject* parent) : QObject(parent), pointer_(pointer) {}

  // Reports movement over widget. Movement over a watched widget does not travel on to its
  // parent, so the parent's handler does not undo the child's.
  void Watch(QWidget* widget, Kind kind);

  // A list reports movement over its rows, its header and its frame.
  void WatchList(QAbstractScrollArea* list);

  // Stops movement over widget from reaching its parent's handler, for controls without one.
  static void Shield(QWidget* widget);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PointerState& pointer_;
  QHash<QObject*, Kind> kinds_;
};
