// Where a download's body goes when it must not be held in memory: a file being written.
#pragma once

#include <string>
#include <string_view>

class BodySink {
 public:
  virtual ~BodySink() = default;
  // Takes the next bytes of the body; false when they cannot be kept (the download then ends
  // with Failure()). Called from libcurl's callbacks: never throws.
  virtual bool Take(std::string_view bytes) noexcept = 0;
  // Why the last Take refused, for the download's failure.
  virtual std::string Failure() const = 0;
};
