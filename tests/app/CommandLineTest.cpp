// The command line: which front end starts, what Qt gets, which files the window loads.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>
#include <vector>

#include "CommandLine.h"

using Texts = std::vector<std::string>;

TEST(CommandLine, FrontEndQtOptionsAndFilesInEveryForm) {
  using enum CommandLine::FrontEnd;
  const struct {
    Texts args;
    CommandLine::FrontEnd frontEnd;
    Texts qt;  // after the program name
    Texts files;
    std::string error;
  } rows[] = {
      {{}, kWindow, {}, {}, ""},
      // A session manager restoring the program, and Qt's options in their other spellings.
      {{"-session", "1234_abc", "--display", ":1", "-style=Fusion", "--platform=xcb:x=1"}, kWindow,
       {"-session", "1234_abc", "-display", ":1", "-style", "Fusion", "-platform", "xcb:x=1"}, {}, ""},
      // Qt takes the next argument as a value whatever it looks like.
      {{"a.txt", "-reverse", "-geometry", "-0-0", "--icon", "feedwright", "b.opml"}, kWindow,
       {"-reverse", "-geometry", "-0-0", "-icon", "feedwright"}, {"a.txt", "b.opml"}, ""},
      {{"-qwindowtitle", "--help"}, kWindow, {"-qwindowtitle", "--help"}, {}, ""},
      {{"-", "--", "--batch", "-style", ""}, kWindow, {}, {"-", "--batch", "-style", ""}, ""},
      // Each batch option, also after the others and after an unknown option.
      {{"--out", "dir", "--batch=urls.txt"}, kBatch, {}, {}, ""},
      {{"-platform", "offscreen", "-h"}, kBatch, {}, {}, ""},
      {{"--bogus", "--version"}, kBatch, {}, {}, ""},
      {{"--help"}, kBatch, {}, {}, ""},
      // The first problem is the one told.
      {{"a.txt", "--bogus", "-x"}, kUsageError, {}, {}, "unknown option --bogus"},
      {{"-x=1"}, kUsageError, {}, {}, "unknown option -x"},
      {{"-session"}, kUsageError, {}, {}, "option -session needs a value"},
      {{"--reverse=yes"}, kUsageError, {}, {}, "option -reverse takes no value"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    Texts argv = {"/usr/bin/feedwright"};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const CommandLine command = ReadCommandLine(argv);
    EXPECT_EQ(command.frontEnd, row.frontEnd);
    EXPECT_EQ(command.error, row.error);
    if (row.frontEnd != kWindow) continue;
    Texts qt = {"/usr/bin/feedwright"};
    qt.insert(qt.end(), row.qt.begin(), row.qt.end());
    EXPECT_EQ(command.qtArguments, qt);
    EXPECT_EQ(command.files, row.files);
  }
}

#ifdef FEEDWRIGHT_EXECUTABLE
TEST(CommandLine, UnknownOptionIsAUsageErrorWithoutADisplay) {
  QTemporaryDir scratch;
  const std::string err = scratch.filePath("stderr").toStdString();
  const std::string command = "timeout -s KILL 30 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '"
                              FEEDWRIGHT_EXECUTABLE "' --bogus 2>'" + err + "' </dev/null >/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  QFile file(QString::fromStdString(err));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().toStdString(),
            "feedwright: unknown option --bogus\nTry 'feedwright --help' for more information.\n");
}
#endif
