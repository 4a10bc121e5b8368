#include "CurlHttpRequest.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "AsciiCase.h"
#include "ErrorCodes.h"
#include "TextDecoder.h"
#include "WebAddress.h"

namespace {

// The standard reason phrase for a status code, for responses that carry none (HTTP/2 has no
// reason phrase at all); "" for a code without one.
std::string StandardStatusText(int32_t code) {
  switch (code) {
    case 100: return "Continue";
    case 101: return "Switching Protocols";
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 203: return "Non-Authoritative Information";
    case 204: return "No Content";
    case 205: return "Reset Content";
    case 206: return "Partial Content";
    case 300: return "Multiple Choices";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 305: return "Use Proxy";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 402: return "Payment Required";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 406: return "Not Acceptable";
    case 407: return "Proxy Authentication Required";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 410: return "Gone";
    case 411: return "Length Required";
    case 412: return "Precondition Failed";
    case 413: return "Content Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 416: return "Range Not Satisfiable";
    case 417: return "Expectation Failed";
    case 421: return "Misdirected Request";
    case 422: return "Unprocessable Content";
    case 425: return "Too Early";
    case 426: return "Upgrade Required";
    case 428: return "Precondition Required";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 451: return "Unavailable For Legal Reasons";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    case 505: return "HTTP Version Not Supported";
    case 511: return "Network Authentication Required";
    default: return "";
  }
}

}  // namespace

CurlHttpRequest::CurlHttpRequest(HttpClient client) : client_(std::move(client)) {}

void CurlHttpRequest::Open(const std::string& method, const std::string& url, bool async) {
  Open(method, url, async, {}, {});
}

void CurlHttpRequest::Open(const std::string& method, const std::string& url, bool async,
                           const std::string& user, const std::string& password) {
  opened_ = false;
  haveResponse_ = false;
  url_.clear();
  server_ = {};
  proxy_ = {};
  if (!AsciiCase::Equal(method, "GET")) {
    throw ComponentError(ErrorCodes::kInvalidArgument, "Only GET requests are supported");
  }
  if (async) throw ComponentError(ErrorCodes::kInvalidArgument, "Only synchronous requests are supported");
  CheckWebAddress(url);
  url_ = url;
  server_ = {user, password};
  opened_ = true;
}

void CurlHttpRequest::SetCredentials(const std::string& user, const std::string& password, int32_t flag) {
  if (!opened_) throw ComponentError(ErrorCodes::kRequestState, "SetCredentials was called before Open");
  if (flag == 0) {
    server_ = {user, password};
  } else if (flag == 1) {
    proxy_ = {user, password};
  } else {
    throw ComponentError(ErrorCodes::kInvalidArgument,
                         "SetCredentials takes 0 (server) or 1 (proxy), not " + std::to_string(flag));
  }
}

void CurlHttpRequest::Send() {
  if (!opened_) throw ComponentError(ErrorCodes::kRequestState, "Send was called before Open");
  haveResponse_ = false;
  status_ = 0;
  statusText_.clear();
  responseText_.clear();
  contentType_.clear();
  links_.clear();
  finalAddress_.clear();
  HttpResponse response = client_.Fetch({url_, server_, proxy_});
  contentType_ = response.contentType;
  links_ = std::move(response.links);
  finalAddress_ = response.finalAddress.empty() ? url_ : std::move(response.finalAddress);
  status_ = response.status;
  statusText_ = response.reason.empty() ? StandardStatusText(status_) : DecodeBody(response.reason, "text/plain");
  responseText_ = DecodeOwnedBody(std::move(response.body), response.contentType);
  haveResponse_ = true;
}

void CurlHttpRequest::RequireResponse() const {
  if (!haveResponse_) {
    throw ComponentError(ErrorCodes::kRequestState, "No response is available: the request has not completed");
  }
}

int32_t CurlHttpRequest::Status() const {
  RequireResponse();
  return status_;
}

std::string CurlHttpRequest::StatusText() const {
  RequireResponse();
  return statusText_;
}

std::string CurlHttpRequest::ResponseText() const {
  RequireResponse();
  return responseText_;
}

std::string CurlHttpRequest::TakeResponseText() {
  RequireResponse();
  return std::exchange(responseText_, std::string());
}

std::string CurlHttpRequest::ContentType() const {
  RequireResponse();
  return contentType_;
}

std::vector<std::string> CurlHttpRequest::LinkHeaders() const {
  RequireResponse();
  return links_;
}

std::string CurlHttpRequest::FinalAddress() const {
  RequireResponse();
  return finalAddress_;
}
