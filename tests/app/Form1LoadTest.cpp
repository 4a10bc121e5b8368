// The window's preparation (output folder and settings, skin, hand cursor, caption, icon, title,
// columns), the two look files beside the program that it reads, and the settings store.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <stdexcept>

#include "ApplicationTitle.h"
#include "ErrorGuard.h"
#include "FormFixture.h"
#include "HandCursor.h"
#include "Skin.h"

namespace {

using Form1Load = FormFixture;

// A Windows cursor file: Qt writes an icon file, which a cursor file resembles except for its
// type field and the hot spot kept where an icon keeps planes and bit count.
QByteArray CursorFile(char hotX, char hotY, char type = 2) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::black);
  EXPECT_TRUE(buffer.open(QIODevice::WriteOnly) && QImageWriter(&buffer, "ico").write(image));
  bytes[2] = type;
  if (type == 2) bytes.replace(10, 4, QByteArray(1, hotX) + '\0' + hotY + '\0');
  return bytes;
}

// A list's columns as "header:width", in pixels.
std::string Columns(QTreeWidget* list) {
  std::string columns;
  for (int i = 0; i < list->columnCount(); ++i) {
    columns += list->headerItem()->text(i).toStdString() + ":" + std::to_string(list->columnWidth(i)) + " ";
  }
  return columns;
}

}  // namespace

TEST_F(Form1Load, StepsRunInOrderAndAFailingOneIsReportedWithItsNumber) {
  const std::string skin = Path("program/x/o.cjs").toStdString();
  enum Look { kPlain, kBroken, kWhole };  // no look files; a skin left open and a text cursor; good ones
  const struct {
    const char* name;
    bool desktop;
    const char* stored;  // nullptr: nothing stored
    Look look;
    Texts reports;
    QString field;
  } rows[] = {
      // The default counts as a change of the field and is stored at once.
      {"first start", true, nullptr, kPlain, {}, Path("Desktop/")},
      {"a stored empty text, used as it is, and whole look files", true, "", kWhole, {}, ""},
      // The default is formed before the store is read, so its failure ends step 130.
      {"broken look files and no desktop", false, "/kept/", kBroken,
       {ErrorReportText("The skin file " + skin + " is not a style sheet (a block, comment or string is not closed)",
                        "Form_Load", 102),
        ErrorReportText("Invalid picture", "Form_Load", 106),
        ErrorReportText("Invalid procedure call or argument: the desktop folder was not found", "Form_Load", 130)},
       ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    form_.reset();
    dialogs_.messages.clear();
    desktop_ = row.desktop ? Path("Desktop") : QString();
    if (row.stored) SettingsStore::AtPath(Path("Quillmark.conf")).Write("Feedwright", "Download Location", row.stored);
    if (row.look != kPlain) {
      WriteFile("program/x/o.cjs", row.look == kBroken ? "QWidget {" : "QPushButton { color: #12345a; }");
      WriteFile("program/HAND-M.CUR", row.look == kBroken ? "nonsense" : CursorFile(5, 7));
    }
    SetApplicationTitle("stale");
    Form().Form_Load();

    EXPECT_EQ(dialogs_.MessageTexts(), row.reports);
    EXPECT_EQ(Form().Text1->text(), row.field);
    EXPECT_EQ(StoredLocation(), row.stored ? row.stored : row.field);
    // Whatever failed, the later steps ran. 1 twip rounds to nothing: the last two columns stay
    // one pixel wide, so they can be dragged open.
    EXPECT_EQ(Form().windowTitle() + " " + CurrentApplicationTitle(), "Feedwright Feedwright");
    EXPECT_EQ(Form().windowIcon().availableSizes(), (QList<QSize>{{32, 32}, {48, 48}, {128, 128}, {256, 256}}));
    EXPECT_EQ(Columns(Form().ListView1) + "| " + Columns(Form().ListView2),
              "Feed URL(s):467 | Feed URL(s):133 Result(s):333 Description:1 :1 ");
    // The skin starts from the button-face colour behind the window and the frame, which stays
    // set when the skin then fails; the hand of pointer 99 is the cursor file's, or Qt's own.
    EXPECT_EQ(Form().styleSheet(), row.look == kWhole ? "QPushButton { color: #12345a; }" : "");
    for (QWidget* surface : std::initializer_list<QWidget*>{&Form(), Form().Frame1}) {
      EXPECT_EQ(surface->autoFillBackground(), row.look != kPlain);
      if (row.look != kPlain) { EXPECT_EQ(surface->palette().window(), surface->palette().button()); }
    }
    Form().SetMousePointer(99);
    EXPECT_EQ(Form().cursor().shape(), row.look == kWhole ? Qt::BitmapCursor : Qt::PointingHandCursor);
    if (row.look == kWhole) { EXPECT_EQ(Form().cursor().hotSpot(), QPoint(5, 7)); }
  }
  // A display name would be added to every other window's title: "Application Error — Feedwright".
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
}

// Each look file as its loader takes it: "" for a skin taken, the hot spot of a cursor taken, or
// the fault.
TEST_F(Form1Load, SkinAndHandCursorFilesAreTakenOnlyWhenWhole) {
  const std::string open = "is not a style sheet (a block, comment or string is not closed)";
  const struct {
    const char* file;
    QByteArray bytes;
    std::string outcome;
  } rows[] = {
      {"o.cjs", "/* { */ QLabel { font-family: \"A}B\", 'C{'; qproperty-text: \"\\\"}\"; }", ""},
      {"o.cjs", QByteArray("QWidget {\0}", 11), "is not a style sheet (it holds binary data)"},
      {"o.cjs", "QWidget { font-family: \"Z\xfcrich\"; }", "is not UTF-8 text"},
      {"o.cjs", "QWidget { color: red; } }", open},
      {"o.cjs", "/* QWidget { color: red; }", open},
      {"o.cjs", "QWidget { font-family: 'Arial; }", open},
      {"o.cjs", QByteArray((1 << 20) + 1, ' '), "is larger than 1 MiB"},
      {"HAND-M.CUR", CursorFile(5, 7), "5,7"},
      {"HAND-M.CUR", CursorFile(5, 7, 1), "0,0"},  // an icon has no hot spot
      {"HAND-M.CUR", CursorFile(32, 3), "0,0"},    // one outside the image counts as none
      {"HAND-M.CUR", CursorFile(5, 7, 3), "Invalid picture"},
      {"HAND-M.CUR", "this is not a cursor", "Invalid picture"},
      {"HAND-M.CUR", QByteArray("\0\0\2\0\0\0" "0123456789abcdef", 22), "Invalid picture"},  // no images
      {"HAND-M.CUR", CursorFile(1, 1).left(60), "Invalid picture"},
      {"HAND-M.CUR", CursorFile(5, 7) + QByteArray(1 << 20, '\0'), "Invalid picture"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file + (": " + row.bytes.left(40).toStdString()));
    const QString path = QString::fromStdString(WriteFile(row.file, row.bytes));
    std::string outcome;
    try {
      if (row.file == std::string("o.cjs")) {
        EXPECT_EQ(Skin::Load(path), QString::fromUtf8(row.bytes));
      } else {
        const QCursor cursor = HandCursor::Load(path);
        EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
        outcome = std::to_string(cursor.hotSpot().x()) + "," + std::to_string(cursor.hotSpot().y());
      }
    } catch (const std::runtime_error& error) {
      outcome = error.what();
    }
    const bool skinFault = row.file == std::string("o.cjs") && !row.outcome.empty();
    EXPECT_EQ(outcome, skinFault ? "The skin file " + path.toStdString() + " " + row.outcome : row.outcome);
  }
  EXPECT_THROW(Skin::Load(Path("absent")), std::runtime_error);
  EXPECT_THROW(HandCursor::Load(Path("absent")), std::runtime_error);
}

// What the settings store adds to QSettings beyond what the preparation shows: a write that
// cannot reach the disk is reported and harms nothing, and the file is the application's own.
TEST(SettingsStore, FailedWriteIsReportedAndTheFileIsTheApplicationsOwn) {
  QTemporaryDir temp;
  QFile blocker(temp.filePath("blocker"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  // A plain file where the settings folder should be, and a folder where the file should be.
  for (const QString& path : {temp.filePath("blocker/Quillmark.conf"), temp.path()}) {
    SettingsStore store = SettingsStore::AtPath(path);
    EXPECT_EQ(store.Read("Feedwright", "Download Location", "d"), "d") << path.toStdString();
    EXPECT_FALSE(store.Write("Feedwright", "Download Location", "lost")) << path.toStdString();
  }
  EXPECT_TRUE(SettingsStore::AtPath(temp.filePath("Quillmark.conf")).Write("Feedwright", "Download Location", "kept"));
  const QString file = SettingsStore(QStringLiteral("Quillmark")).FileName();
  EXPECT_TRUE(file.endsWith("/Quillmark/Quillmark.conf")) << file.toStdString();
}
