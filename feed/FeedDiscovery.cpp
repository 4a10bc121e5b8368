#include "FeedDiscovery.h"

#include <algorithm>

#include "AsciiCase.h"
#include "HtmlTree.h"
#include "WebAddress.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The media type of a Content-Type or type attribute, without its parameters, in lower case.
std::string MediaType(std::string_view type) {
  return AsciiCase::Lowered(std::string(Trimmed(type.substr(0, type.find(';')))));
}

bool IsFeedType(std::string_view type) {
  static constexpr std::string_view kTypes[] = {"application/rss+xml", "application/atom+xml",
                                                "application/rdf+xml", "application/feed+json",
                                                "application/json"};
  const std::string media = MediaType(type);
  return std::find(std::begin(kTypes), std::end(kTypes), media) != std::end(kTypes);
}

// Whether a rel value, a list of blank-separated words, holds "alternate" (in any letter case).
bool IsAlternate(std::string_view rel) {
  while (!rel.empty()) {
    while (!rel.empty() && IsBlank(rel.front())) rel.remove_prefix(1);
    std::size_t end = 0;
    while (end < rel.size() && !IsBlank(rel[end])) ++end;
    if (AsciiCase::Equal(rel.substr(0, end), "alternate")) return true;
    rel.remove_prefix(end);
  }
  return false;
}

// Collects the announced addresses: resolved, each once, not the page itself, at most the ceiling.
class Announcements {
 public:
  explicit Announcements(std::string_view pageAddress)
      : page_(ResolvedWebAddress(std::string(pageAddress), std::string(pageAddress))) {}

  void Add(std::string_view href, std::string_view base) {
    if (found_.size() >= kMaxAnnouncedFeeds) return;
    const std::string address = ResolvedWebAddress(std::string(Trimmed(href)), std::string(base));
    if (address.empty() || address == page_) return;
    if (std::find(found_.begin(), found_.end(), address) == found_.end()) found_.push_back(address);
  }

  std::vector<std::string> Take() { return std::move(found_); }

 private:
  std::string page_;
  std::vector<std::string> found_;
};

// The value of a parameter (rel, type) of one Link header entry, its quotes removed.
std::string_view LinkParameter(std::string_view params, std::string_view name) {
  while (!params.empty()) {
    const std::size_t semicolon = params.find(';');
    std::string_view param = Trimmed(params.substr(0, semicolon));
    params = semicolon == std::string_view::npos ? std::string_view() : params.substr(semicolon + 1);
    const std::size_t equals = param.find('=');
    if (equals == std::string_view::npos || !AsciiCase::Equal(Trimmed(param.substr(0, equals)), name)) continue;
    std::string_view value = Trimmed(param.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    return value;
  }
  return {};
}

// A Link header value holds entries "<address>; rel=...; type=..." separated by commas; an address
// may itself hold commas and semicolons, so each entry's address is read up to its '>'.
void AddLinkHeader(std::string_view value, std::string_view pageAddress, Announcements& found) {
  while (true) {
    const std::size_t open = value.find('<');
    if (open == std::string_view::npos) return;
    const std::size_t close = value.find('>', open);
    if (close == std::string_view::npos) return;
    const std::string_view href = value.substr(open + 1, close - open - 1);
    std::string_view params = value.substr(close + 1);
    // The parameters end where the next entry starts: a comma outside quotes.
    bool quoted = false;
    std::size_t end = 0;
    for (; end < params.size(); ++end) {
      if (params[end] == '"') quoted = !quoted;
      if (params[end] == ',' && !quoted) break;
    }
    value = params.substr(std::min(end + 1, params.size()));
    params = params.substr(0, end);
    if (IsAlternate(LinkParameter(params, "rel")) && IsFeedType(LinkParameter(params, "type"))) {
      found.Add(href, pageAddress);
    }
  }
}

// The page up to its ceiling and up to where its body starts: only the head is needed, and a
// page's body can be megabytes.
std::string_view HeadPart(std::string_view html) {
  html = html.substr(0, kMaxAnnouncingPageBytes);
  for (std::size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
    if (AsciiCase::StartsWith(html.substr(at), "<body") || AsciiCase::StartsWith(html.substr(at), "</head")) {
      return html.substr(0, at);
    }
  }
  return html;
}

// Skips a byte-order mark, blanks, an XML declaration and comments at the start of a body.
std::string_view PastPreamble(std::string_view body) {
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  body = body.substr(0, std::min<std::size_t>(body.size(), 4096));
  while (true) {
    body = Trimmed(body);
    std::string_view end;
    if (body.starts_with("<!--")) {
      end = "-->";
    } else if (body.starts_with("<?")) {
      end = "?>";
    } else {
      return body;
    }
    const std::size_t at = body.find(end);
    if (at == std::string_view::npos) return {};
    body.remove_prefix(at + end.size());
  }
}

}  // namespace

bool LooksLikeHtmlPage(std::string_view body, std::string_view contentType) {
  const std::string_view start = PastPreamble(body);
  if (AsciiCase::StartsWith(start, "<!doctype html") || AsciiCase::StartsWith(start, "<html")) return true;
  // Feeds are often served as text/html; one that starts as a feed is read as a feed.
  const std::string media = MediaType(contentType);
  if (media != "text/html" && media != "application/xhtml+xml") return false;
  return !(AsciiCase::StartsWith(start, "<rss") || AsciiCase::StartsWith(start, "<feed") ||
           AsciiCase::StartsWith(start, "<rdf") || AsciiCase::StartsWith(start, "{"));
}

std::vector<std::string> AnnouncedFeeds(std::string_view html, std::string_view pageAddress,
                                        const std::vector<std::string>& linkHeaders) {
  Announcements found(pageAddress);
  for (const std::string& header : linkHeaders) AddLinkHeader(header, pageAddress, found);
  const HtmlTree tree(HeadPart(html));
  const GumboNode* head = tree.Head();
  if (head == nullptr) return found.Take();
  std::string base(pageAddress);
  const GumboVector& children = ChildrenOf(*head);
  // The first <base href> sets the base of every address in the page, wherever it stands.
  for (unsigned int i = 0; i < children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children.data[i]);
    if (child->type != GUMBO_NODE_ELEMENT || child->v.element.tag != GUMBO_TAG_BASE) continue;
    const char* href = AttributeOf(child->v.element, "href");
    if (href == nullptr) continue;
    const std::string resolved = ResolvedWebAddress(std::string(Trimmed(href)), base);
    if (!resolved.empty()) base = resolved;
    break;
  }
  for (unsigned int i = 0; i < children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children.data[i]);
    if (child->type != GUMBO_NODE_ELEMENT || child->v.element.tag != GUMBO_TAG_LINK) continue;
    const char* rel = AttributeOf(child->v.element, "rel");
    const char* type = AttributeOf(child->v.element, "type");
    const char* href = AttributeOf(child->v.element, "href");
    if (rel && type && href && IsAlternate(rel) && IsFeedType(type)) found.Add(href, base);
  }
  return found.Take();
}
