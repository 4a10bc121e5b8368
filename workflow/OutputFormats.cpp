#include "OutputFormats.h"

#include "HtmlSanitizer.h"
#include "MarkdownWriter.h"
#include "MarkupText.h"
#include "TextEscapes.h"
#include "WebLinks.h"

namespace {

constexpr const char* kLineEnd = "\r\n";

// The entry's full body as markup: its content, else the row's description as text.
std::string BodyMarkup(const RowEntry& row) {
  if (row.entry && !row.entry->Content().empty()) return row.entry->Content();
  return HtmlEscaped(row.description);
}

std::string Published(const RowEntry& row) {
  if (!row.entry) return {};
  return row.entry->Published().empty() ? row.entry->Updated() : row.entry->Published();
}

std::string HtmlPage(const RowEntry& row) {
  const std::string title = HtmlEscaped(row.title);
  std::string page = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
                     "</title>\n</head>\n<body>\n<article>\n<h1>" + title + "</h1>\n";
  const std::string date = Published(row);
  const std::string author = row.entry ? row.entry->Author() : std::string();
  if (!date.empty() || !author.empty()) {
    page += "<p>";
    if (!date.empty()) page += "<time datetime=\"" + HtmlEscaped(date) + "\">" + HtmlEscaped(date) + "</time>";
    if (!date.empty() && !author.empty()) page += " \xC2\xB7 ";
    page += HtmlEscaped(author) + "</p>\n";
  }
  page += "<div>" + SanitizeHtml(BodyMarkup(row), row.link) + "</div>\n";
  if (IsWebAddress(row.link)) {
    page += "<p><a href=\"" + HtmlEscaped(row.link) + "\">" + HtmlEscaped(row.link) + "</a></p>\n";
  } else if (!row.link.empty()) {
    page += "<p>" + HtmlEscaped(row.link) + "</p>\n";
  }
  return page + "</article>\n</body>\n</html>\n";
}

std::string MarkdownFile(const RowEntry& row) {
  static const FeedItem kNone;
  const FeedItem& entry = row.entry ? *row.entry : kNone;
  std::string file = "---\n";
  const auto line = [&](const char* key, const std::string& value) {
    file += key;
    file += ": " + YamlQuoted(value) + "\n";
  };
  line("title", row.title);
  line("link", row.link);
  line("id", entry.Id());
  line("published", entry.Published());
  line("updated", entry.Updated());
  line("author", entry.Author());
  line("feed", entry.Channel().title.empty() ? row.address : entry.Channel().title);
  file += "categories: [";
  for (std::size_t i = 0; i < entry.Categories().size(); ++i) {
    file += (i == 0 ? "" : ", ") + YamlQuoted(entry.Categories()[i]);
  }
  file += "]\n";
  if (entry.Enclosures().empty()) file += "enclosures: []\n";
  else file += "enclosures:\n";
  for (const FeedEnclosure& enclosure : entry.Enclosures()) {
    file += "  - url: " + YamlQuoted(enclosure.url) + "\n    type: " + YamlQuoted(enclosure.type) +
            "\n    length: " + std::to_string(enclosure.length) + "\n";
  }
  file += "---\n\n";
  return file + HtmlToMarkdown(BodyMarkup(row), row.link);
}

void AppendField(std::string& json, const char* key, const std::string& value) {
  json += ",\n  \"";
  json += key;
  json += "\": ";
  AppendJsonString(json, value);
}

std::string JsonFile(const RowEntry& row) {
  static const FeedItem kNone;
  const FeedItem& entry = row.entry ? *row.entry : kNone;
  std::string json = "{\n  \"address\": " + JsonString(row.address);
  AppendField(json, "title", row.title);
  AppendField(json, "description", row.description);
  AppendField(json, "link", row.link);
  AppendField(json, "id", entry.Id());
  AppendField(json, "published", entry.Published());
  AppendField(json, "updated", entry.Updated());
  AppendField(json, "author", entry.Author());
  AppendField(json, "content", entry.Content());
  json += ",\n  \"categories\": [";
  for (std::size_t i = 0; i < entry.Categories().size(); ++i) {
    json += (i == 0 ? "" : ", ") + JsonString(entry.Categories()[i]);
  }
  json += "],\n  \"enclosures\": [";
  for (std::size_t i = 0; i < entry.Enclosures().size(); ++i) {
    const FeedEnclosure& enclosure = entry.Enclosures()[i];
    json += (i == 0 ? "{\"url\": " : ", {\"url\": ") + JsonString(enclosure.url) +
            ", \"type\": " + JsonString(enclosure.type) + ", \"length\": " + std::to_string(enclosure.length) + "}";
  }
  json += "],\n  \"feed\": {\"title\": " + JsonString(entry.Channel().title) +
          ", \"link\": " + JsonString(entry.Channel().link) + "}\n}\n";
  return json;
}

}  // namespace

std::optional<OutputFormat> OutputFormatNamed(std::string_view name) {
  for (OutputFormat format : {OutputFormat::kText, OutputFormat::kHtml, OutputFormat::kMarkdown, OutputFormat::kJson}) {
    if (OutputFormatName(format) == name) return format;
  }
  return std::nullopt;
}

std::string OutputFormatName(OutputFormat format) {
  switch (format) {
    case OutputFormat::kHtml: return "html";
    case OutputFormat::kMarkdown: return "markdown";
    case OutputFormat::kJson: return "json";
    case OutputFormat::kText: break;
  }
  return "text";
}

std::string FileExtension(OutputFormat format) {
  switch (format) {
    case OutputFormat::kMarkdown: return ".md";
    case OutputFormat::kJson: return ".json";
    case OutputFormat::kText:
    case OutputFormat::kHtml: break;
  }
  return ".html";
}

std::string HtmlFileContent(const std::string& title, const std::string& description, const std::string& link) {
  return MarkupText(title) + kLineEnd + kLineEnd + MarkupText(description) + kLineEnd + kLineEnd +
         MarkupText(link) + kLineEnd;
}

std::string RenderRow(OutputFormat format, const RowEntry& row) {
  switch (format) {
    case OutputFormat::kHtml: return HtmlPage(row);
    case OutputFormat::kMarkdown: return MarkdownFile(row);
    case OutputFormat::kJson: return JsonFile(row);
    case OutputFormat::kText: break;
  }
  return HtmlFileContent(row.title, row.description, row.link);
}
