#include "WindowModule.h"

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace {

using WindowMainFunction = decltype(&FeedwrightWindowMain);

int Unavailable(std::ostream& err, const std::string& reason) {
  err << "feedwright: cannot open the window: " << reason << "\n";
  return kWindowUnavailable;
}

std::string LastLoaderError() {
  const char* text = dlerror();
  return text ? text : "unknown error";
}

}  // namespace

int OpenWindow(int argc, char* argv[], std::ostream& err) {
  namespace fs = std::filesystem;
  std::error_code error;
  // The executable's real path, links resolved, wherever the program was started from.
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return Unavailable(err, "cannot read /proc/self/exe: " + error.message());
  const fs::path folder = program.parent_path();
  fs::path module = folder / FEEDWRIGHT_WINDOW_MODULE;
  if (!fs::exists(module, error)) {
    module =
        (folder / FEEDWRIGHT_INSTALLED_WINDOW_DIR / FEEDWRIGHT_WINDOW_MODULE).lexically_normal();
  }
  // Every symbol bound now, so that a module that does not fit fails here with a message rather
  // than later in the middle of the window.
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return Unavailable(err, LastLoaderError());
  const auto windowMain =
      reinterpret_cast<WindowMainFunction>(dlsym(handle, "FeedwrightWindowMain"));
  if (!windowMain) return Unavailable(err, LastLoaderError());
  // Never unloaded: the module's and Qt's static objects go at exit, as in any program.
  return windowMain(argc, argv);
}
