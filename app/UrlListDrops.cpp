#include "UrlListDrops.h"

#include <QAbstractItemView>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

namespace {

bool IsFeedAddress(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

bool IsAddressFile(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == u"txt" || suffix == u"opml";
}

std::vector<DroppedItem> ReadLinks(const QList<QUrl>& urls) {
  std::vector<DroppedItem> items;
  for (const QUrl& url : urls) {
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    if (!path.isEmpty() && IsAddressFile(path)) {
      items.push_back({DroppedItem::Kind::kFile, QFile::encodeName(path).toStdString()});
    } else if (IsFeedAddress(url)) {
      items.push_back(
          {DroppedItem::Kind::kAddress, url.toString(QUrl::FullyEncoded).toStdString()});
    } else {
      return {};
    }
  }
  return items;
}

std::vector<DroppedItem> ReadText(const QString& text) {
  std::vector<DroppedItem> items;
  static const QRegularExpression kLineEnd(QStringLiteral("\r\n|\r|\n"));
  for (const QString& line : text.split(kLineEnd)) {
    const QString address = line.trimmed();
    if (address.isEmpty()) continue;
    if (!IsFeedAddress(QUrl(address, QUrl::StrictMode))) return {};
    items.push_back({DroppedItem::Kind::kAddress, address.toStdString()});
  }
  return items;
}

// Copy, or else link; never move, which would let a file manager delete the dropped file.
Qt::DropAction ActionFor(const QDropEvent& event) {
  if (event.possibleActions() & Qt::CopyAction) return Qt::CopyAction;
  if (event.possibleActions() & Qt::LinkAction) return Qt::LinkAction;
  return Qt::IgnoreAction;
}

}  // namespace

std::vector<DroppedItem> DroppedItems(const QMimeData& data) {
  if (data.hasUrls()) return ReadLinks(data.urls());
  if (data.hasText()) return ReadText(data.text());
  return {};
}

UrlListDrops::UrlListDrops(QAbstractItemView* list, Take take)
    : QObject(list), take_(std::move(take)) {
  list->setDragEnabled(false);
  list->setDragDropMode(QAbstractItemView::DropOnly);
  list->viewport()->setAcceptDrops(true);
  list->viewport()->installEventFilter(this);
}

bool UrlListDrops::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::DragLeave) return true;
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
    return QObject::eventFilter(watched, event);
  }
  // The view's own handling would insert the data as rows or move rows about; it never runs.
  auto* drop = static_cast<QDropEvent*>(event);
  std::vector<DroppedItem> items;
  if (type == QEvent::DragMove) {
    // Decided once when the drag came in; a long text need not be read again at every move.
    accepted_ = accepted_ && ActionFor(*drop) != Qt::IgnoreAction;
  } else {
    const QMimeData* data = drop->mimeData();
    if (ActionFor(*drop) != Qt::IgnoreAction && data) items = DroppedItems(*data);
    accepted_ = !items.empty();
  }
  if (!accepted_) {
    drop->ignore();
    return true;
  }
  drop->setDropAction(ActionFor(*drop));
  drop->accept();
  if (type == QEvent::Drop) {
    accepted_ = false;
    QTimer::singleShot(0, this, [this, items = std::move(items)] { take_(items); });
  }
  return true;
}
