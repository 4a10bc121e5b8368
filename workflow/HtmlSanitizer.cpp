#include "HtmlSanitizer.h"

#include <cstring>
#include <vector>

#include "HtmlTree.h"
#include "WebLinks.h"

namespace {

// What becomes of an element.
enum class Keep {
  kElement,   // written with its allowed attributes and its content
  kContent,   // left out, its content written in its place
  kNothing,   // left out with all it holds
};

Keep KeepOf(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_A: case GUMBO_TAG_ABBR: case GUMBO_TAG_B: case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_BR: case GUMBO_TAG_CAPTION: case GUMBO_TAG_CITE: case GUMBO_TAG_CODE:
    case GUMBO_TAG_DD: case GUMBO_TAG_DEL: case GUMBO_TAG_DFN: case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL: case GUMBO_TAG_DT: case GUMBO_TAG_EM: case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE: case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3:
    case GUMBO_TAG_H4: case GUMBO_TAG_H5: case GUMBO_TAG_H6: case GUMBO_TAG_HR:
    case GUMBO_TAG_I: case GUMBO_TAG_IMG: case GUMBO_TAG_INS: case GUMBO_TAG_KBD:
    case GUMBO_TAG_LI: case GUMBO_TAG_MARK: case GUMBO_TAG_OL: case GUMBO_TAG_P:
    case GUMBO_TAG_PRE: case GUMBO_TAG_Q: case GUMBO_TAG_S: case GUMBO_TAG_SAMP:
    case GUMBO_TAG_SMALL: case GUMBO_TAG_SPAN: case GUMBO_TAG_STRONG: case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP: case GUMBO_TAG_TABLE: case GUMBO_TAG_TBODY: case GUMBO_TAG_TD:
    case GUMBO_TAG_TFOOT: case GUMBO_TAG_TH: case GUMBO_TAG_THEAD: case GUMBO_TAG_TIME:
    case GUMBO_TAG_TR: case GUMBO_TAG_U: case GUMBO_TAG_UL: case GUMBO_TAG_VAR:
    case GUMBO_TAG_WBR:
      return Keep::kElement;
    // Code, styles, embedded documents and plug-ins, forms and their controls, and what is
    // not text at all.
    case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_IFRAME: case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED: case GUMBO_TAG_APPLET: case GUMBO_TAG_PARAM: case GUMBO_TAG_FORM:
    case GUMBO_TAG_INPUT: case GUMBO_TAG_BUTTON: case GUMBO_TAG_SELECT: case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_OPTION: case GUMBO_TAG_FRAME: case GUMBO_TAG_FRAMESET: case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_NOSCRIPT: case GUMBO_TAG_NOEMBED: case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH: case GUMBO_TAG_HEAD: case GUMBO_TAG_TITLE: case GUMBO_TAG_META:
    case GUMBO_TAG_LINK: case GUMBO_TAG_BASE: case GUMBO_TAG_XMP: case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_AUDIO: case GUMBO_TAG_VIDEO: case GUMBO_TAG_SOURCE: case GUMBO_TAG_TRACK:
    case GUMBO_TAG_CANVAS: case GUMBO_TAG_MAP: case GUMBO_TAG_AREA:
      return Keep::kNothing;
    default:
      return Keep::kContent;
  }
}

bool IsVoid(GumboTag tag) {
  return tag == GUMBO_TAG_BR || tag == GUMBO_TAG_HR || tag == GUMBO_TAG_IMG || tag == GUMBO_TAG_WBR;
}

// The attributes an allowed element may keep, and which of them hold an address.
bool IsAllowedAttribute(GumboTag tag, const char* name) {
  const auto is = [name](const char* allowed) { return std::strcmp(name, allowed) == 0; };
  if (is("title") || is("lang") || is("dir")) return true;
  switch (tag) {
    case GUMBO_TAG_A: return is("href");
    case GUMBO_TAG_IMG: return is("src") || is("alt") || is("width") || is("height");
    case GUMBO_TAG_TD: case GUMBO_TAG_TH: return is("colspan") || is("rowspan");
    case GUMBO_TAG_OL: return is("start") || is("reversed");
    case GUMBO_TAG_LI: return is("value");
    case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_Q: case GUMBO_TAG_DEL: case GUMBO_TAG_INS:
      return is("cite");
    case GUMBO_TAG_TIME: return is("datetime");
    default: return false;
  }
}

bool HoldsAddress(const char* name) {
  return std::strcmp(name, "href") == 0 || std::strcmp(name, "src") == 0 || std::strcmp(name, "cite") == 0;
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
}

void AppendStartTag(std::string& out, const GumboElement& element, std::string_view base) {
  out += '<';
  out += gumbo_normalized_tagname(element.tag);
  for (unsigned int i = 0; i < element.attributes.length; ++i) {
    const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
    if (!IsAllowedAttribute(element.tag, attribute->name)) continue;
    std::string value = attribute->value;
    if (HoldsAddress(attribute->name)) {
      value = SafeAddress(value, base, element.tag == GUMBO_TAG_IMG ? LinkUse::kImage : LinkUse::kLink);
      if (value.empty()) continue;
    }
    out += ' ';
    out += attribute->name;
    out += "=\"";
    AppendEscaped(out, value);
    out += '"';
  }
  out += '>';
}

}  // namespace

std::string HtmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text);
  return out;
}

std::string SanitizeHtml(std::string_view html, std::string_view base) {
  const HtmlTree tree(html);
  std::string out;
  out.reserve(html.size());
  // The walk keeps its own stack, not the call stack: a feed may nest elements a million deep.
  struct Open {
    const GumboNode* node;
    unsigned int next;
    bool written;
  };
  std::vector<Open> stack{{&tree.Body(), 0, false}};
  while (!stack.empty()) {
    Open& top = stack.back();
    const GumboVector& children = ChildrenOf(*top.node);
    if (top.next == children.length) {
      if (top.written) {
        out += "</";
        out += gumbo_normalized_tagname(top.node->v.element.tag);
        out += '>';
      }
      stack.pop_back();
      continue;
    }
    const auto* child = static_cast<const GumboNode*>(children.data[top.next++]);
    switch (child->type) {
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
        AppendEscaped(out, child->v.text.text);
        break;
      case GUMBO_NODE_ELEMENT: {
        const GumboElement& element = child->v.element;
        const Keep keep = KeepOf(element.tag);
        if (keep == Keep::kNothing) break;
        const bool written = keep == Keep::kElement;
        if (written) AppendStartTag(out, element, base);
        if (written && IsVoid(element.tag)) break;
        stack.push_back({child, 0, written});
        break;
      }
      default:
        // Comments, CDATA sections (only inside svg and math, gone already), templates.
        break;
    }
  }
  return out;
}
