#include "PointerTracker.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QTreeView>
#include <QHeaderView>
#include <QWidget>

void PointerTracker::Watch(QWidget* widget, Kind kind) {
  kinds_.insert(widget, kind);
  // Without tracking Qt only reports movement while a mouse button is held.
  widget->setMouseTracking(true);
  Shield(widget);
  widget->installEventFilter(this);
  connect(widget, &QObject::destroyed, this, [this](QObject* gone) { kinds_.remove(gone); });
}

void PointerTracker::WatchList(QAbstractScrollArea* list) {
  Watch(list, Kind::Surface);
  Watch(list->viewport(), Kind::Surface);
  if (auto* tree = qobject_cast<QTreeView*>(list)) Watch(tree->header(), Kind::Surface);
}

void PointerTracker::Shield(QWidget* widget) { widget->setAttribute(Qt::WA_NoMousePropagation); }

bool PointerTracker::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
    const auto found = kinds_.constFind(watched);
    if (found != kinds_.constEnd()) {
      if (*found == Kind::Button) {
        pointer_.OverButton();
      } else {
        pointer_.OverSurface();
      }
    }
  }
  return QObject::eventFilter(watched, event);
}
