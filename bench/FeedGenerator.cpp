#include "FeedGenerator.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

namespace {

// splitmix64: tiny, fast, and the same sequence on every platform, so the feeds are too.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A number in [0, bound).
  std::size_t Below(std::size_t bound) { return static_cast<std::size_t>(Next() % bound); }

 private:
  uint64_t state_;
};

constexpr std::array<std::string_view, 48> kWords = {
    "feed",    "parser",  "entry",    "window",  "network", "update",  "release", "version",
    "server",  "client",  "reader",   "channel", "summary", "archive", "morning", "evening",
    "library", "garden",  "market",   "harbour", "science", "history", "weather", "travel",
    "music",   "theatre", "football", "kitchen", "recipe",  "review",  "report",  "letter",
    "the",     "a",       "of",       "and",     "to",      "in",      "with",    "for",
    "on",      "over",    "under",    "between", "after",   "before",  "since",   "about"};

// Literal UTF-8: Latin-1 letters, typographic marks, Greek and CJK.
constexpr std::array<std::string_view, 10> kForeignWords = {
    "café",        "naïve",          "Übergröße", "façade",   "—",
    "“quoted”", "Ελληνικά", "αβγ",    "日本語", "中文"};

// Text content must be escaped once; the HTML inside it is escaped as markup, so an ampersand
// inside an attribute of the HTML reads "&amp;amp;" in the feed.
void AppendWord(std::string& out, Random& random) {
  std::size_t pick = random.Below(100);
  if (pick < 6) {
    out += kForeignWords[random.Below(kForeignWords.size())];
  } else if (pick < 9) {
    out += "it&#8217;s";
  } else if (pick < 11) {
    out += "&amp;";
  } else if (pick < 13) {
    out += "&quot;";
    out += kWords[random.Below(kWords.size())];
    out += "&quot;";
  } else {
    out += kWords[random.Below(kWords.size())];
  }
}

void AppendSentence(std::string& out, Random& random) {
  std::size_t words = 8 + random.Below(9);
  for (std::size_t index = 0; index < words; ++index) {
    if (index > 0) out += ' ';
    std::size_t pick = random.Below(40);
    if (pick == 0) {
      out += "&lt;em&gt;";
      AppendWord(out, random);
      out += "&lt;/em&gt;";
    } else if (pick == 1) {
      out += "&lt;b&gt;";
      AppendWord(out, random);
      out += "&lt;/b&gt;";
    } else if (pick == 2) {
      std::string_view word = kWords[random.Below(kWords.size())];
      out += "&lt;a href=&quot;https://example.com/tag/";
      out += word;
      out += "?ref=feed&amp;amp;n=";
      out += std::to_string(random.Below(1000));
      out += "&quot;&gt;";
      out += word;
      out += "&lt;/a&gt;";
    } else {
      AppendWord(out, random);
    }
  }
  out += '.';
}

// About 1 KB of escaped HTML: paragraphs of sentences, now and then a line break tag.
std::string Description(Random& random) {
  std::string out;
  out.reserve(1200);
  while (out.size() < 820) {
    out += "&lt;p&gt;";
    std::size_t sentences = 2 + random.Below(3);
    for (std::size_t index = 0; index < sentences; ++index) {
      if (index > 0) out += random.Below(5) == 0 ? "&lt;br/&gt;\n" : " ";
      AppendSentence(out, random);
    }
    out += "&lt;/p&gt;\n";
  }
  return out;
}

std::string Title(std::size_t number, Random& random) {
  std::string out = "Item " + std::to_string(number) + ": ";
  std::size_t words = 3 + random.Below(4);
  for (std::size_t index = 0; index < words; ++index) {
    if (index > 0) out += ' ';
    // Every third title carries non-ASCII text.
    if (number % 3 == 0 && index == 1) {
      out += kForeignWords[random.Below(kForeignWords.size())];
    } else {
      out += kWords[random.Below(kWords.size())];
    }
  }
  if (number % 7 == 0) out += " &amp; more";
  return out;
}

std::string Link(std::size_t number) {
  return "https://example.com/posts/" + std::to_string(number) + "?utm=feed&amp;v=2";
}

void AppendRssItem(std::string& out, std::size_t number, Random& random) {
  out += "    <item>\n      <title>" + Title(number, random) + "</title>\n";
  out += "      <link>" + Link(number) + "</link>\n";
  out += "      <guid isPermaLink=\"false\">post-" + std::to_string(number) + "</guid>\n";
  out += "      <pubDate>Mon, 06 Sep 2021 16:45:00 +0000</pubDate>\n";
  out += "      <dc:creator>Author " + std::to_string(number % 17) + "</dc:creator>\n";
  out += "      <category>" + std::string(kWords[number % 32]) + "</category>\n";
  out += "      <category>" + std::string(kWords[(number + 5) % 32]) + "</category>\n";
  // Every tenth entry is an episode with its file.
  if (number % 10 == 0) {
    out += "      <enclosure url=\"https://example.com/audio/" + std::to_string(number) +
           ".mp3\" length=\"24986239\" type=\"audio/mpeg\"/>\n";
  }
  out += "      <description>" + Description(random) + "</description>\n";
  out += "      <content:encoded>" + Description(random) + "</content:encoded>\n    </item>\n";
}

void AppendRdfItem(std::string& out, std::size_t number, Random& random) {
  out += "  <item rdf:about=\"" + Link(number) + "\">\n    <title>" + Title(number, random) +
         "</title>\n";
  out += "    <link>" + Link(number) + "</link>\n";
  out += "    <dc:date>2021-09-06T16:45:00Z</dc:date>\n";
  out += "    <dc:creator>Author " + std::to_string(number % 17) + "</dc:creator>\n";
  out += "    <dc:subject>" + std::string(kWords[number % 32]) + "</dc:subject>\n";
  out += "    <description>" + Description(random) + "</description>\n";
  out += "    <content:encoded>" + Description(random) + "</content:encoded>\n  </item>\n";
}

void AppendAtomEntry(std::string& out, std::size_t number, Random& random) {
  out += "  <entry>\n    <title type=\"html\">" + Title(number, random) + "</title>\n";
  out += "    <link rel=\"alternate\" type=\"text/html\" href=\"" + Link(number) + "\"/>\n";
  out += "    <link rel=\"replies\" href=\"" + Link(number) + "#comments\"/>\n";
  out += "    <id>urn:example:post-" + std::to_string(number) + "</id>\n";
  out += "    <published>2021-09-06T16:45:00+02:00</published>\n";
  out += "    <updated>2021-09-06T16:45:00Z</updated>\n";
  out += "    <author><name>Author " + std::to_string(number % 17) + "</name></author>\n";
  out += "    <category term=\"" + std::string(kWords[number % 32]) + "\"/>\n";
  if (number % 10 == 0) {
    out += "    <link rel=\"enclosure\" type=\"audio/mpeg\" length=\"24986239\" href=\"https://example.com/audio/" +
           std::to_string(number) + ".mp3\"/>\n";
  }
  out += "    <summary>Entry " + std::to_string(number) + " in short</summary>\n";
  out += "    <content type=\"html\">" + Description(random) + "</content>\n  </entry>\n";
}

// The text an XML text node written as xml holds, as a JSON string: the generator's entities
// decoded once, then quotes, backslashes and line ends escaped.
std::string JsonString(std::string_view xml) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kEntities = {{
      {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}, {"&quot;", "\\\""}, {"&#8217;", "\u2019"}}};
  std::string out = "\"";
  for (std::size_t at = 0; at < xml.size();) {
    bool replaced = false;
    for (const auto& [entity, text] : kEntities) {
      if (xml.substr(at, entity.size()) == entity) {
        out += text;
        at += entity.size();
        replaced = true;
        break;
      }
    }
    if (replaced) continue;
    const char c = xml[at++];
    if (c == '\n') {
      out += "\\n";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void AppendJsonItem(std::string& out, std::size_t number, Random& random) {
  if (number > 1) out += ",\n";
  out += "    {\"id\": \"post-" + std::to_string(number) + "\", \"title\": " + JsonString(Title(number, random));
  out += ",\n     \"url\": " + JsonString(Link(number)) + ", \"date_published\": \"2021-09-06T16:45:00Z\",\n";
  out += "     \"content_html\": " + JsonString(Description(random)) + "}";
}

}  // namespace

const char* DialectName(FeedDialect dialect) {
  switch (dialect) {
    case FeedDialect::kRss:
      return "rss";
    case FeedDialect::kRdf:
      return "rdf";
    case FeedDialect::kAtom:
      return "atom";
    case FeedDialect::kJson:
      return "json";
  }
  return "unknown";
}

std::string GenerateFeed(FeedDialect dialect, std::size_t itemCount) {
  // JSON Feed draws the RSS 2.0 feed's entries, so that the two read the same texts.
  const FeedDialect entries = dialect == FeedDialect::kJson ? FeedDialect::kRss : dialect;
  Random random(0x5EED0000u + static_cast<uint64_t>(entries));
  std::string out;
  out.reserve(itemCount * 2600 + 1024);
  if (dialect == FeedDialect::kJson) {
    out += "{\"version\": \"https://jsonfeed.org/version/1.1\", \"title\": \"Generated feed\",\n";
    out += " \"home_page_url\": \"https://example.com/\",\n \"items\": [\n";
    for (std::size_t number = 1; number <= itemCount; ++number) AppendJsonItem(out, number, random);
    out += "\n ]}\n";
    return out;
  }
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  switch (dialect) {
    case FeedDialect::kRss:
      out += "<rss version=\"2.0\" xmlns:content=\"http://purl.org/rss/1.0/modules/content/\"\n"
             "     xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n  <channel>\n    <title>Generated feed</title>\n";
      out += "    <link>https://example.com/</link>\n";
      out += "    <description>Entries for timing the parser</description>\n";
      for (std::size_t number = 1; number <= itemCount; ++number) {
        AppendRssItem(out, number, random);
      }
      out += "  </channel>\n</rss>\n";
      break;
    case FeedDialect::kRdf:
      out += "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"\n"
             "         xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
             "         xmlns:content=\"http://purl.org/rss/1.0/modules/content/\"\n"
             "         xmlns=\"http://purl.org/rss/1.0/\">\n";
      out += "  <channel rdf:about=\"https://example.com/\">\n    <title>Generated feed</title>\n";
      out += "    <link>https://example.com/</link>\n";
      out += "    <description>Entries for timing the parser</description>\n";
      // RSS 1.0 lists its items in the channel and puts the items themselves beside it.
      out += "    <items>\n      <rdf:Seq>\n";
      for (std::size_t number = 1; number <= itemCount; ++number) {
        out += "        <rdf:li resource=\"" + Link(number) + "\"/>\n";
      }
      out += "      </rdf:Seq>\n    </items>\n  </channel>\n";
      for (std::size_t number = 1; number <= itemCount; ++number) {
        AppendRdfItem(out, number, random);
      }
      out += "</rdf:RDF>\n";
      break;
    case FeedDialect::kAtom:
      out += "<feed xmlns=\"http://www.w3.org/2005/Atom\">\n  <title>Generated feed</title>\n";
      out += "  <id>urn:example:feed</id>\n  <updated>2021-09-06T16:45:00Z</updated>\n";
      out += "  <link rel=\"alternate\" href=\"https://example.com/\"/>\n";
      for (std::size_t number = 1; number <= itemCount; ++number) {
        AppendAtomEntry(out, number, random);
      }
      out += "</feed>\n";
      break;
    case FeedDialect::kJson:
      break;
  }
  return out;
}
