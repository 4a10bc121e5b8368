#include "TextEscapes.h"

#include <cstdint>
#include <cstdio>

#include "ScanSupport.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The well-formed sequences of UTF-8: the range of the second byte depends on the first, so
// that overlong forms, surrogates and code points past U+10FFFF are refused.
struct LeadRange {
  unsigned char first;
  unsigned char last;
  int length;
  unsigned char secondMin;
  unsigned char secondMax;
};
constexpr LeadRange kLeads[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

// One step through UTF-8 text: the code point at the start and the bytes it takes, or, for an
// ill-formed start, the bytes of its longest valid-looking prefix (at least one), which become
// one U+FFFD.
struct Step {
  bool valid;
  uint32_t codePoint;
  std::size_t bytes;
};

Step NextCodePoint(std::string_view text) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {true, lead, 1};
  for (const LeadRange& range : kLeads) {
    if (lead < range.first || lead > range.last) continue;
    const std::size_t length = static_cast<std::size_t>(range.length);
    uint32_t codePoint = lead & (0xFFu >> (range.length + 1));
    for (std::size_t at = 1; at < length; ++at) {
      const unsigned char min = at == 1 ? range.secondMin : 0x80;
      const unsigned char max = at == 1 ? range.secondMax : 0xBF;
      if (at >= text.size() || byte(at) < min || byte(at) > max) return {false, 0, at};
      codePoint = (codePoint << 6) | (byte(at) & 0x3Fu);
    }
    return {true, codePoint, length};
  }
  return {false, 0, 1};
}

std::string Hex(const char* format, uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, format, static_cast<unsigned>(value));
  return buffer;
}

}  // namespace

void AppendJsonString(std::string& json, std::string_view text) {
  json += '"';
  const char* const end = text.data() + text.size();
  const char* at = text.data();
  // The start of the bytes that go out as they are; they are copied in one go when a byte that
  // needs escaping, or the end, is reached.
  const char* run = at;
  while (at < end) {
    // Sixteen bytes at a time up to the next one that is not plain ASCII or needs escaping.
    if (end - at >= 16) {
      const ScanSupport::Bytes16 bytes = ScanSupport::Load16(at);
      const ScanSupport::Marks16 marks =
          (bytes < 0x20) | (bytes == '"') | (bytes == '\\') | (bytes >= 0x80);
      if (!ScanSupport::AnySet(marks)) {
        at += 16;
        continue;
      }
      at += ScanSupport::FirstMark(marks);
    }
    const auto byte = static_cast<unsigned char>(*at);
    if (byte >= 0x20 && byte < 0x80 && byte != '"' && byte != '\\') {
      ++at;
      continue;
    }
    if (byte >= 0x80) {
      const Step step = NextCodePoint(std::string_view(at, static_cast<std::size_t>(end - at)));
      if (step.valid) {
        at += step.bytes;
        continue;
      }
      json.append(run, at);
      json += kReplacement;
      at += step.bytes;
      run = at;
      continue;
    }
    json.append(run, at);
    switch (byte) {
      case '"': json += "\\\""; break;
      case '\\': json += "\\\\"; break;
      case '\b': json += "\\b"; break;
      case '\f': json += "\\f"; break;
      case '\n': json += "\\n"; break;
      case '\r': json += "\\r"; break;
      case '\t': json += "\\t"; break;
      default: json += Hex("\\u%04x", byte);
    }
    ++at;
    run = at;
  }
  json.append(run, at);
  json += '"';
}

std::string JsonString(std::string_view text) {
  std::string json;
  json.reserve(text.size() + 2);
  AppendJsonString(json, text);
  return json;
}

std::string DisplayText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  while (!text.empty()) {
    const Step step = NextCodePoint(text);
    const std::string_view bytes = text.substr(0, step.bytes);
    text.remove_prefix(step.bytes);
    if (!step.valid) {
      shown += kReplacement;
    } else if (step.codePoint < 0x20 || step.codePoint == 0x7F) {
      shown += Hex("\\x%02X", step.codePoint);
    } else if (step.codePoint >= 0x80 && step.codePoint <= 0x9F) {
      shown += Hex("\\u%04X", step.codePoint);
    } else {
      shown += bytes;
    }
  }
  return shown;
}
