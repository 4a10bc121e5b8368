#include "EntryFields.h"

#include <array>
#include <charconv>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <unordered_set>

#include "FeedDates.h"
#include "MarkupText.h"
#include "XmlDocument.h"

namespace {

// The longest author kept: a name or an address, or both, fits many times over; a longer text is
// a paragraph put in the wrong element.
constexpr std::size_t kMaxAuthorBytes = 512;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// text without blank space around it and with every run of blanks inside it as one space: names
// and categories are often written over several indented lines.
std::string Collapsed(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool blank = false;
  for (char c : text) {
    if (IsBlank(c)) {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

std::string Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

bool IsTokenCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::strchr("!#$&^_.+-", c) != nullptr;
}

// use(text) for the node's text, read in place when the element holds text alone: most fields
// are short, and a copy to trim would cost an allocation and a free for each.
template <class Use>
auto WithText(const XmlNode& node, Use&& use) {
  std::string_view view;
  if (node.PlainText(view)) return use(view);
  const std::string text = node.NodeTypedValue();
  return use(std::string_view(text));
}

// A media type as "audio/mpeg" or "text/html; charset=utf-8", else empty.
std::string MediaType(std::string_view text) {
  std::string type = Trimmed(text);
  const std::string_view essence = std::string_view(type).substr(0, type.find(';'));
  const std::size_t slash = essence.find('/');
  const auto isToken = [](std::string_view part) {
    if (part.empty()) return false;
    for (char c : part) {
      if (!IsTokenCharacter(c)) return false;
    }
    return true;
  };
  if (slash == std::string_view::npos || !isToken(essence.substr(0, slash)) ||
      !isToken(Trimmed(essence.substr(slash + 1)))) {
    return {};
  }
  return type;
}

// A length in bytes as plain digits; 0 for anything else ("unknown", "-1", "12 MB", too large).
uint64_t ByteLength(std::string_view text) {
  const std::string digits = Trimmed(text);
  uint64_t length = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  return length;
}

// An address as the feed gives it, or empty when it is blank or holds control characters.
std::string EnclosureAddress(std::string_view text) {
  std::string url = Trimmed(text);
  for (unsigned char c : url) {
    if (c < 0x20 || c == 0x7F) return {};
  }
  return url;
}

// The children whose names an entry's fields come from.
enum class Field {
  kOther, kTitle, kLink, kDescription, kContentEncoded, kContent, kSummary, kGuid, kId,
  kPubDate, kDcDate, kPublished, kIssued, kUpdated, kModified, kDctermsModified, kAuthor,
  kDcCreator, kCategory, kDcSubject, kEnclosure, kMediaContent, kMediaGroup,
};

// A switch on the first letter, since most children's names are tested against every field.
Field FieldNamed(const char* name) {
  const auto is = [name](const char* candidate) { return std::strcmp(name + 1, candidate + 1) == 0; };
  switch (name[0]) {
    case 'a':
      if (is("author")) return Field::kAuthor;
      if (is("atom:updated")) return Field::kUpdated;
      break;
    case 'c':
      if (is("content:encoded")) return Field::kContentEncoded;
      if (is("content")) return Field::kContent;
      if (is("category")) return Field::kCategory;
      break;
    case 'd':
      if (is("description")) return Field::kDescription;
      if (is("dc:date")) return Field::kDcDate;
      if (is("dc:creator")) return Field::kDcCreator;
      if (is("dc:subject")) return Field::kDcSubject;
      if (is("dcterms:modified")) return Field::kDctermsModified;
      break;
    case 'e':
      if (is("enclosure")) return Field::kEnclosure;
      break;
    case 'g':
      if (is("guid")) return Field::kGuid;
      break;
    case 'i':
      if (is("id")) return Field::kId;
      if (is("issued")) return Field::kIssued;
      break;
    case 'l':
      if (is("link")) return Field::kLink;
      break;
    case 'm':
      if (is("media:content")) return Field::kMediaContent;
      if (is("media:group")) return Field::kMediaGroup;
      if (is("modified")) return Field::kModified;
      break;
    case 'p':
      if (is("pubDate")) return Field::kPubDate;
      if (is("published")) return Field::kPublished;
      break;
    case 's':
      if (is("summary")) return Field::kSummary;
      break;
    case 't':
      if (is("title")) return Field::kTitle;
      break;
    case 'u':
      if (is("updated")) return Field::kUpdated;
      break;
    default:
      break;
  }
  return Field::kOther;
}

// Atom's text constructs as HTML: "html" as it is, "xhtml" as the markup inside its div, text
// escaped; a body given elsewhere (src) or in another media type gives nothing.
// text, when given, is the node's text already read.
std::string AtomHtml(const XmlNode& node, const std::string* text) {
  if (node.IsNull() || node.HasAttribute("src")) return {};
  const std::string_view type = node.Attribute("type");
  const auto value = [&] { return text ? *text : node.NodeTypedValue(); };
  if (type == "html" || type == "text/html") return value();
  if (type.empty() || type == "text" || type.substr(0, 5) == "text/") return MarkupText(value());
  if (type == "xhtml" || (type.size() > 3 && type.substr(type.size() - 3) == "xml")) {
    XmlNode div;
    node.ForEachChildElement([&](const XmlNode& child) {
      const std::string_view name = child.Name();
      if (div.IsNull() && (name == "div" || (name.size() > 4 && name.substr(name.size() - 4) == ":div"))) {
        div = child;
      }
    });
    return div.IsNull() ? node.InnerXml() : div.InnerXml();
  }
  return {};
}

// One entry's children as they are met: the first of each single field is kept as a node and
// read at the end; the lists grow as their elements come.
class EntryScan {
 public:
  explicit EntryScan(EntryDialect dialect) : atom_(dialect == EntryDialect::kAtom) {}

  void Visit(const XmlNode& child) {
    const Field field = FieldNamed(child.Name());
    switch (field) {
      case Field::kOther: return;
      case Field::kLink: return atom_ ? AtomLink(child) : Keep(field, child);
      case Field::kCategory:
        if (!atom_) return WithText(child, [&](std::string_view text) { AddCategory(text); });
        return AddCategory(child.HasAttribute("term") ? child.Attribute("term") : child.Attribute("label"));
      case Field::kDcSubject: return WithText(child, [&](std::string_view text) { AddCategory(text); });
      case Field::kEnclosure:
        return AddEnclosure(child.Attribute("url"), child.Attribute("type"), child.Attribute("length"));
      case Field::kMediaContent:
        return AddEnclosure(child.Attribute("url"), child.Attribute("type"), child.Attribute("fileSize"));
      case Field::kMediaGroup:
        return child.ForEachChildElement([&](const XmlNode& file) {
          if (std::strcmp(file.Name(), "media:content") == 0) Visit(file);
        });
      default: return Keep(field, child);
    }
  }

  EntryFields Finish(const XmlNode& entry) {
    EntryFields fields;
    fields.title = At(Field::kTitle).NodeTypedValue();
    fields.link = atom_ ? std::move(atomLink_) : At(Field::kLink).NodeTypedValue();
    // An Atom entry without content keeps its text in summary.
    const XmlNode& description =
        atom_ ? (At(Field::kContent).IsNull() ? At(Field::kSummary) : At(Field::kContent)) : At(Field::kDescription);
    fields.description = description.NodeTypedValue();
    // The description's node read as HTML gives its text again: copied, not read twice.
    const auto atomHtml = [&](Field field) {
      const XmlNode& node = At(field);
      return AtomHtml(node, node == description ? &fields.description : nullptr);
    };
    fields.content = atom_ ? atomHtml(Field::kContent) : At(Field::kContentEncoded).NodeTypedValue();
    if (fields.content.empty()) fields.content = atom_ ? atomHtml(Field::kSummary) : fields.description;

    fields.id = WithText(At(Field::kGuid), Trimmed);
    if (fields.id.empty()) fields.id = WithText(At(Field::kId), Trimmed);
    // RSS 1.0 names its items by their rdf:about address.
    if (fields.id.empty()) fields.id = Trimmed(entry.Attribute("rdf:about"));
    fields.published = FirstDate({Field::kPubDate, Field::kDcDate, Field::kPublished, Field::kIssued});
    fields.updated = FirstDate({Field::kUpdated, Field::kModified, Field::kDctermsModified});
    fields.author = Author();
    fields.categories = std::move(categories_);
    fields.enclosures = std::move(enclosures_);
    return fields;
  }

 private:
  static constexpr std::size_t kFields = static_cast<std::size_t>(Field::kMediaGroup) + 1;

  const XmlNode& At(Field field) const { return first_[static_cast<std::size_t>(field)]; }
  void Keep(Field field, const XmlNode& child) {
    XmlNode& slot = first_[static_cast<std::size_t>(field)];
    if (slot.IsNull()) slot = child;
  }

  // An Atom entry's link is the first whose rel is "alternate" or absent and that has an address;
  // rel="enclosure" names a file.
  void AtomLink(const XmlNode& link) {
    const std::string_view rel = link.Attribute("rel");
    if (rel == "enclosure") return AddEnclosure(link.Attribute("href"), link.Attribute("type"), link.Attribute("length"));
    if (atomLinkFound_ || !link.HasAttribute("href") || (link.HasAttribute("rel") && rel != "alternate")) return;
    atomLink_ = link.Attribute("href");
    atomLinkFound_ = true;
  }

  void AddCategory(std::string_view text) {
    std::string category = Collapsed(text);
    if (category.empty()) return;
    // Room for the few an entry usually has, so that growing the list frees nothing.
    if (categories_.empty()) categories_.reserve(4);
    categories_.push_back(std::move(category));
  }

  // A file is listed once, however many of its elements name it (an enclosure and a
  // media:content for the same episode).
  void AddEnclosure(std::string_view url, std::string_view type, std::string_view length) {
    FeedEnclosure enclosure{EnclosureAddress(url), MediaType(type), ByteLength(length)};
    if (enclosure.url.empty() || !enclosureUrls_.insert(enclosure.url).second) return;
    if (enclosures_.empty()) enclosures_.reserve(2);
    enclosures_.push_back(std::move(enclosure));
  }

  // The first of the candidates, in order, that holds a date this reads.
  std::string FirstDate(std::initializer_list<Field> candidates) const {
    for (Field field : candidates) {
      if (At(field).IsNull()) continue;
      std::string date = WithText(At(field), FeedDates::ToRfc3339);
      if (!date.empty()) return date;
    }
    return {};
  }

  // RSS author, Atom author's name (or address), else dc:creator.
  std::string Author() const {
    std::string author;
    const XmlNode& node = At(Field::kAuthor);
    if (atom_) {
      XmlNode name, email;
      node.ForEachChildElement([&](const XmlNode& child) {
        if (name.IsNull() && std::strcmp(child.Name(), "name") == 0) name = child;
        if (email.IsNull() && std::strcmp(child.Name(), "email") == 0) email = child;
      });
      author = WithText(name, Collapsed);
      if (author.empty()) author = WithText(email, Collapsed);
    } else {
      author = WithText(node, Collapsed);
    }
    if (author.empty()) author = WithText(At(Field::kDcCreator), Collapsed);
    return author.size() > kMaxAuthorBytes ? std::string() : author;
  }

  bool atom_;
  std::array<XmlNode, kFields> first_{};
  std::string atomLink_;
  bool atomLinkFound_ = false;
  std::vector<std::string> categories_;
  std::vector<FeedEnclosure> enclosures_;
  std::unordered_set<std::string> enclosureUrls_;
};

struct ChannelPaths {
  const char* title;
  const char* link;
};

constexpr std::array<ChannelPaths, 3> kChannelPaths = {{
    {"/rss/channel/title", "/rss/channel/link"},
    {"/rdf:RDF/channel/title", "/rdf:RDF/channel/link"},
    {"/feed/title", "/feed/link[@rel='alternate' or not(@rel)]/@href"},
}};

constexpr std::array<const char*, 3> kFeedElements = {"/rss/channel", "/rdf:RDF/channel", "/feed"};

constexpr std::string_view kAtomNamespace = "http://www.w3.org/2005/Atom";

// Whether prefix ("" for none) is bound to the Atom namespace on element or the nearest ancestor
// that binds it.
bool InAtomNamespace(const XmlNode& element, std::string_view prefix) {
  const std::string attribute = prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix);
  for (XmlNode node = element; !node.IsNull(); node = node.Parent()) {
    if (node.HasAttribute(attribute.c_str())) return node.Attribute(attribute.c_str()) == kAtomNamespace;
  }
  return false;
}

// A link relation as its registered name: Atom also allows the registry's full address.
std::string_view RelationName(std::string_view rel) {
  constexpr std::string_view kRegistry = "http://www.iana.org/assignments/relation/";
  while (!rel.empty() && IsBlank(rel.front())) rel.remove_prefix(1);
  while (!rel.empty() && IsBlank(rel.back())) rel.remove_suffix(1);
  if (rel.substr(0, kRegistry.size()) == kRegistry) rel.remove_prefix(kRegistry.size());
  return rel;
}

}  // namespace

FeedPaging ReadPaging(const XmlDocument& document, EntryDialect dialect) {
  FeedPaging paging;
  const XmlNode feed = document.SelectSingleNode(kFeedElements[static_cast<std::size_t>(dialect)]);
  // One step over the feed's children, entries included; only link elements are looked into.
  feed.ForEachChildElement([&](const XmlNode& child) {
    const std::string_view name = child.Name();
    const std::size_t colon = name.find(':');
    const std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
    if (local != "link") return;
    const std::string_view prefix = colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
    // An Atom feed's own names are read as written, as its entries are; in RSS only Atom's link
    // has a rel, never RSS's own.
    if (!(dialect == EntryDialect::kAtom && prefix.empty()) && !InAtomNamespace(child, prefix)) return;
    const std::string_view rel = RelationName(child.Attribute("rel"));
    std::string* target = rel == "prev-archive" ? &paging.prevArchive : rel == "next" ? &paging.next : nullptr;
    if (target && target->empty()) *target = Trimmed(child.Attribute("href"));
  });
  return paging;
}

EntryFields ReadEntryFields(const XmlNode& entry, EntryDialect dialect) {
  EntryScan scan(dialect);
  entry.ForEachChildElement([&](const XmlNode& child) { scan.Visit(child); });
  return scan.Finish(entry);
}

FeedChannel ReadChannel(const XmlDocument& document, EntryDialect dialect) {
  const ChannelPaths& paths = kChannelPaths[static_cast<std::size_t>(dialect)];
  return {Collapsed(document.SelectSingleNode(paths.title).NodeTypedValue()),
          Trimmed(document.SelectSingleNode(paths.link).NodeTypedValue())};
}
