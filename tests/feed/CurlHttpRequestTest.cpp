// The libcurl HTTP component, one case per way a download ends, and its download pool, against
// servers on loopback. An outcome is "status reason|body", or "number text" for a failure.
#include "CurlHttpRequest.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FakeClock.h"
#include "LoopbackServer.h"
#include "RawLoopbackServer.h"

namespace {

using namespace std::chrono_literals;

// Short limits, so that a failing test fails fast instead of waiting 30 seconds.
HttpOptions FastOptions() {
  HttpOptions options;
  options.connectTimeout = 2s;
  options.idleTimeout = 2s;
  return options;
}

// What a GET of url (opened in the WinHTTP form) ends with.
std::string Outcome(const std::string& url, const HttpOptions& options = FastOptions(),
                    const HttpClient::WaitHook& waitHook = {}, const Clock& clock = Clock::Steady()) {
  try {
    CurlHttpRequest request(HttpClient(options, waitHook, clock));
    request.Open("GET", url, false);
    request.Send();
    return std::to_string(request.Status()) + " " + request.StatusText() + "|" + request.ResponseText();
  } catch (const ComponentError& error) {
    return std::to_string(error.Code()) + " " + error.what();
  }
}

// A whole response with its length; each header ends with "\r\n".
std::string Reply(const std::string& statusLine, const std::string& body, const std::string& headers = "") {
  return statusLine + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

std::string Redirect(const std::string& location, const std::string& headers = "", const std::string& body = "") {
  return Reply("HTTP/1.1 302 Found", body, "Location: " + location + "\r\n" + headers);
}

// data in the zlib format, as a server sends it with "Content-Encoding: deflate".
std::string Deflate(const std::string& data) {
  uLongf size = compressBound(data.size());
  std::string packed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
            data.size(), 9);
  packed.resize(size);
  return packed;
}

class CurlHttpRequestTest : public testing::Test {
 protected:
  // No proxy configured on the machine may catch loopback requests.
  CurlHttpRequestTest() {
    for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"}) {
      unsetenv(name);
    }
  }
  ~CurlHttpRequestTest() override { unsetenv("http_proxy"); }  // which the proxy test sets

  LoopbackServer server_;
};

// Answers a proper server never gives, each read as it comes or refused in words; the body
// ceiling is 1000 bytes and the idle limit half a second here. "%" stands for the address.
TEST_F(CurlHttpRequestTest, EachAnswerIsReadOrRefusedInWords) {
  const std::string deflate = "Content-Encoding: deflate\r\n";
  const std::string feed = "<rss>" + std::string(1000, 'a') + "</rss>";
  std::string manyHeaders = "HTTP/1.1 200 OK\r\n";
  for (int line = 0; line < 400; ++line) manyHeaders += "X-Filler: " + std::string(1000, 'h') + "\r\n";
  const std::string notWeb = "1001 % redirects to an address that is not http or https: ";
  struct Row { const char* name; std::vector<std::string> replies; std::string outcome; bool holdOpen = false; };
  const Row rows[] = {
      {"reason phrase", {Reply("HTTP/1.1 200 Fine Thanks", "ok")}, "200 Fine Thanks|ok"},
      {"no reason phrase: the standard one", {Reply("HTTP/1.1 428 ", "ok")}, "428 Precondition Required|ok"},
      {"nothing after the code", {Reply("HTTP/1.0 503", "ok")}, "503 Service Unavailable|ok"},
      {"no standard phrase either", {Reply("HTTP/1.1 299 ", "ok")}, "299 |ok"},
      {"8-bit phrase made UTF-8", {Reply("HTTP/1.1 200 Gr\xFC\xDF" "e", "ok")}, "200 Gr\xC3\xBC\xC3\x9F" "e|ok"},
      // Without a Content-Type of its own the final body is judged by its bytes, not by the
      // redirect's charset; nor does the redirect's body count against the ceiling.
      {"redirect with a charset and a large body",
       {Redirect("/final", "Content-Type: text/html; charset=ISO-8859-1\r\n", std::string(5000, 'x')),
        Reply("HTTP/1.1 200 OK", "caf\xC3\xA9")},
       "200 OK|caf\xC3\xA9"},
      {"compressed body", {Reply("HTTP/1.1 200 OK", Deflate(feed.substr(0, 995)), deflate)},
       "200 OK|" + feed.substr(0, 995)},
      // The packed size it announces passes the ceiling; the unpacked bytes count (a small bomb).
      {"compressed body past the ceiling", {Reply("HTTP/1.1 200 OK", Deflate(feed), deflate)},
       "1006 The response is larger than 1000 bytes: %"},
      {"interim answer first", {"HTTP/1.1 103 Early Hints\r\nContent-Length: 5000\r\n\r\n" + Reply("HTTP/1.1 200 OK", "ok")},
       "200 OK|ok"},
      {"body of exactly the ceiling", {Reply("HTTP/1.1 200 OK", feed.substr(0, 1000))},
       "200 OK|" + feed.substr(0, 1000)},
      // Held open without a body byte: only the announcement can end it before the idle limit.
      {"more announced than the ceiling", {"HTTP/1.1 200 OK\r\nContent-Length: 1001\r\n\r\n"},
       "1006 The response is larger than 1000 bytes: %", true},
      {"silent after the headers", {"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n<rss>"},
       "1004 No data received for 0.5 seconds from %", true},
      {"closed mid-body", {"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n<rss>"},
       "1007 The connection closed before the whole response arrived from %"},
      {"closed without an answer", {""}, "1007 The server closed the connection without answering: %"},
      {"binary instead of HTTP", {"\x16\x03\x01\x02\x00\r\n\r\n"}, "1007 The server's answer is not valid HTTP: %"},
      // libcurl reports both as failures of its own, out of memory and a broken connection.
      {"header line of 1 MiB", {"HTTP/1.1 200 OK\r\nX-Long: " + std::string(1 << 20, 'h') + "\r\n\r\n"},
       "1012 The server sent a header line longer than 100 KiB: %"},
      {"400 KB of headers", {manyHeaders + "\r\n"}, "1012 The server sent more than 300 KiB of response headers: %"},
      {"redirect to a file", {Redirect("file:///etc/passwd")}, notWeb + "file:///etc/passwd"},
      // libcurl cannot even parse this one and keeps the old address as the effective one.
      {"redirect to javascript:", {Redirect("javascript:alert(1)")}, notWeb + "javascript:alert(1)"},
      {"redirect to a host without an ASCII form", {Redirect("http://a\u202Eb.example.invalid/")},
       "1001 % redirects to an address that is not valid: http://a\u202Eb.example.invalid/"},
  };
  HttpOptions options = FastOptions();
  options.idleTimeout = 500ms;
  options.maxBodyBytes = 1000;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RawLoopbackServer raw(row.replies, row.holdOpen);
    raw.Start();
    std::string expected = row.outcome;
    if (const std::size_t at = expected.find('%'); at != std::string::npos) expected.replace(at, 1, raw.Url("/feed"));
    EXPECT_EQ(Outcome(raw.Url("/feed"), options), expected);
  }
}

// The limit (ten unless set) counts the redirects followed; a negative one follows none, where
// libcurl would follow for ever.
TEST_F(CurlHttpRequestTest, RedirectsAreFollowedUpToTheLimit) {
  for (const long limit : {10L, -1L}) {
    SCOPED_TRACE(limit);
    RawLoopbackServer loop(Redirect("/loop"), false);
    loop.Start();
    HttpOptions options = FastOptions();
    if (limit < 0) options.maxRedirects = limit;
    const int followed = limit < 0 ? 0 : 10;
    EXPECT_EQ(Outcome(loop.Url("/loop"), options),
              "1005 Too many redirects (more than " + std::to_string(followed) + ") from " + loop.Url("/loop"));
    EXPECT_EQ(loop.Connections(), followed + 1);
  }
}

// Addresses that cannot be fetched, refused before anything is sent or failing to connect, each
// with its own text; members called out of order fail too.
TEST_F(CurlHttpRequestTest, UnusableAddressesAndMisuseFailInWords) {
  server_.Start();
  const std::string port = std::to_string(server_.Port());
  server_.Stop();
  const std::string longAddress = "http://127.0.0.1/" + std::string(64 * 1024, 'a');
  const std::string longLabel(64, 'n');
  const std::pair<std::string, std::string> rows[] = {
      {"not a url", "1001 Not a valid web address: not a url"},
      {"ftp://a.example/feed.xml", "1001 Only http and https addresses can be downloaded: ftp://a.example/feed.xml"},
      // libcurl would read the address only up to the NUL and fetch that.
      {std::string("http://127.0.0.1/\0.xml", 22), "1001 Not a valid web address: http://127.0.0.1/\xEF\xBF\xBD.xml"},
      {longAddress, "1013 The address is too long (65553 bytes, at most 64 KiB): " + longAddress.substr(0, 300) +
                        "..."},
      // A right-to-left override has no ASCII form.
      {"http://a\u202Eb.example/feed", "1001 The host name cannot be used: a\u202Eb.example"},
      // A label longer than 63 letters is refused by the resolver before any query is sent.
      {"http://" + longLabel + ".invalid/feed.xml", "1002 Could not resolve host: " + longLabel + ".invalid"},
      {"http://127.0.0.1:" + port + "/feed", "1003 Connection refused: 127.0.0.1 port " + port},
  };
  for (const auto& [address, outcome] : rows) {
    SCOPED_TRACE(outcome);
    EXPECT_EQ(Outcome(address), outcome);
  }
  const auto code = [](auto call) {
    try {
      call();
    } catch (const ComponentError& error) {
      return error.Code();
    }
    return 0;
  };
  CurlHttpRequest request{HttpClient(FastOptions())};
  EXPECT_EQ(code([&] { request.SetCredentials("u", "p", 0); }), 1010) << "before Open";
  EXPECT_EQ(code([&] { request.Open("POST", "http://127.0.0.1/", false); }), 1011);
  EXPECT_EQ(code([&] { request.Open("GET", "http://127.0.0.1/", true); }), 1011);
  request.Open("get", "http://127.0.0.1/", false);
  EXPECT_EQ(code([&] { request.SetCredentials("u", "p", 2); }), 1011);
  EXPECT_EQ(code([&] { request.Status(); }), 1010) << "before Send";
  EXPECT_EQ(code([&] { request.StatusText(); }), 1010);
  EXPECT_EQ(code([&] { request.ResponseText(); }), 1010);
  EXPECT_EQ(code([&] { request.ContentType(); }), 1010);
  EXPECT_EQ(code([&] { request.LinkHeaders(); }), 1010);
  EXPECT_EQ(code([&] { request.FinalAddress(); }), 1010);
  EXPECT_EQ(code([&] { request.Open("GET", "not a url", false); }), 1001);
  EXPECT_EQ(code([&] { request.Send(); }), 1010) << "a refused Open forgets the one before";
}

// A drip of one byte every 50 ms never lets the idle limit run out, and a TLS handshake that never
// ends is no idle wait; the deadline ends both. The wait hook runs at most every 25 ms, and
// answering false it abandons the request.
TEST_F(CurlHttpRequestTest, NoDownloadOutlivesItsDeadlineOrTheWaitHook) {
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
  // hookCalls: how many calls the hook answers true before it answers false; 0 for always true.
  const struct { std::string url; int hookCalls; std::string outcome; } rows[] = {
      {server_.Url("/drip"), 0, "1004 No complete answer within 1 second from "},
      {"https://127.0.0.1:" + std::to_string(silent.Port()) + "/", 0, "1004 No complete answer within 1 second from "},
      {silent.Url("/feed"), 3, "1009 The download of "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.url);
    HttpOptions options = FastOptions();
    // Longer limits where the hook is to end the request first, however busy the machine.
    options.idleTimeout = row.hookCalls ? 10000ms : 300ms;
    options.deadline = row.hookCalls ? 10s : 1s;
    int calls = 0;
    const auto hook = [&] { return ++calls <= row.hookCalls || row.hookCalls == 0; };
    // Time moves 5 ms each time the download reads it, a few times per round of waiting.
    const FakeClock clock(5ms);
    const Clock::TimePoint start = clock.Now();
    EXPECT_EQ(Outcome(row.url, options, hook, clock), row.outcome + row.url + (row.hookCalls ? " was abandoned" : ""));
    EXPECT_LE(calls, (clock.Now() - start) / 25ms + 1);
    EXPECT_TRUE(row.hookCalls == 0 || calls == row.hookCalls + 1) << calls << " calls";
  }
  stopDrip = true;
  server_.Stop();
}

// The server asks for Basic credentials as real servers and proxies do, with a 401 or 407 first (its page larger
// than the ceiling, which counts for the answer to the credentials only), then answers with those it got (and the
// agent, unless ours: name, version and home page). As the proxy of the environment it receives the whole address,
// an international host name in its ASCII form whatever the program's locale. Only both empty means no credentials.
TEST_F(CurlHttpRequestTest, CredentialsReachTheServerAndTheProxy) {
  const std::string challengePage(1500, '-');
  server_.Http().Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
    const bool proxied = request.path == "http://xn--bcher-kva.example.invalid/rss.xml";
    const char* header = proxied ? "Proxy-Authorization" : "Authorization";
    if (!request.has_header(header)) {
      response.status = proxied ? 407 : 401;
      response.set_header(proxied ? "Proxy-Authenticate" : "WWW-Authenticate", "Basic realm=\"feeds\"");
      response.set_content(challengePage, "application/octet-stream");  // which is sent unpacked
      return;
    }
    const std::string agent = request.get_header_value("User-Agent");
    response.set_content(request.get_header_value(header) + (agent == "Feedwright/0.1.0 (+https://www.feedwright.example/)" ? "" : " " + agent),
                         "text/plain");
  });
  server_.Start();
  // flag: SetCredentials's, 1 for the proxy; -1 to give the credentials to Open instead.
  const struct { const char *user, *password; int32_t flag; std::string outcome; } rows[] = {
      {"", "secret", 0, "200 OK|Basic OnNlY3JldA=="},
      {"user", "secret", -1, "200 OK|Basic dXNlcjpzZWNyZXQ="},
      {"", "", -1, "401 Unauthorized|" + challengePage},
      {"proxyuser", "proxypass", 1, "200 OK|Basic cHJveHl1c2VyOnByb3h5cGFzcw=="},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.outcome);
    if (row.flag == 1) setenv("http_proxy", server_.Url("").c_str(), 1);
    HttpOptions options = FastOptions();
    if (*row.password) options.maxBodyBytes = 1000;
    CurlHttpRequest request{HttpClient(options)};
    request.Open("GET", row.flag == 1 ? "http://b\xC3\xBC" "cher.example.invalid/rss.xml" : server_.Url("/private"), false,
                 row.flag < 0 ? row.user : "", row.flag < 0 ? row.password : "");
    if (row.flag >= 0) request.SetCredentials(row.user, row.password, row.flag);
    request.Send();
    EXPECT_EQ(std::to_string(request.Status()) + " " + request.StatusText() + "|" + request.ResponseText(),
              row.outcome);
  }
}

// "localhost" and "127.0.0.1" are two hosts to the pool and one server here, which answers with
// the path and counts the requests it holds at once, for each host and for all.
TEST(DownloadPool, FetchTakesItsPrefetchAndTransfersRunWithinTheLimits) {
  std::mutex mutex;
  std::map<std::string, int> now, most;
  LoopbackServer server;
  server.Http().Get(R"(/(\w+))", [&](const httplib::Request& request, httplib::Response& response) {
    const std::string keys[] = {request.get_header_value("Host"), "all"};
    for (const std::string& key : keys) {
      std::lock_guard<std::mutex> lock(mutex);
      most[key] = std::max(most[key], ++now[key]);
    }
    std::this_thread::sleep_for(200ms);
    std::lock_guard<std::mutex> lock(mutex);
    for (const std::string& key : keys) --now[key];
    response.set_content(request.matches[1].str(), "text/plain");
  });
  server.Start();
  const std::string port = std::to_string(server.Port());
  const auto url = [&](const char* host, const char* path) { return "http://" + (host + (":" + port)) + path; };
  DownloadPool pool(HttpOptions{}, {3, 2});
  for (const char* path : {"/a", "/b", "/a", "/c"}) EXPECT_TRUE(pool.Prefetch(url("127.0.0.1", path)));
  for (const char* path : {"/d", "/e", "/f"}) EXPECT_TRUE(pool.Prefetch(url("localhost", path)));
  EXPECT_FALSE(pool.Prefetch("not an address"));
  ASSERT_EQ(pool.Prefetched(), 7u);
  EXPECT_EQ(pool.Fetch(url("127.0.0.1", "/a"), {}, {}, nullptr).body, "a");
  EXPECT_EQ(pool.Prefetched(), 6u);
  // With credentials it is another request, which no prefetch answers.
  EXPECT_EQ(pool.Fetch(url("127.0.0.1", "/c"), {"user", "secret"}, {}, nullptr).body, "c");
  EXPECT_EQ(pool.Prefetched(), 6u);
  // Fetching c passes b and the second a by.
  EXPECT_EQ(pool.Fetch(url("127.0.0.1", "/c"), {}, {}, nullptr).body, "c");
  EXPECT_EQ(pool.Prefetched(), 3u);
  for (const char* path : {"/d", "/e", "/f"}) {
    EXPECT_EQ(pool.Fetch(url("localhost", path), {}, {}, nullptr).body, path + 1);
  }
  EXPECT_EQ(pool.Transfers(), 0u);
  EXPECT_EQ(pool.BusyHosts(), 0u) << "a host stays counted after its last transfer";
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_GE(most["all"], 2) << "downloads run side by side";
  EXPECT_LE(most["all"], 3);
  EXPECT_LE(most["localhost:" + port], 2);
  EXPECT_LE(most["127.0.0.1:" + port], 2);
}

}  // namespace
