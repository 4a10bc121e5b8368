// The window lives in a module of its own, loaded only when the window opens, so that the batch
// mode runs without Qt's libraries. What the program and the module agree on, and the loader.
#pragma once

#include <ostream>

// The module's one export: runs the window for the program's arguments (argv[0] first, a
// command line that ReadCommandLine gives to the window) until it closes; returns the exit status.
extern "C" __attribute__((visibility("default"))) int FeedwrightWindowMain(int argc, char* argv[]);

// The exit status when the module cannot be loaded.
inline constexpr int kWindowUnavailable = 1;

// Loads the window's module and runs its FeedwrightWindowMain with argc and argv. The module is
// looked for beside the program's executable (a build tree), else in the program's private folder
// under the library folder (an installed tree), both found from the executable's own path
// (/proc/self/exe). A module that cannot be loaded is reported on err, and kWindowUnavailable
// returned.
int OpenWindow(int argc, char* argv[], std::ostream& err);
