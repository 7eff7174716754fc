// The record's tables on the real documents: each table has one row per
// source element, counted here on the text itself, and a few rows are
// pinned field by field as read off the files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "records/record.hpp"

namespace tessellox {
namespace {

const std::filesystem::path kRealData = std::filesystem::path(TESSELLOX_SOURCE_DIR) / "tests" / "data" / "real";

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The documents of a file: a bulk file is cut at each XML declaration.
std::vector<std::string> documents_of(const std::string& text) {
  std::vector<std::string> documents;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t next = text.find("<?xml", start + 1);
    documents.push_back(text.substr(start, next == std::string::npos ? std::string::npos : next - start));
    if (next == std::string::npos) break;
    start = next;
  }
  return documents;
}

// The text between the first `<name` and the `</name>` after it; empty
// without one.
std::string_view element(std::string_view text, std::string_view name) {
  const std::string opening = "<" + std::string(name);
  std::size_t start = text.find(opening);
  while (start != std::string_view::npos &&
         std::string_view(" >\r\n").find(text[start + opening.size()]) == std::string_view::npos)
    start = text.find(opening, start + 1);
  if (start == std::string_view::npos) return {};
  const std::size_t end = text.find("</" + std::string(name) + ">", start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

// Start tags of any of `names` in `text`.
std::size_t count_tags(std::string_view text, std::initializer_list<std::string_view> names) {
  std::size_t count = 0;
  for (std::string_view name : names) {
    const std::string opening = "<" + std::string(name);
    for (std::size_t at = text.find(opening); at != std::string_view::npos; at = text.find(opening, at + 1))
      if (std::string_view(" >\r\n").find(text[at + opening.size()]) != std::string_view::npos) ++count;
  }
  return count;
}

// APS: the fields of every section headed `section`, as "TAG value" lines.
std::vector<std::string_view> aps_section_lines(std::string_view text, std::string_view section) {
  std::vector<std::string_view> lines;
  bool inside = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    if (line.size() == 4 || (line.size() > 4 && line.find_first_not_of(' ', 4) == std::string_view::npos)) {
      inside = line.substr(0, 4) == section;
      if (inside) lines.push_back("");  // the header itself
      continue;
    }
    if (inside && line.size() > 3 && line[0] != ' ') lines.push_back(line);
  }
  return lines;
}

std::size_t count_aps(std::string_view text, std::string_view section, std::initializer_list<std::string_view> tags) {
  std::size_t count = 0;
  for (std::string_view line : aps_section_lines(text, section)) {
    for (std::string_view tag : tags)
      if (tag.empty() ? line.empty() : line.starts_with(std::string(tag) + " ")) ++count;
  }
  return count;
}

struct Expected {
  std::size_t parties = 0;
  std::size_t related = 0;
  std::size_t pct = 0;
  std::size_t drawing_descriptions = 0;
};

Expected expected_counts(std::string_view text, std::string_view family) {
  Expected expected;
  if (family == "aps") {
    expected.parties = count_aps(text, "INVT", {""}) + count_aps(text, "ASSG", {""}) +
                       count_aps(text, "LREP", {"FRM", "FR2", "AAT", "AGT"}) + count_aps(text, "PATN", {"EXP", "EXA"});
    expected.related = count_aps(text, "RLAP", {"APN", "PNO"}) + count_aps(text, "REIS", {"APN", "PNO"});
    expected.pct = count_aps(text, "PCTA", {""});
    expected.drawing_descriptions = count_aps(text, "DRWD", {"PAR", "PA0", "PA1", "PA2", "PA3"});
  } else if (family == "st32") {
    expected.parties = count_tags(element(text, "B700"), {"B721", "B731", "B741", "B746", "B747"});
    expected.related = count_tags(element(text, "B600"), {"DOC"});
    expected.pct = count_tags(text, {"B860"});
    expected.drawing_descriptions = count_tags(element(text, "DRWDESC"), {"PARA"});
  } else if (family == "pap") {
    const std::string_view bibliographic = element(text, "subdoc-bibliographic-information");
    expected.parties =
        count_tags(bibliographic, {"first-named-inventor", "inventor", "assignee", "correspondence-address"});
    expected.related = count_tags(element(bibliographic, "continuity-data"), {"document-id"}) -
                       count_tags(element(bibliographic, "a-371-of-international"), {"document-id"});
    expected.pct = count_tags(element(bibliographic, "a-371-of-international"), {"parent-child"});
    expected.drawing_descriptions = count_tags(element(text, "brief-description-of-drawings"), {"paragraph"});
  } else {
    std::string_view bibliographic = element(text, "us-bibliographic-data-grant");
    if (bibliographic.empty()) bibliographic = element(text, "us-bibliographic-data-application");
    expected.parties =
        count_tags(bibliographic, {"applicant", "us-applicant", "inventor", "deceased-inventor", "agent", "assignee",
                                   "primary-examiner", "assistant-examiner", "correspondence-address"});
    expected.related = count_tags(element(bibliographic, "us-related-documents"), {"document-id"});
    expected.pct = count_tags(bibliographic, {"pct-or-regional-filing-data"});
    // The drawings' description is an element, or the text between two
    // processing instructions.
    std::string_view drawings = element(text, "description-of-drawings");
    if (drawings.empty()) {
      const std::size_t lead = text.find("<?brief-description-of-drawings");
      if (lead != std::string_view::npos)
        drawings = text.substr(lead, text.find("<?brief-description-of-drawings", lead + 1) - lead);
    }
    expected.drawing_descriptions = count_tags(drawings, {"p"});
  }
  return expected;
}

std::size_t drawing_rows(const DocumentRecord& record) {
  std::size_t count = 0;
  for (const TextSectionRow& row : record.text_sections.value())
    if (row.kind == "drawing description") ++count;
  return count;
}

class RealTables : public ::testing::TestWithParam<std::string_view> {};

TEST_P(RealTables, HaveOneRowPerSourceElement) {
  const std::filesystem::path folder = kRealData / std::string(GetParam());
  if (!std::filesystem::exists(folder)) GTEST_SKIP() << "real samples not present";
  std::size_t documents = 0;
  std::size_t parties = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name == "US07057742-v41.xml") continue;  // not well formed as published
    const std::string family =
        GetParam() == "bulk" ? (name.find("st32") != std::string::npos ? "st32" : "v4") : std::string(GetParam());
    for (const std::string& text : documents_of(read_file(entry.path()))) {
      auto recorded = parse_record(SourceText(text), RecordOptions{.sections = true});
      ASSERT_TRUE(recorded) << name;
      const DocumentRecord& record = recorded.value().record;
      const Expected expected = expected_counts(text, family);
      const std::string where = name + " document " + std::to_string(documents);
      EXPECT_EQ(record.parties.size(), expected.parties) << where;
      EXPECT_EQ(record.related_documents.size(), expected.related) << where;
      EXPECT_EQ(record.pct.size(), expected.pct) << where;
      EXPECT_EQ(drawing_rows(record), expected.drawing_descriptions) << where;
      parties += record.parties.size();
      ++documents;
    }
  }
  if (GetParam() != "seqcwu") {
    EXPECT_GT(parties, 0u);
  }
}

std::string field(const OptString& value) { return value ? std::string(*value) : std::string("-"); }

// A row as one line, fields joined by '|', absent ones '-'.
std::string line_of(const PartyRow& row) {
  std::string line = std::string(row.role) + "|" + std::to_string(row.sequence);
  for (const OptString* value : {&row.given_name, &row.family_name, &row.organization, &row.city, &row.state,
                                 &row.country, &row.type, &row.art_unit})
    line += "|" + field(*value);
  return line + (row.deceased ? "|deceased" : "");
}
std::string line_of(const RelatedDocumentRow& row) {
  std::string line = std::string(row.relation) + "|" + std::to_string(row.sequence);
  for (const OptString* value : {&row.country, &row.number, &row.kind_code, &row.date, &row.status, &row.pair_role})
    line += "|" + field(*value);
  return line;
}
std::string line_of(const PctRow& row) {
  std::string line = field(row.country);
  for (const OptString* value :
       {&row.number, &row.kind_code, &row.date, &row.date_371, &row.publication_number, &row.publication_date})
    line += "|" + field(*value);
  return line;
}
std::string line_of(const TextSectionRow& row) {
  return std::string(row.kind) + "|" + field(row.heading) + "|" + std::to_string(row.sequence) + "|" +
         std::string(row.text.substr(0, 40));
}

struct PinnedRow {
  std::string_view file;  // under the real samples; "bulk/x.xml#3" is the bulk file's fourth document
  std::string_view table;
  std::size_t index;
  std::string_view expected;
};

class PinnedRows : public ::testing::TestWithParam<PinnedRow> {};

// Each checked against its file by eye.
TEST_P(PinnedRows, ReadAsTheFileHasThem) {
  const PinnedRow& pinned = GetParam();
  const std::string_view file = pinned.file.substr(0, pinned.file.find('#'));
  const std::filesystem::path path = kRealData / std::string(file);
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "real samples not present";
  const std::size_t document =
      file.size() == pinned.file.size() ? 0 : std::stoul(std::string(pinned.file.substr(file.size() + 1)));
  auto recorded = parse_record(SourceText(documents_of(read_file(path)).at(document)), RecordOptions{.sections = true});
  ASSERT_TRUE(recorded);
  const DocumentRecord& record = recorded.value().record;
  std::string actual;
  if (pinned.table == "parties") actual = line_of(record.parties.at(pinned.index));
  if (pinned.table == "related") actual = line_of(record.related_documents.at(pinned.index));
  if (pinned.table == "pct") actual = line_of(record.pct.at(pinned.index));
  if (pinned.table == "sections") actual = line_of(record.text_sections->at(pinned.index));
  EXPECT_EQ(actual, pinned.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Real, PinnedRows,
    ::testing::Values(
        PinnedRow{"v4-grant/US08613112-v44-pretty.xml", "parties", 2,
                  "inventor|1|Massimiliano|Santucci|-|Argelato|-|IT|us-only|-"},
        PinnedRow{"v4-grant/US08613112-v44-pretty.xml", "parties", 5,
                  "attorney|2|-|-|Ware Fressola Maguire & Barber LLP|-|-|unknown|-|-"},
        PinnedRow{"v4-grant/US08613112-v44-pretty.xml", "parties", 7, "primary examiner|1|Amy|Vanatta|-|-|-|-|-|3765"},
        PinnedRow{"v4-grant/US08613112-v44-pretty.xml", "pct", 0,
                  "WO|PCT/EP2009/056266|00|20090525|20110131|WO2009/150026|20091217"},
        PinnedRow{"v4-grant/US08613112-v44-pretty.xml", "sections", 4,
                  "drawing description|BRIEF DESCRIPTION OF THE DRAWINGS|5|FIG. 1 is a partial schematic view of an"},
        // Version 4.0: the applicants of type applicant-inventor are the inventors.
        PinnedRow{"bulk/ipg050104-small-v40.xml#20", "parties", 1,
                  "inventor|2|Yukio|Iijima|-|Nara|-|JP|applicant-inventor|-"},
        PinnedRow{"bulk/ipgb20221025-biblio-v47.xml#4", "related", 1,
                  "reissue|1|US|10124207|-|20181113|-|parent grant"},
        PinnedRow{"pap/US20010000943A1.xml", "parties", 3,
                  "correspondent|1|-|-|PARKHURST & WENDEL, L.L.P.|Alexandria|VA|US|-|-"},
        PinnedRow{"pap/US20010000943A1.xml", "related", 1,
                  "continuation|1|US|PCT/JP00/02182|-|20000404|UNKNOWN|parent"},
        PinnedRow{
            "pap/US20010000943A1.xml", "sections", 0,
            "related applications|CROSS REFERENCE TO RELATED APPLICATION|1|1. This is a continuation application of"},
        PinnedRow{"st32/US06337117.xml", "parties", 5,
                  "assignee|1|-|-|Mitsubishi Chemical Corporation|Tokyo|-|JP|03|-"},
        PinnedRow{"st32/US06337117.xml", "parties", 7, "primary examiner|1|Elizabeth|Evans|-|-|-|-|-|1774"},
        PinnedRow{"aps/US03932709.aps.txt", "parties", 2, "inventor|1|Don G.|Hoff|-|Tiburon|CA|-|-|-"},
        PinnedRow{"aps/US03932709.aps.txt", "parties", 0, "assistant examiner|1|George G.|Stellar|-|-|-|-|-|232"},
        PinnedRow{"aps/US03932709.aps.txt", "related", 0, "continuation-in-part|1|-|351745|-|19730416|03|parent"},
        PinnedRow{"aps/US03932709.aps.txt", "sections", 3,
                  "drawing description|DESCRIPTION OF THE DRAWINGS|4|FIG. 1 is a pictorial representation of "}));

INSTANTIATE_TEST_SUITE_P(Families, RealTables,
                         ::testing::Values("v4-grant", "v4-app", "pap", "st32", "aps", "bulk", "seqcwu"));

}  // namespace
}  // namespace tessellox
