// The settings store: texts by section and key, on disk at once, never fatal.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "SettingsStore.h"

namespace {

const QString kSection = QStringLiteral("Feedwright");
const QString kKey = QStringLiteral("Download Location");

ino_t InodeOf(const QString& path) {
  struct stat info {};
  if (stat(QFile::encodeName(path).constData(), &info) != 0) return 0;
  return info.st_ino;
}

class SettingsStoreTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.isValid()); }
  QString File() const { return temp_.filePath(QStringLiteral("Quillmark.conf")); }

  QTemporaryDir temp_;
};

}  // namespace

TEST_F(SettingsStoreTest, AbsentKeyGivesTheDefaultAndWritesNothing) {
  SettingsStore store = SettingsStore::AtPath(File());
  EXPECT_EQ(store.Read(kSection, kKey, QStringLiteral("/home/u/Desktop/")),
            QStringLiteral("/home/u/Desktop/"));
  EXPECT_FALSE(QFile::exists(File()));
}

TEST_F(SettingsStoreTest, TextsComeBackExactlyFromAFreshStoreEvenEmpty) {
  const QString texts[] = {
      QString(),  // stored empty, not absent
      QStringLiteral("\\\\server\\share\\"),
      QStringLiteral("  leading and trailing spaces  "),
      QStringLiteral("a=b;c,d #not a comment ; nor this"),
      QStringLiteral("\"quoted\" and 'single'"),
      QStringLiteral("percent %20 and %p"),
      QStringLiteral("line\nbreak\r\nand\ttab"),
      QStringLiteral("[Feedwright]"),
      QString::fromUtf8("\xc3\xbc\xe6\x96\xb0\xe9\x97\xbb \xf0\x9f\x93\xb0"),
      QString(2000, QChar(u'x')),
  };
  for (const QString& text : texts) {
    SCOPED_TRACE(text.toStdString());
    ASSERT_TRUE(SettingsStore::AtPath(File()).Write(kSection, kKey, text));
    EXPECT_EQ(SettingsStore::AtPath(File()).Read(kSection, kKey, QStringLiteral("<absent>")), text);
  }
}

TEST_F(SettingsStoreTest, SectionsAndKeysAreSeparate) {
  SettingsStore store = SettingsStore::AtPath(File());
  ASSERT_TRUE(store.Write(kSection, kKey, QStringLiteral("one")));
  ASSERT_TRUE(store.Write(QStringLiteral("Other"), kKey, QStringLiteral("two")));
  ASSERT_TRUE(store.Write(kSection, QStringLiteral("Download"), QStringLiteral("three")));
  SettingsStore fresh = SettingsStore::AtPath(File());
  EXPECT_EQ(fresh.Read(kSection, kKey, {}), QStringLiteral("one"));
  EXPECT_EQ(fresh.Read(QStringLiteral("Other"), kKey, {}), QStringLiteral("two"));
  EXPECT_EQ(fresh.Read(kSection, QStringLiteral("Download"), {}), QStringLiteral("three"));
}

TEST_F(SettingsStoreTest, EachWriteReplacesTheFileWholeAtOnce) {
  SettingsStore store = SettingsStore::AtPath(File());
  ASSERT_TRUE(store.Write(kSection, kKey, QStringLiteral("first")));
  const ino_t before = InodeOf(File());
  ASSERT_NE(before, ino_t(0));
  ASSERT_TRUE(store.Write(kSection, kKey, QStringLiteral("second")));
  // A new file renamed over the old one: a reader or a crash sees the old or the new whole.
  EXPECT_NE(InodeOf(File()), before);
  QFile file(File());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("second"));
  const QStringList leftovers =
      QDir(temp_.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("conf."));
  EXPECT_TRUE(leftovers.filter(QStringLiteral(".lock")).size() == leftovers.size())
      << leftovers.join(u' ').toStdString();
}

TEST_F(SettingsStoreTest, ReadsSeeWhatAnotherStoreWroteSince) {
  SettingsStore first = SettingsStore::AtPath(File());
  SettingsStore second = SettingsStore::AtPath(File());
  ASSERT_EQ(second.Read(kSection, kKey, QStringLiteral("d")), QStringLiteral("d"));
  ASSERT_TRUE(first.Write(kSection, kKey, QStringLiteral("/new/")));
  EXPECT_EQ(second.Read(kSection, kKey, QStringLiteral("d")), QStringLiteral("/new/"));
}

TEST_F(SettingsStoreTest, FailedWriteIsReportedAndNotFatal) {
  QFile blocker(temp_.filePath(QStringLiteral("blocker")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const QString paths[] = {temp_.filePath(QStringLiteral("blocker/Quillmark.conf")), temp_.path()};
  for (const QString& path : paths) {
    SCOPED_TRACE(path.toStdString());
    SettingsStore store = SettingsStore::AtPath(path);
    EXPECT_EQ(store.Read(kSection, kKey, QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_FALSE(store.Write(kSection, kKey, QStringLiteral("lost")));
    EXPECT_FALSE(store.Write(kSection, kKey, QStringLiteral("lost again")));
  }
}

TEST_F(SettingsStoreTest, GarbledFileStillAnswersWithTheDefault) {
  QFile file(File());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray("\xff\xfe\0\0[[[=\n==\x01\x02", 14));
  file.close();
  SettingsStore store = SettingsStore::AtPath(File());
  EXPECT_EQ(store.Read(kSection, kKey, QStringLiteral("d")), QStringLiteral("d"));
  EXPECT_TRUE(store.Write(kSection, kKey, QStringLiteral("/mended/")));
  EXPECT_EQ(SettingsStore::AtPath(File()).Read(kSection, kKey, QStringLiteral("d")),
            QStringLiteral("/mended/"));
}

TEST(SettingsStoreLocation, UsersConfigFolderApplicationFolderAndFile) {
  const SettingsStore store(QStringLiteral("Quillmark"));
  EXPECT_TRUE(store.FileName().endsWith(QStringLiteral("/Quillmark/Quillmark.conf")))
      << store.FileName().toStdString();
}
