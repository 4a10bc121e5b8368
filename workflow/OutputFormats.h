// What the export writes into each file: the plain default file, a whole HTML page, a Markdown
// file with front matter, or a JSON object with every field of the entry.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "FeedItem.h"

enum class OutputFormat { kText, kHtml, kMarkdown, kJson };

// The format of a name as the command line and the settings write it ("text", "html",
// "markdown", "json"), or nothing for any other text.
std::optional<OutputFormat> OutputFormatNamed(std::string_view name);
std::string OutputFormatName(OutputFormat format);
// The extension of its files: ".html" for text and html, ".md", ".json".
std::string FileExtension(OutputFormat format);

// One results row as the formats read it: its texts, and the entry it came from, null for a
// row made without one.
struct RowEntry {
  std::string address;
  std::string title;
  std::string description;
  std::string link;
  std::shared_ptr<const FeedItem> entry;
};

// The bytes of the file for row in format.
std::string RenderRow(OutputFormat format, const RowEntry& row);

// The default file: title, blank line, description, blank line, link, each line ended by CR LF;
// "&", "<" and ">" in the texts are written as "&amp;", "&lt;" and "&gt;", so that a browser,
// which opens the file as HTML, shows the texts as they are and runs nothing.
std::string HtmlFileContent(const std::string& title, const std::string& description,
                            const std::string& link);
