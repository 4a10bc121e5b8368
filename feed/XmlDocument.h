// The XML document component: pugixml with path queries that match names as written.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "Component.h"

// A node found by a path query. A null node is safe to use: its value is empty text and its
// queries find nothing.
class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(pugi::xpath_node node) : node_(node) {}

  bool IsNull() const { return !node_; }
  // The same node of the same document.
  bool operator==(const XmlNode& other) const { return node_ == other.node_; }

  // The first node matching a path relative to this one, or a null node. Throws ComponentError
  // when the path is not a valid query.
  XmlNode SelectSingleNode(const std::string& path) const;

  // An element's whole text content (all descendant text and CDATA, in document order), or an
  // attribute's value; empty for a null node.
  std::string NodeTypedValue() const;

  // An element's text without a copy, when the element holds text alone (the usual case for a
  // date or an address); false for anything else, whose text NodeTypedValue gives.
  bool PlainText(std::string_view& text) const {
    const pugi::xml_node node = node_.node();
    if (node_.attribute() || node.type() != pugi::node_element || node.first_child()) return false;
    text = node.value();
    return true;
  }
  // The element or document that holds this node, or a null node for the document itself.
  XmlNode Parent() const {
    const pugi::xml_node parent = node_.node().parent();
    return parent ? XmlNode(pugi::xpath_node(parent)) : XmlNode();
  }
  // An element's name as written, prefix included; "" for a null node or an attribute.
  const char* Name() const { return node_.node().name(); }
  // The value of an element's attribute of that name, or "" when it has none.
  const char* Attribute(const char* name) const { return node_.node().attribute(name).value(); }
  bool HasAttribute(const char* name) const { return !node_.node().attribute(name).empty(); }
  // Calls visit(child) for each child element, in document order.
  template <class Visit>
  void ForEachChildElement(Visit&& visit) const {
    for (pugi::xml_node child = node_.node().first_child(); child; child = child.next_sibling()) {
      if (child.type() == pugi::node_element) visit(XmlNode(pugi::xpath_node(child)));
    }
  }
  // What an element holds, written as XML text with its markup: its text and the elements
  // inside it, without its own tags. Empty for a null node or an attribute.
  std::string InnerXml() const;

 private:
  friend class XmlDocument;

  pugi::xpath_node node_;
};

// The document's text, produced only when asked for: the reader only tests it for emptiness,
// and a large feed should not be serialised for that.
class XmlText {
 public:
  explicit XmlText(const pugi::xml_document* document) : document_(document) {}
  bool empty() const;
  std::string str() const;

 private:
  const pugi::xml_document* document_;
};

class XmlDocument : public Component {
 public:
  // The parse options of every load. Whitespace-only text is kept: "<p>a</p> <p>b</p>" must read
  // "a b", not "ab". An element's leading text is stored on the element instead of in a text
  // node of its own, which saves a node per text-only element, about a third of a feed's nodes.
  // NodeTypedValue includes that text; a query's own view of it is narrower: a "text()" step does
  // not find it, and comparing an element's text in a predicate works only for an element that
  // holds text alone. The reader's queries test names, attributes and existence only.
  static constexpr unsigned kParseOptions =
      pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_embed_pcdata;

  // The deepest nesting of elements a load accepts. Feeds nest a few levels, an XHTML content a
  // few dozen; a hostile body nests hundreds of thousands, and no walk over the tree then needs
  // to be written without recursion for fear of the stack.
  static constexpr std::size_t kMaxDepth = 1000;

  XmlDocument();
  // The nodes point into the document's own buffer: a copy or a move would leave them pointing
  // into the old one.
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Parses UTF-8 text (an encoding named in the XML declaration is ignored). A character
  // reference to a character XML 1.0 does not allow reads as U+FFFD, so the values of valid
  // UTF-8 text are valid UTF-8. Returns false and leaves the document empty when the text is not
  // a document the parser accepts. Throws ComponentError (ErrorCodes::kTooDeep) when elements
  // nest deeper than kMaxDepth.
  bool LoadXML(const std::string& text);
  // The same, parsing the text where it lies: the document keeps it, so a large feed is not
  // held twice while it is parsed.
  bool LoadXML(std::string&& text);

  // Later loads keep, for each of these paths of plain child steps from the root (such as
  // "/rss/channel/item"), the first count + 1 elements it reaches: the one past count tells that
  // there are more. The text from the next such element on is not parsed, so a body of millions
  // of entries costs a tree of count entries. Elements still open there are closed. Without a
  // call, or with the largest count, everything is parsed.
  void EntryCeiling(std::vector<std::string> paths, std::size_t count);

  // The loaded document's text; empty when nothing is loaded.
  XmlText XML() const { return XmlText(loaded_ ? &document_ : nullptr); }

  // The first node matching a path, or a null node. Throws ComponentError for an invalid path.
  XmlNode SelectSingleNode(const std::string& path) const;

  // The first limit nodes matching a path, in document order (all of them by default). A path
  // of plain child steps from the root, such as "/rss/channel/item", is walked directly and
  // stops at the limit, so a document of millions of entries costs no list of them all. Throws
  // ComponentError for an invalid path.
  std::vector<XmlNode> SelectNodes(const std::string& path,
                                   std::size_t limit = std::numeric_limits<std::size_t>::max()) const;

  // Removes an element that has been read, with everything inside it and the nodes between it
  // and the element before it (the whitespace between entries). Its memory goes back to the
  // allocator, so that the texts taken from a large feed's entries reuse what their elements
  // took. Nodes found before stay valid, except those inside it; nothing happens for a null node,
  // an attribute, the document's root element or a node of another document.
  void Discard(const XmlNode& element);

 private:
  std::string buffer_;  // the loaded text; the document's names and values point into it
  pugi::xml_document document_;
  bool loaded_ = false;
  std::vector<std::vector<std::string>> entrySteps_;  // the steps of each EntryCeiling path
  std::size_t entryCeiling_ = std::numeric_limits<std::size_t>::max();
};
