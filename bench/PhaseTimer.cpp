#include "PhaseTimer.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include <re2/re2.h>

#include "BenchSupport.h"
#include "ComponentRegistry.h"
#include "MarkupScanners.h"
#include "Patterns.h"
#include "RegExp.h"
#include "XmlDocument.h"

using BenchSupport::Now;

namespace {

constexpr int kRepetitions = 5;

struct FieldPaths {
  const char* entry;
  const char* title;
  const char* description;
  const char* link;
};

// The reader's dialect table, repeated here so that each step can be timed alone.
constexpr FieldPaths kDialects[] = {
    {"/rss/channel/item", "title", "description", "link"},
    {"/rdf:RDF/item", "title", "description", "link"},
    {"/feed/entry", "title", "content|summary[not(../content)]",
     "link[@rel='alternate' or not(@rel)]/@href"},
};

// The best of a few runs of step; prepare runs untimed before each.
double Best(const std::function<void()>& prepare, const std::function<void()>& step) {
  double best = 1e30;
  for (int run = 0; run < kRepetitions; ++run) {
    prepare();
    double start = Now();
    step();
    best = std::min(best, Now() - start);
  }
  return best;
}

void Print(const char* step, double seconds, std::size_t bytes) {
  std::printf("%-42s %9.3f ms %9.1f MiB/s\n", step, seconds * 1e3,
              static_cast<double>(bytes) / (1024.0 * 1024.0) / seconds);
}

std::string Re2Replace(const char* pattern, const std::string& text) {
  RE2::Options options;
  options.set_case_sensitive(false);
  static std::map<const char*, std::unique_ptr<RE2>> compiled;
  auto& regex = compiled[pattern];
  if (!regex) regex = std::make_unique<RE2>(pattern, options);
  std::string out = text;
  RE2::GlobalReplace(&out, *regex, "");
  return out;
}

}  // namespace

int TimePhases(const std::string& text) {
  ComponentRegistry registry = ComponentRegistry::Standard();
  std::unique_ptr<Component> component = registry.Create("VBScript.RegExp");
  auto* regex = dynamic_cast<RegExp*>(component.get());
  if (!regex) throw std::runtime_error("no regular-expression component");
  regex->IgnoreCase(true);
  regex->Global(true);
  auto nothing = [] {};

  std::string copy;
  Print("copy of the response text", Best([&] { copy.clear(); copy.shrink_to_fit(); },
                                           [&] { copy = text; }), text.size());

  // The reader gives its texts up to the component, which works in their storage; the copies
  // that stand in for them are made outside the timing. CleanDocument is the component's
  // removal of forbidden characters, then the scanner's removal of declarations.
  std::string cleaned;
  std::string toClean;
  Print("CleanDocument: characters (component)", Best([&] { toClean = text; }, [&] {
          regex->Pattern(Patterns::kCleanDocument);
          cleaned = regex->Replace(std::move(toClean), "");
        }), text.size());
  std::string viaRe2;
  Print("CleanDocument: characters (plain RE2)", Best(nothing, [&] {
          viaRe2 = Re2Replace(Patterns::kCleanDocument, text);
        }), text.size());
  if (viaRe2 != cleaned) std::printf("  !! the component and RE2 disagree on CleanDocument\n");
  std::string withoutDeclarations;
  Print("CleanDocument: declarations (scanner)", Best([&] { withoutDeclarations = cleaned; }, [&] {
          MarkupScanners::RemoveDoctypeDeclarations(withoutDeclarations);
        }), text.size());
  Print("CleanDocument (both)", Best([&] { toClean = text; }, [&] {
          regex->Pattern(Patterns::kCleanDocument);
          cleaned = regex->Replace(std::move(toClean), "");
          MarkupScanners::RemoveDoctypeDeclarations(cleaned);
        }), text.size());
  std::string withReferences;
  Print("character references (part of LoadXML)", Best([&] { withReferences = cleaned; }, [&] {
          MarkupScanners::ReplaceForbiddenCharacterReferences(withReferences);
        }), text.size());

  std::unique_ptr<XmlDocument> document;
  std::string input;
  Print("LoadXML", Best([&] { document = std::make_unique<XmlDocument>(); input = cleaned; },
                        [&] { document->LoadXML(std::move(input)); }), text.size());

  const FieldPaths* paths = nullptr;
  for (const FieldPaths& candidate : kDialects) {
    if (!document->SelectSingleNode(candidate.entry).IsNull()) {
      paths = &candidate;
      break;
    }
  }
  if (!paths) throw std::runtime_error("no known dialect");
  std::vector<XmlNode> entries;
  Print("entry query", Best(nothing, [&] { entries = document->SelectNodes(paths->entry); }),
        text.size());

  std::vector<std::string> descriptions;
  std::size_t descriptionBytes = 0;
  Print("field queries and text", Best([&] { descriptions.clear(); }, [&] {
          for (const XmlNode& entry : entries) {
            std::string link = entry.SelectSingleNode(paths->link).NodeTypedValue();
            std::string title = entry.SelectSingleNode(paths->title).NodeTypedValue();
            descriptions.push_back(entry.SelectSingleNode(paths->description).NodeTypedValue());
          }
        }), text.size());
  for (const std::string& description : descriptions) descriptionBytes += description.size();

  std::vector<std::string> stripped(descriptions.size());
  std::vector<std::string> toStrip;
  Print("StripHTML (component)", Best([&] { toStrip = descriptions; }, [&] {
          for (std::size_t index = 0; index < toStrip.size(); ++index) {
            regex->Pattern(Patterns::kStripHtml);
            stripped[index] = regex->Replace(std::move(toStrip[index]), "");
          }
        }), descriptionBytes);
  bool agree = true;
  Print("StripHTML (plain RE2)", Best(nothing, [&] {
          for (std::size_t index = 0; index < descriptions.size(); ++index) {
            const std::string expected = Re2Replace(Patterns::kStripHtml, descriptions[index]);
            agree = expected == stripped[index] && agree;
          }
        }), descriptionBytes);
  if (!agree) std::printf("  !! the component and RE2 disagree on StripHTML\n");
  std::printf("%zu entries, %zu bytes of feed, %zu bytes of descriptions\n", entries.size(),
              text.size(), descriptionBytes);
  return 0;
}
