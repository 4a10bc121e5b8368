#include "SaveFormatMenu.h"

#include <QActionGroup>

#include "AppInfo.h"

namespace {

const QString kOutputFormat = QStringLiteral("Output Format");
const QString kFileNameTemplate = QStringLiteral("File Name Template");

QString Section() { return QString::fromUtf8(AppInfo::kSettingsSection); }

}  // namespace

SaveFormatMenu::SaveFormatMenu(QPushButton* button, SettingsStore& settings, DialogService& dialogs)
    : QObject(button), settings_(settings), dialogs_(dialogs), menu_(new QMenu(button)) {
  menu_->setObjectName(QStringLiteral("SaveFormatMenu"));
  auto* group = new QActionGroup(menu_);
  const OutputFormat current = Choices().format;
  const std::pair<const char*, OutputFormat> formats[] = {
      {"Text: Title, Description and Link", OutputFormat::kText},
      {"HTML Page", OutputFormat::kHtml},
      {"Markdown with Front Matter", OutputFormat::kMarkdown},
      {"JSON", OutputFormat::kJson}};
  for (const auto& [label, format] : formats) {
    QAction* action = menu_->addAction(QString::fromUtf8(label));
    action->setCheckable(true);
    action->setChecked(format == current);
    action->setData(QString::fromStdString(OutputFormatName(format)));
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, format = format] { ChooseFormat(format); });
  }
  menu_->addSeparator();
  connect(menu_->addAction(QStringLiteral("File Names...")), &QAction::triggered, this,
          [this] { AskForTemplate(); });
  button->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(button, &QWidget::customContextMenuRequested, this,
          [this, button](const QPoint& at) { menu_->popup(button->mapToGlobal(at)); });
}

ExportChoices SaveFormatMenu::Choices() const {
  ExportChoices choices;
  const std::string format = settings_.Read(Section(), kOutputFormat, QStringLiteral("text")).toStdString();
  choices.format = OutputFormatNamed(format).value_or(OutputFormat::kText);
  std::string error;
  const std::string names =
      settings_.Read(Section(), kFileNameTemplate, QString::fromUtf8(NameTemplate::kDefault)).toStdString();
  if (auto parsed = NameTemplate::Parse(names, error)) choices.names = std::move(*parsed);
  return choices;
}

void SaveFormatMenu::ChooseFormat(OutputFormat format) {
  settings_.Write(Section(), kOutputFormat, QString::fromStdString(OutputFormatName(format)));
}

void SaveFormatMenu::AskForTemplate() {
  const std::string answer = dialogs_.Prompt(
      "File names, without the extension. Fields: {stem} {n} {date} {title} {host} {id}; "
      "\"/\" makes subfolders.",
      "", Choices().names.Text());
  if (answer.empty()) return;
  std::string error;
  if (!NameTemplate::Parse(answer, error)) {
    ShowPlainMessage(dialogs_, "The file names were not changed: " + error);
    return;
  }
  settings_.Write(Section(), kFileNameTemplate, QString::fromStdString(answer));
}
