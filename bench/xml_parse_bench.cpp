// Throughput of the XML parse path in C++, stage by stage, against expat's
// bare parse of the same bytes: the arena tree alone, the whole parse
// (detection, tree, converter, derivation-ready model) and the whole parse
// including the release of the model. No Python is involved, so this is the
// benchmark to profile the core with.
//
//   xml_parse_bench [--repeat N] [--stage NAME] FILE|DIR ...
//
// --stage runs that stage alone (for a profiler): "expat", "tree", "parse"
// or "free" (the whole parse including the release).
//
// Files holding several documents (bulk files) are split at each "<?xml".
// Each repetition runs every stage over every document, in rotating order;
// the medians are reported.

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
#include "source/xml/tree.hpp"

namespace {

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
  std::vector<double> seconds;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int repeat = 9;
  std::string_view only;
  std::vector<std::string> documents;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (argument == "--stage" && i + 1 < argc) {
      only = argv[++i];
    } else {
      load(argv[i], documents);
    }
  }
  // Only documents every stage can take: the well-formed XML ones.
  std::erase_if(documents, [](const std::string& text) { return !expat_bare(text) || !tessellox::parse_source(text); });
  if (documents.empty()) {
    std::fprintf(stderr, "usage: xml_parse_bench [--repeat N] FILE|DIR ...  (no parsable XML documents given)\n");
    return 2;
  }
  std::size_t bytes = 0;
  for (const std::string& text : documents) bytes += text.size();

  // The model outlives the timed call in the "parse" stage and is released
  // outside the clock, so that stage and "parse + free" differ by the release.
  std::vector<tessellox::ParseResult> kept;
  kept.reserve(1);
  std::vector<Stage> stages = {
      {"expat bare", expat_bare, {}},
      {"arena tree", [](std::string_view text) { return tessellox::xml::parse_tree(text).ok(); }, {}},
      {"parse", [&kept](std::string_view text) {
         kept.push_back(tessellox::parse_source(text));
         return kept.back().ok();
       }, {}},
      {"parse + free", [](std::string_view text) { return tessellox::parse_source(text).ok(); }, {}},
  };

  if (!only.empty()) {
    constexpr std::string_view kKeys[] = {"expat", "tree", "parse", "free"};
    const auto key = std::find(std::begin(kKeys), std::end(kKeys), only);
    if (key == std::end(kKeys)) {
      std::fprintf(stderr, "unknown stage (expat, tree, parse, free)\n");
      return 2;
    }
    stages = {stages[static_cast<std::size_t>(key - std::begin(kKeys))]};
  }

  for (int round = 0; round < repeat; ++round) {
    std::vector<double> totals(stages.size(), 0.0);
    for (std::size_t d = 0; d < documents.size(); ++d) {
      for (std::size_t k = 0; k < stages.size(); ++k) {
        const std::size_t s = (k + d + static_cast<std::size_t>(round)) % stages.size();
        const auto start = Clock::now();
        const bool ok = stages[s].run(documents[d]);
        totals[s] += std::chrono::duration<double>(Clock::now() - start).count();
        kept.clear();
        if (!ok) return 1;
      }
    }
    for (std::size_t s = 0; s < stages.size(); ++s) stages[s].seconds.push_back(totals[s]);
  }

  std::printf("%zu documents, %.2f MB, %d repetitions (medians)\n", documents.size(), bytes / 1e6, repeat);
  const double expat = median(stages[0].seconds);  // or the one stage run
  for (const Stage& stage : stages) {
    const double seconds = median(stage.seconds);
    std::printf("  %-14s %9.1f ms %8.1f MB/s   %5.2fx expat's time\n", stage.name, seconds * 1e3,
                bytes / seconds / 1e6, seconds / expat);
  }
  return 0;
}
