// Draws every cell of a list on one line: line breaks in a text show as spaces. The rows then
// all have the height of one line, whatever a description holds, while the texts themselves
// keep their line breaks for the export.
#pragma once

#include <QStyledItemDelegate>

class OneLineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
