#include "HtmlTree.h"

#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "AsciiCase.h"

// Gumbo frees its tree node by node with a recursive walk, which a deep enough document (a
// million nested elements fit in a feed's body) would run off the stack. The tree is allocated
// from blocks of its own instead and freed all at once; gumbo's frees are ignored meanwhile, so
// its growing buffers may leave at most as much again behind.
struct HtmlTree::Arena {
  static constexpr std::size_t kBlockBytes = 256 * 1024;

  std::vector<void*> blocks;
  char* next = nullptr;
  std::size_t left = 0;

  ~Arena() {
    for (void* block : blocks) std::free(block);
  }

  void* Allocate(std::size_t bytes) {
    bytes = (bytes + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);
    if (bytes > left) {
      const std::size_t size = bytes > kBlockBytes / 4 ? bytes : kBlockBytes;
      void* block = std::malloc(size);
      if (block == nullptr) throw std::bad_alloc();
      blocks.push_back(block);
      if (size != bytes) {
        next = static_cast<char*>(block);
        left = size;
      } else {
        return block;
      }
    }
    void* at = next;
    next += bytes;
    left -= bytes;
    return at;
  }

  static void* GumboAllocate(void* arena, std::size_t bytes) {
    // Gumbo cannot handle a failed allocation; running out of memory ends the program here as
    // anywhere else in it.
    try {
      return static_cast<Arena*>(arena)->Allocate(bytes);
    } catch (const std::bad_alloc&) {
      std::abort();
    }
  }
  static void GumboFree(void*, void*) {}
};

namespace {

// Elements deeper than this are left out, their text kept. Gumbo checks the open elements for
// most tags it meets, so a document nested without end would take time that grows with the
// square of its length; no real entry nests anywhere near this deep.
constexpr int kMaxNesting = 200;

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == ':';
}

// Elements that never hold others, or whose end tag the parser supplies itself: they do not
// count as nesting.
bool NestsNothing(std::string_view name) {
  static constexpr std::string_view kNames[] = {
      "area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param", "source",
      "track", "wbr", "p", "li", "dt", "dd", "option", "optgroup", "tr", "td", "th", "thead", "tbody",
      "tfoot", "caption", "colgroup", "rb", "rt", "rp", "rtc", "keygen", "image"};
  for (std::string_view known : kNames) {
    if (AsciiCase::Equal(name, known)) return true;
  }
  return false;
}

// html with the start tags past kMaxNesting and their end tags removed. The tags are found by
// a rough scan that honours quoted attribute values and comments; it only decides where the
// deepest tags are, the parser still reads whatever is left.
std::string BoundedNesting(std::string_view html) {
  std::string out;
  int depth = 0, dropped = 0;
  std::size_t at = 0;
  while (at < html.size()) {
    const std::size_t open = html.find('<', at);
    if (open == std::string_view::npos || open + 1 >= html.size()) break;
    const char next = html[open + 1];
    const bool end = next == '/';
    const std::size_t nameStart = open + (end ? 2 : 1);
    if (html.compare(open, 4, "<!--") == 0) {
      const std::size_t close = html.find("-->", open + 4);
      at = close == std::string_view::npos ? html.size() : close + 3;
      continue;
    }
    if (nameStart >= html.size() || !IsNameChar(html[nameStart]) || html[nameStart] == '-' ||
        html[nameStart] == ':') {
      at = open + 1;
      continue;
    }
    std::size_t nameEnd = nameStart;
    while (nameEnd < html.size() && IsNameChar(html[nameEnd])) ++nameEnd;
    std::size_t close = nameEnd;
    char quote = 0;
    for (; close < html.size(); ++close) {
      const char c = html[close];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      }
    }
    const std::size_t tagEnd = close < html.size() ? close + 1 : html.size();
    const std::string_view name = html.substr(nameStart, nameEnd - nameStart);
    const bool counts = !NestsNothing(name) && !(close > 0 && close < html.size() && html[close - 1] == '/');
    bool keep = true;
    if (counts && end) {
      if (dropped > 0) {
        --dropped;
        keep = false;
      } else if (depth > 0) {
        --depth;
      }
    } else if (counts) {
      if (depth >= kMaxNesting) {
        ++dropped;
        keep = false;
      } else {
        ++depth;
      }
    }
    if (!keep) {
      out.append(html.substr(0, open));
      html.remove_prefix(tagEnd);
      at = 0;
      continue;
    }
    at = tagEnd;
  }
  out.append(html);
  return out;
}

}  // namespace

HtmlTree::HtmlTree(std::string_view input) : arena_(std::make_unique<Arena>()) {
  html_ = BoundedNesting(input);
  const std::string_view html = html_;
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = &Arena::GumboAllocate;
  options.deallocator = &Arena::GumboFree;
  options.userdata = arena_.get();
  // The parse errors are of no use here, and each one would be kept.
  options.max_errors = 0;
  output_ = gumbo_parse_with_options(&options, html.data(), html.size());
  body_ = output_->root;
  // The root html element holds head and body; the fragment is in body.
  const GumboVector& children = ChildrenOf(*output_->root);
  for (unsigned int i = 0; i < children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children.data[i]);
    if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_BODY) body_ = child;
    if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_HEAD) head_ = child;
  }
}

// The arena's blocks hold the whole tree.
HtmlTree::~HtmlTree() = default;

const GumboVector& ChildrenOf(const GumboNode& node) {
  static const GumboVector kNone = {nullptr, 0, 0};
  if (node.type == GUMBO_NODE_ELEMENT || node.type == GUMBO_NODE_TEMPLATE) return node.v.element.children;
  if (node.type == GUMBO_NODE_DOCUMENT) return node.v.document.children;
  return kNone;
}

const char* AttributeOf(const GumboElement& element, const char* name) {
  const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
  return attribute == nullptr ? nullptr : attribute->value;
}
