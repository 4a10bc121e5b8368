#include "BatchDialogs.h"

#include <stdexcept>
#include <string_view>

#include "TextEscapes.h"

namespace {

constexpr std::string_view kDone = "Done.";

}  // namespace

BatchDialogs::BatchDialogs(std::ostream& err) : err_(err) {}

void BatchDialogs::ShowMessage(const std::string& text, const std::string& title, Icon icon) {
  const bool errorReport = icon == Icon::Exclamation;
  if (errorReport) ++errorReports_;
  if (text == kDone) return;
  std::string_view rest = text;
  bool first = true;
  while (!rest.empty()) {
    // A line ends at CR LF, a lone CR or a lone LF.
    const std::size_t end = rest.find_first_of("\r\n");
    const std::string_view line = rest.substr(0, end);
    const std::size_t ending = end == std::string_view::npos ? 0
                               : rest.substr(end, 2) == "\r\n" ? 2
                                                                : 1;
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + ending);
    if (line.empty()) {
      // An error report ends with a request to e-mail a screenshot, after a blank line; there
      // is no screen to take one of here.
      if (errorReport && !first) break;
      continue;
    }
    err_ << "feedwright: ";
    if (first && errorReport) err_ << DisplayText(title) << ": ";
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

std::string BatchDialogs::ChooseFolder(const std::string& prompt, const std::string& /*startFolder*/) {
  throw std::logic_error("the batch mode cannot show the folder chooser \"" + prompt + "\"");
}
