// An in-memory HttpRequest for reader tests: canned responses and a log of every call.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Component.h"
#include "ComponentRegistry.h"
#include "HttpRequest.h"

// What the fakes of one registry answer and what they were asked, shared by all of them.
struct FakeHttpScript {
  std::string body;
  int32_t status = 200;
  std::string statusText = "OK";
  // Send throws this error when its code is non-zero.
  int32_t sendErrorCode = 0;
  std::string sendErrorText;
  // One line per call, e.g. "Open GET http://x false [user] [password]", "SetCredentials [u] [p] 1", "Send".
  std::vector<std::string> calls;
};

class FakeHttpRequest : public HttpRequest {
 public:
  explicit FakeHttpRequest(std::shared_ptr<FakeHttpScript> script) : script_(std::move(script)) {}

  void Open(const std::string& method, const std::string& url, bool async) override {
    script_->calls.push_back("Open " + method + " " + url + (async ? " true" : " false"));
  }
  void Open(const std::string& method, const std::string& url, bool async, const std::string& user,
            const std::string& password) override {
    Open(method, url, async);
    script_->calls.back() += " [" + user + "] [" + password + "]";
  }
  void SetCredentials(const std::string& user, const std::string& password, int32_t flag) override {
    script_->calls.push_back("SetCredentials [" + user + "] [" + password + "] " + std::to_string(flag));
  }
  void Send() override {
    script_->calls.push_back("Send");
    if (script_->sendErrorCode != 0) throw ComponentError(script_->sendErrorCode, script_->sendErrorText);
  }
  int32_t Status() const override { return script_->status; }
  std::string StatusText() const override { return script_->statusText; }
  std::string ResponseText() const override { return script_->body; }

 private:
  std::shared_ptr<FakeHttpScript> script_;
};

inline const std::vector<std::string>& HttpClassNames() {
  static const std::vector<std::string> names = {"WinHttp.WinHttpRequest.5", "MSXML2.XMLHTTP",
                                                 "MSXML2.ServerXMLHTTP", "Microsoft.XMLHTTP"};
  return names;
}

// The standard registry with every HTTP class name answered by a fake that follows script.
inline ComponentRegistry FakeHttpRegistry(const std::shared_ptr<FakeHttpScript>& script) {
  ComponentRegistry registry = ComponentRegistry::Standard();
  for (const std::string& name : HttpClassNames()) {
    registry.Register(name, [script] { return std::make_unique<FakeHttpRequest>(script); });
  }
  return registry;
}
