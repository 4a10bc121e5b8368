#include "QtDialogService.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

#include "AppInfo.h"

namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

std::string ToUtf8(const QString& text) { return text.toStdString(); }

QString QtPattern(QString pattern) {
  QStringList parts = pattern.split(u';', Qt::SkipEmptyParts);
  for (QString& part : parts) {
    part = part.trimmed();
    if (part == u"*.*") part = QStringLiteral("*");
  }
  return parts.join(u' ');
}

}  // namespace

QString QtDialogService::TitleOrDefault(const std::string& title) {
  return title.empty() ? QString::fromUtf8(AppInfo::kProductName) : FromUtf8(title);
}

QString QtDialogService::DisplayText(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(u'\r', u'\n');
  return shown;
}

QString QtDialogService::QtFilter(const QString& filter) {
  const QStringList pieces = filter.split(u'|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
    const QString label = pieces[i].trimmed();
    const QString pattern = QtPattern(pieces[i + 1]);
    if (pattern.isEmpty()) continue;
    // "Text Files (*.txt)" already names its pattern; Qt reads the last parentheses.
    if (label.endsWith(u'(' + pieces[i + 1].trimmed() + u')')) {
      entries.push_back(label.left(label.lastIndexOf(u'(')) + u'(' + pattern + u')');
    } else {
      entries.push_back((label.isEmpty() ? pattern : label) + QStringLiteral(" (") + pattern + u')');
    }
  }
  return entries.join(QStringLiteral(";;"));
}

void QtDialogService::ShowMessage(const std::string& text, const std::string& title, Icon icon) {
  QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                  TitleOrDefault(title), DisplayText(FromUtf8(text)), QMessageBox::Ok, parent_);
  // Descriptions come from files and servers; never let them render as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

std::string QtDialogService::Prompt(const std::string& prompt, const std::string& title,
                                    const std::string& defaultText) {
  bool accepted = false;
  const QString answer =
      QInputDialog::getText(parent_, TitleOrDefault(title), FromUtf8(prompt), QLineEdit::Normal,
                            FromUtf8(defaultText), &accepted);
  return accepted ? ToUtf8(answer) : std::string();
}

std::string QtDialogService::OpenFile(const std::string& title, const std::string& filter) {
  return ToUtf8(QFileDialog::getOpenFileName(parent_, TitleOrDefault(title), QString(),
                                             QtFilter(FromUtf8(filter))));
}

std::string QtDialogService::ChooseFolder(const std::string& prompt) {
  return ToUtf8(QFileDialog::getExistingDirectory(parent_, FromUtf8(prompt)));
}
