#include "Skin.h"

#include <QFile>
#include <QStringDecoder>
#include <stdexcept>
#include <string>

namespace {

[[noreturn]] void Refuse(const QString& path, const std::string& why) {
  throw std::runtime_error("The skin file " + path.toStdString() + " " + why);
}

// Qt accepts any text as a style sheet and only warns later, widget by widget, so the skin is
// checked here for the faults that would make it unusable: open blocks, comments and strings.
bool Balanced(const QString& sheet) {
  int depth = 0;
  QChar quote;
  for (qsizetype i = 0; i < sheet.size(); ++i) {
    const QChar c = sheet[i];
    if (!quote.isNull()) {
      if (c == u'\\') {
        ++i;
      } else if (c == quote) {
        quote = QChar();
      }
    } else if (c == u'/' && i + 1 < sheet.size() && sheet[i + 1] == u'*') {
      const qsizetype end = sheet.indexOf(QStringLiteral("*/"), i + 2);
      if (end < 0) return false;
      i = end + 1;
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'{') {
      ++depth;
    } else if (c == u'}') {
      if (--depth < 0) return false;
    }
  }
  return depth == 0 && quote.isNull();
}

}  // namespace

namespace Skin {

QString FilePath(const QString& programFolder) { return programFolder + QStringLiteral("/x/o.cjs"); }

QString Load(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) Refuse(path, "cannot be read: " + file.errorString().toStdString());
  const QByteArray bytes = file.read(kMaxBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    Refuse(path, "cannot be read: " + file.errorString().toStdString());
  }
  if (bytes.size() > kMaxBytes) Refuse(path, "is larger than 1 MiB");
  if (bytes.contains('\0')) Refuse(path, "is not a style sheet (it holds binary data)");
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString sheet = decoder.decode(bytes);
  if (decoder.hasError()) Refuse(path, "is not UTF-8 text");
  if (!Balanced(sheet)) Refuse(path, "is not a style sheet (a block, comment or string is not closed)");
  return sheet;
}

}  // namespace Skin
