// How the program was started: the window (with Qt's own options and the URL files to load), the
// batch front end, or a command line that cannot be used. Decided before anything needs a display.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
  enum class FrontEnd {
    kWindow,      // the window; qtArguments go to QApplication, files are loaded into the URL list
    kBatch,       // --batch, --help, -h or --version: every argument goes to the batch front end
    kUsageError,  // an option that neither the window nor Qt knows; error says which
  };

  FrontEnd frontEnd = FrontEnd::kWindow;
  // The program name followed by Qt's options, each as "-name" or "-name" "value".
  std::vector<std::string> qtArguments;
  // The URL files to load, in the order given.
  std::vector<std::string> files;
  std::string error;
};

// Reads the program's arguments, the program name first.
//
// Any of --batch, --help, -h and --version (also as --batch=FILE), found before "--" and not as
// the value of a Qt option, selects the batch front end, which then reads every argument itself.
//
// Otherwise the window opens. Qt's own options are accepted with one or two dashes and, when they
// take a value, with the value as the next argument or after "=": "-platform xcb",
// "--platform=xcb", "-session ID", "-style=Fusion". They are handed to Qt as "-name value", the
// form every part of Qt reads. Every other argument that does not start with "-" is a URL file,
// and so is every argument after "--" and a lone "-". Any other option, with one dash or two, is
// a usage error: an unknown option cannot be told apart from a Qt option that takes a value, so
// guessing could load the option's value as a file or hand a file name to Qt. A Qt option that
// needs a value and has none, or a switch given "=value", is a usage error too.
CommandLine ReadCommandLine(const std::vector<std::string>& argv);

// What the program prints on standard error for a usage error, in the batch front end's words.
// error is printed as given; escape what came from the command line first.
std::string UsageErrorText(const std::string& error);

// Qt's arguments as QApplication takes them: a count and a writable array of C strings, kept
// alive as long as this object, which must outlive the QApplication.
class QtArgumentVector {
 public:
  explicit QtArgumentVector(const std::vector<std::string>& arguments);

  int& Count() { return count_; }
  char** Values() { return pointers_.data(); }

 private:
  std::vector<std::vector<char>> storage_;
  std::vector<char*> pointers_;
  int count_ = 0;
};
