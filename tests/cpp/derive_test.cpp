#include "derive.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tessellox {
namespace {

using Names = std::vector<std::string>;

SourceDocument document_with(std::vector<BibliographicItem> items) {
  SourceDocument document;
  document.parts.emplace_back(BibliographicInformation{{}, std::move(items)});
  return document;
}

RawXml element(std::string name, std::vector<RawXml> children = {}) {
  RawXml node;
  node.kind = RawXml::Kind::Element;
  node.name = std::move(name);
  node.children = std::move(children);
  return node;
}

RawXml text(std::string value) { return RawXml::make_text(std::move(value)); }

// <name>value</name>
RawXml leaf(std::string name, std::string value) { return element(std::move(name), {text(std::move(value))}); }

InlineNode text_node(std::string value) { return InlineNode{Text{std::move(value)}}; }

InlineNode inline_element(InlineKind kind, InlineContent content) {
  InlineElement element;
  element.kind = kind;
  element.content = std::move(content);
  return InlineNode{std::move(element)};
}

InlineNode claim_text(InlineContent content) { return inline_element(InlineKind::ClaimText, std::move(content)); }

DocumentId document_id(std::string number, OptString kind, OptString country = std::nullopt) {
  return DocumentId{std::move(number), std::move(kind), std::nullopt, std::move(country)};
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

INSTANTIATE_TEST_SUITE_P(
    Numbers, DocumentNumber,
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
  const DerivedMetadata derived = derive_metadata(document_with({id, document_id("1", "A1")}));
  EXPECT_EQ(derived.patent_number, "US6123456B1");
  EXPECT_FALSE(derived.publication_number);
  EXPECT_EQ(derived.publication_doc_number, "06123456");
  EXPECT_EQ(derived.publication_kind, "B1");
  EXPECT_FALSE(derived.publication_country);
  EXPECT_EQ(derived.publication_date, "20000101");
}

TEST(DeriveMetadata, PublicationIdWithEmptyNumberStillGivesPresentFields) {
  const DerivedMetadata derived = derive_metadata(document_with({document_id("", std::nullopt)}));
  EXPECT_EQ(derived.publication_number, "US");
  EXPECT_FALSE(derived.patent_number);
  EXPECT_EQ(derived.publication_doc_number, "");
}

TEST(DeriveMetadata, EmptyDocumentGivesNothing) {
  const DerivedMetadata derived = derive_metadata(SourceDocument{});
  EXPECT_TRUE(derived.applicants.empty() && derived.assignees.empty() && derived.inventors.empty());
  EXPECT_TRUE(derived.ipc_classifications.empty() && derived.us_classifications.empty());
  EXPECT_FALSE(derived.publication_number || derived.patent_number || derived.publication_date ||
               derived.application_number || derived.filing_date || derived.title ||
               derived.priority_date || derived.publication_doc_number);
}

TEST(DeriveMetadata, ReadsTheFirstBibliographicPartOnly) {
  SourceDocument document;
  document.parts.emplace_back(Abstract{});
  document.parts.emplace_back(BibliographicInformation{{}, {TechnicalInformation{{}, {TitleOfInvention{"First"}}}}});
  document.parts.emplace_back(BibliographicInformation{{}, {document_id("1", "B1")}});
  const DerivedMetadata derived = derive_metadata(document);
  EXPECT_EQ(derived.title, "First");
  EXPECT_FALSE(derived.patent_number);
}

TEST(DeriveMetadata, TitleAndFilingDateAreTheFirstOnes) {
  const DerivedMetadata derived = derive_metadata(document_with({
      TechnicalInformation{{}, {ClassificationIpc{}}},
      TechnicalInformation{{}, {TitleOfInvention{" Widget "}, TitleOfInvention{"Other"}}},
      DomesticFilingData{{}, {SeriesCode{"09"}}},
      DomesticFilingData{{}, {FilingDate{"20010203"}, FilingDate{"20020304"}}},
  }));
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
  DomesticFilingData filing{{}, {ApplicationNumber{{}, std::nullopt, GetParam().number}}};
  if (GetParam().series) filing.entries.emplace_back(SeriesCode{*GetParam().series});
  EXPECT_EQ(derive_metadata(document_with({filing})).application_number, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ApplicationNumberRule,
                         ::testing::Values(ApplicationCase{"09", "123456", "09123456"},
                                           ApplicationCase{"9A", "123456", "123456"},
                                           ApplicationCase{std::nullopt, "123456", "123456"},
                                           ApplicationCase{"09", "12345678", "12345678"},
                                           ApplicationCase{"09", " 123456\n", "09123456"},
                                           ApplicationCase{" 09", "123456", "123456"},
                                           ApplicationCase{"09", " PCT/US99/01 ", "PCT/US99/01"}));

TEST(ApplicationNumberRule, FirstItemWithANumberDecidesWithItsOwnSeries) {
  const DerivedMetadata derived = derive_metadata(document_with({
      DomesticFilingData{{}, {SeriesCode{"08"}, ApplicationNumber{{}, "utility", std::nullopt}}},
      DomesticFilingData{{}, {ApplicationNumber{{}, std::nullopt, "123"}, ApplicationNumber{{}, std::nullopt, "9"}}},
      DomesticFilingData{{}, {SeriesCode{"10"}, ApplicationNumber{{}, std::nullopt, "456"}}},
  }));
  EXPECT_EQ(derived.application_number, "123");
}

// --- parties ------------------------------------------------------------------

TEST(Parties, TypedNamesInOrderWithoutExactDuplicates) {
  const BibliographicInformation block{{}, {
      Applicants{{}, {PartyRecord{{}, "Acme Corp"}, PartyRecord{{}, std::nullopt}, PartyRecord{{}, "Acme Corp."}}},
      Applicants{{}, {PartyRecord{{}, "Acme Corp"}, PartyRecord{{}, "Beta"}}},
      Assignees{{}, {PartyRecord{{}, "Gamma"}}},
  }};
  EXPECT_EQ(applicant_names(&block), (Names{"Acme Corp", "Acme Corp.", "Beta"}));
  EXPECT_EQ(assignee_names(&block), (Names{"Gamma"}));
}

TEST(Parties, InventorNamesJoinPresentPartsAndSkipBlankOnes) {
  InventorRecord both, family_only, blank, duplicate;
  both.given_name = "Ada";
  both.family_name = "Lovelace";
  family_only.family_name = " Babbage ";
  blank.given_name = " ";
  duplicate.given_name = "Ada ";
  duplicate.family_name = "Lovelace";
  const BibliographicInformation block{{}, {Inventors{{}, {both, element("inventor", {leaf("orgname", "Raw")}), family_only}},
                                            Inventors{{}, {blank, duplicate}}}};
  EXPECT_EQ(inventor_names(&block), (Names{"Ada Lovelace", "Babbage", "Ada  Lovelace"}));
}

struct FallbackCase {
  const char* label;
  RawXml party;
  const char* expected;  // nullptr: no name
};

class PartyFallback : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(PartyFallback, FindsTheName) {
  const BibliographicInformation block{{}, {element("parties", {GetParam().party})}};
  const Names names = assignee_names(&block);
  if (GetParam().expected == nullptr)
    EXPECT_TRUE(names.empty()) << names.front();
  else
    EXPECT_EQ(names, (Names{GetParam().expected}));
}

INSTANTIATE_TEST_SUITE_P(
    Sources, PartyFallback,
    ::testing::Values(
        FallbackCase{"addressbook_orgname_first",
                     element("assignee", {leaf("orgname", "Direct"),
                                          element("addressbook", {leaf("last-name", "Person")}),
                                          element("addressbook", {leaf("orgname", " Acme &amp; Co ")})}),
                     "Acme & Co"},
        FallbackCase{"blank_addressbook_orgname_falls_through",
                     element("assignee", {element("addressbook", {leaf("orgname", " "), leaf("first-name", "Jo")}),
                                          leaf("organization-name", "Org Name")}),
                     "Org Name"},
        FallbackCase{"orgname_child", element("assignee", {leaf("orgname", "Plain Org")}), "Plain Org"},
        FallbackCase{"text_below_is_joined",
                     element("assignee", {element("orgname", {text(" Big"), element("b", {text(" Co")}), text(" ")})}),
                     "Big Co"},
        FallbackCase{"person_in_nested_addressbook",
                     element("assignee", {element("wrap", {element("addressbook", {leaf("first-name", " "),
                                                                                    leaf("given-name", "Given"),
                                                                                    leaf("last-name", "Family")})})}),
                     "Given Family"},
        FallbackCase{"person_under_name", element("assignee", {element("name", {leaf("family-name", "Solo")})}), "Solo"},
        FallbackCase{"nam_organisation",
                     element("assignee", {leaf("X", "x"), element("B731", {element("NAM", {leaf("ONM", "Aps Org")})})}),
                     "Aps Org"},
        FallbackCase{"nam_person",
                     element("assignee", {element("NAM", {leaf("FNM", "John"), leaf("SNM", "Doe")})}), "John Doe"},
        FallbackCase{"nothing_usable", element("assignee", {leaf("city", "Paris")}), nullptr}),
    [](const ::testing::TestParamInfo<FallbackCase>& info) { return std::string(info.param.label); });

TEST(PartyFallback, SearchesOnlyWhenTypedNamesAreMissingAndTakesOneNamePerParty) {
  // A party element is not searched further: the nested assignee adds nothing.
  const RawXml raw = element("assignees", {element("assignee", {leaf("orgname", "Outer"), element("assignee", {leaf("orgname", "Inner")})}),
                                           element("assignee", {leaf("orgname", "Outer")}),
                                           element("assignee", {leaf("orgname", "Second")})});
  const BibliographicInformation untyped{{}, {Assignees{{}, {PartyRecord{{}, std::nullopt}}}, raw}};
  EXPECT_EQ(assignee_names(&untyped), (Names{"Outer", "Second"}));

  const BibliographicInformation typed{{}, {Assignees{{}, {PartyRecord{{}, "Typed"}}}, raw}};
  EXPECT_EQ(assignee_names(&typed), (Names{"Typed"}));
}

TEST(PartyFallback, EachListUsesItsOwnElementNames) {
  const BibliographicInformation block{{}, {
      element("us-parties", {element("us-applicant", {leaf("orgname", "App")}),
                             element("us-inventor", {element("addressbook", {leaf("first-name", "Given"), leaf("last-name", "Family")})}),
                             element("first-named-inventor", {leaf("orgname", "First")})}),
      element("B721", {element("NAM", {leaf("SNM", "Aps")})}),
  }};
  EXPECT_EQ(applicant_names(&block), (Names{"App"}));
  EXPECT_EQ(inventor_names(&block), (Names{"Given Family", "First", "Aps"}));
  EXPECT_TRUE(assignee_names(&block).empty());
}

// --- classifications and priority -------------------------------------------

TEST(Classifications, MainThenFurtherWithoutDuplicatesPerKind) {
  const BibliographicInformation block{{}, {
      TechnicalInformation{{}, {ClassificationIpc{{}, "H01L 21/00", {"G06F 1/00", "H01L 21/00"}},
                                ClassificationUs{{}, "257/100", {}}}},
      TechnicalInformation{{}, {ClassificationIpc{{}, std::nullopt, {"A61K 9/00", "G06F 1/00"}},
                                ClassificationUs{{}, "257/100", {"438/1"}}}},
  }};
  EXPECT_EQ(ipc_classifications(&block), (Names{"H01L 21/00", "G06F 1/00", "A61K 9/00"}));
  EXPECT_EQ(us_classifications(&block), (Names{"257/100", "438/1"}));
}

ContinuityEntry continuity(OptString relation, OptString parent_date, OptString parent = std::nullopt) {
  return ContinuityEntry{{}, std::move(parent), std::move(parent_date), std::nullopt, std::move(relation)};
}

TEST(PriorityChain, KeepsEntriesInOrderAndNamesMissingRelationsUnknown) {
  const BibliographicInformation block{{}, {
      ContinuityData{{}, {continuity("continuation", "20010105", "09/123"), element("junk")}},
      ContinuityData{{}, {continuity(std::nullopt, "19991231")}},
  }};
  const std::vector<PriorityLink> chain = priority_chain(&block);
  ASSERT_EQ(chain.size(), 2u);
  EXPECT_EQ(chain[0].relationship, "continuation");
  EXPECT_EQ(chain[0].parent_doc_number, "09/123");
  EXPECT_EQ(chain[1].relationship, "unknown");
  EXPECT_EQ(derive_metadata(document_with(block.items)).priority_date, "19991231");
}

TEST(PriorityChain, EarliestDateIsByteWiseWithPrefixesFirst) {
  auto link = [](OptString date) { return PriorityLink{"x", std::nullopt, std::move(date), std::nullopt}; };
  EXPECT_EQ(earliest_priority_date({link("19990101"), link(std::nullopt), link("1999"), link("20000101")}), "1999");
  EXPECT_FALSE(earliest_priority_date({link(std::nullopt)}));
  EXPECT_FALSE(earliest_priority_date({}));
}

// --- plain text, abstract, claims ---------------------------------------------

TEST(PlainText, FlattensContainersMapsTextAndWritesRawElementsAsMarkup) {
  RawXml sub = element("sub", {text("2&amp;lt;")});
  sub.prefix = "m";
  sub.attributes.push_back(Attribute{"type", "a&amp;b", std::nullopt});
  sub.attributes.push_back(Attribute{"lang", "en", "xml"});
  InlineElement reference;
  reference.kind = InlineKind::CrossReference;
  reference.target = "FIG1";
  reference.content = {text_node("FIG. 1")};
  const InlineContent content{text_node("H"), InlineNode{sub}, text_node("O &lsqb;"), InlineNode{std::move(reference)},
                              inline_element(InlineKind::Bold, {inline_element(InlineKind::Italic, {text_node("&deg;")})}),
                              InlineNode{text("&quot;")}, InlineNode{element("br")}};
  EXPECT_EQ(plain_text(content), "H<m:sub type=\"a&amp;b\" xml:lang=\"en\">2<</m:sub>O [FIG. 1 deg\"<br></br>");
}

TEST(PlainText, ClaimTextStartsANewLineWhenTheTextSoFarEndsInAWord) {
  const InlineContent content{
      text_node("1. A sensor comprising:"),
      claim_text({text_node("a photosensitive region, and")}),
      claim_text({text_node("local circuitry;"), claim_text({text_node("a bus;")})}),
      text_node("\xC2\xA0"),  // NO-BREAK SPACE is white space
      claim_text({text_node("a port.")}),
  };
  EXPECT_EQ(plain_text(content),
            "1. A sensor comprising:\na photosensitive region, and\nlocal circuitry;\na bus;\xC2\xA0"
            "a port.");
}

TEST(PlainText, ClaimTextAtTheStartOfItsOwnTextAddsNoLineFeed) {
  const InlineContent content{claim_text({claim_text({text_node("first")})}), text_node(" "), claim_text({text_node("x")})};
  EXPECT_EQ(plain_text(content), "first x");
  std::string out = "earlier text";
  append_plain_text(content, out);
  EXPECT_EQ(out, "earlier textfirst x");
}

Paragraph paragraph(std::string value) {
  Paragraph p;
  p.content.push_back(text_node(std::move(value)));
  return p;
}

TEST(AbstractText, JoinsNonBlankParagraphsOfTheFirstAbstractWithText) {
  SourceDocument document;
  EXPECT_FALSE(abstract_text(document));
  document.parts.emplace_back(Abstract{{}, {paragraph(" "), element("p", {text("raw")}), paragraph("")}});
  EXPECT_FALSE(abstract_text(document));
  document.parts.emplace_back(Abstract{{}, {paragraph(" One "), paragraph("\n"), paragraph("Two&amp;")}});
  document.parts.emplace_back(Abstract{{}, {paragraph("Later")}});
  EXPECT_EQ(abstract_text(document), " One \n\nTwo&");
}

ClaimElement claim(InlineContent content) { return ClaimElement{{}, std::move(content), std::nullopt}; }

TEST(Claims, NumbersNonBlankClaimsAcrossPartsAndTrimsThem) {
  SourceDocument document;
  Claims first;
  first.entries.emplace_back(Heading{{}, {text_node("What is claimed is:")}, std::nullopt, std::nullopt});
  first.entries.emplace_back(claim({text_node(" 1. Water, H"), InlineNode{element("sub", {text("2")})}, text_node("O. ")}));
  first.entries.emplace_back(claim({text_node(" \n "), claim_text({})}));
  first.entries.emplace_back(element("claim", {text("raw")}));
  Claims second;
  second.entries.emplace_back(claim({text_node("2. The water of claim 1.")}));
  document.parts.emplace_back(std::move(first));
  document.parts.emplace_back(std::move(second));

  const std::vector<Claim> result = claims(document);
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result[0].number, 1u);
  EXPECT_EQ(result[0].text, "1. Water, H<sub>2</sub>O.");
  EXPECT_EQ(result[1].number, 2u);
  EXPECT_EQ(result[1].text, "2. The water of claim 1.");
}

}  // namespace
}  // namespace tessellox
