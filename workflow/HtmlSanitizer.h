// A feed's markup made safe to show in a browser: parsed as a browser parses it, then written
// again with only the elements and attributes of an allow-list.
#pragma once

#include <string>
#include <string_view>

// html rewritten from its parsed tree. Elements of text and layout (paragraphs, headings,
// emphasis, links, images, lists, tables, quotes, code) stay with the attributes that describe
// them; script, style, iframe, object, embed, form and their kind go with everything inside
// them; other unknown elements go but their text stays. No event attribute, style or class
// survives. Addresses in href, src and cite are resolved against base (the entry's link) and
// dropped unless http, https, mailto or relative, or data:image/ in an image. Comments go;
// text and attribute values are escaped. The time taken grows in step with the input.
std::string SanitizeHtml(std::string_view html, std::string_view base);

// text written as HTML text: "&", "<", ">" and '"' as entities, everything else as it is.
std::string HtmlEscaped(std::string_view text);
