#include "EnclosureSetting.h"

#include <QTreeWidgetItem>

#include "AppInfo.h"
#include "Clock.h"

namespace {

QString Section() { return QString::fromUtf8(AppInfo::kSettingsSection); }

}  // namespace

bool EnclosureSetting::On() const { return settings_.Read(Section(), kName, QStringLiteral("0")) == "1"; }

std::unique_ptr<EnclosureSaver> EnclosureSetting::MakeSaver(const HttpOptions& http, ProgressSink& bar,
                                                            QTreeWidget* results, std::function<bool()> wait) {
  used_ = On();
  saved_ = failed_ = 0;
  if (!used_) return nullptr;
  auto saver = std::make_unique<EnclosureSaver>(http, DownloadLimits{}, EnclosureSaver::kDefaultMaxBytes,
                                                Clock::Steady());
  saver->OnProgress([&bar](const EnclosureProgress& progress) {
    bar.SetText("Enclosure: " + ProgressText(progress));
    if (progress.expected > 0) {
      bar.SetPosition(100.0 * static_cast<double>(progress.bytes) / static_cast<double>(progress.expected));
    }
  });
  saver->OnSaved([this, results](int64_t row, const std::vector<EnclosureOutcome>& outcomes) {
    QString failures;
    for (const EnclosureOutcome& outcome : outcomes) {
      if (outcome.failure.empty()) {
        ++saved_;
        continue;
      }
      ++failed_;
      failures += QStringLiteral("\n") + QString::fromStdString(outcome.url) + QStringLiteral(": ") +
                  QString::fromStdString(outcome.failure);
    }
    QTreeWidgetItem* item = results->topLevelItem(static_cast<int>(row));
    if (item) item->setToolTip(0, failures.isEmpty() ? QString() : QStringLiteral("Enclosures not saved:") + failures);
  });
  saver->SetWaitHook(std::move(wait));
  return saver;
}

QString EnclosureSetting::Summary() const {
  if (!used_) return {};
  return QStringLiteral("; enclosures: %1 saved, %2 failed").arg(saved_).arg(failed_);
}
