#include "RemovalGestures.h"

#include <QKeyEvent>
#include <QMouseEvent>

RemovalGestures::RemovalGestures(QTreeWidget* list, std::function<void()> remove)
    : QObject(list), list_(list), viewport_(list->viewport()), remove_(std::move(remove)) {
  list->installEventFilter(this);
  list->viewport()->installEventFilter(this);
}

bool RemovalGestures::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    remove_();
    return true;
  }
  // The view would otherwise go on to handle the double-click on whichever row moved up into
  // the removed row's place.
  if (watched == viewport_ && event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    remove_();
    return true;
  }
  return QObject::eventFilter(watched, event);
}
