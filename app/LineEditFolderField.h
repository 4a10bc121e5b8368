// The output-folder field as the workflow sees it, over the window's Text1. The window stores
// every change of the field's text, so setting it here stores it too.
#pragma once

#include <QLineEdit>

#include "FolderField.h"

class LineEditFolderField : public FolderField {
 public:
  explicit LineEditFolderField(QLineEdit* field) : field_(field) {}

  std::string Text() const override { return field_->text().toStdString(); }
  void SetText(const std::string& text) override { field_->setText(QString::fromStdString(text)); }

 private:
  QLineEdit* field_;
};
