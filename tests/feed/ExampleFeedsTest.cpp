// The bundled example feeds read as the reader should read them.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "FakeHttpRequest.h"
#include "FeedReader.h"

namespace {

std::string ReadExample(const std::string& name) {
  std::ifstream file(std::string(FEEDWRIGHT_EXAMPLES_DIR) + "/feeds/" + name, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(ExampleFeeds, EachDialectReadsWhole) {
  struct Row {
    const char* file;
    const char* type;
    std::size_t items;
    std::size_t index;
    const char* title;
    const char* description;
    const char* link;
  };
  const Row rows[] = {
      {"harbour-news.rss", "RSS", 3, 1, "Café “Zur Mühle” reopens after renovation",
       "Crème brûlée, Apfelstrudel &amp; fresh bread — the café on the quay is open again.",
       "http://harbour.feedwright.example/news/cafe-muehle"},
      {"observatory.rdf", "RDF", 2, 1, "Ο Δίας σε αντίθεση — Jupiter at opposition",
       "Jupiter is at its brightest: magnitude &minus;2.8.",
       "http://sky.feedwright.example/notes/jupiter"},
      {"garden-journal.atom", "Atom", 3, 2, "Compost notes", "Greens and browns, turned every two weeks.",
       "http://garden.feedwright.example/journal/compost"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    auto script = std::make_shared<FakeHttpScript>(ReadExample(row.file));
    ASSERT_FALSE(script->body.empty());
    FeedReader reader(FakeHttpRegistry(script));
    ASSERT_TRUE(reader.ReadFeed("http://example.invalid/feed"));
    EXPECT_EQ(reader.FeedTypeString(), row.type);
    ASSERT_EQ(reader.FeedItems()->size(), row.items);
    const FeedItem& item = *reader.FeedItems()->at(row.index);
    EXPECT_EQ(item.Title(), row.title);
    EXPECT_EQ(item.Description(), row.description);
    EXPECT_EQ(item.URL(), row.link);
  }
}

}  // namespace
