// Checks on the addresses the HTTP client is given, before anything is sent, and the form an
// address takes in an error text.
#pragma once

#include <cstddef>
#include <string>

// Longer addresses are refused. Real feed addresses are a few hundred bytes; servers commonly
// refuse anything past 8 KiB, and libcurl cannot send a request line past 1 MiB.
inline constexpr std::size_t kMaxAddressBytes = 64 * 1024;

// Throws ComponentError unless address is a well-formed http or https URL that libcurl can send
// as it is: kAddressTooLong past kMaxAddressBytes, kInvalidAddress for a NUL byte (libcurl would
// read the address only up to it), a malformed address, another scheme, or a host name that has
// no ASCII form.
void CheckWebAddress(const std::string& address);

// The host of an address in lower case, as the download pool counts hosts; "" when it has none.
std::string HostOf(const std::string& address);

// The host of an address in lower case, a colon and its port, the scheme's own when none is
// written ("example.org:443"); "" when it has no host.
std::string HostAndPortOf(const std::string& address);

// An address as it may appear in an error text: valid UTF-8 without NUL bytes, of sensible length.
std::string ShownAddress(const std::string& address);

// reference resolved against base as libcurl resolves a redirect (the RFC 3986 rules); "" when
// either cannot be read or the result is not an http or https address.
std::string ResolvedWebAddress(const std::string& reference, const std::string& base);
