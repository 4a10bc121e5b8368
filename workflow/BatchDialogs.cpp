#include "BatchDialogs.h"

#include <stdexcept>
#include <string_view>

#include "TextEscapes.h"

namespace {

constexpr std::string_view kDone = "Done.";

}  // namespace

BatchDialogs::BatchDialogs(std::ostream& err) : err_(err) {}

void BatchDialogs::ShowMessage(const std::string& text, const std::string& title, Icon icon) {
  if (icon == Icon::Exclamation) ++errorReports_;
  if (text == kDone) return;
  std::string_view rest = text;
  bool first = true;
  // Line ends of any kind (the error report uses CR LF and CR CR); blank lines are left out.
  while (!rest.empty()) {
    const std::size_t end = rest.find_first_of("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.empty()) continue;
    err_ << "feedwright: ";
    if (first && icon == Icon::Exclamation) err_ << DisplayText(title) << ": ";
    err_ << (first ? "" : "  ") << DisplayText(line) << '\n';
    first = false;
  }
  err_.flush();
}

std::string BatchDialogs::Prompt(const std::string& prompt, const std::string&,
                                 const std::string&) {
  throw std::logic_error("the batch mode cannot show the prompt \"" + prompt + "\"");
}

std::string BatchDialogs::OpenFile(const std::string& title, const std::string&) {
  throw std::logic_error("the batch mode cannot show the open-file dialog \"" + title + "\"");
}

std::string BatchDialogs::ChooseFolder(const std::string& prompt) {
  throw std::logic_error("the batch mode cannot show the folder chooser \"" + prompt + "\"");
}
