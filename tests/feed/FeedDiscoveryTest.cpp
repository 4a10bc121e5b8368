#include "FeedDiscovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kPage = "http://blog.example/posts/index.html";

// Announced feeds: resolved, feed types with rel alternate only, from the head, each once, not the page.
TEST(FeedDiscovery, AnnouncementsOfPages) {
  struct Row { std::string html; std::vector<std::string> links; std::vector<std::string> feeds; };
  const Row rows[] = {
      {"<html><head><link rel=\"alternate\" type=\"application/rss+xml\" href=\"/feed.xml\">", {},
       {"http://blog.example/feed.xml"}},
      {"<!doctype html><link rel='Alternate home' type='application/atom+xml; charset=utf-8' href=atom.xml>"
       "<link rel=alternate type=application/feed+json href='//cdn.example/f.json#top'>"
       "<link rel=alternate type=application/rdf+xml href=../rdf>"
       "<link rel=alternate type=text/html href=/fr/><link rel=stylesheet type=application/rss+xml href=/s>",
       {},
       {"http://blog.example/posts/atom.xml", "http://cdn.example/f.json", "http://blog.example/rdf"}},
      {"<head><base href=\"https://other.example/a/\"><link rel=alternate type=application/json href=j></head>", {},
       {"https://other.example/a/j"}},
      // In the body, not the head; another scheme; the page itself: none of them.
      {"<html><head><title>x</title></head><body><link rel=alternate type=application/rss+xml href=/b.xml>", {}, {}},
      {"<link rel=alternate type=application/rss+xml href='javascript:alert(1)'>"
       "<link rel=alternate type=application/rss+xml href='index.html'>"
       "<link rel=alternate type=application/rss+xml href='/feed'><link rel=alternate type=application/rss+xml href='/feed'>",
       {}, {"http://blog.example/feed"}},
      {"<p>Hello</p>", {}, {}},
      {"", {"</x,y.xml>; rel=\"alternate\"; type=\"application/atom+xml\", <https://f.example/>; rel=\"next\"",
            "<rss>; type=application/rss+xml; rel=alternate"},
       {"http://blog.example/x,y.xml", "http://blog.example/posts/rss"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.html);
    EXPECT_EQ(AnnouncedFeeds(row.html, kPage, row.links), row.feeds);
  }
}

TEST(FeedDiscovery, PagesAreToldFromFeeds) {
  struct Row { std::string body; std::string type; bool page; };
  const Row rows[] = {
      {"\xEF\xBB\xBF <!-- x --><!DOCTYPE HTML><p>", "", true},
      {"<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\">", "application/xml", true},
      {"<p>Hello", "text/html; charset=utf-8", true},
      {"<?xml version=\"1.0\"?><rss version=\"2.0\">", "text/html", false},
      {"<feed xmlns=\"http://www.w3.org/2005/Atom\">", "text/html", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.body);
    EXPECT_EQ(LooksLikeHtmlPage(row.body, row.type), row.page);
  }
}

// A thousand announcements keep the first few; a page past the ceiling is not read past it.
TEST(FeedDiscovery, AnnouncementsAreBounded) {
  std::string html = "<head>";
  for (int i = 0; i < 1000; ++i) html += "<link rel=alternate type=application/rss+xml href=/f" + std::to_string(i) + ">";
  const std::vector<std::string> feeds = AnnouncedFeeds(html, kPage, {});
  ASSERT_EQ(feeds.size(), kMaxAnnouncedFeeds);
  EXPECT_EQ(feeds.back(), "http://blog.example/f" + std::to_string(kMaxAnnouncedFeeds - 1));
  const std::string late = std::string(kMaxAnnouncingPageBytes, ' ') + "<link rel=alternate type=application/rss+xml href=/l>";
  EXPECT_TRUE(AnnouncedFeeds(late, kPage, {}).empty());
}

}  // namespace
