// Feeds arbitrary bytes through the reader's whole text path: body decoding, document cleaning,
// XML loading, dialect detection, field extraction and markup stripping.
//
// The first byte picks the dialect passed as lType (low two bits), the response's Content-Type
// (next three bits) and whether the reader's entry ceiling is 2 (next bit); the rest is the
// response body. Seeds start with '@' for "detect, no Content-Type, the standard ceiling".
//
// Aborts when an item field is not valid UTF-8, when the reader keeps more items than its
// ceiling, or when lType comes back out of range.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ComponentRegistry.h"
#include "FeedReader.h"
#include "HttpRequest.h"
#include "TextDecoder.h"

namespace {

constexpr const char* kContentTypes[8] = {
    "",
    "text/xml",
    "application/rss+xml; charset=utf-8",
    "application/atom+xml; charset=ISO-8859-1",
    "text/xml; charset=windows-1252",
    "text/html; charset=utf-16",
    "application/xml; charset=\"UTF-16BE\"",
    "text/xml; charset=no-such-charset",
};

// Answers every request with status 200 and the fuzz body, decoded as the real client would.
class FuzzHttpRequest : public HttpRequest {
 public:
  FuzzHttpRequest(std::string_view body, std::string_view contentType)
      : body_(body), contentType_(contentType) {}

  void Open(const std::string&, const std::string&, bool) override {}
  void Open(const std::string&, const std::string&, bool, const std::string&,
            const std::string&) override {}
  void SetCredentials(const std::string&, const std::string&, int32_t) override {}
  void Send() override {}
  int32_t Status() const override { return 200; }
  std::string StatusText() const override { return "OK"; }
  std::string ResponseText() const override { return DecodeBody(body_, contentType_); }

 private:
  std::string_view body_;
  std::string_view contentType_;
};

// Reads every field so that a bad value cannot hide unread; every item field must be UTF-8.
std::size_t Touch(const FeedReader& reader) {
  std::size_t total = reader.LastErrorDesc().size() + reader.LastHTTPStatusText().size() +
                      reader.FeedTypeString().size();
  if (auto items = reader.FeedItems()) {
    if (items->size() > reader.MaxEntries()) __builtin_trap();
    for (const auto& item : *items) {
      for (const std::string* field : {&item->URL(), &item->Title(), &item->Description()}) {
        if (!IsValidUtf8(*field)) __builtin_trap();
        total += field->size();
      }
    }
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string_view contentType = kContentTypes[(selector >> 2) & 7];

  ComponentRegistry registry = ComponentRegistry::Standard();
  for (const char* name : {"WinHttp.WinHttpRequest.5", "MSXML2.XMLHTTP", "MSXML2.ServerXMLHTTP",
                           "Microsoft.XMLHTTP"}) {
    registry.Register(name, [body, contentType] {
      return std::make_unique<FuzzHttpRequest>(body, contentType);
    });
  }
  FeedReader reader(std::move(registry));
  if (selector & 0x20) reader.MaxEntries(2);

  volatile std::size_t sink = 0;
  for (bool allowHtml : {false, true}) {
    int32_t lType = selector & 3;
    reader.ReadFeed("http://fuzz.example/feed", "", "", lType, allowHtml);
    if (lType < 0 || lType > 3) __builtin_trap();
    sink = sink + Touch(reader);
  }
  return 0;
}
