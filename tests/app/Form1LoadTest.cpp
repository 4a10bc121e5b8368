// The window's preparation: output folder and settings, skin, hand cursor, caption and icon.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>

#include "ApplicationTitle.h"
#include "ErrorGuard.h"
#include "FormFixture.h"

namespace {

// A Windows cursor file: Qt writes an icon file, which a cursor file resembles except for its
// type field and the hot spot kept where an icon keeps planes and bit count.
QByteArray CursorFile(quint16 hotX, quint16 hotY) {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  for (int i = 0; i < 32; ++i) image.setPixel(i, i, qRgba(0, 0, 0, 255));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(QImageWriter(&buffer, "ico").write(image));
  bytes[2] = 2;
  bytes[10] = char(hotX & 0xff);
  bytes[11] = char(hotX >> 8);
  bytes[12] = char(hotY & 0xff);
  bytes[13] = char(hotY >> 8);
  return bytes;
}

bool Store(const QString& path, const QString& value) {
  return SettingsStore::AtPath(path).Write(QString::fromUtf8(AppInfo::kSettingsSection),
                                           QStringLiteral("Download Location"), value);
}

std::string Report(const std::string& description, int step) {
  return ErrorReportText(description, "Form_Load", step);
}

}  // namespace

using Form1Load = FormFixture;

TEST_F(Form1Load, FirstStartShowsTheDesktopAndStoresItAtOnce) {
  ASSERT_EQ(StoredLocation(), QStringLiteral("<absent>"));
  Form().Form_Load();
  EXPECT_TRUE(dialogs_.messages.empty());
  const QString expected = DesktopFolder() + QStringLiteral("/");
  EXPECT_EQ(Form().Text1->text(), expected);
  EXPECT_EQ(StoredLocation(), expected) << "the default counts as a change and is stored";
}

TEST_F(Form1Load, StoredTextsAreUsedAsTheyAre) {
  const QString stored[] = {QString(), QStringLiteral("/srv/feeds"),
                            QStringLiteral("C:\\Users\\someone\\Desktop\\"),
                            QString::fromUtf8("/home/z\xc3\xbcrich/\xe6\x96\xb0\xe9\x97\xbb/")};
  for (const QString& value : stored) {
    SCOPED_TRACE(value.toStdString());
    ASSERT_TRUE(Store(SettingsFile(), value));
    form_.reset();
    Form().Form_Load();
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(Form().Text1->text(), value);
    EXPECT_EQ(StoredLocation(), value);
  }
}

TEST_F(Form1Load, EveryChangeOfTheFieldIsStoredAtOnce) {
  Form().Form_Load();
  for (const QString& typed : {QStringLiteral("/tmp/out"), QString(), QStringLiteral("x")}) {
    Form().Text1->setText(typed);
    EXPECT_EQ(StoredLocation(), typed);
  }
}

TEST_F(Form1Load, MissingDesktopReportsStep130AndLeavesTheFieldEmpty) {
  desktop_.clear();
  // The default is formed before the store is read, so its failure ends the step even when a
  // text is stored.
  for (const QString& stored : {QStringLiteral("<absent>"), QStringLiteral("/kept/")}) {
    SCOPED_TRACE(stored.toStdString());
    if (stored != StoredLocation()) {
      ASSERT_TRUE(Store(SettingsFile(), stored));
    }
    form_.reset();
    dialogs_.messages.clear();
    Form().Form_Load();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text,
              Report("Invalid procedure call or argument: the desktop folder was not found", 130));
    EXPECT_EQ(dialogs_.messages[0].title, "Application Error");
    EXPECT_EQ(dialogs_.messages[0].icon, DialogService::Icon::Exclamation);
    EXPECT_TRUE(Form().Text1->text().isEmpty());
    EXPECT_EQ(StoredLocation(), stored);
    EXPECT_EQ(Form().ListView2->columnCount(), 4) << "preparation goes on after the report";
  }
}

TEST_F(Form1Load, SettingsFileThatCannotBeWrittenOrReadIsNotFatal) {
  // A plain file where the settings folder should be, and a folder where the file should be.
  WriteProgramFile(QStringLiteral("blocker"), "not a folder");
  const QString unwritable = QDir(ProgramFolder()).filePath(QStringLiteral("blocker/Quillmark.conf"));
  const QString unreadable = ProgramFolder();
  for (const QString& path : {unwritable, unreadable}) {
    SCOPED_TRACE(path.toStdString());
    form_.reset();
    settings_ = SettingsStore::AtPath(path);
    Form().Form_Load();
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(Form().Text1->text(), DesktopFolder() + QStringLiteral("/"));
    Form().Text1->setText(QStringLiteral("/elsewhere/"));
  }
}

TEST_F(Form1Load, CaptionIconAndApplicationTitle) {
  SetApplicationTitle(QStringLiteral("stale"));
  Form().Form_Load();
  EXPECT_EQ(Form().windowTitle(), QStringLiteral("Feedwright"));
  EXPECT_EQ(CurrentApplicationTitle(), QStringLiteral("Feedwright"));
  // A display name would be added to every other window's title: "Application Error — Feedwright".
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
  const QList<QSize> sizes = Form().windowIcon().availableSizes();
  for (int side : {32, 48, 128, 256}) {
    EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
  }
  EXPECT_FALSE(Form().windowIcon().pixmap(48, 48).isNull());
}

TEST_F(Form1Load, MissingSkinAndCursorFilesAreNoErrorAndKeepThePlainLook) {
  for (bool folderInPlaceOfTheSkin : {false, true}) {
    SCOPED_TRACE(folderInPlaceOfTheSkin);
    if (folderInPlaceOfTheSkin) {
      ASSERT_TRUE(QDir(ProgramFolder()).mkpath(QStringLiteral("x/o.cjs")));
    }
    form_.reset();
    Form().Form_Load();
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_TRUE(Form().styleSheet().isEmpty());
    EXPECT_FALSE(Form().autoFillBackground());
    EXPECT_FALSE(Form().HasHandCursor());
    Form().SetMousePointer(99);
    EXPECT_EQ(Form().cursor().shape(), Qt::PointingHandCursor);
  }
}

TEST_F(Form1Load, SkinFileIsAppliedOnButtonFaceColours) {
  const QByteArray sheet = "/* plain { */ QPushButton { color: #12345a; font-family: \"A}B\"; }\n";
  WriteProgramFile(QStringLiteral("x/o.cjs"), sheet);
  Form().Form_Load();
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_EQ(Form().styleSheet(), QString::fromUtf8(sheet));
  EXPECT_TRUE(Form().autoFillBackground());
  EXPECT_TRUE(Form().Frame1->autoFillBackground());
  EXPECT_EQ(Form().palette().color(QPalette::Window), Form().palette().color(QPalette::Button));
  EXPECT_EQ(Form().Frame1->palette().color(QPalette::Window),
            Form().Frame1->palette().color(QPalette::Button));
}

TEST_F(Form1Load, BrokenSkinIsReportedAtStep102AndPreparationGoesOn) {
  const struct {
    const char* name;
    QByteArray bytes;
    const char* fault;
  } cases[] = {
      {"binary", QByteArray("QWidget {\0}", 11), "is not a style sheet (it holds binary data)"},
      {"not UTF-8", "QWidget { font-family: \"Z\xfcrich\"; }", "is not UTF-8 text"},
      {"open block", "QWidget { color: red;", "is not a style sheet (a block, comment or string is not closed)"},
      {"stray close", "QWidget { color: red; } }", "is not a style sheet (a block, comment or string is not closed)"},
      {"open comment", "/* QWidget { color: red; }", "is not a style sheet (a block, comment or string is not closed)"},
      {"open string", "QWidget { font-family: \"Arial; }", "is not a style sheet (a block, comment or string is not closed)"},
      {"too large", QByteArray((1 << 20) + 1, ' '), "is larger than 1 MiB"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    form_.reset();
    dialogs_.messages.clear();
    WriteProgramFile(QStringLiteral("x/o.cjs"), row.bytes);
    Form().Form_Load();
    const std::string path = QDir(ProgramFolder()).filePath(QStringLiteral("x/o.cjs")).toStdString();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text, Report("The skin file " + path + " " + row.fault, 102));
    EXPECT_TRUE(Form().styleSheet().isEmpty());
    EXPECT_TRUE(Form().autoFillBackground()) << "colours set before the failure stay set";
    EXPECT_EQ(Form().windowTitle(), QStringLiteral("Feedwright"));
    EXPECT_EQ(Form().ListView2->columnCount(), 4);
  }
}

TEST_F(Form1Load, HandCursorFileIsShownForPointer99WithItsHotSpot) {
  WriteProgramFile(QStringLiteral("HAND-M.CUR"), CursorFile(5, 7));
  Form().Form_Load();
  EXPECT_TRUE(dialogs_.messages.empty());
  ASSERT_TRUE(Form().HasHandCursor());
  Form().SetMousePointer(99);
  EXPECT_EQ(Form().cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(Form().cursor().hotSpot(), QPoint(5, 7));
  EXPECT_EQ(Form().cursor().pixmap().size(), QSize(32, 32));
}

TEST_F(Form1Load, BrokenHandCursorIsReportedAtStep106AndTheStandardHandServes) {
  QByteArray garbledImage = CursorFile(1, 1);
  garbledImage.resize(60);
  const struct {
    const char* name;
    QByteArray bytes;
  } cases[] = {
      {"empty", QByteArray()},
      {"text", "this is not a cursor"},
      {"header only", QByteArray("\0\0\2\0\1\0", 6)},
      {"no images", QByteArray("\0\0\2\0\0\0" "0123456789abcdef", 22)},
      {"truncated image", garbledImage},
      {"too large", QByteArray((1 << 20) + 1, '\0')},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    form_.reset();
    dialogs_.messages.clear();
    WriteProgramFile(QStringLiteral("HAND-M.CUR"), row.bytes);
    Form().Form_Load();
    ASSERT_EQ(dialogs_.MessageTexts(), std::vector<std::string>{Report("Invalid picture", 106)});
    EXPECT_FALSE(Form().HasHandCursor());
    Form().SetMousePointer(99);
    EXPECT_EQ(Form().cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(Form().windowTitle(), QStringLiteral("Feedwright"));
  }
}

TEST_F(Form1Load, BrokenSkinAndCursorGiveTwoReportsInOrder) {
  WriteProgramFile(QStringLiteral("x/o.cjs"), "QWidget {");
  WriteProgramFile(QStringLiteral("HAND-M.CUR"), "nonsense");
  desktop_.clear();
  Form().Form_Load();
  ASSERT_EQ(dialogs_.messages.size(), 3u);
  EXPECT_NE(dialogs_.messages[0].text.find("at line 102\r\r"), std::string::npos);
  EXPECT_EQ(dialogs_.messages[1].text, Report("Invalid picture", 106));
  EXPECT_NE(dialogs_.messages[2].text.find("at line 130\r\r"), std::string::npos);
  EXPECT_EQ(Form().ListView1->columnCount(), 1);
}
