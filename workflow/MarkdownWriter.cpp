#include "MarkdownWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "HtmlTree.h"
#include "Utf8.h"
#include "WebLinks.h"

namespace {

// Block quotes and list items deeper than this, and inline elements too, are written as their
// plain text: each level indents or wraps what it holds once more.
constexpr int kMaxDepth = 48;

// The characters that mean something in Markdown wherever they stand.
constexpr std::string_view kEscapedEverywhere = "\\`*_[]<>#!&|~";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool IsHeading(GumboTag tag) { return tag >= GUMBO_TAG_H1 && tag <= GUMBO_TAG_H6; }

// Elements that stand as blocks of their own; everything else flows in a paragraph.
bool IsBlock(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_P: case GUMBO_TAG_DIV: case GUMBO_TAG_SECTION: case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_HEADER: case GUMBO_TAG_FOOTER: case GUMBO_TAG_ASIDE: case GUMBO_TAG_NAV:
    case GUMBO_TAG_MAIN: case GUMBO_TAG_FIGURE: case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_DETAILS: case GUMBO_TAG_SUMMARY: case GUMBO_TAG_TABLE: case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_THEAD: case GUMBO_TAG_TBODY: case GUMBO_TAG_TFOOT: case GUMBO_TAG_TR:
    case GUMBO_TAG_TD: case GUMBO_TAG_TH: case GUMBO_TAG_DL: case GUMBO_TAG_DT: case GUMBO_TAG_DD:
    case GUMBO_TAG_CENTER: case GUMBO_TAG_UL: case GUMBO_TAG_OL: case GUMBO_TAG_LI:
    case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_PRE: case GUMBO_TAG_HR:
      return true;
    default:
      return IsHeading(tag);
  }
}

// What is never text for a reader: code, styles, embedded things, form controls.
bool IsDropped(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_IFRAME: case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED: case GUMBO_TAG_APPLET: case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_SELECT: case GUMBO_TAG_TEXTAREA: case GUMBO_TAG_BUTTON: case GUMBO_TAG_INPUT:
    case GUMBO_TAG_HEAD: case GUMBO_TAG_TITLE: case GUMBO_TAG_SVG: case GUMBO_TAG_MATH:
    case GUMBO_TAG_AUDIO: case GUMBO_TAG_VIDEO: case GUMBO_TAG_CANVAS:
      return true;
    default:
      return false;
  }
}

const GumboNode& ChildAt(const GumboVector& children, unsigned int i) {
  return *static_cast<const GumboNode*>(children.data[i]);
}

// The text inside node, markup left out, walked with a stack of its own.
std::string TextContent(const GumboNode& node) {
  std::string text;
  std::vector<std::pair<const GumboNode*, unsigned int>> stack{{&node, 0}};
  while (!stack.empty()) {
    auto& [parent, next] = stack.back();
    const GumboVector& children = ChildrenOf(*parent);
    if (next == children.length) {
      stack.pop_back();
      continue;
    }
    const GumboNode& child = ChildAt(children, next++);
    if (child.type == GUMBO_NODE_TEXT || child.type == GUMBO_NODE_WHITESPACE || child.type == GUMBO_NODE_CDATA) {
      text += child.v.text.text;
    } else if (child.type == GUMBO_NODE_ELEMENT && !IsDropped(child.v.element.tag)) {
      if (child.v.element.tag == GUMBO_TAG_BR) text += '\n';
      stack.emplace_back(&child, 0);
    }
  }
  return text;
}

// text as Markdown text: runs of white space become one space, and every character that could
// be read as Markdown is escaped.
std::string Escaped(std::string_view text) {
  std::string out;
  bool space = false;
  for (char c : text) {
    if (IsSpace(c)) {
      if (!space) out += ' ';
      space = true;
      continue;
    }
    space = false;
    if (kEscapedEverywhere.find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

// An address as a link destination: what would end it or break it is percent-encoded.
std::string Destination(std::string_view address) {
  std::string out;
  for (char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '<' || c == '>' || c == '(' || c == ')' || c == '\\') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

// text as a code span: fenced by more backticks than it holds in a row.
std::string CodeSpan(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  if (text.find_first_not_of(' ') == std::string::npos) return text.empty() ? text : " ";
  std::size_t longest = 0, run = 0;
  for (char c : text) {
    run = c == '`' ? run + 1 : 0;
    if (run > longest) longest = run;
  }
  const std::string fence(longest + 1, '`');
  const bool pad = text.front() == '`' || text.back() == '`' || text.front() == ' ' || text.back() == ' ';
  return pad ? fence + " " + text + " " + fence : fence + text + fence;
}

// inner wrapped in the delimiter, the white space at its ends kept outside, where emphasis
// needs it.
std::string Wrapped(const std::string& inner, std::string_view delimiter) {
  const std::size_t begin = inner.find_first_not_of(' ');
  if (begin == std::string::npos) return inner;
  const std::size_t end = inner.find_last_not_of(' ') + 1;
  return inner.substr(0, begin) + std::string(delimiter) + inner.substr(begin, end - begin) +
         std::string(delimiter) + inner.substr(end);
}

// Each line of text with first before it (the first line) or rest (the others); an empty line
// gets the prefix without its trailing spaces.
std::string Prefixed(const std::string& text, std::string_view first, std::string_view rest) {
  std::string out;
  std::size_t at = 0;
  bool firstLine = true;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string_view prefix = firstLine ? first : rest;
    if (end == at) {
      while (!prefix.empty() && prefix.back() == ' ') prefix.remove_suffix(1);
    }
    out += prefix;
    out.append(text, at, end - at);
    if (end == text.size()) break;
    out += '\n';
    at = end + 1;
    firstLine = false;
  }
  return out;
}

// A paragraph's text made ready: spaces at its ends and around its line breaks go, and a line
// that would start a list, a heading underline or a numbered item is escaped.
std::string Finished(const std::string& paragraph) {
  std::string out;
  std::size_t at = 0;
  while (at < paragraph.size()) {
    std::size_t end = paragraph.find("\\\n", at);
    const bool broken = end != std::string::npos;
    if (!broken) end = paragraph.size();
    std::string_view line(paragraph.data() + at, end - at);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    at = broken ? end + 2 : end;
    if (line.empty()) continue;
    if (!out.empty()) out += "\\\n";
    // Spaces left doubled where inline elements met.
    std::string single;
    for (char c : line) {
      if (c != ' ' || single.empty() || single.back() != ' ') single += c;
    }
    line = single;
    std::size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (line[0] == '-' || line[0] == '+' || line[0] == '=') {
      out += '\\';
    } else if (digits > 0 && digits < line.size() && (line[digits] == '.' || line[digits] == ')')) {
      out.append(line.substr(0, digits));
      out += '\\';
      line.remove_prefix(digits);
    }
    out.append(line);
  }
  return out;
}

std::string Joined(const std::vector<std::string>& blocks, std::string_view between) {
  std::string out;
  for (const std::string& block : blocks) {
    if (!out.empty()) out += between;
    out += block;
  }
  return out;
}

class Converter {
 public:
  explicit Converter(std::string_view base) : base_(base) {}

  // The blocks that the children of node make, appended to blocks.
  void Blocks(const GumboNode& node, int depth, std::vector<std::string>& blocks) {
    std::string paragraph;
    const GumboVector& children = ChildrenOf(node);
    for (unsigned int i = 0; i < children.length; ++i) {
      const GumboNode& child = ChildAt(children, i);
      if (child.type == GUMBO_NODE_ELEMENT && IsBlock(child.v.element.tag) && depth < kMaxDepth) {
        Flush(paragraph, blocks);
        Block(child, depth + 1, blocks);
      } else {
        paragraph += Inline(child, depth + 1);
      }
    }
    Flush(paragraph, blocks);
  }

 private:
  static void Flush(std::string& paragraph, std::vector<std::string>& blocks) {
    std::string finished = Finished(paragraph);
    if (!finished.empty()) blocks.push_back(std::move(finished));
    paragraph.clear();
  }

  void Block(const GumboNode& node, int depth, std::vector<std::string>& blocks) {
    const GumboElement& element = node.v.element;
    if (IsHeading(element.tag)) {
      std::string text = Finished(Inline(node, depth));
      for (std::size_t at = text.find("\\\n"); at != std::string::npos; at = text.find("\\\n", at)) {
        text.replace(at, 2, " ");
      }
      if (!text.empty()) blocks.push_back(std::string(element.tag - GUMBO_TAG_H1 + 1, '#') + " " + text);
      return;
    }
    switch (element.tag) {
      case GUMBO_TAG_HR:
        blocks.push_back("---");
        return;
      case GUMBO_TAG_PRE:
        blocks.push_back(CodeBlock(TextContent(node)));
        return;
      case GUMBO_TAG_BLOCKQUOTE: {
        std::vector<std::string> inner;
        Blocks(node, depth, inner);
        if (!inner.empty()) blocks.push_back(Prefixed(Joined(inner, "\n\n"), "> ", "> "));
        return;
      }
      case GUMBO_TAG_UL:
      case GUMBO_TAG_OL:
        List(node, depth, blocks);
        return;
      default:
        Blocks(node, depth, blocks);
    }
  }

  void List(const GumboNode& node, int depth, std::vector<std::string>& blocks) {
    const GumboElement& element = node.v.element;
    const bool ordered = element.tag == GUMBO_TAG_OL;
    long number = 1;
    if (const char* start = ordered ? AttributeOf(element, "start") : nullptr) {
      char* end = nullptr;
      const long value = std::strtol(start, &end, 10);
      // CommonMark takes at most nine digits.
      if (end != start && value >= 0 && value <= 999999999) number = value;
    }
    std::vector<std::string> items;
    const GumboVector& children = ChildrenOf(node);
    for (unsigned int i = 0; i < children.length; ++i) {
      const GumboNode& child = ChildAt(children, i);
      std::vector<std::string> inner;
      if (child.type == GUMBO_NODE_ELEMENT && child.v.element.tag == GUMBO_TAG_LI) {
        Blocks(child, depth, inner);
      } else if (child.type == GUMBO_NODE_ELEMENT) {
        Block(child, depth, inner);
      } else {
        std::string loose = Inline(child, depth);
        Flush(loose, inner);
        if (inner.empty()) continue;
      }
      const std::string marker = ordered ? std::to_string(number++) + ". " : "- ";
      const std::string content = Joined(inner, "\n\n");
      items.push_back(content.empty() ? marker.substr(0, marker.size() - 1)
                                      : Prefixed(content, marker, std::string(marker.size(), ' ')));
    }
    if (!items.empty()) blocks.push_back(Joined(items, "\n"));
  }

  static std::string CodeBlock(std::string code) {
    std::size_t longest = 0, run = 0;
    for (char c : code) {
      run = c == '`' ? run + 1 : 0;
      if (run > longest) longest = run;
    }
    if (!code.empty() && code.back() != '\n') code += '\n';
    const std::string fence(longest < 3 ? 3 : longest + 1, '`');
    return fence + "\n" + code + fence;
  }

  std::string Children(const GumboNode& node, int depth) {
    std::string out;
    const GumboVector& children = ChildrenOf(node);
    for (unsigned int i = 0; i < children.length; ++i) out += Inline(ChildAt(children, i), depth + 1);
    return out;
  }

  std::string Inline(const GumboNode& node, int depth) {
    if (node.type == GUMBO_NODE_TEXT || node.type == GUMBO_NODE_WHITESPACE) return Escaped(node.v.text.text);
    if (node.type != GUMBO_NODE_ELEMENT) return {};
    const GumboElement& element = node.v.element;
    if (IsDropped(element.tag)) return {};
    if (depth >= kMaxDepth) return Escaped(TextContent(node));
    switch (element.tag) {
      case GUMBO_TAG_BR:
        return "\\\n";
      case GUMBO_TAG_EM: case GUMBO_TAG_I: case GUMBO_TAG_CITE: case GUMBO_TAG_DFN: case GUMBO_TAG_VAR:
        return Wrapped(Children(node, depth), "*");
      case GUMBO_TAG_STRONG: case GUMBO_TAG_B:
        return Wrapped(Children(node, depth), "**");
      case GUMBO_TAG_CODE: case GUMBO_TAG_KBD: case GUMBO_TAG_SAMP: case GUMBO_TAG_TT:
        return CodeSpan(TextContent(node));
      case GUMBO_TAG_A: {
        const char* href = AttributeOf(element, "href");
        const std::string address = href == nullptr ? std::string() : SafeAddress(href, base_, LinkUse::kLink);
        std::string text = Children(node, depth);
        if (address.empty()) return text;
        if (text.find_first_not_of(' ') == std::string::npos) text = Escaped(address);
        return "[" + text + "](" + Destination(address) + ")";
      }
      case GUMBO_TAG_IMG: {
        const char* src = AttributeOf(element, "src");
        const char* alt = AttributeOf(element, "alt");
        const std::string address = src == nullptr ? std::string() : SafeAddress(src, base_, LinkUse::kImage);
        const std::string text = Escaped(alt == nullptr ? "" : alt);
        if (address.empty()) return text;
        return "![" + text + "](" + Destination(address) + ")";
      }
      default: {
        // A block met inside a paragraph's flow stays apart from its neighbours by a space.
        const std::string inner = Children(node, depth);
        return IsBlock(element.tag) ? " " + inner + " " : inner;
      }
    }
  }

  std::string_view base_;
};

void AppendCodePoint(std::string& out, uint32_t code, bool escape) {
  if (escape) {
    char text[12];
    if (code <= 0xFF) {
      std::snprintf(text, sizeof text, "\\x%02X", static_cast<unsigned>(code));
    } else if (code <= 0xFFFF) {
      std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(code));
    } else {
      std::snprintf(text, sizeof text, "\\U%08X", static_cast<unsigned>(code));
    }
    out += text;
    return;
  }
  Utf8::Append(out, code);
}

}  // namespace

std::string HtmlToMarkdown(std::string_view html, std::string_view base) {
  const HtmlTree tree(html);
  std::vector<std::string> blocks;
  Converter(base).Blocks(tree.Body(), 0, blocks);
  std::string out = Joined(blocks, "\n\n");
  if (!out.empty()) out += '\n';
  return out;
}

std::string YamlQuoted(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const Utf8::Step step = Utf8::Next(text.substr(at));
    const char32_t code = step.valid ? step.codePoint : 0xFFFD;
    at += step.bytes;
    switch (code) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\t': out += "\\t"; continue;
      case '\r': out += "\\r"; continue;
      case 0x85: out += "\\N"; continue;
      case 0x2028: out += "\\L"; continue;
      case 0x2029: out += "\\P"; continue;
      default: break;
    }
    // What YAML counts as printable stays; the rest is written as an escape.
    const bool printable = (code >= 0x20 && code <= 0x7E) || (code >= 0xA0 && code <= 0xD7FF) ||
                           (code >= 0xE000 && code <= 0xFFFD && code != 0xFEFF) || code >= 0x10000;
    AppendCodePoint(out, code, !printable);
  }
  return out + "\"";
}
