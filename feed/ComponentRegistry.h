// Creates platform components by class name; tests swap or refuse names to drive failure paths.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Component.h"
#include "HttpClient.h"

// The HTTP class names, in the order FeedReader tries them.
inline const std::vector<std::string> kHttpClassNames = {"WinHttp.WinHttpRequest.5", "MSXML2.XMLHTTP",
                                                         "MSXML2.ServerXMLHTTP", "Microsoft.XMLHTTP"};

class ComponentRegistry {
 public:
  using Factory = std::function<std::unique_ptr<Component>()>;

  // The registry the program uses: the four HTTP client names as one implementation,
  // "MSXML.DomDocument" and "VBScript.RegExp", every HTTP component fetching through client.
  static ComponentRegistry Standard(const HttpClient& client = HttpClient());

  // Adds or replaces the factory for a class name (names compare without regard to ASCII case).
  // Each call registers an implementation of its own.
  void Register(const std::string& className, Factory factory);

  // Adds or replaces the factory for several class names that are one implementation: a
  // component of one of them would send the same request and get the same answer as another.
  void RegisterShared(const std::vector<std::string>& classNames, Factory factory);

  // True when both names are registered and served by one implementation.
  bool SameImplementation(const std::string& first, const std::string& second) const;

  // Forgets a class name, so that creating it fails.
  void Refuse(const std::string& className);

  // A new component, or null when the name is unknown or its factory fails.
  std::unique_ptr<Component> Create(const std::string& className) const;

 private:
  struct Registration {
    Factory factory;
    uint64_t implementation = 0;
  };

  static std::string Key(const std::string& className);

  std::map<std::string, Registration> registrations_;
  uint64_t nextImplementation_ = 1;
};
