#include "CurlHttpRequest.h"

#include "ErrorCodes.h"

// Placeholder until the libcurl client lands.
CurlHttpRequest::CurlHttpRequest(HttpOptions options) : options_(std::move(options)) {}
void CurlHttpRequest::Open(const std::string&, const std::string&, bool) {}
void CurlHttpRequest::Open(const std::string&, const std::string&, bool, const std::string&, const std::string&) {}
void CurlHttpRequest::SetCredentials(const std::string&, const std::string&, int32_t) {}
void CurlHttpRequest::Send() { throw ComponentError(ErrorCodes::kHttpOther, "not implemented"); }
int32_t CurlHttpRequest::Status() const { return status_; }
std::string CurlHttpRequest::StatusText() const { return statusText_; }
std::string CurlHttpRequest::ResponseText() const { return body_; }
