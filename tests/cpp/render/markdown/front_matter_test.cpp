#include "render/markdown/front_matter.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "../../model_builders.hpp"

namespace tessellox {
namespace {

using test::document_with;
using test::list;

// The line of the front matter that starts with `key`, or "" when none does.
std::string line_of(const std::string& front_matter, const std::string& key) {
  std::size_t start = 0;
  while (start <= front_matter.size()) {
    std::size_t end = front_matter.find('\n', start);
    if (end == std::string::npos) end = front_matter.size();
    const std::string line = front_matter.substr(start, end - start);
    if (line.starts_with(key)) return line;
    start = end + 1;
  }
  return "";
}

TEST(FrontMatter, DocumentWithoutBibliographyWritesEveryKeyEmpty) {
  EXPECT_EQ(render_front_matter(SourceDocument{}),
            "---\n"
            "filing_date: null\n"
            "application_number: null\n"
            "publication_number: null\n"
            "publication_date: null\n"
            "patent_number: null\n"
            "priority_date: null\n"
            "ipc_classifications: []\n"
            "us_classifications: []\n"
            "priority_chain: []\n"
            "inventors: []\n"
            "applicants: []\n"
            "assignees: []\n"
            "---");
}

TEST(FrontMatter, FullBlockInFixedOrderWithValuesUnquoted) {
  Arena arena;
  InventorRecord inventor;
  inventor.given_name = "Ada";
  inventor.family_name = "Lovelace";
  const SourceDocument document = document_with({
      DocumentId{"07000001", "B2", "20060103", std::nullopt},
      DocumentId{"20050001234", "A1", "20050101", "US"},
      DomesticFilingData{
          {},
          list(arena, SeriesCode{"09"}, ApplicationNumber{{}, std::nullopt, "09812345"}, FilingDate{" 2001: \"x\""})},
      TechnicalInformation{{},
                           list(arena, ClassificationIpc{{}, "H01L 21/00", list(arena, "H01L 21/00")},
                                ClassificationUs{{}, "257/100", list(arena, "438/1")})},
      ContinuityData{{},
                     list(arena, ContinuityEntry{{}, "08/000123", "19990101", " 09/812345 ", "division"},
                          ContinuityEntry{{}, std::nullopt, "19980505", std::nullopt, std::nullopt})},
      Inventors{{}, list(arena, inventor)},
      Applicants{{}, list(arena, PartyRecord{{}, "Acme: Inc"})},
      RawXml{},  // no assignee anywhere
  });
  EXPECT_EQ(render_front_matter(document),
            "---\n"
            "filing_date:  2001: \"x\"\n"
            "application_number: 09/812345\n"
            "publication_number: null\n"
            "publication_date: 20060103\n"
            "patent_number: US7000001B2\n"
            "priority_date: 19980505\n"
            "ipc_classifications:\n"
            "  - H01L 21/00\n"
            "us_classifications:\n"
            "  - 257/100\n"
            "  - 438/1\n"
            "priority_chain:\n"
            "  - relationship: division\n"
            "    parent_doc_number: 8000123\n"
            "    parent_date: 19990101\n"
            "    child_doc_number: 9812345\n"
            "  - relationship: unknown\n"
            "    parent_doc_number: null\n"
            "    parent_date: 19980505\n"
            "    child_doc_number: null\n"
            "inventors:\n"
            "  - Ada Lovelace\n"
            "applicants:\n"
            "  - Acme: Inc\n"
            "assignees: []\n"
            "---");
}

TEST(FrontMatter, FirstIdDecidesBetweenPublicationAndPatentNumber) {
  const std::string publication =
      render_front_matter(document_with({DocumentId{"20050001234", "S1", std::nullopt, std::nullopt},
                                         DocumentId{"1", "B1", std::nullopt, std::nullopt}}));
  EXPECT_EQ(line_of(publication, "publication_number"), "publication_number: US20050001234S1");
  EXPECT_EQ(line_of(publication, "patent_number"), "patent_number: null");
  EXPECT_EQ(line_of(publication, "publication_date"), "publication_date: null");

  const std::string design = render_front_matter(document_with({DocumentId{"0D123", "S", std::nullopt, "US"}}));
  EXPECT_EQ(line_of(design, "patent_number"), "patent_number: US0D123S");
}

TEST(FrontMatter, InventorsFromAnUnrecognisedElement) {
  Arena arena;
  const RawXml addressbook = test::raw_element(arena, "addressbook",
                                               {test::raw_element(arena, "first-name", {test::raw_text("Given")}),
                                                test::raw_element(arena, "last-name", {test::raw_text("Family")})});
  const RawXml inventor = test::raw_element(arena, "us-inventor", {addressbook});
  EXPECT_NE(render_front_matter(document_with({inventor})).find("inventors:\n  - Given Family\napplicants: []"),
            std::string::npos);
}

struct DisplayNumberCase {
  OptString series;
  const char* number;
  const char* expected;
};

class DisplayApplicationNumber : public ::testing::TestWithParam<DisplayNumberCase> {};

TEST_P(DisplayApplicationNumber, WritesSeriesSlashNumber) {
  Arena arena;
  DomesticFilingData filing{{}, list(arena, ApplicationNumber{{}, std::nullopt, GetParam().number})};
  if (GetParam().series) filing.entries.insert(arena, 0, SeriesCode{*GetParam().series});
  EXPECT_EQ(line_of(render_front_matter(document_with({filing})), "application_number"),
            std::string("application_number: ") + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, DisplayApplicationNumber,
                         ::testing::Values(DisplayNumberCase{"09", "09812345", "09/812345"},
                                           DisplayNumberCase{"09", "812345", "09/812345"},
                                           DisplayNumberCase{"10", "09812345", "10/09812345"},
                                           DisplayNumberCase{"09", "0981234", "09/0981234"},
                                           DisplayNumberCase{" 09 ", " 09812345 ", "09/812345"},
                                           DisplayNumberCase{"9A", "123", "9A/123"},
                                           DisplayNumberCase{" ", "123456", "123456"},
                                           DisplayNumberCase{std::nullopt, " 123456 ", "123456"}));

TEST(DisplayApplicationNumber, ItemWithoutNumberPassesToTheNextWithItsOwnSeries) {
  Arena arena;
  const SourceDocument document = document_with({
      DomesticFilingData{{}, list(arena, SeriesCode{"08"}, FilingDate{"20000101"})},
      DomesticFilingData{{}, list(arena, ApplicationNumber{{}, std::nullopt, "777"})},
  });
  EXPECT_EQ(line_of(render_front_matter(document), "application_number"), "application_number: 777");
}

struct ChainNumberCase {
  const char* number;
  const char* expected;
};

class ChainNumber : public ::testing::TestWithParam<ChainNumberCase> {};

TEST_P(ChainNumber, IsNormalisedOnBothNumberLines) {
  Arena arena;
  const std::string front_matter = render_front_matter(document_with(
      {ContinuityData{{}, list(arena, ContinuityEntry{{}, GetParam().number, std::nullopt, GetParam().number, "x"})}}));
  EXPECT_EQ(line_of(front_matter, "    parent_doc_number"),
            std::string("    parent_doc_number: ") + GetParam().expected);
  EXPECT_EQ(line_of(front_matter, "    child_doc_number"), std::string("    child_doc_number: ") + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ChainNumber,
                         ::testing::Values(ChainNumberCase{" 09/123,456 ", "09/123,456"},
                                           ChainNumberCase{"08/000123", "8000123"}, ChainNumberCase{"00/000", "0"},
                                           ChainNumberCase{"00/0120", "120"}, ChainNumberCase{"/123", "/123"},
                                           ChainNumberCase{"123/", "123/"}, ChainNumberCase{"1/2/3", "1/2/3"},
                                           ChainNumberCase{"0012", "0012"}, ChainNumberCase{"  ", ""}));

}  // namespace
}  // namespace tessellox
