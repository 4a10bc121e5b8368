#include "ResultActions.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>

#include "ItemText.h"
#include "ResultsList.h"

namespace {

// Where a row keeps the path of the file saved from it; a cleared list takes the paths with it.
constexpr int kSavedFileRole = Qt::UserRole + 20;

}  // namespace

ResultActions::ResultActions(QTreeWidget* list, DesktopOpener& opener)
    : QObject(list), list_(list), opener_(&opener) {
  // Enter and a double-click both activate the row.
  connect(list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { OpenLink(item); });
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QTreeWidgetItem* item = list_->itemAt(at);
    if (!item) return;
    QMenu* menu = MenuFor(item);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(list_->viewport()->mapToGlobal(at));
  });
  list->installEventFilter(this);
}

QUrl ResultActions::OpenableLink(const QTreeWidgetItem* item) {
  if (!item) return {};
  const QUrl url(QString::fromStdString(ItemText::Get(item, ResultsList::kLink)).trimmed(), QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https")) return {};
  return url;
}

void ResultActions::SetSavedFile(int64_t row, const std::string& path) {
  QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(row));
  if (item) item->setData(0, kSavedFileRole, QString::fromStdString(path));
}

QString ResultActions::SavedFile(const QTreeWidgetItem* item) {
  return item ? item->data(0, kSavedFileRole).toString() : QString();
}

QMenu* ResultActions::MenuFor(QTreeWidgetItem* item) {
  auto* menu = new QMenu(list_);
  const QUrl link = OpenableLink(item);
  const QString text = QString::fromStdString(ItemText::Get(item, ResultsList::kLink));
  const QString saved = SavedFile(item);
  menu->addAction(QStringLiteral("Open Link"), this, [this, link] { opener_->Open(link); })
      ->setEnabled(!link.isEmpty());
  menu->addAction(QStringLiteral("Copy Link"), this, [text] { QGuiApplication::clipboard()->setText(text); })
      ->setEnabled(!text.isEmpty());
  menu->addSeparator();
  menu->addAction(QStringLiteral("Open Saved File"), this,
                  [this, saved] { opener_->Open(QUrl::fromLocalFile(saved)); })
      ->setEnabled(!saved.isEmpty());
  menu->addAction(QStringLiteral("Show Saved File in Folder"), this,
                  [this, saved] { opener_->Open(QUrl::fromLocalFile(QFileInfo(saved).absolutePath())); })
      ->setEnabled(!saved.isEmpty());
  return menu;
}

void ResultActions::OpenLink(const QTreeWidgetItem* item) {
  const QUrl link = OpenableLink(item);
  if (!link.isEmpty()) opener_->Open(link);
}

bool ResultActions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  QTreeWidgetItem* item = list_->currentItem();
  // The view ticks only when the tick's own column is current; the row's tick answers from any.
  if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier || !item) {
    return QObject::eventFilter(watched, event);
  }
  item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  return true;
}
