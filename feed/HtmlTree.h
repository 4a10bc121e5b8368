// Markup parsed as a browser parses it (gumbo, the HTML5 parsing rules), for the outputs that
// rewrite a feed's markup (the sanitised HTML page and the Markdown file) and for the head of a
// page that announces its feeds.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <gumbo.h>

class HtmlTree {
 public:
  // Parses html as the body of a page: text, an element or a broken fragment all give a tree.
  // Elements nested more than a few hundred deep are left out, their text kept.
  explicit HtmlTree(std::string_view html);
  ~HtmlTree();
  HtmlTree(const HtmlTree&) = delete;
  HtmlTree& operator=(const HtmlTree&) = delete;

  // The element whose children are the fragment's nodes; never null.
  const GumboNode& Body() const { return *body_; }
  // The head element of a whole page; null when the parser made none.
  const GumboNode* Head() const { return head_; }

 private:
  struct Arena;

  std::unique_ptr<Arena> arena_;
  // What was parsed; the tree points into it.
  std::string html_;
  GumboOutput* output_ = nullptr;
  const GumboNode* body_ = nullptr;
  const GumboNode* head_ = nullptr;
};

// The children of node (an element or the document), or none for text.
const GumboVector& ChildrenOf(const GumboNode& node);

// The value of the attribute name on element, or null when it has none.
const char* AttributeOf(const GumboElement& element, const char* name);
