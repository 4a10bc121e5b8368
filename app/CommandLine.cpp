#include "CommandLine.h"

#include <optional>
#include <string_view>

namespace {

struct QtOption {
  std::string_view name;
  bool takesValue;
};

// The options that Qt 6 reads itself (QCoreApplication, QGuiApplication, QApplication and the
// X11 platform plugin), each of which Qt also takes with two dashes. "-geometry", "-title" and
// "-icon" are read only when X11 is the platform; elsewhere Qt leaves them unused, as it does
// any option meant for another platform.
constexpr QtOption kQtOptions[] = {
    {"platform", true},      {"platformpluginpath", true}, {"platformtheme", true},
    {"plugin", true},        {"qwindowgeometry", true},    {"qwindowicon", true},
    {"qwindowtitle", true},  {"reverse", false},           {"session", true},
    {"style", true},         {"stylesheet", true},         {"widgetcount", false},
    {"testability", false},  {"qmljsdebugger", true},      {"display", true},
    {"geometry", true},      {"title", true},              {"icon", true},
    {"name", true},          {"visual", true},             {"nograb", false},
    {"dograb", false},
};

const QtOption* FindQtOption(std::string_view name) {
  for (const QtOption& option : kQtOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

bool SelectsBatch(std::string_view argument) {
  const std::string_view name = argument.substr(0, argument.find('='));
  return name == "--batch" || name == "--help" || name == "-h" || name == "--version";
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& argv) {
  CommandLine command;
  command.qtArguments.push_back(argv.empty() ? std::string("feedwright") : argv[0]);
  // The first problem is kept, but reading goes on: a batch option further on still wins, since
  // the batch options may come in any order ("--out DIR --batch FILE").
  std::optional<std::string> error;
  bool onlyFiles = false;
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const std::string& argument = argv[i];
    if (onlyFiles || argument.size() < 2 || argument[0] != '-') {
      command.files.push_back(argument);
      continue;
    }
    if (argument == "--") {
      onlyFiles = true;
      continue;
    }
    if (SelectsBatch(argument)) {
      command.frontEnd = CommandLine::FrontEnd::kBatch;
      return command;
    }
    std::string_view body = argument;
    body.remove_prefix(body.substr(0, 2) == "--" ? 2 : 1);
    const std::size_t equals = body.find('=');
    const QtOption* option = FindQtOption(body.substr(0, equals));
    if (!option) {
      if (!error) error = "unknown option " + argument.substr(0, argument.find('='));
      continue;
    }
    // Built by appending: GCC 12 at -O2 warns falsely (-Wrestrict) about "-" + std::string(...).
    std::string name = "-";
    name += option->name;
    if (!option->takesValue) {
      if (equals != std::string_view::npos) {
        if (!error) error = "option " + name + " takes no value";
        continue;
      }
      command.qtArguments.push_back(name);
    } else if (equals != std::string_view::npos) {
      command.qtArguments.push_back(name);
      command.qtArguments.emplace_back(body.substr(equals + 1));
    } else if (i + 1 < argv.size()) {
      // Qt takes the next argument as the value whatever it looks like ("-geometry -0-0").
      command.qtArguments.push_back(name);
      command.qtArguments.push_back(argv[++i]);
    } else if (!error) {
      error = "option " + name + " needs a value";
    }
  }
  if (error) {
    command.frontEnd = CommandLine::FrontEnd::kUsageError;
    command.error = *error;
  }
  return command;
}

std::string UsageErrorText(const std::string& error) {
  return "feedwright: " + error + "\nTry 'feedwright --help' for more information.\n";
}

QtArgumentVector::QtArgumentVector(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    storage_.emplace_back(argument.begin(), argument.end());
    storage_.back().push_back('\0');
  }
  for (std::vector<char>& text : storage_) pointers_.push_back(text.data());
  count_ = static_cast<int>(pointers_.size());
  // As in a C program's argv, a null pointer follows the last argument.
  pointers_.push_back(nullptr);
}
