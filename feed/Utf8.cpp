#include "Utf8.h"

#include <simdjson.h>

namespace Utf8 {
namespace {

// The well-formed sequences by their lead byte: the range of the second byte depends on the
// lead, which refuses overlong forms, surrogates and code points past U+10FFFF.
struct LeadRange {
  unsigned char first;
  unsigned char last;
  std::size_t length;
  unsigned char secondMin;
  unsigned char secondMax;
};
constexpr LeadRange kLeads[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

// Next, inlined into the loops below that run over whole bodies.
[[gnu::always_inline]] inline Step NextStep(std::string_view text) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {true, lead, 1};
  for (const LeadRange& range : kLeads) {
    if (lead < range.first || lead > range.last) continue;
    char32_t codePoint = lead & (0xFFu >> (range.length + 1));
    for (std::size_t at = 1; at < range.length; ++at) {
      const unsigned char min = at == 1 ? range.secondMin : 0x80;
      const unsigned char max = at == 1 ? range.secondMax : 0xBF;
      if (at >= text.size() || byte(at) < min || byte(at) > max) return {false, 0, at};
      codePoint = (codePoint << 6) | (byte(at) & 0x3Fu);
    }
    return {true, codePoint, range.length};
  }
  return {false, 0, 1};
}

}  // namespace

Step Next(std::string_view text) { return NextStep(text); }

bool IsValid(std::string_view text) {
  // simdjson's validator checks whole bodies many bytes at a time and refuses exactly what
  // NextStep refuses: overlong forms, surrogates, code points past U+10FFFF and cut sequences.
  return simdjson::validate_utf8(text.data(), text.size());
}

void Append(std::string& out, char32_t codePoint) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    out += kReplacement;
  } else if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

void AppendSanitized(std::string_view text, std::string& out) {
  std::size_t runStart = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const Step step = NextStep(text.substr(i));
    if (step.valid) {
      i += step.bytes;
      continue;
    }
    out.append(text.substr(runStart, i - runStart));
    out.append(kReplacement);
    i += step.bytes;
    runStart = i;
  }
  out.append(text.substr(runStart));
}

std::string Sanitized(std::string_view text) {
  if (IsValid(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  AppendSanitized(text, out);
  return out;
}

std::string_view CutToBytes(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t end = bytes;
  // Back over continuation bytes to the start of the character that does not fit.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace Utf8
