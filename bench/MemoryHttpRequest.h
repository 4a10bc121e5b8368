// An HTTP component that answers from memory, so the benchmark runs the reader's real parse path
// (cleaning, loading, item extraction, markup stripping) without a network.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "ComponentRegistry.h"
#include "HttpRequest.h"

// The body the next request answers with. Like a real client, each request owns the body it
// received; the benchmark fills the slot before each ReadFeed and the request takes it over.
class ResponseSlot {
 public:
  void Fill(std::string body) { body_ = std::move(body); }
  std::string Take() { return std::exchange(body_, std::string()); }

 private:
  std::string body_;
};

class MemoryHttpRequest : public HttpRequest {
 public:
  explicit MemoryHttpRequest(std::string body) : body_(std::move(body)) {}

  void Open(const std::string&, const std::string&, bool) override {}
  void Open(const std::string&, const std::string&, bool, const std::string&,
            const std::string&) override {}
  void SetCredentials(const std::string&, const std::string&, int32_t) override {}
  void Send() override {}
  int32_t Status() const override { return 200; }
  std::string StatusText() const override { return "OK"; }
  std::string ResponseText() const override { return body_; }
  // Handed over without a copy, as the real client hands over the text it received.
  std::string TakeResponseText() override { return std::exchange(body_, std::string()); }

 private:
  std::string body_;
};

// The standard registry with every HTTP class name answered from the slot.
inline ComponentRegistry MemoryRegistry(const std::shared_ptr<ResponseSlot>& slot) {
  ComponentRegistry registry = ComponentRegistry::Standard();
  for (const char* name : {"WinHttp.WinHttpRequest.5", "MSXML2.XMLHTTP", "MSXML2.ServerXMLHTTP",
                           "Microsoft.XMLHTTP"}) {
    registry.Register(name, [slot] { return std::make_unique<MemoryHttpRequest>(slot->Take()); });
  }
  return registry;
}
