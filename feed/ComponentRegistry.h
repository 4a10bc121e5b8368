// Creates platform components by class name; tests swap or refuse names to drive failure paths.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Component.h"
#include "HttpOptions.h"

class ComponentRegistry {
 public:
  using Factory = std::function<std::unique_ptr<Component>()>;

  // The registry the program uses: the four HTTP client names, "MSXML.DomDocument" and
  // "VBScript.RegExp", with the given HTTP options for every HTTP component.
  static ComponentRegistry Standard(const HttpOptions& httpOptions = {});

  // Adds or replaces the factory for a class name (names compare without regard to ASCII case).
  void Register(const std::string& className, Factory factory);

  // Forgets a class name, so that creating it fails.
  void Refuse(const std::string& className);

  // A new component, or null when the name is unknown or its factory fails.
  std::unique_ptr<Component> Create(const std::string& className) const;

 private:
  static std::string Key(const std::string& className);

  std::map<std::string, Factory> factories_;
};
