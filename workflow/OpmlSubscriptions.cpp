#include "OpmlSubscriptions.h"

#include <algorithm>

#include <pugixml.hpp>

#include "MarkupScanners.h"
#include "TextDecoder.h"
#include "Utf8.h"

namespace {

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The length of the prolog item at the start of text ("<?...?>", "<!--...-->" or
// "<!DOCTYPE...>"), 0 when text ends inside it, npos when text does not start with one.
std::size_t PrologItemLength(std::string_view text) {
  struct Item {
    std::string_view open;
    std::string_view close;
  };
  static constexpr Item kItems[] = {{"<?", "?>"}, {"<!--", "-->"}};
  for (const Item& item : kItems) {
    if (!StartsWith(text, item.open)) continue;
    const std::size_t close = text.find(item.close, item.open.size());
    return close == std::string_view::npos ? 0 : close + item.close.size();
  }
  if (MarkupScanners::StartsDoctype(text, 0)) {
    const std::size_t end = MarkupScanners::DoctypeEnd(text, 0);
    return end == std::string_view::npos ? 0 : end;
  }
  return std::string_view::npos;
}

OpmlStart SniffUtf8(std::string_view text, bool whole) {
  const OpmlStart undecided = whole ? OpmlStart::kNotOpml : OpmlStart::kUndecided;
  for (;;) {
    while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
    if (text.empty()) return undecided;
    if (text.front() != '<') return OpmlStart::kNotOpml;
    const std::size_t item = PrologItemLength(text);
    if (item == 0) return undecided;
    if (item == std::string_view::npos) break;
    text.remove_prefix(item);
  }
  // The first element: "<opml" and then the end of the name.
  constexpr std::string_view kOpen = "<opml";
  if (text.size() <= kOpen.size()) {
    // "<opml" cut off by the end of the file is still an OPML document, a broken one.
    if (StartsWith(kOpen, text) && !whole) return OpmlStart::kUndecided;
    return text == kOpen ? OpmlStart::kOpml : OpmlStart::kNotOpml;
  }
  if (!StartsWith(text, kOpen)) return OpmlStart::kNotOpml;
  const char next = text[kOpen.size()];
  return (IsXmlSpace(next) || next == '>' || next == '/') ? OpmlStart::kOpml : OpmlStart::kNotOpml;
}

// The 1-based line of a byte offset into text.
std::size_t LineOf(std::string_view text, std::ptrdiff_t offset) {
  const std::size_t end = std::min(text.size(), static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, offset)));
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

// The first maxAddresses outline xmlUrls below root, in document order. Walks without
// recursion, so deeply nested outlines cannot exhaust the stack.
std::vector<std::string> CollectAddresses(const pugi::xml_node& root, std::size_t maxAddresses) {
  std::vector<std::string> addresses;
  pugi::xml_node node = root.first_child();
  while (node && addresses.size() < maxAddresses) {
    if (node.type() == pugi::node_element && std::string_view(node.name()) == "outline") {
      const pugi::xml_attribute address = node.attribute("xmlUrl");
      if (address && *address.value() != '\0') addresses.emplace_back(address.value());
    }
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node != root && !node.next_sibling()) node = node.parent();
    node = node == root ? pugi::xml_node() : node.next_sibling();
  }
  return addresses;
}

}  // namespace

OpmlStart SniffOpml(std::string_view head, bool whole) {
  // Text in UTF-16 or UTF-32 is recognised by its mark and looked at as UTF-8.
  const bool wide = StartsWith(head, "\xFE\xFF") || StartsWith(head, "\xFF\xFE") ||
                    StartsWith(head, std::string_view("\x00\x00\xFE\xFF", 4));
  if (wide) {
    std::string text = DecodeBody(head, "");
    // A character cut off at the end of the head decodes as U+FFFD; leave it to the next look.
    while (!whole && std::string_view(text).ends_with(Utf8::kReplacement)) {
      text.resize(text.size() - Utf8::kReplacement.size());
    }
    return SniffUtf8(text, whole);
  }
  if (StartsWith(head, "\xEF\xBB\xBF")) head.remove_prefix(3);
  return SniffUtf8(head, whole);
}

OpmlAddresses ReadOpmlAddresses(std::string_view bytes, std::size_t maxAddresses) {
  OpmlAddresses result;
  const std::string text = DecodeBody(bytes, "");
  pugi::xml_document document;
  const pugi::xml_parse_result parse =
      document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parse) {
    result.error = std::string(parse.description()) + " at line " +
                   std::to_string(LineOf(text, parse.offset));
    return result;
  }
  const pugi::xml_node root = document.document_element();
  if (std::string_view(root.name()) != "opml") {
    result.error = "the root element is not opml";
    return result;
  }
  result.parsed = true;
  result.addresses = CollectAddresses(root, maxAddresses);
  return result;
}
