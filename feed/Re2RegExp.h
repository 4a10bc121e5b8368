// The regular-expression component on RE2, with dedicated scanners for the reader's two patterns.
#pragma once

#include <memory>
#include <string>

#include "RegExp.h"

namespace re2 {
class RE2;
}

class Re2RegExp : public RegExp {
 public:
  Re2RegExp();
  ~Re2RegExp() override;

  void IgnoreCase(bool value) override;
  void Global(bool value) override;
  void Pattern(const std::string& pattern) override;
  std::string Replace(const std::string& input, const std::string& replacement) override;

 private:
  bool ignoreCase_ = false;
  bool global_ = false;
  std::string pattern_;
  std::unique_ptr<re2::RE2> compiled_;  // built lazily for the options in force
};
