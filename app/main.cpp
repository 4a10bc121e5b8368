// Starts the program: the batch front end for its options, without a window, a display or Qt;
// a usage error; or the window, whose module (WindowModule.h) is loaded only then.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "BatchMode.h"
#include "CommandLine.h"
#include "HttpCache.h"
#include "SavedRecord.h"
#include "TextEscapes.h"
#include "WindowModule.h"

int main(int argc, char* argv[]) {
  const CommandLine command = ReadCommandLine(std::vector<std::string>(argv, argv + argc));
  switch (command.frontEnd) {
    case CommandLine::FrontEnd::kBatch:
      return RunBatch(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, {},
                      {HttpCache::UserFolder(), isatty(STDERR_FILENO) == 1, SqliteSavedRecord::UserFolder()});
    case CommandLine::FrontEnd::kUsageError:
      std::cerr << UsageErrorText(DisplayText(command.error));
      return kBatchUsage;
    case CommandLine::FrontEnd::kWindow:
      break;
  }
  return OpenWindow(argc, argv, std::cerr);
}
