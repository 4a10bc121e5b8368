#include "QtDialogService.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>
#include <algorithm>

#include "ApplicationTitle.h"

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

// The width available to the dialogs: the screen of parent, else the primary one.
int ScreenWidth(const QWidget* parent) {
  const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry().width() : 1024;
}

// QMessageBox wraps every text wider than 500 pixels, breaking an address after "https://"; past
// its own limit (the screen less 480 pixels, or the whole of a small screen) it breaks anywhere.
// A text whose longest line fits well inside that limit is shown with its lines whole.
void KeepLinesWhole(QMessageBox& box, const QWidget* parent) {
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (!label) return;
  constexpr int kMaxLineWidth = 720;
  // Room for the icon, the spacing and the margins beside the text.
  constexpr int kBesideText = 160;
  const int screen = ScreenWidth(parent);
  const int boxLimit = screen <= 1024 ? screen : std::min(screen - 480, 1000);
  // Plain text is not wrapped until the box is shown, so this is the longest line's width.
  const int oneLine = label->sizeHint().width();
  label->setMinimumWidth(std::min({oneLine, kMaxLineWidth, boxLimit - kBesideText}));
}

// Makes the prompt's field wide enough to show its default text whole, with a little room to
// spare, up to half the screen.
void FitFieldToText(QInputDialog& dialog, const QWidget* parent) {
  auto* field = dialog.findChild<QLineEdit*>();
  if (!field) return;
  const QFontMetrics metrics(field->font());
  // QLineEdit's size hint holds 17 "x" besides its frame and margins; put the text in their place.
  const int frame = field->sizeHint().width() - 17 * metrics.horizontalAdvance(u'x');
  const int text = metrics.horizontalAdvance(field->text()) + 3 * metrics.averageCharWidth();
  field->setMinimumWidth(std::min(frame + text, ScreenWidth(parent) / 2));
}

}  // namespace

QString QtDialogService::TitleOrDefault(const std::string& title) {
  return title.empty() ? CurrentApplicationTitle() : FromUtf8(title);
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
  KeepLinesWhole(box, parent_);
  box.exec();
}

std::string QtDialogService::Prompt(const std::string& prompt, const std::string& title,
                                    const std::string& defaultText) {
  QInputDialog dialog(parent_);
  dialog.setWindowTitle(TitleOrDefault(title));
  dialog.setLabelText(FromUtf8(prompt));
  dialog.setTextValue(FromUtf8(defaultText));
  FitFieldToText(dialog, parent_);
  return dialog.exec() == QDialog::Accepted ? ToUtf8(dialog.textValue()) : std::string();
}

std::string QtDialogService::OpenFile(const std::string& title, const std::string& filter) {
  return ToUtf8(QFileDialog::getOpenFileName(parent_, TitleOrDefault(title), QString(),
                                             QtFilter(FromUtf8(filter))));
}

std::string QtDialogService::ChooseFolder(const std::string& prompt, const std::string& startFolder) {
  return ToUtf8(QFileDialog::getExistingDirectory(parent_, FromUtf8(prompt), FromUtf8(startFolder)));
}
