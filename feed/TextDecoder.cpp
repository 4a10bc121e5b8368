#include "TextDecoder.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <optional>

#include "AsciiCase.h"
#include "Utf8.h"

namespace {

// An XML declaration is short; a page that merely starts with "<?xml" must not make us scan it all.
constexpr std::size_t kMaxDeclarationBytes = 512;
constexpr std::size_t kMaxCharsetNameBytes = 64;

// A source encoding as iconv names it, and the size of its code unit: after an invalid sequence
// the decoder skips one unit, so UTF-16 text stays aligned.
struct Encoding {
  std::string name;
  std::size_t unitBytes = 1;
};

// Owns one iconv conversion descriptor.
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (Valid()) iconv_close(handle_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return handle_; }

 private:
  iconv_t handle_;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Charset names are short runs of letters, digits and a little punctuation. Anything else is
// refused before it reaches iconv: a name such as "utf-8//IGNORE" would make iconv drop bytes.
bool IsPlausibleCharsetName(std::string_view name) {
  if (name.empty() || name.size() > kMaxCharsetNameBytes) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':' || c == '+' || c == '(' || c == ')';
  });
}

bool IsUtf8Name(std::string_view name) {
  std::string squeezed;
  for (char c : name) {
    if (c != '-' && c != '_') squeezed += AsciiCase::Lower(c);
  }
  return squeezed == "utf8";
}

std::size_t UnitBytesOf(std::string_view name) {
  if (AsciiCase::StartsWith(name, "UTF-32") || AsciiCase::StartsWith(name, "UTF32") ||
      AsciiCase::StartsWith(name, "UCS-4") || AsciiCase::StartsWith(name, "UCS4")) {
    return 4;
  }
  if (AsciiCase::StartsWith(name, "UTF-16") || AsciiCase::StartsWith(name, "UTF16") ||
      AsciiCase::StartsWith(name, "UCS-2") || AsciiCase::StartsWith(name, "UCS2")) {
    return 2;
  }
  return 1;
}

// Labels that browsers read as a wider encoding than their name says, and iconv's name for it.
// Feeds labelled ISO-8859-1 or ASCII very often hold curly quotes, dashes and the euro sign at
// 0x80 to 0x9F, which ISO-8859-1 would turn into invisible C1 controls; strict Shift_JIS turns
// "~" and "\" into an overline and a yen sign and lacks the characters Windows added (circled
// numbers), so it is read as CP932; GB2312 as GBK, ISO-8859-9 as windows-1254; "Unicode" is
// UTF-16, little-endian.
std::optional<Encoding> WiderEncoding(std::string_view name) {
  static constexpr struct {
    std::string_view label;
    const char* encoding;
  } kLabels[] = {
      {"ansi_x3.4-1968", "WINDOWS-1252"}, {"ascii", "WINDOWS-1252"}, {"cp1252", "WINDOWS-1252"},
      {"cp819", "WINDOWS-1252"}, {"csisolatin1", "WINDOWS-1252"}, {"ibm819", "WINDOWS-1252"},
      {"iso-8859-1", "WINDOWS-1252"}, {"iso-ir-100", "WINDOWS-1252"}, {"iso8859-1", "WINDOWS-1252"},
      {"iso88591", "WINDOWS-1252"}, {"iso_8859-1", "WINDOWS-1252"}, {"iso_8859-1:1987", "WINDOWS-1252"},
      {"l1", "WINDOWS-1252"}, {"latin1", "WINDOWS-1252"}, {"us-ascii", "WINDOWS-1252"},
      {"windows-1252", "WINDOWS-1252"}, {"x-cp1252", "WINDOWS-1252"},
      {"csshiftjis", "CP932"}, {"ms932", "CP932"}, {"ms_kanji", "CP932"}, {"shift-jis", "CP932"},
      {"shift_jis", "CP932"}, {"sjis", "CP932"}, {"windows-31j", "CP932"}, {"x-sjis", "CP932"},
      {"chinese", "GBK"}, {"csgb2312", "GBK"}, {"csiso58gb231280", "GBK"}, {"gb2312", "GBK"},
      {"gb_2312", "GBK"}, {"gb_2312-80", "GBK"}, {"gbk", "GBK"}, {"iso-ir-58", "GBK"}, {"x-gbk", "GBK"},
      {"cp1254", "WINDOWS-1254"}, {"csisolatin5", "WINDOWS-1254"}, {"iso-8859-9", "WINDOWS-1254"},
      {"iso-ir-148", "WINDOWS-1254"}, {"iso8859-9", "WINDOWS-1254"}, {"iso88599", "WINDOWS-1254"},
      {"iso_8859-9", "WINDOWS-1254"}, {"iso_8859-9:1989", "WINDOWS-1254"}, {"l5", "WINDOWS-1254"},
      {"latin5", "WINDOWS-1254"}, {"windows-1254", "WINDOWS-1254"}, {"x-cp1254", "WINDOWS-1254"},
      {"csunicode", "UTF-16LE"}, {"unicode", "UTF-16LE"}, {"unicodefeff", "UTF-16LE"},
  };
  for (const auto& entry : kLabels) {
    if (name.size() == entry.label.size() && AsciiCase::StartsWith(name, entry.label)) {
      return Encoding{entry.encoding, UnitBytesOf(entry.encoding)};
    }
  }
  return std::nullopt;
}

// The encoding for a charset name, or nothing when the name is implausible or iconv lacks it.
std::optional<Encoding> KnownEncoding(std::string_view name) {
  if (!IsPlausibleCharsetName(name)) return std::nullopt;
  if (std::optional<Encoding> wider = WiderEncoding(name)) return wider;
  Encoding encoding{std::string(name), UnitBytesOf(name)};
  if (!IsUtf8Name(name) && !IconvHandle("UTF-8", encoding.name.c_str()).Valid()) return std::nullopt;
  return encoding;
}

// Byte-order marks, longest first: FF FE 00 00 is UTF-32LE, not UTF-16LE.
std::optional<Encoding> EncodingFromByteOrderMark(std::string_view body, std::size_t& markBytes) {
  struct Mark {
    std::string_view bytes;
    const char* name;
    std::size_t unitBytes;
  };
  static constexpr Mark kMarks[] = {
      {std::string_view("\x00\x00\xFE\xFF", 4), "UTF-32BE", 4},
      {std::string_view("\xFF\xFE\x00\x00", 4), "UTF-32LE", 4},
      {"\xEF\xBB\xBF", "UTF-8", 1},
      {"\xFE\xFF", "UTF-16BE", 2},
      {"\xFF\xFE", "UTF-16LE", 2},
  };
  for (const Mark& mark : kMarks) {
    if (body.substr(0, mark.bytes.size()) == mark.bytes) {
      markBytes = mark.bytes.size();
      return Encoding{mark.name, mark.unitBytes};
    }
  }
  return std::nullopt;
}

// The charset parameter of a Content-Type value such as `text/xml; charset="ISO-8859-1"`.
std::string_view CharsetParameter(std::string_view contentType) {
  std::size_t semicolon = contentType.find(';');
  while (semicolon != std::string_view::npos) {
    contentType.remove_prefix(semicolon + 1);
    semicolon = contentType.find(';');
    std::string_view parameter = Trim(contentType.substr(0, semicolon));
    std::size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view name = Trim(parameter.substr(0, equals));
    if (name.size() != 7 || !AsciiCase::StartsWith(name, "charset")) continue;
    std::string_view value = Trim(parameter.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    return Trim(value);
  }
  return {};
}

// The encoding pseudo-attribute of an XML declaration written in an ASCII-compatible encoding.
std::string_view DeclaredEncoding(std::string_view body) {
  std::size_t start = 0;
  while (start < body.size() && start < kMaxDeclarationBytes && IsSpace(body[start])) ++start;
  std::string_view rest = body.substr(start);
  if (rest.substr(0, 5) != "<?xml" || rest.size() < 6 || !IsSpace(rest[5])) return {};
  std::size_t end = rest.substr(0, kMaxDeclarationBytes).find("?>");
  if (end == std::string_view::npos) return {};
  std::string_view declaration = rest.substr(5, end - 5);
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos || at == 0 || !IsSpace(declaration[at - 1])) return {};
  std::string_view value = declaration.substr(at + 8);
  while (!value.empty() && IsSpace(value.front())) value.remove_prefix(1);
  if (value.empty() || value.front() != '=') return {};
  value.remove_prefix(1);
  while (!value.empty() && IsSpace(value.front())) value.remove_prefix(1);
  if (value.empty() || (value.front() != '"' && value.front() != '\'')) return {};
  std::size_t close = value.find(value.front(), 1);
  if (close == std::string_view::npos) return {};
  return value.substr(1, close - 1);
}

// The XML declaration itself, found above by reading the bytes as ASCII, shows the text is not
// in UTF-16 or UTF-32 whatever it claims; such a claim is ignored.
std::optional<Encoding> EncodingFromDeclaration(std::string_view body) {
  // A declaration written in UTF-16 without a byte-order mark: "<?" as 16-bit units.
  if (body.substr(0, 4) == std::string_view("<\x00?\x00", 4)) return Encoding{"UTF-16LE", 2};
  if (body.substr(0, 4) == std::string_view("\x00<\x00?", 4)) return Encoding{"UTF-16BE", 2};
  std::optional<Encoding> declared = KnownEncoding(DeclaredEncoding(body));
  if (declared && declared->unitBytes != 1) return std::nullopt;
  return declared;
}

// Converts text with iconv; an invalid or truncated sequence becomes U+FFFD and decoding goes on
// with the next code unit.
std::string ConvertToUtf8(std::string_view text, const Encoding& encoding) {
  if (IsUtf8Name(encoding.name)) return Utf8::Sanitized(text);
  IconvHandle converter("UTF-8", encoding.name.c_str());
  if (!converter.Valid()) return Utf8::Sanitized(text);  // not reached: names are checked earlier
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  char* in = const_cast<char*>(text.data());  // iconv's signature; the input is not written
  std::size_t inLeft = text.size();
  char buffer[16384];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(converter.Get(), &in, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (result != static_cast<std::size_t>(-1) || error == E2BIG) continue;
    out.append(Utf8::kReplacement);
    if (error != EILSEQ) break;  // EINVAL: the text ends inside a sequence
    const std::size_t skip = std::min(encoding.unitBytes, inLeft);
    in += skip;
    inLeft -= skip;
  }
  char* outPtr = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(converter.Get(), nullptr, nullptr, &outPtr, &outLeft);  // close any shift state
  out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
  // iconv's own output is UTF-8 already; checking it keeps the promise without trusting it.
  return Utf8::IsValid(out) ? out : Utf8::Sanitized(out);
}

// The decoded text, or nothing when the body is valid UTF-8 to be used as it is.
std::optional<std::string> DecodeUnlessUsableAsIs(std::string_view body, std::string_view contentType) {
  std::size_t markBytes = 0;
  std::optional<Encoding> encoding = EncodingFromByteOrderMark(body, markBytes);
  if (encoding) return ConvertToUtf8(body.substr(markBytes), *encoding);
  encoding = KnownEncoding(CharsetParameter(contentType));
  if (!encoding) encoding = EncodingFromDeclaration(body);
  if (encoding && !IsUtf8Name(encoding->name)) return ConvertToUtf8(body, *encoding);
  if (Utf8::IsValid(body)) return std::nullopt;
  // Declared UTF-8 keeps its valid parts; undeclared text that is not UTF-8 is windows-1252.
  return ConvertToUtf8(body, encoding ? *encoding : Encoding{"WINDOWS-1252", 1});
}

}  // namespace

std::string DecodeBody(std::string_view body, std::string_view contentType) {
  std::optional<std::string> decoded = DecodeUnlessUsableAsIs(body, contentType);
  return decoded ? std::move(*decoded) : std::string(body);
}

std::string DecodeOwnedBody(std::string body, std::string_view contentType) {
  std::optional<std::string> decoded = DecodeUnlessUsableAsIs(body, contentType);
  return decoded ? std::move(*decoded) : std::move(body);
}
