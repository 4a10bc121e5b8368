#include "TransferFailure.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>

#include "ErrorCodes.h"
#include "WebAddress.h"

namespace {

template <typename Value>
Value Info(CURL* easy, CURLINFO info, Value fallback) {
  Value value = fallback;
  if (curl_easy_getinfo(easy, info, &value) != CURLE_OK) return fallback;
  return value;
}

std::string EffectiveUrl(CURL* easy, const std::string& fallback) {
  const char* url = Info<const char*>(easy, CURLINFO_EFFECTIVE_URL, nullptr);
  return url ? url : fallback;
}

// Host and port of an address for error texts; the port is the scheme's default when unwritten.
struct Endpoint {
  std::string host;
  std::string port;
};

Endpoint EndpointOf(const std::string& address) {
  UrlHandle url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    return {ShownAddress(address), "?"};
  }
  return {ShownAddress(UrlPart(url.get(), CURLUPART_HOST, 0)), UrlPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT)};
}

// The libcurl error text of a transfer, or its generic text for the code.
std::string Detail(CURLcode code, const TransferState& state) {
  return state.errorBuffer[0] != '\0' ? std::string(state.errorBuffer) : curl_easy_strerror(code);
}

bool IsSecureConnectionFailure(CURLcode code) {
  switch (code) {
    case CURLE_SSL_CONNECT_ERROR: case CURLE_SSL_ENGINE_NOTFOUND: case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM: case CURLE_SSL_CIPHER: case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_ENGINE_INITFAILED: case CURLE_SSL_CACERT_BADFILE: case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE: case CURLE_SSL_ISSUER_ERROR: case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS: case CURLE_SSL_CLIENTCERT:
      return true;
    default:
      return false;
  }
}

// Failures while reaching the server: name look-up, connection, time-out, secure channel.
ComponentError ConnectionFailure(CURLcode code, CURL* easy, const TransferState& state,
                                 const HttpOptions& options) {
  const Endpoint endpoint = EndpointOf(EffectiveUrl(easy, ""));
  const std::string where = endpoint.host + " port " + endpoint.port;
  if (code == CURLE_COULDNT_RESOLVE_HOST) {
    return {ErrorCodes::kResolveHost, "Could not resolve host: " + endpoint.host};
  }
  if (code == CURLE_COULDNT_RESOLVE_PROXY) {
    return {ErrorCodes::kResolveHost, "Could not resolve the proxy server: " + Detail(code, state)};
  }
  if (code == CURLE_OPERATION_TIMEDOUT) {
    // The connect time-out is the only one libcurl keeps; the pool keeps the others.
    return {ErrorCodes::kTimeout,
            "Could not connect to " + where + " within " + FormatDuration(options.connectTimeout)};
  }
  if (code == CURLE_COULDNT_CONNECT) {
    const long osError = Info<long>(easy, CURLINFO_OS_ERRNO, 0);
    if (osError == ECONNREFUSED) return {ErrorCodes::kConnect, "Connection refused: " + where};
    return {ErrorCodes::kConnect, "Could not connect to " + where +
                                      (osError != 0 ? ": " + std::generic_category().message(int(osError)) : "")};
  }
  if (code == CURLE_PROXY) {
    return {ErrorCodes::kConnect, "The proxy server refused the connection: " + Detail(code, state)};
  }
  return {ErrorCodes::kSecureConnection,
          "The secure connection to " + endpoint.host + " failed: " + Detail(code, state)};
}

// Where the latest response redirected to, as the server wrote it, or else where libcurl got to.
std::string RedirectTarget(CURL* easy, const TransferState& state, const std::string& address) {
  return state.location.empty() ? EffectiveUrl(easy, address) : state.location;
}

// libcurl 7.88 refuses more than 300 KiB of response headers with "Too large response headers:
// <size> > <limit>"; the limit, or 0 when the text is another.
std::size_t HeadersLimit(const TransferState& state) {
  constexpr char kPrefix[] = "Too large response headers:";
  if (std::strncmp(state.errorBuffer, kPrefix, sizeof kPrefix - 1) != 0) return 0;
  const char* limit = std::strstr(state.errorBuffer, "> ");
  if (!limit) return 0;
  std::size_t value = 0;
  std::from_chars(limit + 2, state.errorBuffer + std::strlen(state.errorBuffer), value);
  return value;
}

// libcurl answers "out of memory" where a header line passes CURL_MAX_HTTP_HEADER, and where a
// request does not fit its 1 MiB buffer. Once the request has gone out and before the headers
// have ended, it was the line.
ComponentError OutOfMemory(CURL* easy, const TransferState& state, const std::string& shown) {
  if (!state.outOfMemory && Info<long>(easy, CURLINFO_REQUEST_SIZE, 0) > 0 && !state.headersComplete) {
    return {ErrorCodes::kHeaderTooLarge,
            "The server sent a header line longer than " + FormatSize(CURL_MAX_HTTP_HEADER) + ": " + shown};
  }
  return {ErrorCodes::kHttpOther, "Not enough memory to receive the response from " + shown};
}

}  // namespace

ComponentError TransferFailure(CURLcode code, CURL* easy, const TransferState& state,
                               const std::string& address, const HttpOptions& options) {
  const std::string shown = ShownAddress(address);
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST: case CURLE_COULDNT_RESOLVE_PROXY: case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT: case CURLE_PROXY:
      return ConnectionFailure(code, easy, state, options);
    case CURLE_TOO_MANY_REDIRECTS:
      return {ErrorCodes::kTooManyRedirects,
              "Too many redirects (more than " + std::to_string(std::max(0L, options.maxRedirects)) + ") from " + shown};
    case CURLE_WRITE_ERROR:
      if (state.bodyTooLarge) {
        return {ErrorCodes::kBodyTooLarge,
                "The response is larger than " + FormatSize(options.maxBodyBytes) + ": " + shown};
      }
      if (state.refusedStatus) {
        return {ErrorCodes::kTransfer, "The server answered HTTP " + std::to_string(state.status) +
                                           (state.reason.empty() ? "" : " " + state.reason) + ": " + shown};
      }
      if (state.sinkFailed) return {ErrorCodes::kTransfer, state.sink->Failure()};
      break;
    case CURLE_URL_MALFORMAT:
      // The address itself was checked before it was sent, so a malformed one came with a
      // redirect; libcurl gives no text of its own here.
      if (Info<long>(easy, CURLINFO_REDIRECT_COUNT, 0) > 0 || !state.location.empty()) {
        return {ErrorCodes::kInvalidAddress, shown + " redirects to an address that is not valid: " +
                                                 ShownAddress(RedirectTarget(easy, state, address))};
      }
      return {ErrorCodes::kInvalidAddress, "The host name cannot be used: " + EndpointOf(address).host};
    case CURLE_UNSUPPORTED_PROTOCOL:
      // A redirect to another scheme (libcurl keeps the old address as the effective one when
      // it cannot even parse the new one, as with "javascript:"), or an answer from before
      // HTTP/1.0, which libcurl refuses likewise.
      if (!state.location.empty() || Info<long>(easy, CURLINFO_REDIRECT_COUNT, 0) > 0) {
        return {ErrorCodes::kInvalidAddress, shown + " redirects to an address that is not http or https: " +
                                                 ShownAddress(RedirectTarget(easy, state, address))};
      }
      return {ErrorCodes::kTransfer, "The server's answer is not valid HTTP: " + shown};
    case CURLE_PARTIAL_FILE:
      return {ErrorCodes::kTransfer, "The connection closed before the whole response arrived from " + shown};
    case CURLE_GOT_NOTHING:
      return {ErrorCodes::kTransfer, "The server closed the connection without answering: " + shown};
    case CURLE_RECV_ERROR: case CURLE_SEND_ERROR:
      if (const std::size_t limit = HeadersLimit(state); limit > 0) {
        return {ErrorCodes::kHeaderTooLarge,
                "The server sent more than " + FormatSize(limit) + " of response headers: " + shown};
      }
      return {ErrorCodes::kTransfer, "The connection broke while downloading " + shown + ": " + Detail(code, state)};
    case CURLE_WEIRD_SERVER_REPLY: case CURLE_HTTP2: case CURLE_HTTP2_STREAM: case CURLE_HTTP3:
      return {ErrorCodes::kTransfer, "The server's answer is not valid HTTP: " + shown};
    case CURLE_BAD_CONTENT_ENCODING:
      return {ErrorCodes::kTransfer, "The compressed response could not be unpacked: " + shown};
    case CURLE_OUT_OF_MEMORY:
      return OutOfMemory(easy, state, shown);
    default:
      if (IsSecureConnectionFailure(code)) return ConnectionFailure(code, easy, state, options);
      break;
  }
  if (state.outOfMemory) {
    return {ErrorCodes::kHttpOther, "Not enough memory to receive the response from " + shown};
  }
  return {ErrorCodes::kHttpOther, "The download of " + shown + " failed: " + Detail(code, state)};
}
