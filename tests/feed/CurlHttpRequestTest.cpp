// The libcurl HTTP component against servers on loopback: well-behaved ones (cpp-httplib) and
// misbehaving ones (RawLoopbackServer).
#include "CurlHttpRequest.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ErrorCodes.h"
#include "LoopbackServer.h"
#include "RawLoopbackServer.h"

namespace {

using namespace std::chrono_literals;

const char* const kFeed = "<rss version=\"2.0\"><channel><item><title>One</title></item></channel></rss>";

// Clears the proxy variables, so that a proxy configured on the machine cannot catch loopback
// requests, and the proxy test's own setting cannot outlive it.
void ClearProxyVariables() {
  for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                           "ALL_PROXY", "NO_PROXY"}) {
    unsetenv(name);
  }
}

// Runs call and returns the ComponentError it throws; fails the test when it throws none.
template <typename Call>
ComponentError ErrorFrom(Call call) {
  try {
    call();
  } catch (const ComponentError& error) {
    return error;
  }
  ADD_FAILURE() << "expected a ComponentError";
  return ComponentError(0, "");
}

// Runs call and checks the code and text of the ComponentError it throws.
template <typename Call>
void ExpectError(Call call, int32_t code, const std::string& text) {
  const ComponentError error = ErrorFrom(call);
  EXPECT_EQ(error.Code(), code);
  EXPECT_EQ(std::string(error.what()), text);
}

std::string Gzip(const std::string& data) {
  z_stream stream{};
  // 15 + 16: the largest window, with a gzip header instead of a zlib one.
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&stream, data.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END ? out : std::string();
}

// A loopback port with nothing listening on it.
int ClosedPort() {
  LoopbackServer server;
  server.Start();
  return server.Port();
}

class CurlHttpRequestTest : public testing::Test {
 protected:
  // Short limits, so that a failing test fails fast instead of waiting 30 seconds.
  static HttpOptions FastOptions() {
    HttpOptions options;
    options.connectTimeout = 2s;
    options.idleTimeout = 2s;
    return options;
  }

  // Opens a GET of url with the WinHTTP form and sends it.
  static std::unique_ptr<CurlHttpRequest> Fetch(const std::string& url, HttpOptions options = FastOptions()) {
    auto request = std::make_unique<CurlHttpRequest>(std::move(options));
    request->Open("GET", url, false);
    request->Send();
    return request;
  }

  // Keeps the headers of the latest request; handlers call it before they answer, so the record
  // is complete once the client has the response.
  void Record(const httplib::Request& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    headers_ = request.headers;
  }
  std::optional<std::string> Header(const char* name) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = headers_.find(name);
    return found == headers_.end() ? std::nullopt : std::optional(found->second);
  }

  CurlHttpRequestTest() { ClearProxyVariables(); }
  ~CurlHttpRequestTest() override { ClearProxyVariables(); }

  LoopbackServer server_;
  std::mutex mutex_;
  httplib::Headers headers_;
};

TEST_F(CurlHttpRequestTest, StatusTextComesFromTheStatusLine) {
  const struct {
    const char* statusLine;
    int status;
    std::string text;
  } cases[] = {
      {"HTTP/1.1 200 Fine Thanks", 200, "Fine Thanks"},
      {"HTTP/1.1 404 ", 404, "Not Found"},  // no reason phrase: the standard one
      {"HTTP/1.0 503", 503, "Service Unavailable"},
      {"HTTP/1.1 299 ", 299, ""},  // no standard phrase exists
      {"HTTP/1.1 200 Gr\xFC\xDF" "e", 200, "Gr\xC3\xBC\xC3\x9F" "e"},  // 8-bit phrase made valid UTF-8
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.statusLine);
    RawLoopbackServer raw(std::string(row.statusLine) + "\r\nContent-Length: 2\r\n\r\nok", false);
    raw.Start();
    auto request = Fetch(raw.Url("/"));
    EXPECT_EQ(request->Status(), row.status);
    EXPECT_EQ(request->StatusText(), row.text);
    EXPECT_EQ(request->ResponseText(), "ok");
  }
}

// The final response's status and charset count; each hop's charset is its own.
TEST_F(CurlHttpRequestTest, RedirectsAreFollowedUpToTheLimit) {
  server_.Http().Get(R"(/hop/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
    const int left = std::stoi(request.matches[1]);
    if (left > 0) {
      response.set_redirect("/hop/" + std::to_string(left - 1), 301);
      response.set_content("<html>moved</html>", "text/html; charset=UTF-16");
    } else {
      response.status = 404;
      response.set_content("caf\xE9", "text/plain; charset=ISO-8859-1");
    }
  });
  server_.Start();
  HttpOptions options = FastOptions();
  options.maxRedirects = 3;
  auto request = Fetch(server_.Url("/hop/3"), options);
  EXPECT_EQ(request->Status(), 404);
  EXPECT_EQ(request->StatusText(), "Not Found");
  EXPECT_EQ(request->ResponseText(), "caf\xC3\xA9");
  ExpectError([&] { Fetch(server_.Url("/hop/4"), options); }, ErrorCodes::kTooManyRedirects,
              "Too many redirects (more than 3) from " + server_.Url("/hop/4"));
  // libcurl would take -1 as "follow for ever".
  options.maxRedirects = -1;
  EXPECT_EQ(ErrorFrom([&] { Fetch(server_.Url("/hop/1"), options); }).Code(), ErrorCodes::kTooManyRedirects);
}

TEST_F(CurlHttpRequestTest, CharsetOfARedirectDoesNotCarryOver) {
  RawLoopbackServer raw(
      std::vector<std::string>{
          "HTTP/1.1 302 Found\r\nLocation: /final\r\nContent-Type: text/html; charset=ISO-8859-1\r\n"
          "Content-Length: 0\r\nConnection: close\r\n\r\n",
          // No Content-Type at all: the body is judged by its own bytes.
          "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\ncaf\xC3\xA9"},
      false);
  raw.Start();
  auto request = Fetch(raw.Url("/first"));
  EXPECT_EQ(raw.Connections(), 2);
  // Decoded with the redirect's charset, the UTF-8 body would read "cafÃ©".
  EXPECT_EQ(request->ResponseText(), "caf\xC3\xA9");
}

TEST_F(CurlHttpRequestTest, RedirectLoopEndsWithError) {
  std::atomic<int> hits{0};
  server_.Http().Get("/loop", [&hits](const httplib::Request&, httplib::Response& response) {
    ++hits;
    response.set_redirect("/loop");
  });
  server_.Start();
  ExpectError([&] { Fetch(server_.Url("/loop")); }, ErrorCodes::kTooManyRedirects,
              "Too many redirects (more than 10) from " + server_.Url("/loop"));
  EXPECT_EQ(hits.load(), 11);  // the first request and ten redirects
}

TEST_F(CurlHttpRequestTest, RedirectToAnAddressThatCannotBeFetchedIsRefused) {
  const std::string notWeb = " redirects to an address that is not http or https: ";
  const std::map<std::string, std::pair<std::string, std::string>> targets = {
      {"/to-file", {"file:///etc/passwd", notWeb}},
      {"/to-ftp", {"ftp://127.0.0.1:" + std::to_string(ClosedPort()) + "/feed.xml", notWeb}},
      {"/to-dict", {"dict://127.0.0.1:" + std::to_string(ClosedPort()) + "/d:word", notWeb}},
      // libcurl cannot parse these at all and keeps the old address as its last one.
      {"/to-javascript", {"javascript:alert(1)", notWeb}},
      {"/to-data", {"data:text/plain,hi", notWeb}},
      {"/to-bad-host", {"http://a\u202Eb.example.invalid/feed", " redirects to an address that is not valid: "}},
  };
  server_.Http().Get("/to-.*", [&targets](const httplib::Request& request, httplib::Response& response) {
    response.set_redirect(targets.at(request.path).first);
  });
  server_.Start();
  for (const auto& [path, target] : targets) {
    SCOPED_TRACE(path);
    ExpectError([&] { Fetch(server_.Url(path)); }, ErrorCodes::kInvalidAddress,
                server_.Url(path) + target.second + target.first);
  }
}

TEST_F(CurlHttpRequestTest, OpenRefusesAddressesThatAreNotHttpOrHttps) {
  const std::string longAddress = "http://127.0.0.1/" + std::string(64 * 1024, 'a');
  const struct {
    std::string address;
    std::string text;
    int32_t code = ErrorCodes::kInvalidAddress;
  } cases[] = {
      {"not a url", "Not a valid web address: not a url"},
      {"http://", "Not a valid web address: http://"},
      {"ftp://example.com/feed.xml", "Only http and https addresses can be downloaded: ftp://example.com/feed.xml"},
      {"file:///etc/passwd", "Only http and https addresses can be downloaded: file:///etc/passwd"},
      {"javascript:alert(1)", "Not a valid web address: javascript:alert(1)"},
      // libcurl would read the address only up to the NUL and fetch that.
      {std::string("http://127.0.0.1/feed\0.xml", 26), "Not a valid web address: http://127.0.0.1/feed\xEF\xBF\xBD.xml"},
      {longAddress, "The address is too long (65553 bytes, at most 64 KiB): " + longAddress.substr(0, 300) + "...",
       ErrorCodes::kAddressTooLong},
      // A right-to-left override has no ASCII form; "bücher" has one (see below).
      {"http://a\u202Eb.example/feed", "The host name cannot be used: a\u202Eb.example"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.text);
    CurlHttpRequest request(FastOptions());
    ExpectError([&] { request.Open("GET", row.address, false); }, row.code, row.text);
    // A refused Open leaves nothing to send.
    EXPECT_EQ(ErrorFrom([&] { request.Send(); }).Code(), ErrorCodes::kRequestState);
  }
}

TEST_F(CurlHttpRequestTest, MembersCalledOutOfOrderFail) {
  CurlHttpRequest request(FastOptions());
  EXPECT_EQ(ErrorFrom([&] { request.Send(); }).Code(), ErrorCodes::kRequestState);
  EXPECT_EQ(ErrorFrom([&] { request.SetCredentials("u", "p", 0); }).Code(), ErrorCodes::kRequestState);
  EXPECT_EQ(ErrorFrom([&] { request.Status(); }).Code(), ErrorCodes::kRequestState);
  EXPECT_EQ(ErrorFrom([&] { request.StatusText(); }).Code(), ErrorCodes::kRequestState);
  EXPECT_EQ(ErrorFrom([&] { request.ResponseText(); }).Code(), ErrorCodes::kRequestState);
  EXPECT_EQ(ErrorFrom([&] { request.Open("POST", "http://127.0.0.1/", false); }).Code(),
            ErrorCodes::kInvalidArgument);
  EXPECT_EQ(ErrorFrom([&] { request.Open("GET", "http://127.0.0.1/", true); }).Code(),
            ErrorCodes::kInvalidArgument);
  request.Open("get", "http://127.0.0.1/", false);
  EXPECT_EQ(ErrorFrom([&] { request.SetCredentials("u", "p", 2); }).Code(), ErrorCodes::kInvalidArgument);
  EXPECT_EQ(ErrorFrom([&] { request.Status(); }).Code(), ErrorCodes::kRequestState);
}

TEST_F(CurlHttpRequestTest, CompressedBodyIsUnpackedAndTheAgentNamed) {
  std::string feed;
  for (int i = 0; i < 200; ++i) feed += "<item><title>Entry " + std::to_string(i) + "</title></item>";
  const std::string packed = Gzip(feed);
  ASSERT_LT(packed.size(), feed.size() / 4) << "the body should shrink, or this tests nothing";
  server_.Http().Get("/feed.gz", [this, &packed](const httplib::Request& request, httplib::Response& response) {
    Record(request);
    response.set_header("Content-Encoding", "gzip");
    // A type cpp-httplib does not compress on its own, so the body goes out exactly as packed.
    response.set_content(packed, "application/rss+xml");
  });
  server_.Start();
  EXPECT_EQ(Fetch(server_.Url("/feed.gz"))->ResponseText(), feed);
  EXPECT_NE(Header("Accept-Encoding").value_or("").find("gzip"), std::string::npos);
  EXPECT_EQ(Header("User-Agent"), std::optional<std::string>("Feedwright/0.1.0"));
}

// The ceiling counts unpacked bytes (a small gzip bomb) and lets a body of exactly its size pass;
// a final response that announces more is refused before its body comes, a redirect is not.
TEST_F(CurlHttpRequestTest, BodyCeilingEndsTheRequest) {
  const std::string packed = Gzip(std::string(100 * 1024, 'a'));
  ASSERT_LT(packed.size(), 1024u);
  server_.Http().Get("/bomb.gz", [&packed](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Encoding", "gzip");
    response.set_content(packed, "application/rss+xml");
  });
  server_.Http().Get(R"(/bytes/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
    response.set_content(std::string(std::stoul(request.matches[1]), 'x'), "application/octet-stream");
  });
  server_.Start();
  HttpOptions options = FastOptions();
  options.maxBodyBytes = 10 * 1024;
  ExpectError([&] { Fetch(server_.Url("/bomb.gz"), options); }, ErrorCodes::kBodyTooLarge,
              "The response is larger than 10 KiB: " + server_.Url("/bomb.gz"));

  options.maxBodyBytes = 1000;
  EXPECT_EQ(Fetch(server_.Url("/bytes/1000"), options)->ResponseText().size(), 1000u);
  ExpectError([&] { Fetch(server_.Url("/bytes/1001"), options); }, ErrorCodes::kBodyTooLarge,
              "The response is larger than 1000 bytes: " + server_.Url("/bytes/1001"));

  // Held open without a body byte: only the announcement can end it before the idle limit.
  RawLoopbackServer announced("HTTP/1.1 200 OK\r\nContent-Length: 1001\r\n\r\n", true);
  announced.Start();
  ExpectError([&] { Fetch(announced.Url("/feed"), options); }, ErrorCodes::kBodyTooLarge,
              "The response is larger than 1000 bytes: " + announced.Url("/feed"));
  RawLoopbackServer redirected(
      std::vector<std::string>{"HTTP/1.1 302 Found\r\nLocation: /final\r\nContent-Length: 5000\r\n"
                               "Connection: close\r\n\r\n" + std::string(5000, 'x'),
                               "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok"},
      false);
  redirected.Start();
  EXPECT_EQ(Fetch(redirected.Url("/first"), options)->ResponseText(), "ok");
  // The body is received into room made for the length announced; bytes past it are no part of it.
  RawLoopbackServer longer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nokEXTRA", false);
  longer.Start();
  EXPECT_EQ(Fetch(longer.Url("/feed"), options)->ResponseText(), "ok");
}

TEST_F(CurlHttpRequestTest, ServerSilentBeforeOrDuringTheBodyTimesOut) {
  for (const char* reply : {"", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<rss><channel>"}) {
    SCOPED_TRACE(reply);
    RawLoopbackServer silent(reply, true);
    silent.Start();
    HttpOptions options = FastOptions();
    options.idleTimeout = 300ms;
    const auto start = std::chrono::steady_clock::now();
    ExpectError([&] { Fetch(silent.Url("/feed"), options); }, ErrorCodes::kTimeout,
                "No data received for 0.3 seconds from " + silent.Url("/feed"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the idle limit did not end the request";
  }
}

// A drip of one byte every 50 ms never lets the idle limit run out, and a TLS handshake that never
// ends is no idle wait at all; the deadline ends both. Waiting to connect past the idle limit does
// not make the wait hook run more often.
TEST_F(CurlHttpRequestTest, NoDownloadOutlivesItsDeadline) {
  std::atomic<bool> stopDrip{false};
  server_.Http().Get("/drip", [&stopDrip](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("application/rss+xml", [&stopDrip](size_t, httplib::DataSink& sink) {
      std::this_thread::sleep_for(50ms);
      return !stopDrip && sink.write("<", 1);
    });
  });
  server_.Start();
  RawLoopbackServer silent("", true);
  silent.Start();
  for (const std::string& url : {server_.Url("/drip"), "https://127.0.0.1:" + std::to_string(silent.Port()) + "/"}) {
    SCOPED_TRACE(url);
    HttpOptions options = FastOptions();
    options.idleTimeout = 300ms;
    options.deadline = 1s;
    int calls = 0;
    options.waitHook = [&calls] { return ++calls > 0; };
    const auto start = std::chrono::steady_clock::now();
    ExpectError([&] { Fetch(url, options); }, ErrorCodes::kTimeout, "No complete answer within 1 second from " + url);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, 5s) << "the deadline did not end the request";
    EXPECT_LE(calls, elapsed / 25ms + 1);
  }
  stopDrip = true;
  server_.Stop();
}

TEST_F(CurlHttpRequestTest, BrokenAnswersFailAsTransferErrors) {
  std::string garbage;
  for (int value = 255; value >= 0; --value) garbage += static_cast<char>(value);
  std::string manyHeaders = "HTTP/1.1 200 OK\r\n";
  for (int line = 0; line < 400; ++line) manyHeaders += "X-Filler: " + std::string(1000, 'h') + "\r\n";
  const struct {
    const char* name;
    std::string reply;
    std::string text;
    int32_t code = ErrorCodes::kTransfer;
  } cases[] = {
      {"closed mid-body", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<rss><channel>",
       "The connection closed before the whole response arrived from "},
      {"closed without answer", "", "The server closed the connection without answering: "},
      {"binary garbage instead of HTTP", garbage, "The server's answer is not valid HTTP: "},
      // libcurl reports both as failures of its own, out of memory and a broken connection.
      {"header line of 1 MiB", "HTTP/1.1 200 OK\r\nX-Long: " + std::string(1 << 20, 'h') + "\r\n\r\n",
       "The server sent a header line longer than 100 KiB: ", ErrorCodes::kHeaderTooLarge},
      {"400 KB of headers", manyHeaders + "\r\n", "The server sent more than 300 KiB of response headers: ",
       ErrorCodes::kHeaderTooLarge},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    RawLoopbackServer raw(row.reply, false);
    raw.Start();
    ExpectError([&] { Fetch(raw.Url("/feed")); }, row.code, row.text + raw.Url("/feed"));
  }
}

TEST_F(CurlHttpRequestTest, UnreachableServersFailInWords) {
  const std::string port = std::to_string(ClosedPort());
  const struct {
    std::string url;
    int32_t code;
    std::string text;
  } cases[] = {
      // Names under .invalid never resolve, and the resolver knows it without asking the network.
      {"http://news.example.invalid/feed.xml", ErrorCodes::kResolveHost,
       "Could not resolve host: news.example.invalid"},
      {"http://127.0.0.1:" + port + "/feed", ErrorCodes::kConnect, "Connection refused: 127.0.0.1 port " + port},
      // An international name is looked up in its ASCII form, whatever the program's locale.
      {"http://b\xC3\xBC" "cher.example.invalid/", ErrorCodes::kResolveHost,
       "Could not resolve host: b\xC3\xBC" "cher.example.invalid"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.url);
    ExpectError([&] { Fetch(row.url); }, row.code, row.text);
  }
}

TEST_F(CurlHttpRequestTest, WaitHookRunsWhileTheServerIsSlow) {
  server_.Http().Get("/slow", [](const httplib::Request&, httplib::Response& response) {
    std::this_thread::sleep_for(300ms);
    response.set_content(kFeed, "application/rss+xml");
  });
  server_.Start();
  int calls = 0;
  HttpOptions options = FastOptions();
  options.waitHook = [&calls] { return ++calls > 0; };
  EXPECT_EQ(Fetch(server_.Url("/slow"), options)->ResponseText(), kFeed);
  // 300 ms at one call every 25 ms or so; a loose bound, as the machine may be busy.
  EXPECT_GE(calls, 3);
}

TEST_F(CurlHttpRequestTest, WaitHookAnsweringFalseAbandonsTheRequest) {
  RawLoopbackServer silent("", true);
  silent.Start();
  int calls = 0;
  HttpOptions options = FastOptions();
  options.idleTimeout = 10s;
  options.waitHook = [&calls] { return ++calls < 4; };
  ExpectError([&] { Fetch(silent.Url("/feed"), options); }, ErrorCodes::kRequestAbandoned,
              "The download of " + silent.Url("/feed") + " was abandoned");
  EXPECT_EQ(calls, 4);
}

// The server asks for Basic credentials the way real servers do: a 401 with a challenge first.
TEST_F(CurlHttpRequestTest, BasicCredentialsArriveWithEitherOpenForm) {
  server_.Http().Get("/private", [this](const httplib::Request& request, httplib::Response& response) {
    Record(request);
    if (!request.has_header("Authorization")) {
      response.status = 401;
      response.set_header("WWW-Authenticate", "Basic realm=\"feeds\"");
      return;
    }
    response.set_content(kFeed, "application/rss+xml");
  });
  server_.Start();
  const struct {
    const char* user;
    const char* password;
    std::optional<std::string> header;
  } cases[] = {
      {"user", "secret", "Basic dXNlcjpzZWNyZXQ="},
      {"", "secret", "Basic OnNlY3JldA=="},  // only both empty means none
      {"user", "", "Basic dXNlcjo="},
      {"", "", std::nullopt},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(std::string(row.user) + ":" + row.password);
    for (bool winHttpForm : {true, false}) {
      CurlHttpRequest request(FastOptions());
      if (winHttpForm) {
        request.Open("GET", server_.Url("/private"), false);
        if (row.header) request.SetCredentials(row.user, row.password, 0);
      } else {
        request.Open("GET", server_.Url("/private"), false, row.user, row.password);
      }
      request.Send();
      EXPECT_EQ(request.Status(), row.header ? 200 : 401);
      EXPECT_EQ(request.StatusText(), row.header ? "OK" : "Unauthorized");
      EXPECT_EQ(Header("Authorization"), row.header);
    }
  }
}

TEST_F(CurlHttpRequestTest, ProxyFromTheEnvironmentGetsTheProxyCredentials) {
  // The loopback server plays the proxy: it receives the full address and wants credentials.
  std::vector<std::string> targets;
  server_.Http().Get(".*", [this, &targets](const httplib::Request& request, httplib::Response& response) {
    if (!request.has_header("Proxy-Authorization")) {
      response.status = 407;
      response.set_header("Proxy-Authenticate", "Basic realm=\"proxy\"");
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    targets.push_back(request.path);
    response.set_content(request.get_header_value("Proxy-Authorization"), "text/plain");
  });
  server_.Start();
  setenv("http_proxy", server_.Url("").c_str(), 1);
  CurlHttpRequest request(FastOptions());
  request.Open("GET", "http://feed.example.invalid/rss.xml", false);
  request.SetCredentials("proxyuser", "proxypass", 1);
  request.Send();
  EXPECT_EQ(request.Status(), 200);
  EXPECT_EQ(request.ResponseText(), "Basic cHJveHl1c2VyOnByb3h5cGFzcw==");
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_EQ(targets, std::vector<std::string>{"http://feed.example.invalid/rss.xml"});
}

}  // namespace
