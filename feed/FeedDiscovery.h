// The feeds a web page announces: its head's <link rel="alternate"> elements and its Link headers
// that name an RSS, Atom, RDF or JSON Feed type. Nothing is guessed: a page that announces no
// feed has none.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Only this much of a page is read for its announcements; a head is a few kilobytes.
inline constexpr std::size_t kMaxAnnouncingPageBytes = 1024 * 1024;
// At most this many announced feeds are kept, in the page's order.
inline constexpr std::size_t kMaxAnnouncedFeeds = 16;

// Whether a response is an HTML page: its body starts (after a byte-order mark, blanks, an XML
// declaration and comments) with an HTML doctype or an <html> tag, or it is served as text/html
// or XHTML and does not start as an RSS, Atom, RDF or JSON feed (feeds are often served so).
bool LooksLikeHtmlPage(std::string_view body, std::string_view contentType);

// The absolute http and https addresses of the feeds the page announces, the Link headers' first
// (they come before the page), then the head's in document order; each at most once, never the
// page's own address, at most kMaxAnnouncedFeeds. Relative addresses are resolved against
// pageAddress (the address that answered, after redirects) or the head's <base href>.
std::vector<std::string> AnnouncedFeeds(std::string_view html, std::string_view pageAddress,
                                        const std::vector<std::string>& linkHeaders);
