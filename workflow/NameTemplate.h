// File-name templates: how the export names each file, from fields of the row such as its feed
// address, number, date and title; "/" in a template makes subfolders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a template can draw from for one row, before any is made fit for a name.
struct NameFields {
  std::string stem;      // the name made from the feed address, as without a template
  std::string date;      // the entry's date as RFC 3339 text, or empty
  std::string title;     // the entry's title
  std::string host;      // the host of the entry's link, or else of the feed address
  std::string identity;  // what identifies the entry: its id, else its link, else its texts
};

// The longest name component a Linux file system takes, in bytes.
inline constexpr std::size_t kMaxComponentBytes = 255;

class NameTemplate {
 public:
  // Today's names: the stem, then the number.
  static constexpr const char* kDefault = "{stem}{n}";

  // The default template.
  NameTemplate();

  // Reads text: literal characters, "/" between subfolders and the file name, and the fields
  // {stem}, {n}, {date} (YYYY-MM-DD, "undated" when the entry has none), {title} (a short
  // slug), {host} and {id} (a short hash of the entry's identity). Nothing, with error set,
  // for an unknown field, a lone brace, an empty component, "." or "..", or a "/" at either end.
  static std::optional<NameTemplate> Parse(std::string_view text, std::string& error);

  // The path of try number for a row, inside the output folder: the subfolders, then the file
  // name with extension. The fields never give a "/" or a name of dots. A template without
  // {n} gives the plain name on its first try (number 0) and then adds "-2", "-3", ... Every
  // component is cut to kMaxComponentBytes on a character boundary, from its fields and
  // literal text, never from the number or the extension, so every try gives a new name.
  std::vector<std::string> Expand(const NameFields& fields, int64_t number, std::string_view extension) const;

  // Whether the template holds {n}, the save's counter.
  bool HasNumber() const { return hasNumber_; }
  const std::string& Text() const { return text_; }

 private:
  enum class Field { kText, kStem, kNumber, kDate, kTitle, kHost, kId, kSlash };
  struct Piece {
    Field field;
    std::string text;
  };

  struct Empty {};
  explicit NameTemplate(Empty) {}

  std::string text_;
  std::vector<Piece> pieces_;
  bool hasNumber_ = true;
};

// title as a short file-name slug: letters and digits in lower case (other scripts kept),
// everything else as single hyphens, at most 60 bytes.
std::string TitleSlug(std::string_view title);

