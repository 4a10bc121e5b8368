// Where a retrieval run shows its progress: the window's progress bar.
#pragma once

#include <string>

class ProgressSink {
 public:
  // The text the bar shows at rest.
  static constexpr const char* kRestText = "Progress Bar";

  virtual ~ProgressSink() = default;

  // The bar's position in percent, 0 to 100, passed exactly as computed.
  virtual void SetPosition(double percent) = 0;
  // The text shown on the bar.
  virtual void SetText(const std::string& text) = 0;
};
