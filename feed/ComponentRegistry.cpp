#include "ComponentRegistry.h"


#include "AsciiCase.h"
#include "CurlHttpRequest.h"
#include "Re2RegExp.h"
#include "XmlDocument.h"

ComponentRegistry ComponentRegistry::Standard(const HttpClient& client) {
  ComponentRegistry registry;
  // One client serves every HTTP class name; the reader still treats the first one differently,
  // but tries only one of them for a feed.
  registry.RegisterShared(kHttpClassNames,
                          [client] { return std::make_unique<CurlHttpRequest>(client); });
  registry.Register("MSXML.DomDocument", [] { return std::make_unique<XmlDocument>(); });
  registry.Register("VBScript.RegExp", [] { return std::make_unique<Re2RegExp>(); });
  return registry;
}

void ComponentRegistry::Register(const std::string& className, Factory factory) {
  registrations_[Key(className)] = {std::move(factory), nextImplementation_++};
}

void ComponentRegistry::RegisterShared(const std::vector<std::string>& classNames, Factory factory) {
  const uint64_t implementation = nextImplementation_++;
  for (const std::string& className : classNames) registrations_[Key(className)] = {factory, implementation};
}

bool ComponentRegistry::SameImplementation(const std::string& first, const std::string& second) const {
  auto a = registrations_.find(Key(first));
  auto b = registrations_.find(Key(second));
  return a != registrations_.end() && b != registrations_.end() && a->second.implementation == b->second.implementation;
}

void ComponentRegistry::Refuse(const std::string& className) { registrations_.erase(Key(className)); }

std::unique_ptr<Component> ComponentRegistry::Create(const std::string& className) const {
  auto found = registrations_.find(Key(className));
  if (found == registrations_.end()) return nullptr;
  try {
    return found->second.factory();
  } catch (...) {
    return nullptr;
  }
}

std::string ComponentRegistry::Key(const std::string& className) {
  return AsciiCase::Lowered(className);
}
