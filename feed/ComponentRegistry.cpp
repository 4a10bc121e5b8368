#include "ComponentRegistry.h"

#include <cctype>

#include "CurlHttpRequest.h"
#include "Re2RegExp.h"
#include "XmlDocument.h"

ComponentRegistry ComponentRegistry::Standard(const HttpOptions& httpOptions) {
  ComponentRegistry registry;
  // One client serves every HTTP class name; the reader still treats the first one differently.
  for (const char* name : {"WinHttp.WinHttpRequest.5", "MSXML2.XMLHTTP", "MSXML2.ServerXMLHTTP",
                           "Microsoft.XMLHTTP"}) {
    registry.Register(name, [httpOptions] { return std::make_unique<CurlHttpRequest>(httpOptions); });
  }
  registry.Register("MSXML.DomDocument", [] { return std::make_unique<XmlDocument>(); });
  registry.Register("VBScript.RegExp", [] { return std::make_unique<Re2RegExp>(); });
  return registry;
}

void ComponentRegistry::Register(const std::string& className, Factory factory) {
  factories_[Key(className)] = std::move(factory);
}

void ComponentRegistry::Refuse(const std::string& className) { factories_.erase(Key(className)); }

std::unique_ptr<Component> ComponentRegistry::Create(const std::string& className) const {
  auto found = factories_.find(Key(className));
  if (found == factories_.end()) return nullptr;
  try {
    return found->second();
  } catch (...) {
    return nullptr;
  }
}

std::string ComponentRegistry::Key(const std::string& className) {
  std::string key = className;
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}
