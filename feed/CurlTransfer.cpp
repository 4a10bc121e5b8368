#include "CurlTransfer.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>

#include "Component.h"
#include "ErrorCodes.h"
#include "TextDecoder.h"
#include "Version.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long one wait on the sockets lasts before the wait hook runs again.
constexpr std::chrono::milliseconds kPollInterval{25};
// Ceilings for what we keep of the headers; libcurl bounds a single header line itself.
constexpr std::size_t kMaxReasonBytes = 256;
constexpr std::size_t kMaxContentTypeBytes = 256;
// Addresses quoted in error texts are shortened past this.
constexpr std::size_t kMaxShownAddressBytes = 300;

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
  void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct UrlDeleter {
  void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
struct CurlFreeDeleter {
  void operator()(char* text) const { curl_free(text); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;
using CurlText = std::unique_ptr<char, CurlFreeDeleter>;

// Keeps an easy handle inside a multi handle for one transfer; leaving the scope takes it out
// again, also when the transfer is abandoned by an exception.
class MultiMembership {
 public:
  MultiMembership(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
    const CURLMcode result = curl_multi_add_handle(multi_, easy_);
    if (result != CURLM_OK) {
      throw ComponentError(ErrorCodes::kHttpOther,
                           std::string("Could not start the request: ") + curl_multi_strerror(result));
    }
  }
  ~MultiMembership() { curl_multi_remove_handle(multi_, easy_); }
  MultiMembership(const MultiMembership&) = delete;
  MultiMembership& operator=(const MultiMembership&) = delete;

 private:
  CURLM* multi_;
  CURL* easy_;
};

// What the callbacks gather during one transfer. The callbacks run inside curl_multi_perform on
// the calling thread.
struct Transfer {
  std::size_t maxBodyBytes = 0;
  std::string body;
  bool bodyTooLarge = false;
  bool outOfMemory = false;
  // Reason phrase and Content-Type of the latest response; a redirect's are replaced by the next.
  std::string reason;
  std::string contentType;
  // While a connection is being set up the connect time-out applies, not the idle one.
  bool connecting = true;
  Clock::time_point lastActivity = Clock::now();
  char errorBuffer[CURL_ERROR_SIZE] = {};
};

void InitCurlOnce() {
  // A function-local static is initialised exactly once, even with concurrent first callers.
  static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (result != CURLE_OK) {
    throw ComponentError(ErrorCodes::kHttpOther,
                         std::string("The network library could not start: ") + curl_easy_strerror(result));
  }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

std::string_view TrimLine(std::string_view text) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string UrlPart(CURLU* url, CURLUPart part, unsigned int flags) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK) return {};
  CurlText owner(text);
  return text;
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

// The scheme of an address in lower case, or "" when it does not parse.
std::string SchemeOf(const std::string& address) {
  UrlHandle url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    return {};
  }
  return UrlPart(url.get(), CURLUPART_SCHEME, 0);
}

bool IsWebScheme(const std::string& scheme) { return scheme == "http" || scheme == "https"; }

std::string FormatDuration(std::chrono::milliseconds duration) {
  const long long ms = duration.count();
  std::string text = std::to_string(ms / 1000);
  if (ms % 1000 != 0) {
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    text += "." + fraction;
  }
  return text + (ms == 1000 ? " second" : " seconds");
}

std::string FormatSize(std::size_t bytes) {
  constexpr std::size_t kKiB = 1024;
  if (bytes != 0 && bytes % (kKiB * kKiB) == 0) return std::to_string(bytes / (kKiB * kKiB)) + " MiB";
  if (bytes != 0 && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

// The reason phrase of a status line such as "HTTP/1.1 404 Not Found"; "" when there is none.
std::string ReasonOf(std::string_view statusLine) {
  statusLine = TrimLine(statusLine);
  const std::size_t afterVersion = statusLine.find(' ');
  if (afterVersion == std::string_view::npos) return {};
  const std::size_t afterCode = statusLine.find(' ', afterVersion + 1);
  if (afterCode == std::string_view::npos) return {};
  return std::string(TrimLine(statusLine.substr(afterCode + 1)).substr(0, kMaxReasonBytes));
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) noexcept {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t length = size * count;
  const std::string_view line(data, length);
  transfer->lastActivity = Clock::now();
  try {
    constexpr std::string_view kContentType = "content-type:";
    if (line.substr(0, 5) == "HTTP/") {
      // A new response begins (after a redirect, an authentication round or a 1xx).
      transfer->reason = ReasonOf(line);
      transfer->contentType.clear();
      transfer->body.clear();
    } else if (EqualsNoCase(line.substr(0, kContentType.size()), kContentType)) {
      transfer->contentType = TrimLine(line.substr(kContentType.size())).substr(0, kMaxContentTypeBytes);
    }
  } catch (const std::bad_alloc&) {
    transfer->outOfMemory = true;
    return 0;
  }
  return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) noexcept {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t length = size * count;
  transfer->lastActivity = Clock::now();
  // A body can stream forever; stop at the ceiling. Counted after decompression.
  if (length > transfer->maxBodyBytes - transfer->body.size()) {
    transfer->bodyTooLarge = true;
    return 0;
  }
  try {
    transfer->body.append(data, length);
  } catch (const std::bad_alloc&) {
    transfer->outOfMemory = true;
    return 0;
  }
  return length;
}

curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address) noexcept {
  static_cast<Transfer*>(user)->connecting = true;
  return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

int OnRequestReady(void* user, char*, char*, int, int) noexcept {
  auto* transfer = static_cast<Transfer*>(user);
  transfer->connecting = false;
  transfer->lastActivity = Clock::now();
  return CURL_PREREQFUNC_OK;
}

template <typename Value>
void SetOption(CURL* easy, CURLoption option, Value value, const char* name) {
  const CURLcode result = curl_easy_setopt(easy, option, value);
  if (result != CURLE_OK) {
    throw ComponentError(ErrorCodes::kHttpOther, std::string("Could not set up the request (") + name +
                                                     "): " + curl_easy_strerror(result));
  }
}
#define FEEDWRIGHT_SET_OPTION(easy, option, value) SetOption(easy, option, value, #option)

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

// The libcurl error text of a transfer, or its generic text for the code.
std::string Detail(CURLcode code, const Transfer& transfer) {
  return transfer.errorBuffer[0] != '\0' ? std::string(transfer.errorBuffer) : curl_easy_strerror(code);
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
ComponentError ConnectionFailure(CURLcode code, CURL* easy, const Transfer& transfer,
                                 const HttpOptions& options) {
  const Endpoint endpoint = EndpointOf(EffectiveUrl(easy, ""));
  const std::string where = endpoint.host + " port " + endpoint.port;
  if (code == CURLE_COULDNT_RESOLVE_HOST) {
    return {ErrorCodes::kResolveHost, "Could not resolve host: " + endpoint.host};
  }
  if (code == CURLE_COULDNT_RESOLVE_PROXY) {
    return {ErrorCodes::kResolveHost, "Could not resolve the proxy server: " + Detail(code, transfer)};
  }
  if (code == CURLE_OPERATION_TIMEDOUT) {
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
    return {ErrorCodes::kConnect, "The proxy server refused the connection: " + Detail(code, transfer)};
  }
  return {ErrorCodes::kSecureConnection,
          "The secure connection to " + endpoint.host + " failed: " + Detail(code, transfer)};
}

// Maps a failed transfer onto an error number and a text a user understands.
ComponentError TransferFailure(CURLcode code, CURL* easy, const Transfer& transfer,
                               const std::string& address, const HttpOptions& options) {
  const std::string shown = ShownAddress(address);
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST: case CURLE_COULDNT_RESOLVE_PROXY: case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT: case CURLE_PROXY:
      return ConnectionFailure(code, easy, transfer, options);
    case CURLE_TOO_MANY_REDIRECTS:
      return {ErrorCodes::kTooManyRedirects,
              "Too many redirects (more than " + std::to_string(std::max(0L, options.maxRedirects)) + ") from " + shown};
    case CURLE_WRITE_ERROR:
      if (transfer.bodyTooLarge) {
        return {ErrorCodes::kBodyTooLarge,
                "The response is larger than " + FormatSize(options.maxBodyBytes) + ": " + shown};
      }
      break;
    case CURLE_URL_MALFORMAT:
      // The address itself was checked before, so a malformed one came with a redirect.
      return {ErrorCodes::kInvalidAddress, shown + " redirects to an address that is not valid"};
    case CURLE_UNSUPPORTED_PROTOCOL: {
      // Refused on a redirect, or an answer from before HTTP/1.0, which libcurl refuses likewise.
      const std::string target = EffectiveUrl(easy, address);
      if (!IsWebScheme(SchemeOf(target))) {
        return {ErrorCodes::kInvalidAddress, shown + " redirects to an address that is not http or https: " +
                                                 ShownAddress(target)};
      }
      return {ErrorCodes::kTransfer, "The server's answer is not valid HTTP: " + shown};
    }
    case CURLE_PARTIAL_FILE:
      return {ErrorCodes::kTransfer, "The connection closed before the whole response arrived from " + shown};
    case CURLE_GOT_NOTHING:
      return {ErrorCodes::kTransfer, "The server closed the connection without answering: " + shown};
    case CURLE_RECV_ERROR: case CURLE_SEND_ERROR:
      return {ErrorCodes::kTransfer, "The connection broke while downloading " + shown + ": " +
                                         Detail(code, transfer)};
    case CURLE_WEIRD_SERVER_REPLY: case CURLE_HTTP2: case CURLE_HTTP2_STREAM: case CURLE_HTTP3:
      return {ErrorCodes::kTransfer, "The server's answer is not valid HTTP: " + shown};
    case CURLE_BAD_CONTENT_ENCODING:
      return {ErrorCodes::kTransfer, "The compressed response could not be unpacked: " + shown};
    default:
      if (IsSecureConnectionFailure(code)) return ConnectionFailure(code, easy, transfer, options);
      break;
  }
  if (transfer.outOfMemory || code == CURLE_OUT_OF_MEMORY) {
    return {ErrorCodes::kHttpOther, "Not enough memory to receive the response from " + shown};
  }
  return {ErrorCodes::kHttpOther, "The download of " + shown + " failed: " + Detail(code, transfer)};
}

void CheckMulti(CURLMcode result, const char* what) {
  if (result != CURLM_OK) {
    throw ComponentError(ErrorCodes::kHttpOther,
                         std::string("The request failed in ") + what + ": " + curl_multi_strerror(result));
  }
}

// Sets every option of one transfer; libcurl copies the strings, but transfer must outlive handle.
void ConfigureTransfer(CURL* handle, Transfer& transfer, const std::string& url, const HttpCredentials& server,
                       const HttpCredentials& proxy, const HttpOptions& options) {
  const std::string userAgent = std::string(Version::kProgramName) + "/" + Version::kVersion;
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_URL, url.c_str());
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_HTTPGET, 1L);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_FOLLOWLOCATION, 1L);
  // libcurl reads -1 as "no limit"; a negative setting here means none may be followed.
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_MAXREDIRS, std::max(0L, options.maxRedirects));
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_ACCEPT_ENCODING, "");
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_USERAGENT, userAgent.c_str());
  // libcurl reads 0 as "its own default of five minutes"; keep at least a millisecond.
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_CONNECTTIMEOUT_MS, std::max(1L, static_cast<long>(options.connectTimeout.count())));
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_NOSIGNAL, 1L);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_HEADERFUNCTION, OnHeader);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_HEADERDATA, &transfer);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_WRITEFUNCTION, OnBody);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_WRITEDATA, &transfer);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_OPENSOCKETDATA, &transfer);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_PREREQFUNCTION, OnRequestReady);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_PREREQDATA, &transfer);
  if (server.Given()) {
    FEEDWRIGHT_SET_OPTION(handle, CURLOPT_USERNAME, server.user.c_str());
    FEEDWRIGHT_SET_OPTION(handle, CURLOPT_PASSWORD, server.password.c_str());
    FEEDWRIGHT_SET_OPTION(handle, CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
  }
  if (proxy.Given()) {
    FEEDWRIGHT_SET_OPTION(handle, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
    FEEDWRIGHT_SET_OPTION(handle, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
    FEEDWRIGHT_SET_OPTION(handle, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
  }
}

// Drives the transfer from the calling thread until it ends; returns libcurl's result for it.
// Between short waits on the sockets the wait hook runs, so the caller's window stays alive.
CURLcode RunTransfer(CURLM* multi, CURL* easy, Transfer& transfer, const std::string& address,
                     const HttpOptions& options) {
  transfer.lastActivity = Clock::now();
  for (;;) {
    int running = 0;
    CheckMulti(curl_multi_perform(multi, &running), "curl_multi_perform");
    if (running == 0) break;
    const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - transfer.lastActivity);
    if (!transfer.connecting && idle >= options.idleTimeout) {
      throw ComponentError(ErrorCodes::kTimeout, "No data received for " + FormatDuration(options.idleTimeout) +
                                                     " from " + ShownAddress(address));
    }
    const auto wait = std::clamp(options.idleTimeout - idle, std::chrono::milliseconds(1), kPollInterval);
    CheckMulti(curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait.count()), nullptr), "curl_multi_poll");
    if (options.waitHook && !options.waitHook()) {
      throw ComponentError(ErrorCodes::kRequestAbandoned, "The download of " + ShownAddress(address) + " was abandoned");
    }
  }
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) return message->data.result;
  }
  throw ComponentError(ErrorCodes::kHttpOther, "The download of " + ShownAddress(address) + " ended without a result");
}

}  // namespace

std::string ShownAddress(const std::string& address) {
  std::string shown = DecodeBody(address.substr(0, kMaxShownAddressBytes), "text/plain");
  if (address.size() > kMaxShownAddressBytes) shown += "...";
  return shown;
}

void CheckWebAddress(const std::string& address) {
  InitCurlOnce();
  UrlHandle url(curl_url());
  if (!url) throw ComponentError(ErrorCodes::kHttpOther, "Not enough memory to read the address");
  const CURLUcode result = curl_url_set(url.get(), CURLUPART_URL, address.c_str(), CURLU_NON_SUPPORT_SCHEME);
  if (result != CURLUE_OK) {
    throw ComponentError(ErrorCodes::kInvalidAddress, "Not a valid web address: " + ShownAddress(address));
  }
  if (!IsWebScheme(UrlPart(url.get(), CURLUPART_SCHEME, 0))) {
    throw ComponentError(ErrorCodes::kInvalidAddress,
                         "Only http and https addresses can be downloaded: " + ShownAddress(address));
  }
}

HttpResponse PerformGet(const std::string& url, const HttpCredentials& server, const HttpCredentials& proxy,
                        const HttpOptions& options) {
  InitCurlOnce();
  Transfer transfer;
  transfer.maxBodyBytes = options.maxBodyBytes;
  EasyHandle easy(curl_easy_init());
  MultiHandle multi(curl_multi_init());
  if (!easy || !multi) throw ComponentError(ErrorCodes::kHttpOther, "Could not create the request: out of memory");
  ConfigureTransfer(easy.get(), transfer, url, server, proxy, options);

  MultiMembership membership(multi.get(), easy.get());
  const CURLcode result = RunTransfer(multi.get(), easy.get(), transfer, url, options);
  if (result != CURLE_OK) throw TransferFailure(result, easy.get(), transfer, url, options);

  HttpResponse response;
  response.status = static_cast<int32_t>(Info<long>(easy.get(), CURLINFO_RESPONSE_CODE, 0));
  response.reason = std::move(transfer.reason);
  response.contentType = std::move(transfer.contentType);
  response.body = std::move(transfer.body);
  return response;
}
