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
  // The same for an input the caller gives up, so that a component can build the result in the
  // input's own storage instead of a copy. By default it replaces on the input as above.
  virtual std::string Replace(std::string&& input, const std::string& replacement) {
    return Replace(static_cast<const std::string&>(input), replacement);
  }
};
