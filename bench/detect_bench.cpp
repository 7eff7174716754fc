// Cost of format detection against expat's bare parse of the same bytes.
//
//   detect_bench                      generated grants of 10 KB, 1 MB, 100 MB, then the real samples
//   detect_bench --sizes 10000,1000000 --repeat 21 --data DIR
//   detect_bench FILE...              only these files (bulk files are split at each "<?xml")
//
// Both contenders see the same UTF-8 bytes in memory: detect_source_format on
// the whole text, and expat with no handlers (XML_ParserCreate("UTF-8"), one
// XML_Parse). Repetitions alternate between the two and each reports its
// median; short texts are timed in batches so that one timing lasts a few
// milliseconds. Detection must stay under 10% of expat's time, and its time
// per byte must not grow with the size of the text.

#include <expat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "model.hpp"
#include "source/detect.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kMegabyte = 1e6;
constexpr double kTarget = 0.10;
constexpr double kMinimumBatchSeconds = 0.005;

// ---------------------------------------------------------------------------
// A small deterministic generator of v4.5 grants, shaped like bench/generate.py's.
// ---------------------------------------------------------------------------

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed * 2862933555777941757ULL + 3037000493ULL) {}
  unsigned below(unsigned bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>((state_ >> 33) % bound);
  }
  template <std::size_t N>
  std::string_view pick(const std::string_view (&words)[N]) {
    return words[below(N)];
  }

 private:
  std::uint64_t state_;
};

constexpr std::string_view kNouns[] = {"housing",  "substrate", "layer",   "electrode", "controller", "sensor",
                                       "module",   "assembly",  "circuit", "signal",    "memory",     "interface",
                                       "actuator", "valve",     "chamber", "conduit",   "member",     "frame",
                                       "bracket",  "shaft",     "bearing", "spring",    "detector",   "emitter"};
constexpr std::string_view kAdjectives[] = {"first", "second",  "upper",   "lower",      "inner",
                                            "outer", "lateral", "central", "adjacent",   "flexible",
                                            "rigid", "annular", "planar",  "conductive", "optical"};
constexpr std::string_view kVerbs[] = {"is coupled to", "engages",  "extends through", "is disposed on",
                                       "supports",      "receives", "surrounds",       "communicates with"};

void append_sentence(std::string& out, Random& random) {
  const unsigned shape = random.below(8);
  out.append("The ").append(random.pick(kAdjectives)).push_back(' ');
  out.append(random.pick(kNouns));
  if (shape == 0) {
    out.append(" <b>").append(std::to_string(10 + 2 * random.below(200))).append("</b>");
  } else if (shape == 1) {
    out.append(" shown in <figref idref=\"DRAWINGS\">FIG. ").append(std::to_string(1 + random.below(12)));
    out.append("</figref>");
  } else if (shape == 2) {
    out.append(" holding H<sub>2</sub>O at 25&deg; C.");
  } else if (shape == 3) {
    out.append(" (&ldquo;<i>").append(random.pick(kNouns)).append("</i>&rdquo;)");
  } else if (shape == 4) {
    out.append("&mdash;see &lsqb;").append(std::to_string(1000 + random.below(9000))).append("&rsqb;&mdash;");
  }
  out.push_back(' ');
  out.append(random.pick(kVerbs)).append(" the ").append(random.pick(kAdjectives)).push_back(' ');
  out.append(random.pick(kNouns)).append(". ");
}

void append_paragraph(std::string& out, Random& random, unsigned& number) {
  char head[64];
  std::snprintf(head, sizeof head, "<p id=\"p-%04u\" num=\"%04u\">", number + 1, number);
  ++number;
  out.append(head);
  for (unsigned i = 0, n = 2 + random.below(7); i < n; ++i) append_sentence(out, random);
  out.pop_back();
  out.append("</p>\n");
}

std::string generated_grant(std::size_t bytes, std::uint64_t seed) {
  Random random(seed);
  std::string out;
  out.reserve(bytes + 4096);
  out.append(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE us-patent-grant SYSTEM \"us-patent-grant-v45-2014-04-03.dtd\" [ ]>\n"
      "<us-patent-grant lang=\"EN\" dtd-version=\"v4.5 2014-04-03\" file=\"US09876543-20160105.XML\" "
      "status=\"PRODUCTION\" id=\"us-patent-grant\" country=\"US\" date-produced=\"20151222\" "
      "date-publ=\"20160105\">\n<us-bibliographic-data-grant>\n<publication-reference>\n<document-id>\n"
      "<country>US</country>\n<doc-number>09876543</doc-number>\n<kind>B2</kind>\n<date>20160105</date>\n"
      "</document-id>\n</publication-reference>\n<application-reference appl-type=\"utility\">\n<document-id>\n"
      "<country>US</country>\n<doc-number>14123456</doc-number>\n<date>20140310</date>\n</document-id>\n"
      "</application-reference>\n<us-application-series-code>14</us-application-series-code>\n"
      "<classifications-ipcr>\n<classification-ipcr>\n<section>G</section>\n<class>01</class>\n"
      "<subclass>S</subclass>\n<main-group>7</main-group>\n<subgroup>48</subgroup>\n</classification-ipcr>\n"
      "</classifications-ipcr>\n<invention-title id=\"d2e53\">Sensor assembly and method</invention-title>\n"
      "<us-parties>\n<inventors>\n<inventor sequence=\"001\" designation=\"us-only\">\n<addressbook>\n"
      "<last-name>M&#xfc;ller</last-name>\n<first-name>J&#xfc;rgen</first-name>\n<address>\n<city>Lund</city>\n"
      "<country>SE</country>\n</address>\n</addressbook>\n</inventor>\n</inventors>\n</us-parties>\n"
      "</us-bibliographic-data-grant>\n<abstract id=\"abstract\">\n");
  unsigned paragraph = 0;
  append_paragraph(out, random, paragraph);
  out.append(
      "</abstract>\n<description id=\"description\">\n<?BRFSUM description=\"Brief Summary\" end=\"lead\"?>\n"
      "<heading id=\"h-0001\" level=\"1\">BACKGROUND</heading>\n");
  append_paragraph(out, random, paragraph);
  out.append(
      "<?BRFSUM description=\"Brief Summary\" end=\"tail\"?>\n"
      "<?DETDESC description=\"Detailed Description\" end=\"lead\"?>\n");
  const std::string_view tail_open =
      "<?DETDESC description=\"Detailed Description\" end=\"tail\"?>\n</description>\n"
      "<us-claim-statement>What is claimed is:</us-claim-statement>\n<claims id=\"claims\">\n";
  const std::string_view tail_close = "</claims>\n</us-patent-grant>\n";
  std::string claims;
  const std::size_t claims_budget = bytes / 6;
  for (unsigned number = 1; number <= 3 || claims.size() < claims_budget; ++number) {
    char head[80];
    std::snprintf(head, sizeof head, "<claim id=\"CLM-%05u\" num=\"%05u\">\n<claim-text>%u. ", number, number, number);
    claims.append(head);
    if (number > 1) {
      claims.append("The device of <claim-ref idref=\"CLM-00001\">claim 1</claim-ref>, wherein ");
      append_sentence(claims, random);
    } else {
      claims.append("A device comprising:\n<claim-text>");
      append_sentence(claims, random);
      claims.append("</claim-text>\n");
    }
    claims.append("</claim-text>\n</claim>\n");
  }
  const std::size_t fixed = tail_open.size() + claims.size() + tail_close.size();
  while (out.size() + fixed < bytes) append_paragraph(out, random, paragraph);
  out.append(tail_open).append(claims).append(tail_close);
  return out;
}

// ---------------------------------------------------------------------------
// Timing
// ---------------------------------------------------------------------------

struct Input {
  std::string name;
  std::string text;
};

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

bool expat_parses(std::string_view text) {
  XML_Parser parser = XML_ParserCreate("UTF-8");
  if (parser == nullptr) return false;
  // XML_Parse takes an int length; the texts here stay below 2 GB.
  const XML_Status status = XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE);
  XML_ParserFree(parser);
  return status == XML_STATUS_OK;
}

// Seconds per call of one batch of `calls` calls.
double time_detect(std::string_view text, unsigned calls, unsigned& sink) {
  const auto start = Clock::now();
  for (unsigned i = 0; i < calls; ++i) {
    const auto result = tessellox::detect_source_format(text);
    sink += result.ok() ? static_cast<unsigned>(result.value()) : 100u;
  }
  return seconds_since(start) / calls;
}

double time_expat(std::string_view text, unsigned calls, unsigned& sink) {
  const auto start = Clock::now();
  for (unsigned i = 0; i < calls; ++i) sink += expat_parses(text) ? 1u : 0u;
  return seconds_since(start) / calls;
}

struct Measurement {
  double detect_seconds = 0;
  double expat_seconds = 0;
  std::string format;
  bool expat_ok = false;
};

Measurement measure(std::string_view text, unsigned repeat) {
  Measurement result;
  const auto detected = tessellox::detect_source_format(text);
  result.format = detected.ok() ? std::string(tessellox::source_format_name(detected.value()))
                                : "error: " + detected.error().message();
  result.expat_ok = expat_parses(text);

  // Batch sizes from one trial call each, so that a batch lasts kMinimumBatchSeconds.
  unsigned sink = 0;
  auto batch = [](double one_call) {
    return static_cast<unsigned>(std::clamp(kMinimumBatchSeconds / std::max(one_call, 1e-9), 1.0, 1e6));
  };
  const unsigned detect_calls = batch(time_detect(text, 1, sink));
  const unsigned expat_calls = batch(time_expat(text, 1, sink));

  std::vector<double> detect_times, expat_times;
  for (unsigned rep = 0; rep < repeat; ++rep) {
    if (rep % 2 == 0) {
      detect_times.push_back(time_detect(text, detect_calls, sink));
      expat_times.push_back(time_expat(text, expat_calls, sink));
    } else {
      expat_times.push_back(time_expat(text, expat_calls, sink));
      detect_times.push_back(time_detect(text, detect_calls, sink));
    }
  }
  result.detect_seconds = median(detect_times);
  result.expat_seconds = median(expat_times);
  if (sink == 0xFFFFFFFFu) std::puts("");  // keeps the results alive
  return result;
}

// ---------------------------------------------------------------------------
// Inputs
// ---------------------------------------------------------------------------

std::optional<std::string> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return std::move(buffer).str();
}

// A bulk file holds several documents, each starting with its own declaration.
std::vector<Input> split_documents(const std::string& name, const std::string& text) {
  std::vector<std::size_t> starts;
  for (std::size_t at = text.find("<?xml"); at != std::string::npos; at = text.find("<?xml", at + 1))
    starts.push_back(at);
  if (starts.size() <= 1) return {{name, text}};
  std::vector<Input> out;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
    out.push_back({name + "#" + std::to_string(i + 1), text.substr(starts[i], end - starts[i])});
  }
  return out;
}

std::string size_label(std::size_t bytes) {
  char label[32];
  if (bytes >= 1000000)
    std::snprintf(label, sizeof label, "%.3gMB", static_cast<double>(bytes) / 1e6);
  else if (bytes >= 1000)
    std::snprintf(label, sizeof label, "%.3gKB", static_cast<double>(bytes) / 1e3);
  else
    std::snprintf(label, sizeof label, "%zuB", bytes);
  return label;
}

fs::path default_data_dir() {
  // The sources are compiled from their absolute paths: bench/ sits in the project's root.
  return fs::path(__FILE__).parent_path().parent_path() / "tests" / "data" / "real";
}

struct Options {
  std::vector<std::size_t> sizes = {10000, 1000000, 100000000};
  unsigned repeat = 11;
  fs::path data = default_data_dir();
  bool samples = true;
  std::vector<fs::path> files;
};

std::optional<Options> parse_options(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const bool has_value = i + 1 < argc;
    if (argument == "--sizes" && has_value) {
      options.sizes.clear();
      std::stringstream list(argv[++i]);
      for (std::string item; std::getline(list, item, ',');) options.sizes.push_back(std::stoull(item));
    } else if (argument == "--repeat" && has_value) {
      options.repeat = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
    } else if (argument == "--data" && has_value) {
      options.data = argv[++i];
    } else if (argument == "--no-samples") {
      options.samples = false;
    } else if (argument.substr(0, 2) == "--") {
      return std::nullopt;
    } else {
      options.files.emplace_back(argument);
    }
  }
  if (!options.files.empty()) {
    options.sizes.clear();
    options.samples = false;
  }
  return options;
}

void print_header() {
  std::printf("%-44s %10s %-22s %11s %11s %10s %9s\n", "input", "bytes", "format", "detect MB/s", "expat MB/s",
              "detect/expat", "ns/byte");
}

// Returns whether the ratio is under the target; prints one row.
bool report(std::string_view name, std::size_t size, const Measurement& m) {
  const double bytes = static_cast<double>(size);
  const double ratio = m.detect_seconds / m.expat_seconds;
  const bool met = m.expat_ok && ratio < kTarget;
  std::printf("%-44.44s %10zu %-22.22s %11.0f %11.1f %9.3f%% %9.4f %s\n", std::string(name).c_str(), size,
              m.format.c_str(), bytes / kMegabyte / m.detect_seconds, bytes / kMegabyte / m.expat_seconds, 100 * ratio,
              1e9 * m.detect_seconds / bytes,
              !m.expat_ok ? "(expat rejects it)"
              : met       ? ""
                          : "MISSED");
  return met || !m.expat_ok;
}

}  // namespace

int main(int argc, char** argv) {
  const auto parsed = parse_options(argc, argv);
  if (!parsed) {
    std::fprintf(stderr, "usage: detect_bench [--sizes N,N,...] [--repeat N] [--data DIR] [--no-samples] [FILE...]\n");
    return 2;
  }
  const Options& options = *parsed;
  std::printf("detection vs expat %s bare parse; %u repetitions, medians; target detect/expat < %.0f%%\n\n",
              XML_ExpatVersion(), options.repeat, 100 * kTarget);
  bool all_met = true;

  if (!options.sizes.empty()) {
    std::printf("generated v4.5 grants\n");
    print_header();
    std::vector<std::pair<std::size_t, double>> per_byte;
    for (std::size_t size : options.sizes) {
      const Input input{"generated grant " + size_label(size), generated_grant(size, size)};
      const Measurement m = measure(input.text, options.repeat);
      all_met &= report(input.name, input.text.size(), m);
      per_byte.emplace_back(input.text.size(), m.detect_seconds / static_cast<double>(input.text.size()));
    }
    // Linear growth: time ~ size^k with k = 1. k is measured between neighbouring
    // sizes and over the whole range; the time per byte also shows cache effects.
    for (std::size_t i = 1; i < per_byte.size(); ++i) {
      const auto [small_size, small_rate] = per_byte[i - 1];
      const auto [large_size, large_rate] = per_byte[i];
      const double size_ratio = static_cast<double>(large_size) / static_cast<double>(small_size);
      const double time_ratio = size_ratio * large_rate / small_rate;
      std::printf("growth %s -> %s: %.0fx the bytes, %.0fx the time, exponent %.3f\n", size_label(small_size).c_str(),
                  size_label(large_size).c_str(), size_ratio, time_ratio, std::log(time_ratio) / std::log(size_ratio));
    }
    if (per_byte.size() > 2) {
      const auto [small_size, small_rate] = per_byte.front();
      const auto [large_size, large_rate] = per_byte.back();
      const double size_ratio = static_cast<double>(large_size) / static_cast<double>(small_size);
      std::printf("growth over the range: exponent %.3f (1 is linear)\n",
                  std::log(size_ratio * large_rate / small_rate) / std::log(size_ratio));
    }
    std::printf("\n");
  }

  std::vector<Input> inputs;
  for (const fs::path& file : options.files) {
    const auto text = read_file(file);
    if (!text) {
      std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
      return 1;
    }
    for (auto& document : split_documents(file.filename().string(), *text)) inputs.push_back(std::move(document));
  }
  if (options.samples) {
    if (!fs::is_directory(options.data)) {
      std::printf("no samples at %s (pass --data DIR)\n", options.data.string().c_str());
    } else {
      std::vector<fs::path> paths;
      for (const auto& entry : fs::recursive_directory_iterator(options.data))
        if (entry.is_regular_file() && entry.path().extension() == ".xml") paths.push_back(entry.path());
      std::sort(paths.begin(), paths.end());
      for (const fs::path& path : paths) {
        const auto text = read_file(path);
        if (!text) continue;
        const std::string name = path.parent_path().filename().string() + "/" + path.filename().string();
        for (auto& document : split_documents(name, *text)) inputs.push_back(std::move(document));
      }
    }
  }
  if (!inputs.empty()) {
    std::printf("documents\n");
    print_header();
    double detect_total = 0, expat_total = 0, bytes_total = 0;
    // The documents of one bulk file are shown as one row: their summed times.
    Measurement group;
    std::string group_name;
    std::size_t group_bytes = 0, group_count = 0;
    auto flush_group = [&] {
      if (group_count == 0) return;
      all_met &= report(group_name + " (" + std::to_string(group_count) + " docs)", group_bytes, group);
      group = Measurement{};
      group_bytes = group_count = 0;
    };
    for (const Input& input : inputs) {
      const Measurement m = measure(input.text, options.repeat);
      const std::size_t hash = input.name.find('#');
      if (hash == std::string::npos) {
        flush_group();
        all_met &= report(input.name, input.text.size(), m);
      } else {
        if (input.name.compare(0, hash, group_name) != 0 || group_name.size() != hash) {
          flush_group();
          group_name = input.name.substr(0, hash);
          group.expat_ok = true;
        }
        group.detect_seconds += m.detect_seconds;
        group.expat_seconds += m.expat_seconds;
        group.expat_ok &= m.expat_ok;
        if (group.format.empty() || group.format == m.format)
          group.format = m.format;
        else
          group.format = "(several)";
        group_bytes += input.text.size();
        ++group_count;
      }
      if (m.expat_ok) {
        detect_total += m.detect_seconds;
        expat_total += m.expat_seconds;
        bytes_total += static_cast<double>(input.text.size());
      }
    }
    flush_group();
    std::printf(
        "all %zu documents that expat accepts: %.1f MB, detect %.0f MB/s, expat %.1f MB/s, detect/expat %.3f%%\n",
        inputs.size(), bytes_total / kMegabyte, bytes_total / kMegabyte / detect_total,
        bytes_total / kMegabyte / expat_total, 100 * detect_total / expat_total);
  }
  std::printf("\ntarget detect/expat < %.0f%%: %s\n", 100 * kTarget, all_met ? "met everywhere" : "MISSED somewhere");
  return all_met ? 0 : 1;
}
