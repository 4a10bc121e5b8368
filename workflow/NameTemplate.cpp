#include "NameTemplate.h"

#include <cstdio>

#include "AsciiCase.h"
#include "Utf8.h"

namespace {

constexpr std::size_t kMaxSlugBytes = 60;

// Whether a character of another script may stand in a name: not a C1 control, an invisible
// format or direction mark, a line or paragraph separator, nor a replacement character.
bool IsNameCharacter(std::string_view character) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(character[i]); };
  if (character.size() == 2) return !(byte(0) == 0xC2 && byte(1) < 0xA0);
  if (character.size() == 3 && byte(0) == 0xE2 && byte(1) == 0x80) return byte(2) < 0x8B || byte(2) > 0xAF;
  if (character.size() == 3 && byte(0) == 0xE2 && byte(1) == 0x81) return byte(2) < 0xA0;
  if (character == "\xEF\xBB\xBF" || character == "\xEF\xBF\xBD") return false;
  return true;
}

// Only the characters a name may hold: the stem is made of them already; a host keeps
// letters, digits, dots and hyphens.
std::string HostPart(std::string_view host) {
  std::string out;
  for (char c : host) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-') out += c;
  }
  return out.find_first_not_of('.') == std::string::npos ? std::string() : out;
}

std::string ShortHash(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return std::string(hex, 10);
}

std::string DatePart(std::string_view date) {
  if (date.size() < 10) return "undated";
  for (std::size_t i = 0; i < 10; ++i) {
    const bool dash = i == 4 || i == 7;
    if (dash ? date[i] != '-' : !(date[i] >= '0' && date[i] <= '9')) return "undated";
  }
  return std::string(date.substr(0, 10));
}

}  // namespace

std::string TitleSlug(std::string_view title) {
  std::string slug;
  bool hyphen = false;
  for (std::size_t at = 0; at < title.size();) {
    const Utf8::Step step = Utf8::Next(title.substr(at));
    const std::size_t length = step.valid ? step.bytes : 0;
    const std::string_view character = title.substr(at, length == 0 ? 1 : length);
    at += character.size();
    const char c = character[0];
    bool keep = false;
    std::string piece(character);
    if (length == 1) {
      keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
      piece[0] = AsciiCase::Lower(c);
    } else if (length > 1) {
      keep = IsNameCharacter(character);
    }
    if (!keep) {
      hyphen = !slug.empty();
      continue;
    }
    if (hyphen) slug += '-';
    hyphen = false;
    if (slug.size() + piece.size() > kMaxSlugBytes) break;
    slug += piece;
  }
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return slug;
}

NameTemplate::NameTemplate() {
  std::string ignored;
  *this = *Parse(kDefault, ignored);
}

std::optional<NameTemplate> NameTemplate::Parse(std::string_view text, std::string& error) {
  NameTemplate parsed{Empty{}};
  parsed.text_ = std::string(text);
  parsed.pieces_.clear();
  parsed.hasNumber_ = false;
  std::string component;
  bool componentHasField = false;
  const auto endComponent = [&]() -> bool {
    if (!componentHasField && (component.empty() || component == "." || component == "..")) {
      error = component.empty() ? "a name template cannot have an empty part: " + std::string(text)
                                : "a name template cannot have a part \"" + component + "\"";
      return false;
    }
    component.clear();
    componentHasField = false;
    return true;
  };
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '{') {
      const std::size_t close = text.find('}', at);
      const std::string_view name = close == std::string_view::npos ? text.substr(at) : text.substr(at, close - at + 1);
      static const std::pair<std::string_view, Field> kFields[] = {
          {"{stem}", Field::kStem}, {"{n}", Field::kNumber},     {"{date}", Field::kDate},
          {"{title}", Field::kTitle}, {"{host}", Field::kHost}, {"{id}", Field::kId}};
      const Field* field = nullptr;
      for (const auto& [fieldName, value] : kFields) {
        if (fieldName == name) field = &value;
      }
      if (field == nullptr) {
        error = "unknown field " + std::string(name) + " in the name template (known: {stem} {n} {date} {title} "
                "{host} {id})";
        return std::nullopt;
      }
      parsed.pieces_.push_back({*field, {}});
      if (*field == Field::kNumber) parsed.hasNumber_ = true;
      componentHasField = true;
      at = close;
    } else if (c == '}') {
      error = "a lone } in the name template";
      return std::nullopt;
    } else if (c == '/') {
      if (!endComponent()) return std::nullopt;
      parsed.pieces_.push_back({Field::kSlash, {}});
    } else if (c == '\0') {
      error = "a name template cannot hold a NUL character";
      return std::nullopt;
    } else {
      component += c;
      if (parsed.pieces_.empty() || parsed.pieces_.back().field != Field::kText) parsed.pieces_.push_back({Field::kText, {}});
      parsed.pieces_.back().text += c;
    }
  }
  if (text.empty() || !endComponent()) {
    if (text.empty()) error = "the name template is empty";
    return std::nullopt;
  }
  return parsed;
}

std::vector<std::string> NameTemplate::Expand(const NameFields& fields, int64_t number,
                                              std::string_view extension) const {
  // Each component as its parts: the ones that may be cut, and the number, which may not.
  struct Part {
    std::string text;
    bool fixed;
  };
  std::vector<std::vector<Part>> components(1);
  for (const Piece& piece : pieces_) {
    std::vector<Part>& parts = components.back();
    switch (piece.field) {
      case Field::kSlash: components.emplace_back(); break;
      case Field::kText: parts.push_back({piece.text, false}); break;
      case Field::kStem: parts.push_back({fields.stem, false}); break;
      case Field::kNumber: parts.push_back({std::to_string(number), true}); break;
      case Field::kDate: parts.push_back({DatePart(fields.date), false}); break;
      case Field::kTitle: parts.push_back({TitleSlug(fields.title), false}); break;
      case Field::kHost: parts.push_back({HostPart(fields.host), false}); break;
      case Field::kId: parts.push_back({ShortHash(fields.identity), false}); break;
    }
  }
  if (!hasNumber_ && number > 0) components.back().push_back({"-" + std::to_string(number + 1), true});
  // The extension is added after the component is made fit, so that a name of nothing gets
  // a stand-in too.
  components.back().push_back({std::string(extension), true});
  const std::size_t extensionBytes = extension.size();

  std::vector<std::string> path;
  for (std::vector<Part>& parts : components) {
    std::size_t fixedBytes = 0;
    for (const Part& part : parts) {
      if (part.fixed) fixedBytes += part.text.size();
    }
    // What may be cut is cut from the end of the component backwards.
    std::size_t room = kMaxComponentBytes > fixedBytes ? kMaxComponentBytes - fixedBytes : 0;
    std::size_t used = 0;
    std::string name;
    for (Part& part : parts) {
      if (!part.fixed) {
        part.text.resize(Utf8::CutToBytes(part.text, room > used ? room - used : 0).size());
        used += part.text.size();
      }
      name += part.text;
    }
    // Fields left empty, or only dots, must not make a name of nothing or one that climbs out.
    const bool last = &parts == &components.back();
    const std::size_t stem = last ? name.size() - extensionBytes : name.size();
    if (name.substr(0, stem).find_first_not_of('.') == std::string::npos) {
      name = std::string(Utf8::CutToBytes(std::string_view(name).substr(0, stem), kMaxComponentBytes - extensionBytes - 1)) + "_" + name.substr(stem);
    }
    path.push_back(std::move(name));
  }
  return path;
}
