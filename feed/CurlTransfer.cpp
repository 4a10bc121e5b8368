#include "CurlTransfer.h"

#include <sys/mman.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <new>
#include <string_view>
#include <utility>

#include "AsciiCase.h"
#include "ErrorCodes.h"
#include "TransferFailure.h"
#include "Version.h"
#include "WebAddress.h"

namespace {

// Ceilings for what we keep of the headers; libcurl bounds a single header line itself.
constexpr std::size_t kMaxReasonBytes = 256;
constexpr std::size_t kMaxContentTypeBytes = 256;
// A redirect target is kept for error texts only, which shorten it further.
constexpr std::size_t kMaxLocationBytes = 2048;
// Validators longer than this are not kept: they are sent back whole with the next request.
constexpr std::size_t kMaxValidatorBytes = 1024;
constexpr std::size_t kMaxRetryAfterBytes = 64;
// Link headers announce a page's feeds; a page that sends more than this many, or longer ones,
// is not announcing feeds to a reader.
constexpr std::size_t kMaxLinkHeaders = 32;
constexpr std::size_t kMaxLinkBytes = 4096;
// What libcurl reads at a time for a body that goes to a file.
constexpr long kStreamBufferBytes = 512L * 1024L;

std::string_view TrimLine(std::string_view text) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

// A status line such as "HTTP/1.1 404 Not Found" starts a new response (after a redirect, an
// authentication round or a 1xx): its code and reason phrase replace the last one's.
void StartResponse(TransferState& state, std::string_view statusLine) {
  state.status = 0;
  state.reason.clear();
  state.contentType.clear();
  state.location.clear();
  state.etag.clear();
  state.lastModified.clear();
  state.retryAfter.clear();
  state.links.clear();
  state.contentLength = -1;
  state.chunked = false;
  state.encoded = false;
  state.headersComplete = false;
  state.body.clear();
  statusLine = TrimLine(statusLine);
  const std::size_t afterVersion = statusLine.find(' ');
  if (afterVersion == std::string_view::npos) return;
  const std::string_view rest = statusLine.substr(afterVersion + 1);
  std::from_chars(rest.data(), rest.data() + std::min<std::size_t>(rest.size(), 3), state.status);
  const std::size_t afterCode = rest.find(' ');
  if (afterCode == std::string_view::npos) return;
  state.reason = std::string(TrimLine(rest.substr(afterCode + 1)).substr(0, kMaxReasonBytes));
}

// The value of a header line when its name is `name` (given with the colon), else nothing.
std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name) {
  if (!AsciiCase::StartsWith(line, name)) return std::nullopt;
  return TrimLine(line.substr(name.size()));
}

// Whether the response whose headers just ended is the one whose body we keep: not an interim
// 1xx, not a redirect that libcurl follows, not a challenge it may answer with credentials.
bool IsFinalResponse(const TransferState& state) {
  if (state.status < 200) return false;
  if (state.status / 100 == 3 && !state.location.empty()) return false;
  return state.status != 401 && state.status != 407;
}

bool DeclaresTooLargeABody(const TransferState& state) {
  return !state.chunked && state.contentLength >= 0 &&
         static_cast<uint64_t>(state.contentLength) > state.maxBodyBytes;
}

void OnHeaderLine(TransferState& state, std::string_view line) {
  if (line.substr(0, 5) == "HTTP/") {
    StartResponse(state, line);
  } else if (TrimLine(line).empty()) {
    state.headersComplete = true;
  } else if (auto type = HeaderValue(line, "content-type:")) {
    state.contentType = type->substr(0, kMaxContentTypeBytes);
  } else if (auto location = HeaderValue(line, "location:")) {
    state.location = location->substr(0, kMaxLocationBytes);
  } else if (auto etag = HeaderValue(line, "etag:")) {
    state.etag = etag->size() <= kMaxValidatorBytes ? std::string(*etag) : std::string();
  } else if (auto modified = HeaderValue(line, "last-modified:")) {
    state.lastModified = modified->size() <= kMaxValidatorBytes ? std::string(*modified) : std::string();
  } else if (auto wait = HeaderValue(line, "retry-after:")) {
    state.retryAfter = wait->substr(0, kMaxRetryAfterBytes);
  } else if (auto link = HeaderValue(line, "link:")) {
    if (state.links.size() < kMaxLinkHeaders && link->size() <= kMaxLinkBytes) state.links.emplace_back(*link);
  } else if (auto length = HeaderValue(line, "content-length:")) {
    int64_t value = -1;
    const auto [end, error] = std::from_chars(length->data(), length->data() + length->size(), value);
    state.contentLength = error == std::errc() && end == length->data() + length->size() ? value : -1;
  } else if (auto coding = HeaderValue(line, "transfer-encoding:")) {
    // With chunking, Content-Length does not count and libcurl ignores it.
    if (coding->find("chunked") != std::string_view::npos) state.chunked = true;
  } else if (auto encoding = HeaderValue(line, "content-encoding:")) {
    if (!encoding->empty() && !AsciiCase::StartsWith(*encoding, "identity")) state.encoded = true;
  }
}

// Asks for transparent huge pages under a large body's buffer: on a virtual machine the first
// touch of each fresh page is costly, and a 2 MiB page takes one instead of 512.
void AdviseHugePages(std::string& body) {
  constexpr std::uintptr_t kHugePage = 2u << 20;
  if (body.capacity() < 2 * kHugePage) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(body.data());
  const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (begin + body.capacity()) & ~(kHugePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

// Makes room for at least more bytes of a body that announced no length, or a wrong one:
// twice the room, as a string grows, but never past the ceiling, which no body passes.
void GrowBody(TransferState& state, std::size_t more) {
  std::string& body = state.body;
  const std::size_t needed = body.size() + more;
  body.reserve(std::max(needed, std::min(2 * body.capacity(), state.maxBodyBytes)));
  AdviseHugePages(body);
}

// Makes room for the body its final response announces, so that it arrives into one buffer
// instead of being copied each time a growing one fills up. The ceiling was checked before. A
// packed body announces its packed size, a chunked one none; those grow as they arrive.
void ReserveAnnouncedBody(TransferState& state) {
  if (state.chunked || state.encoded || state.contentLength <= 0) return;
  try {
    state.body.reserve(static_cast<std::size_t>(state.contentLength));
  } catch (const std::bad_alloc&) {
    // Then the body grows as it arrives, and fails only if that fails too.
    return;
  }
  AdviseHugePages(state.body);
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) noexcept {
  auto* state = static_cast<TransferState*>(user);
  const std::size_t length = size * count;
  state->lastActivity = state->clock.Now();
  try {
    OnHeaderLine(*state, std::string_view(data, length));
  } catch (const std::bad_alloc&) {
    state->outOfMemory = true;
    return 0;
  }
  // A final response that announces a body past the ceiling is refused before its body is read.
  // A compressed body counts here as sent: it practically never unpacks into fewer bytes.
  if (state->headersComplete && IsFinalResponse(*state)) {
    // A file is never filled with an error page.
    if (state->sink && state->status / 100 != 2) {
      state->refusedStatus = true;
      return 0;
    }
    if (DeclaresTooLargeABody(*state)) {
      state->bodyTooLarge = true;
      return 0;
    }
    if (!state->sink) ReserveAnnouncedBody(*state);
  }
  return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) noexcept {
  auto* state = static_cast<TransferState*>(user);
  const std::size_t length = size * count;
  state->lastActivity = state->clock.Now();
  // A body can stream forever; stop at the ceiling. Counted after decompression. The announced
  // length is checked again here for the responses the header check leaves alone.
  const uint64_t kept = state->sink ? state->received : state->body.size();
  if (DeclaresTooLargeABody(*state) || length > state->maxBodyBytes - kept) {
    state->bodyTooLarge = true;
    return 0;
  }
  if (state->sink) {
    if (!state->sink->Take(std::string_view(data, length))) {
      state->sinkFailed = true;
      return 0;
    }
    state->received += length;
    return length;
  }
  try {
    if (length > state->body.capacity() - state->body.size()) GrowBody(*state, length);
    state->body.append(data, length);
  } catch (const std::bad_alloc&) {
    state->outOfMemory = true;
    return 0;
  }
  return length;
}

curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address) noexcept {
  static_cast<TransferState*>(user)->connecting = true;
  return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

int OnRequestReady(void* user, char*, char*, int, int) noexcept {
  auto* state = static_cast<TransferState*>(user);
  state->connecting = false;
  // A request of a redirect: no header of its answer has arrived yet.
  state->headersComplete = false;
  state->lastActivity = state->clock.Now();
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

// Sets every option of one transfer; libcurl copies the strings, but state must outlive handle.
void Configure(CURL* handle, TransferState& state, const std::string& url, const HttpCredentials& server,
               const HttpCredentials& proxy, const HttpOptions& options, curl_slist* headers) {
  // Names the program and where its publisher can be reached, as feed publishers ask of readers.
  const std::string userAgent =
      std::string(Version::kProgramName) + "/" + Version::kVersion + " (+" + Version::kHomePage + ")";
  if (headers) FEEDWRIGHT_SET_OPTION(handle, CURLOPT_HTTPHEADER, headers);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_ERRORBUFFER, state.errorBuffer);
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
  // A transfer ended while its host name is still being looked up leaves the lookup to finish on
  // its own, instead of waiting for it: closing the window must not wait for a slow name server.
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_QUICK_EXIT, 1L);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_HEADERFUNCTION, OnHeader);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_HEADERDATA, &state);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_WRITEFUNCTION, OnBody);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_WRITEDATA, &state);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_OPENSOCKETDATA, &state);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_PREREQFUNCTION, OnRequestReady);
  FEEDWRIGHT_SET_OPTION(handle, CURLOPT_PREREQDATA, &state);
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

}  // namespace

CurlTransfer::CurlTransfer(std::string url, const HttpCredentials& server, const HttpCredentials& proxy,
                           const HttpOptions& options, const Clock& clock, const std::vector<std::string>& headers)
    : url_(std::move(url)), options_(options), state_(clock), easy_(curl_easy_init()) {
  state_.maxBodyBytes = options_.maxBodyBytes;
  if (!easy_) throw ComponentError(ErrorCodes::kHttpOther, "Could not create the request: out of memory");
  for (const std::string& header : headers) {
    curl_slist* longer = curl_slist_append(headers_.get(), header.c_str());
    if (!longer) throw ComponentError(ErrorCodes::kHttpOther, "Could not create the request: out of memory");
    // The first append makes the list; later ones return the same head.
    headers_.release();
    headers_.reset(longer);
  }
  Configure(easy_.get(), state_, url_, server, proxy, options_, headers_.get());
}

void CurlTransfer::StreamInto(BodySink& sink, std::size_t maxBytes, std::chrono::milliseconds deadline) {
  state_.sink = &sink;
  state_.maxBodyBytes = maxBytes;
  options_.maxBodyBytes = maxBytes;
  options_.deadline = deadline;
  // Larger reads mean fewer calls into the sink, and fewer writes to the file. Refused, libcurl
  // keeps its own size, which costs only more calls: nothing to report.
  static_cast<void>(curl_easy_setopt(easy_.get(), CURLOPT_BUFFERSIZE, kStreamBufferBytes));
}

void CurlTransfer::Started(Clock::TimePoint now) {
  started_ = now;
  state_.lastActivity = now;
}

Clock::TimePoint CurlTransfer::Due() const {
  const Clock::TimePoint deadline = started_ + options_.deadline;
  if (state_.connecting) return deadline;
  return std::min(deadline, state_.lastActivity + options_.idleTimeout);
}

std::optional<ComponentError> CurlTransfer::Overdue(Clock::TimePoint now) const {
  if (now - started_ >= options_.deadline) {
    return ComponentError(ErrorCodes::kTimeout, "No complete answer within " + FormatDuration(options_.deadline) +
                                                    " from " + ShownAddress(url_));
  }
  if (!state_.connecting && now - state_.lastActivity >= options_.idleTimeout) {
    return ComponentError(ErrorCodes::kTimeout, "No data received for " + FormatDuration(options_.idleTimeout) +
                                                    " from " + ShownAddress(url_));
  }
  return std::nullopt;
}

void CurlTransfer::Finish(CURLcode result) {
  finished_ = true;
  if (result != CURLE_OK) {
    failure_ = TransferFailure(result, easy_.get(), state_, url_, options_);
    return;
  }
  long status = 0;
  curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &status);
  status_ = static_cast<int32_t>(status);
  // libcurl stops at the announced length and reports a shorter body itself; a streamed body
  // that still does not match what its headers announced is not the file they describe.
  if (state_.sink && !state_.chunked && !state_.encoded && state_.contentLength >= 0 &&
      state_.received != static_cast<uint64_t>(state_.contentLength)) {
    failure_ = ComponentError(ErrorCodes::kTransfer, "The server announced " + std::to_string(state_.contentLength) +
                                                         " bytes and sent " + std::to_string(state_.received) +
                                                         ": " + ShownAddress(url_));
  }
}

void CurlTransfer::Fail(const ComponentError& error) {
  finished_ = true;
  failure_ = error;
}

std::size_t CurlTransfer::HeldBytes() const noexcept {
  const std::size_t texts = url_.capacity() + state_.body.capacity() + state_.reason.capacity() +
                            state_.contentType.capacity() + state_.location.capacity();
  return sizeof(CurlTransfer) + texts + (failure_ ? sizeof(*failure_) + std::char_traits<char>::length(failure_->what()) : 0);
}

HttpResponse CurlTransfer::TakeResponse() {
  if (!finished_) {
    throw ComponentError(ErrorCodes::kHttpOther, "The download of " + ShownAddress(url_) + " ended without a result");
  }
  if (failure_) throw *failure_;
  HttpResponse response;
  response.status = status_;
  response.reason = std::move(state_.reason);
  response.contentType = std::move(state_.contentType);
  response.body = std::move(state_.body);
  response.etag = std::move(state_.etag);
  response.lastModified = std::move(state_.lastModified);
  response.retryAfter = std::move(state_.retryAfter);
  response.links = std::move(state_.links);
  char* effective = nullptr;
  if (curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
    response.finalAddress = effective;
  }
  return response;
}
