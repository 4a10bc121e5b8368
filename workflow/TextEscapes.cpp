#include "TextEscapes.h"

#include <cstdint>
#include <cstdio>

#include "ScanSupport.h"
#include "Utf8.h"

namespace {

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
      const Utf8::Step step = Utf8::Next(std::string_view(at, static_cast<std::size_t>(end - at)));
      if (step.valid) {
        at += step.bytes;
        continue;
      }
      json.append(run, at);
      json += Utf8::kReplacement;
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
    const Utf8::Step step = Utf8::Next(text);
    const std::string_view bytes = text.substr(0, step.bytes);
    text.remove_prefix(step.bytes);
    if (!step.valid) {
      shown += Utf8::kReplacement;
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
