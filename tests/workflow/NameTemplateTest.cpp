// File-name templates: what they accept, the names they give, and the export making subfolders
// inside its folder without following links or overwriting anything.
#include "NameTemplate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "EnclosureSaver.h"
#include "ErrorGuard.h"
#include "FeedItemBuilder.h"
#include "HtmlExport.h"
#include "ScriptedDialogs.h"
#include "TempFolder.h"
#include "Utf8.h"
#include "WorkflowFakes.h"

namespace fs = std::filesystem;

namespace {

using Texts = std::vector<std::string>;

NameTemplate Parsed(const std::string& text) {
  std::string error;
  std::optional<NameTemplate> parsed = NameTemplate::Parse(text, error);
  EXPECT_TRUE(parsed) << text << ": " << error;
  return parsed.value_or(NameTemplate());
}

TEST(NameTemplateTest, RefusesWhatCannotNameAFileInsideTheFolder) {
  const struct {
    std::string text, error;
  } cases[] = {
      {"", "the name template is empty"},
      {"{nope}", "unknown field {nope} in the name template (known: {stem} {n} {date} {title} {host} {id})"},
      {"{stem", "unknown field {stem in the name template (known: {stem} {n} {date} {title} {host} {id})"},
      {"a}b", "a lone } in the name template"},
      {"/{n}", "a name template cannot have an empty part: /{n}"},
      {"a//{n}", "a name template cannot have an empty part: a//{n}"},
      {"{n}/", "a name template cannot have an empty part: {n}/"},
      {"../{n}", "a name template cannot have a part \"..\""},
      {"./{n}", "a name template cannot have a part \".\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    EXPECT_FALSE(NameTemplate::Parse(c.text, error));
    EXPECT_EQ(error, c.error);
  }
}

TEST(NameTemplateTest, FieldsMakeNamesAndOnlyTheTemplateMakesFolders) {
  NameFields fields{"httpblogexamplefeed", "2026-12-07T08:30:00Z", "Hello, World / Ünïcode ../ Again 中!",
                    "blog.example", "urn:x:1"};
  const std::string e200(200, 'e');
  std::string accents;
  for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";  // é, two bytes each
  const struct {
    std::string text;
    int64_t number;
    std::string extension;
    Texts path;
  } cases[] = {
      {NameTemplate::kDefault, 7, ".html", {"httpblogexamplefeed7.html"}},
      {"{host}/{date}-{title}", 0, ".md", {"blog.example", "2026-12-07-hello-world-Ünïcode-again-中.md"}},
      // Without {n}, a taken name moves on to -2, -3, ...
      {"{host}/{date}-{title}", 2, ".md", {"blog.example", "2026-12-07-hello-world-Ünïcode-again-中-3.md"}},
      {"x/y/{n} z", 12, ".json", {"x", "y", "12 z.json"}},
      // Cut to 255 bytes on a character boundary, the number and extension kept whole.
      {accents + "{n}", 7, ".html", {std::string(accents, 0, 248) + "7.html"}},
      {accents + "/{stem}{stem}{n}", 123, ".md", {std::string(accents, 0, 254), fields.stem + fields.stem + "123.md"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Parsed(c.text).Expand(fields, c.number, c.extension), c.path);
  }
  // Fields that give nothing, or dots, never make an empty or climbing name.
  fields = {"", "not a date", "", "../", ""};
  EXPECT_EQ(Parsed("{host}/{title}").Expand(fields, 0, ".md"), (Texts{"_", "_.md"}));
  EXPECT_EQ(Parsed("{date}").Expand(fields, 0, ".md"), Texts{"undated.md"});
  // The id is a short hash: the same identity gives the same name, another one another name.
  const Texts first = Parsed("{id}").Expand({"", "", "", "", "urn:a"}, 0, "");
  EXPECT_EQ(first, Parsed("{id}").Expand({"", "", "", "", "urn:a"}, 0, ""));
  EXPECT_NE(first, Parsed("{id}").Expand({"", "", "", "", "urn:b"}, 0, ""));
  EXPECT_EQ(first.at(0).size(), 10u);
  // A long title gives a short slug; cut within a character, the character goes whole.
  EXPECT_EQ(TitleSlug(std::string(100, 'A')), std::string(60, 'a'));
  EXPECT_EQ(TitleSlug(std::string(59, 'a') + "\xE4\xB8\xAD"), std::string(59, 'a'));
  EXPECT_EQ(Utf8::CutToBytes("a\xE4\xB8\xAD", 3), "a");
}

// An enclosure is named after its entry's file, with an extension of letters and digits only.
TEST(NameTemplateTest, EnclosureNamesFollowTheEntrysFile) {
  const struct {
    std::string url, type, extension;
  } cases[] = {
      {"https://cdn.example/ep/42.MP3?token=a.b#t=1", "audio/mpeg", "mp3"},
      {"https://cdn.example/play?file=x.mp3", "audio/x-m4a; codecs=mp4a", "m4a"},
      {"https://cdn.example/a.b/file", "", "bin"},
      {"https://cdn.example/x.m%2F4a", "image/png", "png"},
      {"https://cdn.example/x.averyverylongone", "", "bin"},
      {"https://cdn.example/.mp3", "", "bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(EnclosureExtension(c.url, c.type), c.extension);
  }
  EXPECT_EQ(EnclosureName("feed7", "mp3", 0), "feed7.mp3");
  EXPECT_EQ(EnclosureName("feed7", "mp3", 1), "feed7-2.mp3");
  std::string accents;
  for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(EnclosureName(accents, "mp3", 9), std::string(accents, 0, 248) + "-10.mp3");
  // The download's progress in words.
  EXPECT_EQ(ProgressText({0, "", 1536, 3u << 20, 512}), "1.5 KiB of 3.0 MiB, 512 bytes/s");
}

// The export with a template: subfolders made inside the folder, a link in a subfolder's place
// never followed (that row fails alone), taken names passed over, "/" in a title kept out.
TEST(NameTemplateTest, ExportMakesSubfoldersInsideTheFolderOnly) {
  TempFolder folder, outside;
  PlainFolderField field;
  field.text = folder.FieldText();
  VectorResultsList results;
  RecordingPointer pointer;
  ScriptedDialogs dialogs;
  const auto add = [&](const std::string& link, const std::string& title) {
    results.rows.push_back({"http://feeds.example/f.rss", title, "d", link, true});
    results.SetEntry(static_cast<int64_t>(results.rows.size() - 1),
                     FeedItemBuilder().Link(link).Title(title).Published("2026-01-02T00:00:00Z").Build());
  };
  add("https://a.example/1", "One/Two");
  add("https://a.example/2", "One/Two");
  add("https://linked.example/3", "Three");
  add("", "Four");
  fs::create_directory_symlink(outside.Path(), folder.Path() / "linked.example");
  fs::create_directories(folder.Path() / "a.example");
  folder.Write("a.example/2026-01-02-one-two.md", "mine");

  HtmlExport exporter(results, field, pointer, dialogs);
  exporter.SetChoices({OutputFormat::kMarkdown, Parsed("{host}/{date}-{title}")});
  Texts written;
  exporter.OnFileWritten([&](int64_t, const std::string& path) { written.push_back(path); });
  exporter.Save();
  const std::string at = folder.FieldText();
  EXPECT_EQ(written, (Texts{at + "a.example/2026-01-02-one-two-2.md", at + "a.example/2026-01-02-one-two-3.md",
                            at + "feeds.example/2026-01-02-four.md"}));
  EXPECT_EQ(TempFolder::Read(folder.Path() / "a.example/2026-01-02-one-two.md"), "mine");
  EXPECT_TRUE(fs::is_empty(outside.Path()));
  ASSERT_EQ(dialogs.MessageTexts().size(), 2u);
  EXPECT_EQ(dialogs.MessageTexts()[0],
            ErrorReportText(at + "linked.example: Not a directory", "PushButton3_Click", 124));
  EXPECT_EQ(dialogs.MessageTexts()[1], "Done.");
}

}  // namespace
