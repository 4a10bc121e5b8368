// The regular-expression component on RE2, with dedicated scanners for the reader's two patterns.
#pragma once

#include <memory>
#include <string>

#include "RegExp.h"

namespace re2 {
class RE2;
}

// Pattern syntax is RE2's, input and pattern are UTF-8, and the replacement text is literal (a
// backslash in it is just a backslash). The reader's two fixed patterns, case-insensitive,
// replace-all and with an empty replacement, run through hand-written scanners that give the
// same result as RE2; everything else runs through RE2.
class Re2RegExp : public RegExp {
 public:
  Re2RegExp();
  ~Re2RegExp() override;

  void IgnoreCase(bool value) override;
  void Global(bool value) override;
  void Pattern(const std::string& pattern) override;
  // Throws ComponentError(ErrorCodes::kRegex) when the pattern does not compile.
  std::string Replace(const std::string& input, const std::string& replacement) override;
  // The same, built in the input's own storage.
  std::string Replace(std::string&& input, const std::string& replacement) override;

 private:
  enum class Scanner { kNone, kCleanDocument, kStripHtml };

  // The scanner that gives RE2's answer for this call, or kNone.
  Scanner ScannerFor(const std::string& replacement) const;
  // The text a scanner returned, with the rest from stop (npos: none) replaced by RE2.
  std::string FinishWithRe2(std::string&& text, std::size_t stop);
  // The compiled pattern for the options in force, compiled on first use.
  const re2::RE2& Compiled();

  bool ignoreCase_ = false;
  bool global_ = false;
  std::string pattern_;
  Scanner patternScanner_ = Scanner::kNone;  // the scanner the pattern text names, if any
  std::unique_ptr<re2::RE2> compiled_;       // built lazily for the pattern and case in force
};
