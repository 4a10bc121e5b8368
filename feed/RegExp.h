// The regular-expression component: case-insensitive, replace-all substitution with RE2 syntax.
#pragma once

#include <string>

#include "Component.h"

class RegExp : public Component {
 public:
  virtual void IgnoreCase(bool value) = 0;
  virtual void Global(bool value) = 0;
  // Sets the pattern used by the next Replace.
  virtual void Pattern(const std::string& pattern) = 0;
  // The input with the matches of the pattern (all of them when Global) replaced. The input must
  // be UTF-8. Throws ComponentError when the pattern does not compile.
  virtual std::string Replace(const std::string& input, const std::string& replacement) = 0;
};
