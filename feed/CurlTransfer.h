// One GET over libcurl: the easy handle and its options, what the callbacks gather, the overall
// and idle clocks, and how the transfer ended. DownloadPool drives it on the calling thread.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BodySink.h"
#include "Clock.h"
#include "Component.h"
#include "CurlSupport.h"
#include "DownloadPool.h"
#include "HttpOptions.h"

// What the callbacks gather while libcurl runs the transfer. Header fields describe the latest
// response: a redirect's are replaced by the next response's.
struct TransferState {
  explicit TransferState(const Clock& clock) : clock(clock), lastActivity(clock.Now()) {}

  const Clock& clock;

  std::size_t maxBodyBytes = 0;
  // The body of the final response, undecoded. Only the final response's body reaches us:
  // libcurl skips the bodies of redirects and authentication rounds.
  std::string body;
  bool bodyTooLarge = false;
  bool outOfMemory = false;
  // When set, the final body goes here instead of into body, and only a success (2xx) is
  // taken: any other final answer ends the transfer at its headers (refusedStatus).
  BodySink* sink = nullptr;
  // The bytes of the final body the sink took.
  uint64_t received = 0;
  bool sinkFailed = false;
  bool refusedStatus = false;

  int32_t status = 0;
  std::string reason;
  std::string contentType;
  std::string location;
  std::string etag;
  std::string lastModified;
  std::string retryAfter;
  // The Link header lines' values, at most kMaxLinkHeaders of them, each at most kMaxLinkBytes.
  std::vector<std::string> links;
  // The Content-Length header's value; -1 when absent, unreadable, or overruled by chunking.
  int64_t contentLength = -1;
  bool chunked = false;
  // A Content-Encoding other than identity: Content-Length counts the packed bytes, which
  // libcurl unpacks before the body reaches us.
  bool encoded = false;
  // The blank line after the latest response's headers has arrived.
  bool headersComplete = false;

  // While a connection is being set up (TLS included) the idle clock does not run.
  bool connecting = true;
  Clock::TimePoint lastActivity;
  char errorBuffer[CURL_ERROR_SIZE] = {};
};

class CurlTransfer {
 public:
  // A transfer set up and ready to join a multi handle, sending the extra header lines ("Name:
  // value") with its request. url must have passed CheckWebAddress. Throws ComponentError when
  // libcurl cannot set it up.
  CurlTransfer(std::string url, const HttpCredentials& server, const HttpCredentials& proxy,
               const HttpOptions& options, const Clock& clock, const std::vector<std::string>& headers = {});
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  CURL* Handle() const { return easy_.get(); }
  const std::string& Url() const { return url_; }

  // Sends the final body into sink, up to maxBytes of it, instead of keeping it in memory, and
  // gives the transfer deadline in place of the options' one. Before the transfer starts.
  void StreamInto(BodySink& sink, std::size_t maxBytes, std::chrono::milliseconds deadline);

  // Starts the clocks; called when the transfer joins the multi handle.
  void Started(Clock::TimePoint now);
  // When the first of its running clocks runs out.
  Clock::TimePoint Due() const;
  // The failure to report when a clock has run out by now; nothing otherwise.
  std::optional<ComponentError> Overdue(Clock::TimePoint now) const;

  // Records libcurl's result once the transfer is done.
  void Finish(CURLcode result);
  // Records a failure of our own (a clock, the pool giving up).
  void Fail(const ComponentError& error);
  bool Finished() const { return finished_; }
  // Frees the libcurl handle and its buffers once the transfer has left the multi handle; the
  // answer or the failure stays.
  void ReleaseHandle() noexcept { easy_.reset(); }
  // The memory the answer or the failure holds, in bytes, about.
  std::size_t HeldBytes() const noexcept;

  // The final response, given up to the caller; throws the failure the transfer ended with.
  HttpResponse TakeResponse();

 private:
  std::string url_;
  HttpOptions options_;
  TransferState state_;
  HeaderList headers_;
  EasyHandle easy_;
  Clock::TimePoint started_;
  bool finished_ = false;
  std::optional<ComponentError> failure_;
  int32_t status_ = 0;
};
