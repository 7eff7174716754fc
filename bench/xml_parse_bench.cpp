// Throughput of the XML parse path in C++, stage by stage, against expat's
// bare parse of the same bytes: the arena tree alone (the front end's path,
// scanner first), the whole parse (detection, tree, converter,
// derivation-ready model), the whole parse including the release of the
// model, and the scanner alone over the documents it does not decline. No
// Python is involved, so this is the benchmark to profile the core with.
//
//   xml_parse_bench [--repeat N] [--stage NAME] FILE|DIR ...
//
// --stage runs that stage alone (for a profiler): "expat", "tree", "parse",
// "free" (the whole parse including the release) or "scan".
//
// Files holding several documents (bulk files) are split at each "<?xml".
// Each repetition runs every stage over every document, in rotating order;
// the medians are reported. Given several paths, the table is printed for
// each path alone (one family of documents each) and then for all together,
// all from the same interleaved run.

#include <expat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "handlers.hpp"
#include "source/xml/parse_tree.hpp"
#include "source/xml/scanner.hpp"

namespace {

// The documents outlive every parse, as a caller's text does: no copy.
tessellox::SourceText borrowed(std::string_view text) {
  return tessellox::SourceText::borrowed(text, nullptr, nullptr);
}

using Clock = std::chrono::steady_clock;

std::vector<std::string> split_documents(const std::string& text) {
  std::vector<std::string> documents;
  std::size_t start = text.find("<?xml");
  if (start == std::string::npos) return {text};
  while (start != std::string::npos) {
    const std::size_t next = text.find("<?xml", start + 5);
    documents.push_back(text.substr(start, next == std::string::npos ? std::string::npos : next - start));
    start = next;
  }
  return documents;
}

void load(const std::filesystem::path& path, std::vector<std::string>& documents) {
  if (std::filesystem::is_directory(path)) {
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(path)) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries) load(entry, documents);
    return;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  for (std::string& document : split_documents(buffer.str())) documents.push_back(std::move(document));
}

bool expat_bare(std::string_view text) {
  XML_Parser parser = XML_ParserCreate("UTF-8");
  const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return ok;
}

struct Stage {
  const char* name;
  std::function<bool(std::string_view)> run;
  bool scanned_only = false;  // timed only over the documents the scanner takes
};

struct Document {
  std::string text;
  std::size_t family;  // the index of the path it came from
  bool scanned;        // the scanner builds its tree rather than declining
};

// seconds[round][stage][document]; zero where a stage skipped a document.
using Timings = std::vector<std::vector<std::vector<double>>>;

// The median over the repetitions of one stage's total time over `members`.
double median_seconds(const Timings& seconds, std::size_t stage, const std::vector<std::size_t>& members) {
  std::vector<double> totals;
  for (const auto& round : seconds) {
    double total = 0.0;
    for (const std::size_t d : members) total += round[stage][d];
    totals.push_back(total);
  }
  std::sort(totals.begin(), totals.end());
  return totals[totals.size() / 2];
}

std::size_t bytes_of(const std::vector<Document>& documents, const std::vector<std::size_t>& members) {
  std::size_t bytes = 0;
  for (const std::size_t d : members) bytes += documents[d].text.size();
  return bytes;
}

void print_row(const char* name, double seconds, std::size_t bytes, double reference) {
  std::printf("  %-14s %9.1f ms %8.1f MB/s   %5.2fx expat's time  %5.2fx expat's throughput", name, seconds * 1e3,
              bytes / seconds / 1e6, seconds / reference, reference / seconds);
}

// One table: every stage over `members`; the scanner's row only over the
// members it takes, against the reference stage over the same ones.
void print_table(const std::string& label, const std::vector<Document>& documents,
                 const std::vector<std::size_t>& members, const std::vector<Stage>& stages, const Timings& seconds,
                 int repeat) {
  std::vector<std::size_t> scanned;
  for (const std::size_t d : members) {
    if (documents[d].scanned) scanned.push_back(d);
  }
  const std::size_t bytes = bytes_of(documents, members);
  std::printf("%s: %zu documents, %.2f MB, %d repetitions (medians)\n", label.c_str(), members.size(), bytes / 1e6,
              repeat);
  const double reference = median_seconds(seconds, 0, members);  // expat, or the one stage run
  for (std::size_t s = 0; s < stages.size(); ++s) {
    if (!stages[s].scanned_only) {
      print_row(stages[s].name, median_seconds(seconds, s, members), bytes, reference);
      std::printf("\n");
    } else if (scanned.empty()) {
      std::printf("  %-14s declined all %zu documents\n", stages[s].name, members.size());
    } else {
      print_row(stages[s].name, median_seconds(seconds, s, scanned), bytes_of(documents, scanned),
                median_seconds(seconds, 0, scanned));
      std::printf("   over the %zu it takes; %zu declined\n", scanned.size(), members.size() - scanned.size());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 9;
  std::string_view only;
  std::vector<std::string> families;
  std::vector<Document> documents;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (argument == "--stage" && i + 1 < argc) {
      only = argv[++i];
    } else {
      std::vector<std::string> texts;
      load(argv[i], texts);
      for (std::string& text : texts) documents.push_back({std::move(text), families.size(), false});
      families.emplace_back(argument);
    }
  }
  // Only documents every stage can take: the well-formed XML ones.
  std::erase_if(documents, [](const Document& document) {
    return !expat_bare(document.text) || !tessellox::parse_source(borrowed(document.text));
  });
  if (documents.empty()) {
    std::fprintf(stderr, "usage: xml_parse_bench [--repeat N] FILE|DIR ...  (no parsable XML documents given)\n");
    return 2;
  }
  for (Document& document : documents) document.scanned = tessellox::xml::scan_tree(document.text).has_value();

  // The model outlives the timed call in the "parse" stage and is released
  // outside the clock, so that stage and "parse + free" differ by the release.
  std::vector<tessellox::ParseResult> kept;
  kept.reserve(1);
  std::vector<Stage> stages = {
      {"expat bare", expat_bare},
      {"arena tree", [](std::string_view text) { return tessellox::xml::parse_tree(text).ok(); }},
      {"parse",
       [&kept](std::string_view text) {
         kept.push_back(tessellox::parse_source(borrowed(text)));
         return kept.back().ok();
       }},
      {"parse + free", [](std::string_view text) { return tessellox::parse_source(borrowed(text)).ok(); }},
      {"scanner", [](std::string_view text) { return tessellox::xml::scan_tree(text).has_value(); }, true},
  };

  if (!only.empty()) {
    constexpr std::string_view kKeys[] = {"expat", "tree", "parse", "free", "scan"};
    const auto key = std::find(std::begin(kKeys), std::end(kKeys), only);
    if (key == std::end(kKeys)) {
      std::fprintf(stderr, "unknown stage (expat, tree, parse, free, scan)\n");
      return 2;
    }
    stages = {stages[static_cast<std::size_t>(key - std::begin(kKeys))]};
  }

  Timings seconds(static_cast<std::size_t>(repeat),
                  std::vector<std::vector<double>>(stages.size(), std::vector<double>(documents.size(), 0.0)));
  for (int round = 0; round < repeat; ++round) {
    for (std::size_t d = 0; d < documents.size(); ++d) {
      for (std::size_t k = 0; k < stages.size(); ++k) {
        const std::size_t s = (k + d + static_cast<std::size_t>(round)) % stages.size();
        if (stages[s].scanned_only && !documents[d].scanned) continue;
        const auto start = Clock::now();
        const bool ok = stages[s].run(documents[d].text);
        seconds[static_cast<std::size_t>(round)][s][d] = std::chrono::duration<double>(Clock::now() - start).count();
        kept.clear();
        if (!ok) return 1;
      }
    }
  }

  std::vector<std::size_t> all(documents.size());
  for (std::size_t d = 0; d < documents.size(); ++d) all[d] = d;
  if (families.size() > 1) {
    for (std::size_t f = 0; f < families.size(); ++f) {
      std::vector<std::size_t> members;
      for (std::size_t d = 0; d < documents.size(); ++d) {
        if (documents[d].family == f) members.push_back(d);
      }
      if (members.empty()) {
        std::printf("%s: no parsable XML documents\n\n", families[f].c_str());
        continue;
      }
      print_table(families[f], documents, members, stages, seconds, repeat);
      std::printf("\n");
    }
  }
  print_table(families.size() > 1 ? "all together" : families[0], documents, all, stages, seconds, repeat);
  return 0;
}
