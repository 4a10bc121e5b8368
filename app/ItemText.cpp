#include "ItemText.h"

#include <QByteArray>
#include <QStringDecoder>

namespace ItemText {

namespace {

// Where the exact bytes of a text that is not valid UTF-8 are kept.
constexpr int kBytesRole = Qt::UserRole + 1;

}  // namespace

Shown Prepare(const std::string& text) {
  // Stateless: a sequence cut off at the end counts as an error instead of waiting for more.
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  Shown shown;
  shown.text = decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (decoder.hasError()) {
    shown.bytes = QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    shown.exact = false;
  }
  return shown;
}

void Set(QTreeWidgetItem* item, int column, const std::string& text) { Set(item, column, Prepare(text)); }

void Set(QTreeWidgetItem* item, int column, const Shown& shown) {
  item->setText(column, shown.text);
  if (shown.exact) {
    Reset(item, column, kBytesRole);
  } else {
    item->setData(column, kBytesRole, shown.bytes);
  }
}

std::string Get(const QTreeWidgetItem* item, int column) {
  const QVariant bytes = item->data(column, kBytesRole);
  if (bytes.isValid()) {
    const QByteArray raw = bytes.toByteArray();
    return std::string(raw.constData(), static_cast<std::size_t>(raw.size()));
  }
  return item->text(column).toStdString();
}

void Reset(QTreeWidgetItem* item, int column, int role) {
  if (item->data(column, role).isValid()) item->setData(column, role, QVariant());
}

}  // namespace ItemText
