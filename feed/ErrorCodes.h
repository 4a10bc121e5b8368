// Every error number the feed engine records; numbers are stable once released.
#pragma once

#include <cstdint>

namespace ErrorCodes {

// A component could not be created by its class name.
inline constexpr int32_t kCreateObject = 429;

// HTTP request failures (the text names the address or host).
inline constexpr int32_t kInvalidAddress = 1001;     // malformed address or unsupported scheme
inline constexpr int32_t kResolveHost = 1002;        // host name not found
inline constexpr int32_t kConnect = 1003;            // connection refused or unreachable
inline constexpr int32_t kTimeout = 1004;            // no connection, no data or no complete answer in time
inline constexpr int32_t kTooManyRedirects = 1005;   // redirect limit reached
inline constexpr int32_t kBodyTooLarge = 1006;       // response body past the size ceiling
inline constexpr int32_t kTransfer = 1007;           // connection broken, bad response, decoding failed
inline constexpr int32_t kSecureConnection = 1008;   // TLS handshake or certificate failure
inline constexpr int32_t kRequestAbandoned = 1009;   // the caller abandoned the request (program closing)
inline constexpr int32_t kRequestState = 1010;       // a member called out of order (Send before Open)
inline constexpr int32_t kInvalidArgument = 1011;    // an argument the component does not accept
inline constexpr int32_t kHeaderTooLarge = 1012;     // a response header line or all headers past their ceiling
inline constexpr int32_t kAddressTooLong = 1013;     // an address longer than the client sends
inline constexpr int32_t kServerAsksToWait = 1014;  // a 429 or 503 with Retry-After, or its wait not over yet
inline constexpr int32_t kHttpOther = 1019;          // any other libcurl failure

// Document and text failures.
inline constexpr int32_t kXmlQuery = 1020;           // a path query could not be evaluated
inline constexpr int32_t kTooManyEntries = 1021;     // more entries than the reader's ceiling
inline constexpr int32_t kTooDeep = 1022;            // elements nested past the document's ceiling
inline constexpr int32_t kNoFeedAnnounced = 1023;    // an HTML page that announces no feed, or only another page
inline constexpr int32_t kJsonFeed = 1024;           // invalid JSON, a value of the wrong type, JSON that is no JSON Feed
inline constexpr int32_t kRegex = 1030;              // a pattern did not compile or a replacement failed

// A failure with no number of its own (an unexpected exception).
inline constexpr int32_t kUnexpected = 1099;

}  // namespace ErrorCodes
