#include "Re2RegExp.h"

#include <re2/re2.h>

#include "ErrorCodes.h"

// Placeholder: plain RE2, no scanners yet.
Re2RegExp::Re2RegExp() = default;
Re2RegExp::~Re2RegExp() = default;
void Re2RegExp::IgnoreCase(bool value) { ignoreCase_ = value; compiled_.reset(); }
void Re2RegExp::Global(bool value) { global_ = value; }
void Re2RegExp::Pattern(const std::string& pattern) { pattern_ = pattern; compiled_.reset(); }
std::string Re2RegExp::Replace(const std::string& input, const std::string& replacement) {
  if (!compiled_) {
    RE2::Options options;
    options.set_case_sensitive(!ignoreCase_);
    options.set_log_errors(false);
    compiled_ = std::make_unique<RE2>(pattern_, options);
    if (!compiled_->ok()) throw ComponentError(ErrorCodes::kRegex, "Invalid pattern: " + compiled_->error());
  }
  std::string out = input;
  if (global_) RE2::GlobalReplace(&out, *compiled_, replacement);
  else RE2::Replace(&out, *compiled_, replacement);
  return out;
}
