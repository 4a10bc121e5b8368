// Feeds arbitrary bytes as an entry's markup through the HTML sanitiser and the Markdown
// converter. Aborts when the sanitised page still holds a script, style, iframe, object or
// form element, an event attribute or a javascript: address in href, src or cite, once
// parsed again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "HtmlSanitizer.h"
#include "HtmlTree.h"
#include "MarkdownWriter.h"

namespace {

void CheckClean(const GumboNode& node) {
  const GumboVector& children = ChildrenOf(node);
  for (unsigned int i = 0; i < children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children.data[i]);
    if (child->type != GUMBO_NODE_ELEMENT) continue;
    const GumboElement& element = child->v.element;
    switch (element.tag) {
      case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_IFRAME: case GUMBO_TAG_OBJECT:
      case GUMBO_TAG_FORM: case GUMBO_TAG_EMBED:
        std::abort();
      default: break;
    }
    for (unsigned int a = 0; a < element.attributes.length; ++a) {
      const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[a]);
      const std::string_view name = attribute->name;
      if (name.size() > 2 && name.substr(0, 2) == "on") std::abort();
      // Only addresses are followed; a number attribute holding "javascript:" is inert.
      if (name != "href" && name != "src" && name != "cite") continue;
      std::string value;
      for (char c : std::string_view(attribute->value)) {
        if (static_cast<unsigned char>(c) > 0x20) value += static_cast<char>(c | 0x20);
      }
      if (value.rfind("javascript:", 0) == 0) std::abort();
    }
    CheckClean(*child);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  const std::string clean = SanitizeHtml(html, "https://blog.example/posts/entry.html");
  const HtmlTree again(clean);
  CheckClean(again.Body());
  HtmlToMarkdown(html, "https://blog.example/posts/entry.html");
  return 0;
}
