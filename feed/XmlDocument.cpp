#include "XmlDocument.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <string_view>

#include "ErrorCodes.h"
#include "MarkupScanners.h"
#include "MarkupText.h"

namespace {

// Compiling a query costs more than running it on one entry, and the reader asks the same three
// relative paths of every entry, so compiled queries are kept (a handful at most).
const pugi::xpath_query& CompiledQuery(const std::string& path) {
  static thread_local std::map<std::string, pugi::xpath_query> cache;
  auto found = cache.find(path);
  if (found != cache.end()) return found->second;
  if (cache.size() >= 64) cache.clear();
  try {
    pugi::xpath_query query(path.c_str());
    return cache.emplace(path, std::move(query)).first->second;
  } catch (const pugi::xpath_exception& error) {
    throw ComponentError(ErrorCodes::kXmlQuery,
                         "Invalid path query \"" + path + "\": " + error.what());
  }
}

template <class Context>
pugi::xpath_node FirstMatch(const Context& context, const std::string& path) {
  try {
    return context.select_node(CompiledQuery(path));
  } catch (const pugi::xpath_exception& error) {
    throw ComponentError(ErrorCodes::kXmlQuery,
                         "Could not evaluate path query \"" + path + "\": " + error.what());
  } catch (const std::bad_alloc&) {
    throw ComponentError(ErrorCodes::kXmlQuery,
                         "Out of memory while evaluating path query \"" + path + "\"");
  }
}

bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// True when path is one element name as a query writes it ("title", "rdf:RDF"): ASCII name
// characters, at most one colon, inside the name. Anything else goes to the query engine.
bool IsPlainName(const std::string& path) {
  bool atStart = true;
  bool colonSeen = false;
  for (char c : path) {
    if (atStart) {
      if (!IsNameStart(c)) return false;
      atStart = false;
    } else if (c == ':' && !colonSeen) {
      colonSeen = true;
      atStart = true;
    } else if (!IsNameChar(c)) {
      return false;
    }
  }
  return !atStart;
}

// The first element named exactly name from node on among its siblings, node included.
pugi::xml_node ElementFrom(pugi::xml_node node, const char* name) {
  for (; node; node = node.next_sibling()) {
    const char* nodeName = node.name();
    if (nodeName[0] == name[0] && node.type() == pugi::node_element &&
        std::strcmp(nodeName, name) == 0) {
      return node;
    }
  }
  return {};
}

// The first child element named exactly name: what the query engine answers for a plain name,
// without evaluating a query for every field of every entry.
pugi::xml_node FirstChildElement(pugi::xml_node parent, const char* name) {
  return ElementFrom(parent.first_child(), name);
}

// The steps of a path such as "/rss/channel/item": plain names after single slashes from the
// root. Empty for any other path.
std::vector<std::string> PlainStepsFromRoot(const std::string& path) {
  std::vector<std::string> steps;
  if (path.empty() || path[0] != '/') return {};
  std::string::size_type start = 1;
  for (;;) {
    const std::string::size_type slash = path.find('/', start);
    std::string step = path.substr(start, slash == std::string::npos ? slash : slash - start);
    if (!IsPlainName(step)) return {};
    steps.push_back(std::move(step));
    if (slash == std::string::npos) return steps;
    start = slash + 1;
  }
}

// The elements that the steps reach from the document, in document order, at most limit of
// them. Depth first with one position per step, so document order comes by itself.
std::vector<XmlNode> WalkSteps(const pugi::xml_document& document,
                               const std::vector<std::string>& steps, std::size_t limit) {
  std::vector<XmlNode> found;
  if (limit == 0) return found;
  std::vector<pugi::xml_node> at(steps.size());
  std::size_t depth = 0;
  at[0] = FirstChildElement(document, steps[0].c_str());
  for (;;) {
    if (!at[depth]) {
      if (depth == 0) break;
      --depth;
      at[depth] = ElementFrom(at[depth].next_sibling(), steps[depth].c_str());
    } else if (depth + 1 == steps.size()) {
      found.emplace_back(pugi::xpath_node(at[depth]));
      if (found.size() == limit) break;
      at[depth] = ElementFrom(at[depth].next_sibling(), steps[depth].c_str());
    } else {
      ++depth;
      at[depth] = FirstChildElement(at[depth - 1], steps[depth].c_str());
    }
  }
  return found;
}

// Text and CDATA of every descendant, in document order. An element's leading text is kept on
// the element itself (see kParseOptions) and comes before its children. Iterative, so a deeply
// nested element cannot exhaust the stack.
std::string TextContent(pugi::xml_node element) {
  std::string text = element.value();
  pugi::xml_node node = element.first_child();
  while (node) {
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata ||
        node.type() == pugi::node_element) {
      text += node.value();
    }
    if (node.type() == pugi::node_element && node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node && node != element && !node.next_sibling()) node = node.parent();
    if (!node || node == element) break;
    node = node.next_sibling();
  }
  return text;
}

// Just past the first terminator from from on, or npos when the construct never ends (the parser
// then rejects the text).
std::size_t PastTerminator(const std::string& text, std::size_t from, const char* terminator) {
  const std::size_t at = text.find(terminator, from);
  return at == std::string::npos ? at : at + std::strlen(terminator);
}

// Just past the '>' that ends a tag or declaration, skipping quoted values and a declaration's
// bracketed subset; npos when it never ends. A byte at a time outside quotes (tags are short),
// a search for the closing quote inside them.
std::size_t PastTag(const std::string& text, std::size_t from) {
  std::size_t brackets = 0;
  const std::size_t size = text.size();
  for (std::size_t at = from; at < size; ++at) {
    switch (text[at]) {
      case '"':
      case '\'': {
        const std::size_t close = text.find(text[at], at + 1);
        if (close == std::string::npos) return close;
        at = close;
        break;
      }
      case '[':
        ++brackets;
        break;
      case ']':
        if (brackets > 0) --brackets;
        break;
      case '>':
        if (brackets == 0) return at + 1;
        break;
      default:
        break;
    }
  }
  return std::string::npos;
}

// Just past an element's name that starts at from: up to blank space, '/', '>' or the end.
std::size_t NameEnd(const std::string& text, std::size_t from) {
  std::size_t at = from;
  while (at < text.size()) {
    const char c = text[at];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>') break;
    ++at;
  }
  return at;
}

// What one pass over the tags finds before the parse: where to stop (npos: nowhere), the
// elements still open there, and whether elements nest past the ceiling.
struct Shape {
  std::size_t cut = std::string::npos;
  std::vector<std::string_view> open;
  bool tooDeep = false;
};

// Counts the elements each path of steps reaches and stops at the first past keep of one path.
// Only the names of the outer levels, as deep as the longest path, are kept.
Shape ScanShape(const std::string& text, const std::vector<std::vector<std::string>>& paths,
                std::size_t keep, std::size_t maxDepth) {
  Shape shape;
  std::size_t namedLevels = 0;
  for (const auto& steps : paths) namedLevels = std::max(namedLevels, steps.size());
  std::vector<std::size_t> counts(paths.size());
  std::size_t depth = 0;
  for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at)) {
    // The byte after '<' tells the construct; the longer openings are compared only then.
    const char next = at + 1 < text.size() ? text[at + 1] : '\0';
    if (next == '!' && text.compare(at, 4, "<!--") == 0) {
      at = PastTerminator(text, at + 4, "-->");
    } else if (next == '!' && text.compare(at, 9, "<![CDATA[") == 0) {
      at = PastTerminator(text, at + 9, "]]>");
    } else if (next == '?') {
      at = PastTerminator(text, at + 2, "?>");
    } else if (next == '!') {
      at = PastTag(text, at + 2);
    } else if (next == '/') {
      // A closing tag holds a name and blank space only, so its first '>' ends it.
      at = PastTerminator(text, at + 2, ">");
      if (depth > 0) --depth;
      if (shape.open.size() > depth) shape.open.pop_back();
    } else {
      const std::size_t nameEnd = NameEnd(text, at + 1);
      const std::string_view name(text.data() + at + 1, nameEnd - at - 1);
      if (depth < namedLevels) {
        for (std::size_t index = 0; index < paths.size(); ++index) {
          const std::vector<std::string>& steps = paths[index];
          if (steps.size() == depth + 1 && name == steps.back() &&
              std::equal(shape.open.begin(), shape.open.end(), steps.begin()) &&
              ++counts[index] > keep) {
            shape.cut = at;
            return shape;
          }
        }
      }
      const std::size_t start = at;
      at = PastTag(text, nameEnd);
      if (at != std::string::npos && text[at - 2] != '/' && at - 2 > start) {
        if (++depth > maxDepth) {
          shape.tooDeep = true;
          return shape;
        }
        if (depth <= namedLevels) shape.open.push_back(name);
      }
    }
    if (at == std::string::npos) break;
  }
  return shape;
}

}  // namespace

XmlNode XmlNode::SelectSingleNode(const std::string& path) const {
  if (!node_.node()) return XmlNode();
  if (IsPlainName(path)) {
    return XmlNode(pugi::xpath_node(FirstChildElement(node_.node(), path.c_str())));
  }
  return XmlNode(FirstMatch(node_.node(), path));
}

std::string XmlNode::NodeTypedValue() const {
  if (node_.attribute()) return node_.attribute().value();
  pugi::xml_node node = node_.node();
  if (!node) return {};
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return node.value();
  return TextContent(node);
}

std::string XmlNode::InnerXml() const {
  // The printer escapes text and attribute values itself; only the text kept on the element
  // (see kParseOptions) is written here.
  struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
  };
  StringWriter writer;
  const pugi::xml_node element = node_.node();
  if (element.type() != pugi::node_element) return {};
  AppendMarkupText(writer.text, element.value());
  for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
    child.print(writer, "", pugi::format_raw);
  }
  return std::move(writer.text);
}

bool XmlText::empty() const { return document_ == nullptr || !document_->document_element(); }

std::string XmlText::str() const {
  if (empty()) return {};
  std::ostringstream out;
  document_->save(out, "", pugi::format_raw);
  return out.str();
}

XmlDocument::XmlDocument() = default;

bool XmlDocument::LoadXML(const std::string& text) { return LoadXML(std::string(text)); }

bool XmlDocument::LoadXML(std::string&& text) {
  loaded_ = false;
  // The old nodes point into the old text: drop them before the text they point into.
  document_.reset();
  buffer_ = std::move(text);
  const bool bounded = entryCeiling_ != std::numeric_limits<std::size_t>::max();
  const Shape shape = ScanShape(buffer_, bounded ? entrySteps_ : std::vector<std::vector<std::string>>{},
                                bounded ? entryCeiling_ + 1 : 0, kMaxDepth);
  if (shape.tooDeep) {
    buffer_ = std::string();
    throw ComponentError(ErrorCodes::kTooDeep, "The document nests elements more than " +
                                                   std::to_string(kMaxDepth) + " levels deep");
  }
  if (shape.cut != std::string::npos) {
    std::string closing;
    for (auto name = shape.open.rbegin(); name != shape.open.rend(); ++name) {
      closing += "</" + std::string(*name) + ">";
    }
    buffer_.resize(shape.cut);
    buffer_ += closing;
    // The rest of a large body goes back now, not when the document is dropped.
    buffer_.shrink_to_fit();
  }
  // The parser writes what a reference names into the value as it is, NUL and surrogates too.
  MarkupScanners::ReplaceForbiddenCharacterReferences(buffer_);
  // The text is already UTF-8, whatever its declaration says.
  pugi::xml_parse_result result = document_.load_buffer_inplace(buffer_.data(), buffer_.size(),
                                                                kParseOptions, pugi::encoding_utf8);
  if (!result || !document_.document_element()) {
    document_.reset();
    buffer_ = std::string();
    return false;
  }
  loaded_ = true;
  return true;
}

void XmlDocument::EntryCeiling(std::vector<std::string> paths, std::size_t count) {
  entrySteps_.clear();
  for (const std::string& path : paths) {
    std::vector<std::string> steps = PlainStepsFromRoot(path);
    if (!steps.empty()) entrySteps_.push_back(std::move(steps));
  }
  entryCeiling_ = count;
}

XmlNode XmlDocument::SelectSingleNode(const std::string& path) const {
  if (!loaded_) return XmlNode();
  const std::vector<std::string> steps = PlainStepsFromRoot(path);
  if (!steps.empty()) {
    std::vector<XmlNode> found = WalkSteps(document_, steps, 1);
    return found.empty() ? XmlNode() : found.front();
  }
  return XmlNode(FirstMatch(document_, path));
}

void XmlDocument::Discard(const XmlNode& element) {
  const pugi::xml_node node = element.node_.node();
  if (!loaded_ || !node || node.type() != pugi::node_element ||
      node == document_.document_element() || node.root() != document_) {
    return;
  }
  pugi::xml_node parent = node.parent();
  for (pugi::xml_node before = node.previous_sibling();
       before && before.type() != pugi::node_element; before = node.previous_sibling()) {
    parent.remove_child(before);
  }
  // pugixml frees a subtree by recursion, a frame for every level; the load refused documents
  // nested past kMaxDepth, so that is at most a thousand small frames.
  parent.remove_child(node);
}

std::vector<XmlNode> XmlDocument::SelectNodes(const std::string& path, std::size_t limit) const {
  std::vector<XmlNode> nodes;
  if (!loaded_) return nodes;
  const std::vector<std::string> steps = PlainStepsFromRoot(path);
  if (!steps.empty()) return WalkSteps(document_, steps, limit);
  try {
    pugi::xpath_node_set found = document_.select_nodes(CompiledQuery(path));
    found.sort();
    nodes.reserve(std::min<std::size_t>(found.size(), limit));
    for (const pugi::xpath_node& node : found) {
      if (nodes.size() == limit) break;
      nodes.emplace_back(node);
    }
  } catch (const pugi::xpath_exception& error) {
    throw ComponentError(ErrorCodes::kXmlQuery,
                         "Could not evaluate path query \"" + path + "\": " + error.what());
  } catch (const std::bad_alloc&) {
    throw ComponentError(ErrorCodes::kXmlQuery,
                         "Out of memory while evaluating path query \"" + path + "\"");
  }
  return nodes;
}
