#include "OneLineDelegate.h"

void OneLineDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  for (QChar& c : option->text) {
    if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
      c = u' ';
    }
  }
}
