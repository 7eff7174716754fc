#include "derive.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "model_builders.hpp"

namespace tessellox {
namespace {

using Names = std::vector<std::string_view>;
using test::claim;
using test::claim_text;
using test::document_with;
using test::element;
using test::list;
using test::raw_element;
using test::raw_text;
using test::text;

// <name>value</name>
RawXml leaf(Arena& arena, std::string_view name, std::string_view value) {
  return raw_element(arena, name, {raw_text(value)});
}

DocumentId document_id(std::string_view number, OptString kind, OptString country = std::nullopt) {
  return DocumentId{number, kind, std::nullopt, country};
}

// --- document numbers -------------------------------------------------------

struct KindCase {
  OptString kind;
  bool grant;
};

class GrantKindCode : public ::testing::TestWithParam<KindCase> {};

TEST_P(GrantKindCode, Classifies) {
  EXPECT_EQ(is_grant_kind_code(GetParam().kind), GetParam().grant) << GetParam().kind.value_or("(absent)");
}

INSTANTIATE_TEST_SUITE_P(Kinds, GrantKindCode,
                         ::testing::Values(KindCase{"B1", true}, KindCase{"B", true}, KindCase{"E", true},
                                           KindCase{"E1", true}, KindCase{"S", true}, KindCase{"S1", false},
                                           KindCase{"A1", false}, KindCase{"b2", false}, KindCase{"", false},
                                           KindCase{std::nullopt, false}));

struct NumberCase {
  DocumentId id;
  const char* expected;
};

class DocumentNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(DocumentNumber, Formats) { EXPECT_EQ(format_document_number(GetParam().id), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Numbers, DocumentNumber,
                         ::testing::Values(NumberCase{document_id("20050001234", "A1", "US"), "US20050001234A1"},
                                           NumberCase{document_id("07000001", "B2"), "US7000001B2"},
                                           NumberCase{document_id("06123456", "B1"), "US6123456B1"},
                                           NumberCase{document_id("RE38000", "E", "US"), "USRE38000E"},
                                           NumberCase{document_id("", "B2", "US"), "US0B2"},
                                           NumberCase{document_id("0000", "S"), "US0S"},
                                           NumberCase{document_id("0070", "A1"), "US0070A1"},
                                           NumberCase{document_id("0123", std::nullopt, "JP"), "JP0123"}));

TEST(DeriveMetadata, GrantIdGivesPatentNumberOnlyAndCopiesTheIdFields) {
  DocumentId id = document_id("06123456", "B1");
  id.document_date = "20000101";
  SourceDocument document = document_with({id, document_id("1", "A1")});
  const DerivedMetadata derived = derive_metadata(document);
  EXPECT_EQ(derived.patent_number, "US6123456B1");
  EXPECT_FALSE(derived.publication_number);
  EXPECT_EQ(derived.publication_doc_number, "06123456");
  EXPECT_EQ(derived.publication_kind, "B1");
  EXPECT_FALSE(derived.publication_country);
  EXPECT_EQ(derived.publication_date, "20000101");
}

TEST(DeriveMetadata, PublicationIdWithEmptyNumberStillGivesPresentFields) {
  SourceDocument document = document_with({document_id("", std::nullopt)});
  const DerivedMetadata derived = derive_metadata(document);
  EXPECT_EQ(derived.publication_number, "US");
  EXPECT_FALSE(derived.patent_number);
  EXPECT_EQ(derived.publication_doc_number, "");
}

TEST(DeriveMetadata, EmptyDocumentGivesNothing) {
  SourceDocument document;
  const DerivedMetadata derived = derive_metadata(document);
  EXPECT_TRUE(derived.applicants.empty() && derived.assignees.empty() && derived.inventors.empty());
  EXPECT_TRUE(derived.ipc_classifications.empty() && derived.us_classifications.empty());
  EXPECT_FALSE(derived.publication_number || derived.patent_number || derived.publication_date ||
               derived.application_number || derived.filing_date || derived.title || derived.priority_date ||
               derived.publication_doc_number);
}

TEST(DeriveMetadata, ReadsTheFirstBibliographicPartOnly) {
  Arena arena;
  SourceDocument document = test::document_of(
      {Abstract{},
       BibliographicInformation{{}, list(arena, TechnicalInformation{{}, list(arena, TitleOfInvention{"First"})})},
       BibliographicInformation{{}, list(arena, document_id("1", "B1"))}});
  const DerivedMetadata derived = derive_metadata(document);
  EXPECT_EQ(derived.title, "First");
  EXPECT_FALSE(derived.patent_number);
}

TEST(DeriveMetadata, TitleAndFilingDateAreTheFirstOnes) {
  Arena arena;
  SourceDocument document = document_with({
      TechnicalInformation{{}, list(arena, ClassificationIpc{})},
      TechnicalInformation{{}, list(arena, TitleOfInvention{" Widget "}, TitleOfInvention{"Other"})},
      DomesticFilingData{{}, list(arena, SeriesCode{"09"})},
      DomesticFilingData{{}, list(arena, FilingDate{"20010203"}, FilingDate{"20020304"})},
  });
  const DerivedMetadata derived = derive_metadata(document);
  EXPECT_EQ(derived.title, " Widget ");
  EXPECT_EQ(derived.filing_date, "20010203");
}

// --- application number -----------------------------------------------------

struct ApplicationCase {
  OptString series;
  const char* number;
  const char* expected;
};

class ApplicationNumberRule : public ::testing::TestWithParam<ApplicationCase> {};

TEST_P(ApplicationNumberRule, JoinsShortDigitNumbersToADigitSeries) {
  // The series code may follow the number within its item.
  Arena arena;
  DomesticFilingData filing{{}, list(arena, ApplicationNumber{{}, std::nullopt, GetParam().number})};
  if (GetParam().series) filing.entries.emplace_back(arena, SeriesCode{*GetParam().series});
  SourceDocument document = document_with({filing});
  EXPECT_EQ(derive_metadata(document).application_number, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, ApplicationNumberRule,
    ::testing::Values(ApplicationCase{"09", "123456", "09123456"}, ApplicationCase{"9A", "123456", "123456"},
                      ApplicationCase{std::nullopt, "123456", "123456"}, ApplicationCase{"09", "12345678", "12345678"},
                      ApplicationCase{"09", " 123456\n", "09123456"}, ApplicationCase{" 09", "123456", "123456"},
                      ApplicationCase{"09", " PCT/US99/01 ", "PCT/US99/01"}));

TEST(ApplicationNumberRule, FirstItemWithANumberDecidesWithItsOwnSeries) {
  Arena arena;
  SourceDocument document = document_with({
      DomesticFilingData{{}, list(arena, SeriesCode{"08"}, ApplicationNumber{{}, "utility", std::nullopt})},
      DomesticFilingData{
          {}, list(arena, ApplicationNumber{{}, std::nullopt, "123"}, ApplicationNumber{{}, std::nullopt, "9"})},
      DomesticFilingData{{}, list(arena, SeriesCode{"10"}, ApplicationNumber{{}, std::nullopt, "456"})},
  });
  EXPECT_EQ(derive_metadata(document).application_number, "123");
}

// --- parties ------------------------------------------------------------------

TEST(Parties, TypedNamesInOrderWithoutExactDuplicates) {
  Arena arena;
  const BibliographicInformation block{
      {},
      list(arena,
           Applicants{
               {},
               list(arena, PartyRecord{{}, "Acme Corp"}, PartyRecord{{}, std::nullopt}, PartyRecord{{}, "Acme Corp."})},
           Applicants{{}, list(arena, PartyRecord{{}, "Acme Corp"}, PartyRecord{{}, "Beta"})},
           Assignees{{}, list(arena, PartyRecord{{}, "Gamma"})})};
  EXPECT_EQ(applicant_names(&block, arena), (Names{"Acme Corp", "Acme Corp.", "Beta"}));
  EXPECT_EQ(assignee_names(&block, arena), (Names{"Gamma"}));
}

TEST(Parties, InventorNamesJoinPresentPartsAndSkipBlankOnes) {
  Arena arena;
  InventorRecord both, family_only, blank, duplicate;
  both.given_name = "Ada";
  both.family_name = "Lovelace";
  family_only.family_name = " Babbage ";
  blank.given_name = " ";
  duplicate.given_name = "Ada ";
  duplicate.family_name = "Lovelace";
  const BibliographicInformation block{
      {},
      list(arena,
           Inventors{{},
                     list(arena, both, raw_element(arena, "inventor", {leaf(arena, "orgname", "Raw")}), family_only)},
           Inventors{{}, list(arena, blank, duplicate)})};
  EXPECT_EQ(inventor_names(&block, arena), (Names{"Ada Lovelace", "Babbage", "Ada  Lovelace"}));
}

struct FallbackCase {
  const char* label;
  RawXml party;
  const char* expected;  // nullptr: no name
};

class PartyFallback : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(PartyFallback, FindsTheName) {
  Arena arena;
  const BibliographicInformation block{{}, list(arena, raw_element(arena, "parties", {GetParam().party}))};
  const Names names = assignee_names(&block, arena);
  if (GetParam().expected == nullptr)
    EXPECT_TRUE(names.empty()) << names.front();
  else
    EXPECT_EQ(names, (Names{GetParam().expected}));
}

// The parties of the table below, built in the table arena.
RawXml element(std::string_view name, std::initializer_list<RawXml> children) {
  return raw_element(test::table_arena(), name, children);
}
RawXml leaf(std::string_view name, std::string_view value) { return leaf(test::table_arena(), name, value); }

INSTANTIATE_TEST_SUITE_P(
    Sources, PartyFallback,
    ::testing::Values(
        FallbackCase{
            "addressbook_orgname_first",
            element("assignee", {leaf("orgname", "Direct"), element("addressbook", {leaf("last-name", "Person")}),
                                 element("addressbook", {leaf("orgname", " Acme &amp; Co ")})}),
            "Acme & Co"},
        FallbackCase{"blank_addressbook_orgname_falls_through",
                     element("assignee", {element("addressbook", {leaf("orgname", " "), leaf("first-name", "Jo")}),
                                          leaf("organization-name", "Org Name")}),
                     "Org Name"},
        FallbackCase{"orgname_child", element("assignee", {leaf("orgname", "Plain Org")}), "Plain Org"},
        FallbackCase{"text_below_is_joined",
                     element("assignee",
                             {element("orgname", {raw_text(" Big"), element("b", {raw_text(" Co")}), raw_text(" ")})}),
                     "Big Co"},
        FallbackCase{"person_in_nested_addressbook",
                     element("assignee", {element("wrap", {element("addressbook", {leaf("first-name", " "),
                                                                                   leaf("given-name", "Given"),
                                                                                   leaf("last-name", "Family")})})}),
                     "Given Family"},
        FallbackCase{"person_under_name", element("assignee", {element("name", {leaf("family-name", "Solo")})}),
                     "Solo"},
        FallbackCase{"nam_organisation",
                     element("assignee", {leaf("X", "x"), element("B731", {element("NAM", {leaf("ONM", "Aps Org")})})}),
                     "Aps Org"},
        FallbackCase{"nam_person", element("assignee", {element("NAM", {leaf("FNM", "John"), leaf("SNM", "Doe")})}),
                     "John Doe"},
        FallbackCase{"nothing_usable", element("assignee", {leaf("city", "Paris")}), nullptr}),
    [](const ::testing::TestParamInfo<FallbackCase>& info) { return std::string(info.param.label); });

TEST(PartyFallback, SearchesOnlyWhenTypedNamesAreMissingAndTakesOneNamePerParty) {
  // A party element is not searched further: the nested assignee adds nothing.
  Arena arena;
  const RawXml raw = raw_element(arena, "assignees",
                                 {raw_element(arena, "assignee",
                                              {leaf(arena, "orgname", "Outer"),
                                               raw_element(arena, "assignee", {leaf(arena, "orgname", "Inner")})}),
                                  raw_element(arena, "assignee", {leaf(arena, "orgname", "Outer")}),
                                  raw_element(arena, "assignee", {leaf(arena, "orgname", "Second")})});
  const BibliographicInformation untyped{{},
                                         list(arena, Assignees{{}, list(arena, PartyRecord{{}, std::nullopt})}, raw)};
  EXPECT_EQ(assignee_names(&untyped, arena), (Names{"Outer", "Second"}));

  const BibliographicInformation typed{{}, list(arena, Assignees{{}, list(arena, PartyRecord{{}, "Typed"})}, raw)};
  EXPECT_EQ(assignee_names(&typed, arena), (Names{"Typed"}));
}

TEST(PartyFallback, EachListUsesItsOwnElementNames) {
  Arena arena;
  const BibliographicInformation block{
      {},
      list(arena,
           raw_element(
               arena, "us-parties",
               {raw_element(arena, "us-applicant", {leaf(arena, "orgname", "App")}),
                raw_element(arena, "us-inventor",
                            {raw_element(arena, "addressbook",
                                         {leaf(arena, "first-name", "Given"), leaf(arena, "last-name", "Family")})}),
                raw_element(arena, "first-named-inventor", {leaf(arena, "orgname", "First")})}),
           raw_element(arena, "B721", {raw_element(arena, "NAM", {leaf(arena, "SNM", "Aps")})}))};
  EXPECT_EQ(applicant_names(&block, arena), (Names{"App"}));
  EXPECT_EQ(inventor_names(&block, arena), (Names{"Given Family", "First", "Aps"}));
  EXPECT_TRUE(assignee_names(&block, arena).empty());
}

// --- classifications and priority -------------------------------------------

TEST(Classifications, MainThenFurtherWithoutDuplicatesPerKind) {
  Arena arena;
  const BibliographicInformation block{
      {},
      list(arena,
           TechnicalInformation{{},
                                list(arena, ClassificationIpc{{}, "H01L 21/00", list(arena, "G06F 1/00", "H01L 21/00")},
                                     ClassificationUs{{}, "257/100", {}})},
           TechnicalInformation{{},
                                list(arena, ClassificationIpc{{}, std::nullopt, list(arena, "A61K 9/00", "G06F 1/00")},
                                     ClassificationUs{{}, "257/100", list(arena, "438/1")})})};
  EXPECT_EQ(ipc_classifications(&block), (Names{"H01L 21/00", "G06F 1/00", "A61K 9/00"}));
  EXPECT_EQ(us_classifications(&block), (Names{"257/100", "438/1"}));
}

ContinuityEntry continuity(OptString relation, OptString parent_date, OptString parent = std::nullopt) {
  return ContinuityEntry{{}, parent, parent_date, std::nullopt, relation};
}

TEST(PriorityChain, KeepsEntriesInOrderAndNamesMissingRelationsUnknown) {
  Arena arena;
  const BibliographicInformation block{
      {},
      list(
          arena,
          ContinuityData{{}, list(arena, continuity("continuation", "20010105", "09/123"), raw_element(arena, "junk"))},
          ContinuityData{{}, list(arena, continuity(std::nullopt, "19991231"))})};
  const std::vector<PriorityLink> chain = priority_chain(&block);
  ASSERT_EQ(chain.size(), 2u);
  EXPECT_EQ(chain[0].relationship, "continuation");
  EXPECT_EQ(chain[0].parent_doc_number, "09/123");
  EXPECT_EQ(chain[1].relationship, "unknown");
  SourceDocument document = test::document_of({block});
  EXPECT_EQ(derive_metadata(document).priority_date, "19991231");
}

TEST(PriorityChain, EarliestDateIsByteWiseWithPrefixesFirst) {
  auto link = [](OptString date) { return PriorityLink{"x", std::nullopt, date, std::nullopt}; };
  EXPECT_EQ(earliest_priority_date({link("19990101"), link(std::nullopt), link("1999"), link("20000101")}), "1999");
  EXPECT_FALSE(earliest_priority_date({link(std::nullopt)}));
  EXPECT_FALSE(earliest_priority_date({}));
}

// --- abstract, claims -----------------------------------------------------

Paragraph paragraph(Arena& arena, std::string_view value) { return test::paragraph(arena, {text(value)}); }

TEST(AbstractText, JoinsNonBlankParagraphsOfTheFirstAbstractWithText) {
  SourceDocument document;
  Arena& arena = document.arena;
  EXPECT_FALSE(abstract_text(document));
  document.parts.push_back(arena, Abstract{{},
                                           list(arena, paragraph(arena, " "),
                                                raw_element(arena, "p", {raw_text("raw")}), paragraph(arena, ""))});
  EXPECT_FALSE(abstract_text(document));
  document.parts.push_back(
      arena,
      Abstract{{}, list(arena, paragraph(arena, " One "), paragraph(arena, "\n"), paragraph(arena, "Two&amp;"))});
  document.parts.push_back(arena, Abstract{{}, list(arena, paragraph(arena, "Later"))});
  EXPECT_EQ(abstract_text(document), " One \n\nTwo&");
}

TEST(Claims, NumbersNonBlankClaimsAcrossPartsAndTrimsThem) {
  SourceDocument document;
  Arena& arena = document.arena;
  Claims first;
  first.entries.push_back(arena,
                          Heading{{}, InlineContent(arena, {text("What is claimed is:")}), std::nullopt, std::nullopt});
  first.entries.push_back(
      arena,
      claim(arena, {text(" 1. Water, H"), InlineNode(arena, raw_element(arena, "sub", {raw_text("2")})), text("O. ")}));
  first.entries.push_back(arena, claim(arena, {text(" \n "), claim_text(arena, {})}));
  first.entries.push_back(arena, raw_element(arena, "claim", {raw_text("raw")}));
  Claims second;
  second.entries.push_back(arena, claim(arena, {text("2. The water of claim 1.")}));
  document.parts.push_back(arena, first);
  document.parts.push_back(arena, second);

  const std::vector<Claim> result = claims(document);
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0].number, 1u);
  EXPECT_EQ(result[0].text, "1. Water, H<sub>2</sub>O.");
  EXPECT_EQ(result[1].number, 2u);
  EXPECT_EQ(result[1].text, "2. The water of claim 1.");
}

}  // namespace
}  // namespace tessellox
