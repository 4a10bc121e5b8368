#include "Re2RegExp.h"

#include <re2/re2.h>

#include "ErrorCodes.h"
#include "PatternScanners.h"
#include "Patterns.h"

namespace {

// RE2 reads "\0" to "\9" in a replacement as groups and "\\" as one backslash; doubling every
// backslash makes the whole text literal.
std::string LiteralRewrite(const std::string& replacement) {
  std::string rewrite;
  rewrite.reserve(replacement.size());
  for (char c : replacement) {
    if (c == '\\') rewrite += '\\';
    rewrite += c;
  }
  return rewrite;
}

}  // namespace

Re2RegExp::Re2RegExp() = default;
Re2RegExp::~Re2RegExp() = default;

void Re2RegExp::IgnoreCase(bool value) {
  if (value != ignoreCase_) compiled_.reset();
  ignoreCase_ = value;
}

void Re2RegExp::Global(bool value) { global_ = value; }

void Re2RegExp::Pattern(const std::string& pattern) {
  if (pattern == pattern_) return;
  pattern_ = pattern;
  compiled_.reset();
  if (pattern_ == Patterns::kCleanDocument) {
    patternScanner_ = Scanner::kCleanDocument;
  } else if (pattern_ == Patterns::kStripHtml) {
    patternScanner_ = Scanner::kStripHtml;
  } else {
    patternScanner_ = Scanner::kNone;
  }
}

std::string Re2RegExp::Replace(const std::string& input, const std::string& replacement) {
  return Replace(std::string(input), replacement);
}

std::string Re2RegExp::Replace(std::string&& input, const std::string& replacement) {
  switch (ScannerFor(replacement)) {
    case Scanner::kCleanDocument:
      PatternScanners::CleanDocumentInPlace(input);
      return std::move(input);
    case Scanner::kStripHtml: {
      const std::size_t stop = PatternScanners::StripHtmlInPlace(input);
      return FinishWithRe2(std::move(input), stop);
    }
    case Scanner::kNone:
      break;
  }
  const RE2& compiled = Compiled();
  const std::string rewrite = LiteralRewrite(replacement);
  if (global_) {
    RE2::GlobalReplace(&input, compiled, rewrite);
  } else {
    RE2::Replace(&input, compiled, rewrite);
  }
  return std::move(input);
}

Re2RegExp::Scanner Re2RegExp::ScannerFor(const std::string& replacement) const {
  if (patternScanner_ == Scanner::kNone || !ignoreCase_ || !global_ || !replacement.empty()) {
    return Scanner::kNone;
  }
  return patternScanner_;
}

std::string Re2RegExp::FinishWithRe2(std::string&& text, std::size_t stop) {
  if (stop == std::string::npos) return std::move(text);
  // The scan stopped at a tag whose bytes are not valid UTF-8. Everything before it is done, and
  // RE2's search would resume right there, so RE2 on the rest from that point gives what RE2 on
  // the whole text gives: the pattern does not look behind a match.
  std::string rest = text.substr(stop);
  RE2::GlobalReplace(&rest, Compiled(), "");
  text.resize(stop);
  text += rest;
  return std::move(text);
}

const RE2& Re2RegExp::Compiled() {
  if (!compiled_) {
    RE2::Options options;
    options.set_encoding(RE2::Options::EncodingUTF8);
    options.set_case_sensitive(!ignoreCase_);
    options.set_log_errors(false);
    auto compiled = std::make_unique<RE2>(pattern_, options);
    if (!compiled->ok()) {
      throw ComponentError(ErrorCodes::kRegex, "The pattern '" + pattern_ +
                                                   "' is not a valid regular expression: " +
                                                   compiled->error());
    }
    compiled_ = std::move(compiled);
  }
  return *compiled_;
}
