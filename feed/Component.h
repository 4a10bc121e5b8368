// Base of the platform components that FeedReader creates by class name, and the failure they throw.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A component created through ComponentRegistry. Components report failure by throwing
// ComponentError; FeedReader catches it and records code and text on itself.
class Component {
 public:
  virtual ~Component() = default;
};

// A failed component call: a stable error number (see ErrorCodes.h) and a text for the user.
class ComponentError : public std::runtime_error {
 public:
  ComponentError(int32_t code, const std::string& description)
      : std::runtime_error(description), code_(code) {}

  // The error number recorded as LastErrorCode.
  int32_t Code() const { return code_; }

 private:
  int32_t code_;
};
