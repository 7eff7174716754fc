// Throughput of the APS parser against expat's bare parse of an XML patent
// document of the same size. Both texts are generated in memory.
//
//   aps_bench [size_mb ...]     (default: 1 10 100)

#include <expat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "source/aps/aps.hpp"

namespace {

using tessellox::ParseResult;
using tessellox::SourceFormat;

// Deterministic word source, so every run measures the same texts.
class Words {
 public:
  std::string_view next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return kWords[(state_ >> 33) % kWords.size()];
  }
  unsigned below(unsigned bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>((state_ >> 33) % bound);
  }

 private:
  static constexpr std::array<std::string_view, 32> kWords = {
      "the",     "golf",    "glove",   "finger",  "pocket",    "wherein", "said",       "member",
      "means",   "coupled", "to",      "a",       "circuit",   "signal",  "telephone",  "line",
      "station", "of",      "and",     "between", "index",     "middle",  "receptacle", "first",
      "second",  "portion", "extends", "FIG.",    "invention", "device",  "comprising", "housing"};
  std::uint64_t state_ = 0x2545F4914F6CDD1DULL;
};

// Appends `words` words as an APS field: tag, two spaces, text wrapped at
// 74 columns with continuation lines indented by six spaces.
void aps_field(std::string& out, std::string_view tag, Words& words, unsigned count) {
  out.append(tag);
  out.append(5 - tag.size(), ' ');
  std::size_t column = 5;
  for (unsigned i = 0; i < count; ++i) {
    const std::string_view word = words.next();
    if (column + word.size() + 1 > 74) {
      out.append("\n      ");
      column = 6;
    } else if (i > 0) {
      out.push_back(' ');
      ++column;
    }
    out.append(word);
    column += word.size();
  }
  out.push_back('\n');
}

void aps_line(std::string& out, std::string_view tag, std::string_view value) {
  out.append(tag);
  out.append(5 - tag.size(), ' ');
  out.append(value);
  out.push_back('\n');
}

void aps_record(std::string& out, Words& words, unsigned serial) {
  char number[32];
  std::snprintf(number, sizeof number, "0%07u%u", 3930000 + serial % 1000000, serial % 10);
  out.append("PATN\n");
  aps_line(out, "WKU", number);
  aps_line(out, "SRC", "5");
  aps_line(out, "APN", "5328756");
  aps_line(out, "APT", "1");
  aps_line(out, "ART", "353");
  aps_line(out, "APD", "19741216");
  aps_field(out, "TTL", words, 6 + words.below(8));
  aps_line(out, "ISD", "19760106");
  aps_line(out, "NCL", "10");
  aps_line(out, "ECL", "1");
  aps_line(out, "EXP", "Larkin; Geo. V.");
  aps_line(out, "NDR", "1");
  aps_line(out, "NFG", "6");
  for (unsigned i = 0; i < 2 + words.below(2); ++i) {
    out.append("INVT\n");
    aps_line(out, "NAM", "Kahng; He Chung");
    aps_line(out, "CTY", "Glenview");
    aps_line(out, "STA", "IL");
  }
  out.append("ASSG\n");
  aps_line(out, "NAM", "Hi-Kahng Trading Co.");
  aps_line(out, "CTY", "Chicago");
  aps_line(out, "STA", "IL");
  aps_line(out, "COD", "02");
  out.append("CLAS\n");
  aps_line(out, "OCL", "  2161A");
  aps_line(out, "XCL", "  2 21");
  aps_line(out, "XCL", "294 25");
  aps_line(out, "EDF", "2");
  aps_line(out, "ICL", "A41D 1900");
  aps_line(out, "FSC", "  2");
  aps_line(out, "FSS", "16;20;21;159;161 R;161 A;163");
  for (unsigned i = 0; i < 3; ++i) {
    out.append("UREF\n");
    aps_line(out, "PNO", "2379430");
    aps_line(out, "ISD", "19450700");
    aps_line(out, "NAM", "Frost");
    aps_line(out, "OCL", "  2161A");
  }
  out.append("ABST\n");
  aps_field(out, "PAL", words, 60 + words.below(60));
  out.append("BSUM\n");
  aps_field(out, "PAC", words, 4);
  for (unsigned i = 0; i < 5; ++i) aps_field(out, "PAR", words, 40 + words.below(120));
  out.append("DRWD\n");
  aps_field(out, "PAC", words, 5);
  for (unsigned i = 0; i < 4; ++i) aps_field(out, "PAR", words, 15 + words.below(30));
  out.append("DETD\n");
  aps_field(out, "PAC", words, 3);
  for (unsigned i = 0; i < 15; ++i) aps_field(out, i % 4 == 3 ? "PA1" : "PAR", words, 40 + words.below(160));
  out.append("TBL                   TABLE 1\n\n     ______________________________________\n\n");
  for (unsigned row = 0; row < 8; ++row) out.append("     Normal      4 1 5   5 4 3        Blank\n\n");
  out.append("     ______________________________________\n");
  aps_field(out, "PAC", words, 3);
  for (unsigned i = 0; i < 5; ++i) aps_field(out, "PAR", words, 40 + words.below(160));
  out.append("CLMS\n");
  aps_line(out, "STM", "What I claim is:");
  for (unsigned claim = 1; claim <= 10; ++claim) {
    aps_line(out, "NUM", std::to_string(claim) + ".");
    aps_field(out, "PAR", words, 30 + words.below(80));
    if (claim % 3 == 0) aps_field(out, "PA1", words, 20 + words.below(30));
  }
}

std::string aps_text(std::size_t bytes) {
  std::string out;
  out.reserve(bytes + 64 * 1024);
  out.append("HHHHHT        APS1        ISSUE - 760106\n");
  Words words;
  for (unsigned serial = 0; out.size() < bytes; ++serial) aps_record(out, words, serial);
  return out;
}

void xml_paragraph(std::string& out, Words& words, unsigned id, unsigned count) {
  char head[96];
  std::snprintf(head, sizeof head, "<p id=\"p-%04u\" num=\"%04u\">", id, id);
  out.append(head);
  for (unsigned i = 0; i < count; ++i) {
    if (i > 0) out.push_back(' ');
    if (i % 37 == 20) {
      out.append("<figref idref=\"DRAWINGS\">FIG. 1</figref>");
    } else if (i % 53 == 40) {
      out.append("<i>").append(words.next()).append("</i>");
    } else {
      out.append(words.next());
    }
  }
  out.append("</p>\n");
}

void xml_record(std::string& out, Words& words, unsigned serial) {
  char number[16];
  std::snprintf(number, sizeof number, "%08u", 7000000 + serial);
  out.append("<us-patent-grant lang=\"EN\" dtd-version=\"v4.5 2014-04-03\" file=\"US").append(number);
  out.append("-20140101.XML\" status=\"PRODUCTION\" id=\"us-patent-grant\" country=\"US\">\n");
  out.append("<us-bibliographic-data-grant>\n<publication-reference>\n<document-id>\n<country>US</country>\n");
  out.append("<doc-number>").append(number).append("</doc-number>\n<kind>B2</kind>\n<date>20140101</date>\n");
  out.append("</document-id>\n</publication-reference>\n<application-reference appl-type=\"utility\">\n");
  out.append("<document-id>\n<country>US</country>\n<doc-number>13123456</doc-number>\n<date>20120315</date>\n");
  out.append("</document-id>\n</application-reference>\n<classifications-ipcr>\n<classification-ipcr>\n");
  out.append("<section>A</section>\n<class>41</class>\n<subclass>D</subclass>\n<main-group>19</main-group>\n");
  out.append("</classification-ipcr>\n</classifications-ipcr>\n<invention-title id=\"d2e53\">");
  for (unsigned i = 0; i < 8; ++i) out.append(i ? " " : "").append(words.next());
  out.append("</invention-title>\n<us-parties>\n<us-applicants>\n");
  for (unsigned i = 0; i < 3; ++i) {
    out.append("<us-applicant sequence=\"00").append(std::to_string(i)).append("\" app-type=\"applicant\">\n");
    out.append("<addressbook>\n<last-name>Kahng</last-name>\n<first-name>He Chung</first-name>\n<address>\n");
    out.append("<city>Glenview</city>\n<state>IL</state>\n<country>US</country>\n</address>\n</addressbook>\n");
    out.append("</us-applicant>\n");
  }
  out.append("</us-applicants>\n</us-parties>\n</us-bibliographic-data-grant>\n<abstract id=\"abstract\">\n");
  unsigned paragraph = 1;
  xml_paragraph(out, words, paragraph++, 60 + words.below(60));
  out.append("</abstract>\n<description id=\"description\">\n");
  out.append("<heading id=\"h-0001\" level=\"1\">BACKGROUND OF THE INVENTION</heading>\n");
  for (unsigned i = 0; i < 5; ++i) xml_paragraph(out, words, paragraph++, 40 + words.below(120));
  out.append("<heading id=\"h-0002\" level=\"1\">BRIEF DESCRIPTION OF THE DRAWINGS</heading>\n");
  for (unsigned i = 0; i < 4; ++i) xml_paragraph(out, words, paragraph++, 15 + words.below(30));
  out.append("<heading id=\"h-0003\" level=\"1\">DETAILED DESCRIPTION</heading>\n");
  for (unsigned i = 0; i < 15; ++i) xml_paragraph(out, words, paragraph++, 40 + words.below(160));
  out.append("<tables id=\"TABLE-US-00001\" num=\"00001\">\n<table frame=\"none\" colsep=\"0\" rowsep=\"0\">\n");
  out.append(
      "<tgroup align=\"left\" colsep=\"0\" rowsep=\"0\" cols=\"3\">\n<colspec colname=\"1\" colwidth=\"70pt\" "
      "align=\"left\"/>\n<tbody valign=\"top\">\n");
  for (unsigned row = 0; row < 8; ++row)
    out.append("<row>\n<entry>Normal</entry>\n<entry>4 1 5 5 4 3</entry>\n<entry>Blank</entry>\n</row>\n");
  out.append("</tbody>\n</tgroup>\n</table>\n</tables>\n");
  for (unsigned i = 0; i < 5; ++i) xml_paragraph(out, words, paragraph++, 40 + words.below(160));
  out.append("</description>\n<claims id=\"claims\">\n");
  for (unsigned claim = 1; claim <= 10; ++claim) {
    char head[96];
    std::snprintf(head, sizeof head, "<claim id=\"CLM-%05u\" num=\"%05u\">\n<claim-text>", claim, claim);
    out.append(head);
    if (claim > 1) out.append("The device of <claim-ref idref=\"CLM-00001\">claim 1</claim-ref>, ");
    for (unsigned i = 0, n = 30 + words.below(80); i < n; ++i) out.append(i ? " " : "").append(words.next());
    out.append("</claim-text>\n</claim>\n");
  }
  out.append("</claims>\n</us-patent-grant>\n");
}

std::string xml_text(std::size_t bytes) {
  std::string out;
  out.reserve(bytes + 64 * 1024);
  out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<us-patent-grants>\n");
  Words words;
  for (unsigned serial = 0; out.size() < bytes; ++serial) xml_record(out, words, serial);
  out.append("</us-patent-grants>\n");
  return out;
}

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double time_expat(const std::string& xml) {
  const auto start = Clock::now();
  XML_Parser parser = XML_ParserCreate("UTF-8");
  const XML_Status status = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE);
  XML_ParserFree(parser);
  const double elapsed = seconds_since(start);
  if (status != XML_STATUS_OK) {
    std::fprintf(stderr, "expat failed on the generated XML\n");
    std::exit(1);
  }
  return elapsed;
}

// Parse alone, and parse followed by dropping the document.
std::pair<double, double> time_aps(const std::string& text, std::size_t& parts_seen) {
  const auto start = Clock::now();
  double parsed = 0;
  {
    ParseResult result = tessellox::parse_aps(text, SourceFormat::UsptoGrantApsGreenBook);
    parsed = seconds_since(start);
    if (!result.ok()) {
      std::fprintf(stderr, "parse_aps failed: %s\n", result.error().message().c_str());
      std::exit(1);
    }
    parts_seen = result.value().parts.size();
  }
  return {parsed, seconds_since(start)};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> sizes_mb;
  for (int i = 1; i < argc; ++i) sizes_mb.push_back(std::strtoul(argv[i], nullptr, 10));
  if (sizes_mb.empty()) sizes_mb = {1, 10, 100};

  std::printf("%8s %5s %14s %14s %18s %8s\n", "size", "reps", "expat MB/s", "aps MB/s", "aps+free MB/s", "ratio");
  for (std::size_t mb : sizes_mb) {
    const std::size_t bytes = mb * 1000 * 1000;
    const std::string aps = aps_text(bytes);
    const std::string xml = xml_text(aps.size());
    const int reps = mb >= 100 ? 5 : mb >= 10 ? 11 : 31;
    std::vector<double> expat_times, aps_times, aps_free_times;
    std::size_t parts = 0;
    time_aps(aps, parts);  // warm the allocator and caches once
    time_expat(xml);
    for (int rep = 0; rep < reps; ++rep) {
      expat_times.push_back(time_expat(xml));
      const auto [parsed, freed] = time_aps(aps, parts);
      aps_times.push_back(parsed);
      aps_free_times.push_back(freed);
    }
    const double expat_rate = static_cast<double>(xml.size()) / 1e6 / median(expat_times);
    const double aps_rate = static_cast<double>(aps.size()) / 1e6 / median(aps_times);
    const double aps_free_rate = static_cast<double>(aps.size()) / 1e6 / median(aps_free_times);
    std::printf("%6zuMB %5d %14.1f %14.1f %18.1f %8.2f\n", mb, reps, expat_rate, aps_rate, aps_free_rate,
                aps_rate / expat_rate);
  }
  return 0;
}
