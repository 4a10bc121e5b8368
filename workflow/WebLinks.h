// Addresses found in a feed's markup, judged and made absolute before an output file points to
// them: a file opened in a browser must not run a javascript: address, nor have its relative
// links point into the folder it was saved in.
#pragma once

#include <string>
#include <string_view>

// Where an address is used: a link to follow, or an image to show.
enum class LinkUse { kLink, kImage };

// address resolved against base (the entry's link) when it is relative and base is an http or
// https address; otherwise address as it is. Tabs and line breaks are removed and surrounding
// spaces trimmed first, as browsers do.
std::string ResolveAddress(std::string_view address, std::string_view base);

// Whether an output may point to address, after ResolveAddress: http, https and mailto always,
// data:image/ only for an image, a relative address (no scheme) always; anything else
// (javascript:, vbscript:, data: for a link, file:, ...) never.
bool IsSafeAddress(std::string_view address, LinkUse use);

// The address resolved, or empty when it is not safe for use.
std::string SafeAddress(std::string_view address, std::string_view base, LinkUse use);

// Whether address is an absolute http or https address, the only ones an output page links to
// on its own.
bool IsWebAddress(std::string_view address);

// The host of an absolute address ("http://User@Example.org:80/x" gives "example.org"), in
// lower case; empty when it has none.
std::string HostOf(std::string_view address);
