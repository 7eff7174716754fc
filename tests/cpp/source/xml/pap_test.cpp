#include "source/xml/pap.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "../../model_builders.hpp"
#include "older_test_support.hpp"

namespace tessellox {
namespace {

using test::at;
using test::dump;
using test::first_item;
using test::first_of;
using test::first_part;

SourceDocument parse_ok(std::string_view text, SourceFormat format = SourceFormat::UsptoApplicationV15) {
  ParseResult result = parse_pap(text, format);
  EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().message());
  if (!result.ok()) return {};
  return std::move(result).value();
}

std::string root(std::string_view body) {
  return "<patent-application-publication>" + std::string(body) + "</patent-application-publication>";
}

SourceDocument parse_bibliographic(std::string_view items) {
  return parse_ok(
      root("<subdoc-bibliographic-information>" + std::string(items) + "</subdoc-bibliographic-information>"));
}

// ---------------------------------------------------------------------------
// Front end and root parts
// ---------------------------------------------------------------------------

TEST(PapFrontEnd, FailuresCarryTheirVariantAndMessage) {
  struct Case {
    std::string_view text;
    SourceFormat format;
    ParseError::Kind kind;
    std::string_view message;
  };
  const Case cases[] = {
      {"<us-patent-grant/>", SourceFormat::UsptoApplicationV15, ParseError::Kind::Structure,
       messages::kPapRootRequired},
      // The version 1.6 handler reports the same message.
      {"<PATDOC/>", SourceFormat::UsptoApplicationV16, ParseError::Kind::Structure, messages::kPapRootRequired},
      {"<?xml version=\"1.0\"?><!-- nothing -->", SourceFormat::UsptoApplicationV15, ParseError::Kind::Xml, {}},
      {"<patent-application-publication><a></patent-application-publication>",
       SourceFormat::UsptoApplicationV15,
       ParseError::Kind::Xml,
       {}},
  };
  for (const Case& c : cases) {
    const ParseResult result = parse_pap(c.text, c.format);
    ASSERT_FALSE(result.ok()) << c.text;
    EXPECT_EQ(result.error().kind, c.kind) << c.text;
    if (!c.message.empty()) {
      EXPECT_EQ(result.error().message(), c.message);
    }
  }
}

TEST(PapFrontEnd, EmptyRootKeepsPrologAttributesAndFormat) {
  const SourceDocument document = parse_ok(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE patent-application-publication SYSTEM \"pap-v16-2002-01-01.dtd\" []>\n"
      "<patent-application-publication lang=\"EN\"/>",
      SourceFormat::UsptoApplicationV16);
  EXPECT_TRUE(document.parts.empty());
  EXPECT_EQ(document.source_format, SourceFormat::UsptoApplicationV16);
  EXPECT_EQ(document.xml_encoding, "UTF-8");
  EXPECT_EQ(document.doctype_system_id, "pap-v16-2002-01-01.dtd");
  ASSERT_EQ(document.root_attributes.size(), 1u);
  EXPECT_EQ(document.root_attributes[0].name(), "lang");
}

TEST(PapFrontEnd, OneRootPartPerChildElementWithUnknownOnesCaptured) {
  const SourceDocument document =
      parse_ok(root("\n<subdoc-bibliographic-information/>\n<!-- c --><?pi x?>\n<subdoc-abstract/>"
                    "<subdoc-description/><subdoc-claims/><subdoc-drawings/><subdoc-sequence-list id=\"s\"/>\n"));
  ASSERT_EQ(document.parts.size(), 6u);
  EXPECT_TRUE(std::holds_alternative<BibliographicInformation>(document.parts[0]));
  EXPECT_TRUE(std::holds_alternative<Abstract>(document.parts[1]));
  EXPECT_TRUE(std::holds_alternative<Description>(document.parts[2]));
  EXPECT_TRUE(std::holds_alternative<Claims>(document.parts[3]));
  EXPECT_TRUE(std::holds_alternative<Drawings>(document.parts[4]));
  const auto& raw = std::get<RawXml>(document.parts[5]);
  EXPECT_EQ(raw.name(), "subdoc-sequence-list");
  ASSERT_EQ(raw.attributes().size(), 1u);
  EXPECT_EQ(raw.attributes()[0].value(), "s");
}

// ---------------------------------------------------------------------------
// Bibliographic items
// ---------------------------------------------------------------------------

TEST(PapBibliographic, ItemsFollowTheirElementsInOrder) {
  const SourceDocument document = parse_bibliographic(
      "<document-id><doc-number> 20010000002 </doc-number><kind-code>A1</kind-code>"
      "<document-date>20010315</document-date><country-code>US</country-code></document-id>"
      "<publication-filing-type> new-utility </publication-filing-type>"
      "<assignee><organization-name>Acme</organization-name></assignee>"
      "<domestic-filing-data><application-number appl-type=\"utility\"><doc-number>09726341</doc-number>"
      "</application-number><application-number-series-code>09</application-number-series-code>"
      "<filing-date>20001201</filing-date><extra/></domestic-filing-data>");
  const auto* information = first_part<BibliographicInformation>(document);
  ASSERT_NE(information, nullptr);
  ASSERT_EQ(information->items.size(), 4u);

  const auto& id = std::get<DocumentId>(information->items[0]);
  EXPECT_EQ(id.doc_number, "20010000002");
  EXPECT_EQ(id.kind_code, "A1");
  EXPECT_EQ(id.document_date, "20010315");
  EXPECT_EQ(id.country_code, "US");
  EXPECT_EQ(std::get<PublicationFilingType>(information->items[1]).text, "new-utility");
  // This generation has no assignee item: the element is kept as captured.
  EXPECT_EQ(std::get<RawXml>(information->items[2]).name(), "assignee");

  const auto& filing = std::get<DomesticFilingData>(information->items[3]);
  ASSERT_EQ(filing.entries.size(), 4u);
  const auto& number = std::get<ApplicationNumber>(filing.entries[0]);
  EXPECT_EQ(number.appl_type, "utility");
  EXPECT_EQ(number.doc_number, "09726341");
  ASSERT_EQ(number.attributes.size(), 1u);
  EXPECT_EQ(std::get<SeriesCode>(filing.entries[1]).text, "09");
  EXPECT_EQ(std::get<FilingDate>(filing.entries[2]).text, "20001201");
  EXPECT_EQ(std::get<RawXml>(filing.entries[3]).name(), "extra");
}

TEST(PapBibliographic, DocumentIdWithoutNumberHasEmptyNumberAndBlankFieldsAbsent) {
  const SourceDocument document =
      parse_bibliographic("<document-id><kind-code> </kind-code><kind>B1</kind></document-id>");
  const auto* id = first_item<DocumentId>(document);
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(id->doc_number, "");
  EXPECT_FALSE(id->kind_code.has_value());  // blank, and `kind` is not this generation's name
  EXPECT_FALSE(id->document_date.has_value());
}

TEST(PapBibliographic, ClassificationsTakeTheFirstDescendantOnly) {
  const SourceDocument document = parse_bibliographic(
      "<technical-information>"
      "<classification-ipc><classification-ipc-primary><ipc> D21C011/12 </ipc></classification-ipc-primary>"
      "<classification-ipc-secondary><ipc>G01N</ipc></classification-ipc-secondary></classification-ipc>"
      "<classification-us><classification-us-primary><uspc><class>162</class><subclass>259000</subclass>"
      "</uspc></classification-us-primary></classification-us>"
      "<classification-us><uspc><class></class><subclass>259000</subclass></uspc></classification-us>"
      "<title-of-invention> Fiber profile </title-of-invention><other/></technical-information>");
  const auto* technical = first_item<TechnicalInformation>(document);
  ASSERT_NE(technical, nullptr);
  ASSERT_EQ(technical->entries.size(), 5u);
  const auto& ipc = std::get<ClassificationIpc>(technical->entries[0]);
  EXPECT_EQ(ipc.main_classification, "D21C011/12");
  EXPECT_TRUE(ipc.further_classifications.empty());
  EXPECT_EQ(std::get<ClassificationUs>(technical->entries[1]).main_classification, "162");
  // An empty first `class` ends the search: the later subclass is not used.
  EXPECT_FALSE(std::get<ClassificationUs>(technical->entries[2]).main_classification.has_value());
  EXPECT_EQ(std::get<TitleOfInvention>(technical->entries[3]).text, "Fiber profile");
  EXPECT_EQ(std::get<RawXml>(technical->entries[4]).name(), "other");
}

// Real entries hold the child (this application) before the parent; the
// parent's number and date must come from `parent`.
struct ContinuityCase {
  std::string_view name;
  std::string_view body;
  std::optional<std::string_view> parent_number;
  std::optional<std::string_view> parent_date;
};

void PrintTo(const ContinuityCase& c, std::ostream* os) { *os << c.name << " " << c.body; }

class PapContinuity : public ::testing::TestWithParam<ContinuityCase> {};

TEST_P(PapContinuity, ParentNumberAndDateComeFromTheParent) {
  const ContinuityCase& c = GetParam();
  const std::string entry =
      "<" + std::string(c.name) + " kind=\"x\">" + std::string(c.body) + "</" + std::string(c.name) + ">";
  const SourceDocument document = parse_bibliographic("<continuity-data>" + entry + "</continuity-data>");
  const auto* data = first_item<ContinuityData>(document);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(data->entries.size(), 1u);
  const auto& parsed = std::get<ContinuityEntry>(data->entries[0]);
  EXPECT_EQ(parsed.relation_name, c.name);
  EXPECT_EQ(parsed.parent_doc_number, c.parent_number);
  EXPECT_EQ(parsed.parent_document_date, c.parent_date);
  EXPECT_FALSE(parsed.child_doc_number.has_value());
  ASSERT_EQ(parsed.attributes.size(), 1u);
}

constexpr std::string_view kChildThenParent =
    "<parent-child><child><document-id><doc-number>09726341</doc-number><kind-code>A1</kind-code>"
    "<document-date>20001201</document-date></document-id></child>"
    "<parent><document-id><doc-number>09126808</doc-number><document-date>19980731</document-date>"
    "</document-id></parent><parent-status>GRANTED</parent-status></parent-child>";

constexpr std::string_view kWrappedContinuation =
    "<continuation-of><parent-child><child><document-id><doc-number>09727454</doc-number></document-id></child>"
    "<parent><document-id><doc-number>PCT/JP00/02182</doc-number><document-date>20000404</document-date>"
    "</document-id></parent></parent-child></continuation-of>";

INSTANTIATE_TEST_SUITE_P(
    Entries, PapContinuity,
    ::testing::Values(ContinuityCase{"division-of", kChildThenParent, "09126808", "19980731"},
                      ContinuityCase{"continuation-of", kChildThenParent, "09126808", "19980731"},
                      ContinuityCase{"continuation-in-part-of", kChildThenParent, "09126808", "19980731"},
                      ContinuityCase{"a-371-of-international", kChildThenParent, "09126808", "19980731"},
                      // The wrapper form: the parent sits deeper, inside the nested entry.
                      ContinuityCase{"continuations", kWrappedContinuation, "PCT/JP00/02182", "20000404"},
                      // Without a parent element the whole entry is searched.
                      ContinuityCase{
                          "continuation-of",
                          "<document-id><doc-number>08000001</doc-number><document-date>19950101</document-date>"
                          "</document-id>",
                          "08000001", "19950101"},
                      // A parent with no date gives no date, even when the child has one.
                      ContinuityCase{"division-of",
                                     "<parent-child><child><document-id><document-date>20001201</document-date>"
                                     "</document-id></child><parent><document-id><doc-number>09126808</doc-number>"
                                     "</document-id></parent></parent-child>",
                                     "09126808", std::nullopt},
                      ContinuityCase{"continuation-of", "", std::nullopt, std::nullopt}),
    [](const ::testing::TestParamInfo<ContinuityCase>& info) {
      std::string name(info.param.name);
      for (char& c : name) {
        if (c == '-') c = '_';
      }
      return name + "_" + std::to_string(info.index);
    });

TEST(PapBibliographic, UnknownContinuityChildIsCaptured) {
  const SourceDocument document =
      parse_bibliographic("<continuity-data a=\"1\"><reissue-of/><division-of/></continuity-data>");
  const auto* data = first_item<ContinuityData>(document);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->attributes.size(), 1u);
  ASSERT_EQ(data->entries.size(), 2u);
  EXPECT_EQ(std::get<RawXml>(data->entries[0]).name(), "reissue-of");
  EXPECT_EQ(std::get<ContinuityEntry>(data->entries[1]).relation_name, "division-of");
}

TEST(PapBibliographic, InventorsReadDescendantTexts) {
  const SourceDocument document = parse_bibliographic(
      "<inventors><first-named-inventor><name><given-name>Wolfgang</given-name><family-name>Ruf</family-name>"
      "</name><residence><residence-non-us><city>Bolheim</city><country-code>DE</country-code>"
      "</residence-non-us></residence></first-named-inventor>"
      "<inventor id=\"i2\"><name><given-name>Hans</given-name><family-name> </family-name></name>"
      "<residence><residence-us><city>Reston</city><state>VA</state></residence-us></residence></inventor>"
      "<deceased-inventor/></inventors>");
  const auto* inventors = first_item<Inventors>(document);
  ASSERT_NE(inventors, nullptr);
  ASSERT_EQ(inventors->entries.size(), 3u);
  const auto& first = std::get<InventorRecord>(inventors->entries[0]);
  EXPECT_TRUE(first.first_named);
  EXPECT_EQ(first.given_name, "Wolfgang");
  EXPECT_EQ(first.family_name, "Ruf");
  EXPECT_EQ(first.city, "Bolheim");
  EXPECT_FALSE(first.state.has_value());
  EXPECT_EQ(first.country_code, "DE");
  const auto& second = std::get<InventorRecord>(inventors->entries[1]);
  EXPECT_FALSE(second.first_named);
  EXPECT_FALSE(second.family_name.has_value());
  EXPECT_EQ(second.state, "VA");
  EXPECT_EQ(second.attributes.size(), 1u);
  EXPECT_EQ(std::get<RawXml>(inventors->entries[2]).name(), "deceased-inventor");
}

TEST(PapBibliographic, CorrespondenceAddressKeepsEmptyLinesInPlace) {
  const SourceDocument document = parse_bibliographic(
      "<correspondence-address><name-1>GREENBLUM &amp; BERNSTEIN</name-1><name-2></name-2>"
      "<address><address-1> </address-1><address-2>1941 ROLAND CLARKE PLACE</address-2><city>RESTON</city>"
      "<state>VA</state><country><country-code>US</country-code></country><postalcode>20191</postalcode>"
      "</address><phone/></correspondence-address>");
  const auto* correspondence = first_item<CorrespondenceAddress>(document);
  ASSERT_NE(correspondence, nullptr);
  ASSERT_EQ(correspondence->entries.size(), 4u);
  EXPECT_EQ(std::get<Name1>(correspondence->entries[0]).text, "GREENBLUM & BERNSTEIN");
  EXPECT_EQ(std::get<Name2>(correspondence->entries[1]).text, "");
  const auto& address = std::get<Address>(correspondence->entries[2]);
  EXPECT_EQ(address.address_lines, (std::vector<std::string>{"", "1941 ROLAND CLARKE PLACE"}));
  EXPECT_EQ(address.city, "RESTON");
  EXPECT_EQ(address.state, "VA");
  EXPECT_EQ(address.country_code, "US");
  EXPECT_EQ(address.postalcode, "20191");
  EXPECT_EQ(std::get<RawXml>(correspondence->entries[3]).name(), "phone");
}

// ---------------------------------------------------------------------------
// Levels and inline content
// ---------------------------------------------------------------------------

TEST(PapLevel, OnlyLvlIsReadAsAnUnsigned32BitNumber) {
  struct Case {
    std::string_view attributes;
    OptLevel expected;
  };
  const Case cases[] = {
      {"lvl=\"+2\"", 2u},
      {"lvl=\"0\"", 0u},
      {"lvl=\"4294967295\"", 4294967295u},
      {"lvl=\"-1\"", std::nullopt},
      {"lvl=\"\"", std::nullopt},
      {"lvl=\"4294967296\"", std::nullopt},
      {"lvl=\"+\"", std::nullopt},
      {"lvl=\"2a\"", std::nullopt},
      {"level=\"3\"", std::nullopt},  // the version 4 attribute is not this generation's
      {"level=\"x\" lvl=\"5\"", 5u},
  };
  for (const Case& c : cases) {
    const SourceDocument document =
        parse_ok(root("<subdoc-abstract><paragraph " + std::string(c.attributes) + ">t</paragraph></subdoc-abstract>"));
    const auto* abstract = first_part<Abstract>(document);
    ASSERT_NE(abstract, nullptr);
    EXPECT_EQ(std::get<Paragraph>(at(abstract->entries, 0)).lvl, c.expected) << c.attributes;
  }
}

struct InlineCase {
  std::string_view label;
  std::string_view content;
  std::string_view expected;
};

void PrintTo(const InlineCase& c, std::ostream* os) { *os << c.content; }

class PapInline : public ::testing::TestWithParam<InlineCase> {};

TEST_P(PapInline, ClaimContentBecomesInlineNodes) {
  const SourceDocument document = parse_ok(
      root("<subdoc-claims><claim id=\"CLM-1\">" + std::string(GetParam().content) + "</claim></subdoc-claims>"));
  const auto* claims = first_part<Claims>(document);
  ASSERT_NE(claims, nullptr);
  EXPECT_EQ(dump(std::get<ClaimElement>(at(claims->entries, 0)).content), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PapInline,
    ::testing::Values(
        InlineCase{"TypedElements",
                   "<bold>B</bold><italic>I</italic><highlight>H</highlight><number>1.</number>"
                   "<claim-text>C</claim-text>",
                   "bold('B') italic('I') highlight('H') number('1.') claim-text('C')"},
        // White space on one line between inline elements is content.
        InlineCase{"SpacesBetweenElementsKept", "<claim-text>x</claim-text>  <claim-text>y</claim-text>",
                   "claim-text('x') '  ' claim-text('y')"},
        InlineCase{"IndentationDropped", "\n<claim-text>x</claim-text>\n  <claim-text>y</claim-text>\n",
                   "claim-text('x') claim-text('y')"},
        InlineCase{"TextKeepsItsSpaces", "<bold>a</bold> and <bold>b</bold>", "bold('a') ' and ' bold('b')"},
        InlineCase{"CdataIsText", "<![CDATA[ <x> ]]>", "' <x> '"},
        InlineCase{"EmptyCdataDropped", "<![CDATA[]]>t", "'t'"},
        InlineCase{"UndeclaredEntityKeptAsReference", "x&lsqb;0012&rsqb;", "'x' '&lsqb;' '0012' '&rsqb;'"},
        InlineCase{"PredefinedEntityExpanded", "a &amp; b", "'a & b'"},
        InlineCase{"VersionFourNamesAreNotKnown", "<b>x</b><i>y</i><claim-ref idref=\"CLM-2\">2</claim-ref>",
                   "<b> <i> <claim-ref>"},
        InlineCase{"ClaimTargetFromDependsOnAlone",
                   "<dependent-claim-reference depends_on=\"CLM-1\" idref=\"z\">claim 1</dependent-claim-reference>"
                   "<dependent-claim-reference idref=\"z\">c</dependent-claim-reference>"
                   "<dependent-claim-reference depends_on=\"\">d</dependent-claim-reference>",
                   "claimref@CLM-1('claim 1') claimref('c') claimref@('d')"},
        InlineCase{"FigureTargetPrefersIdref",
                   "<figref idref=\"F1\" target=\"F2\">1</figref><figref target=\"F3\">3</figref>",
                   "figref@F1('1') figref@F3('3')"},
        InlineCase{"CrossReferenceTarget", "<cross-reference target=\"DRAWINGS\">FIG. 1</cross-reference>",
                   "xref@DRAWINGS('FIG. 1')"},
        InlineCase{"CommentsAndInstructionsDropped", "a<!-- note --><?page 3?>b", "'a' 'b'"},
        InlineCase{"OtherElementsCaptured", "H<subscript>2</subscript>O", "'H' <subscript> 'O'"},
        InlineCase{"NestedClaimText",
                   "<claim-text>1. A <claim-text>step <highlight><bold>2</bold></highlight></claim-text></claim-text>",
                   "claim-text('1. A ' claim-text('step ' highlight(bold('2'))))"}),
    [](const ::testing::TestParamInfo<InlineCase>& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------
// Description, claims, drawings
// ---------------------------------------------------------------------------

TEST(PapDescription, CrossReferenceIsASectionAndPartsHoldSections) {
  const SourceDocument document = parse_ok(
      root("<subdoc-description>"
           "<cross-reference-to-related-applications><heading lvl=\"1\">CROSS-REFERENCE</heading>"
           "<paragraph id=\"P-1\" lvl=\"0\"><number>1.</number> Related.</paragraph><table/>"
           "</cross-reference-to-related-applications>"
           "<summary-of-invention a=\"1\"><section><heading align=\"CENTER\">BACKGROUND</heading>"
           "<paragraph id=\"P-2\">Text</paragraph></section><paragraph>loose</paragraph></summary-of-invention>"
           "<brief-description-of-drawings><section><paragraph>FIG. 1</paragraph></section>"
           "</brief-description-of-drawings>"
           "<detailed-description/><federal-research-statement/></subdoc-description>"));
  const auto* description = first_part<Description>(document);
  ASSERT_NE(description, nullptr);
  ASSERT_EQ(description->entries.size(), 5u);

  const auto& cross_reference = std::get<Section>(description->entries[0]);
  ASSERT_EQ(cross_reference.blocks.size(), 3u);
  EXPECT_EQ(dump(std::get<Heading>(cross_reference.blocks[0]).content), "'CROSS-REFERENCE'");
  const auto& related = std::get<Paragraph>(cross_reference.blocks[1]);
  EXPECT_EQ(related.id, "P-1");
  EXPECT_EQ(related.lvl, 0u);
  EXPECT_EQ(dump(related.content), "number('1.') ' Related.'");
  EXPECT_EQ(std::get<RawXml>(cross_reference.blocks[2]).name(), "table");

  const auto& summary = std::get<DescriptionPart>(description->entries[1]);
  EXPECT_EQ(summary.kind, DescriptionPartKind::SummaryOfInvention);
  EXPECT_EQ(summary.attributes.size(), 1u);
  ASSERT_EQ(summary.items.size(), 2u);
  const auto& background = std::get<Section>(summary.items[0]);
  ASSERT_EQ(background.blocks.size(), 2u);
  EXPECT_EQ(std::get<Heading>(background.blocks[0]).align, "CENTER");
  // Paragraphs outside a section are not sections of the part.
  EXPECT_EQ(std::get<RawXml>(summary.items[1]).name(), "paragraph");

  EXPECT_EQ(std::get<DescriptionPart>(description->entries[2]).kind, DescriptionPartKind::BriefDescriptionOfDrawings);
  const auto& detailed = std::get<DescriptionPart>(description->entries[3]);
  EXPECT_EQ(detailed.kind, DescriptionPartKind::DetailedDescription);
  EXPECT_TRUE(detailed.items.empty());
  EXPECT_EQ(std::get<RawXml>(description->entries[4]).name(), "federal-research-statement");
}

TEST(PapClaimsAndDrawings, EntriesMirrorTheirElements) {
  const SourceDocument document = parse_ok(
      root("<subdoc-claims><heading lvl=\"1\">What is claimed is: </heading>"
           "<claim id=\"CLM-00001\"><claim-text>1. A thing.</claim-text></claim><claim/><note/></subdoc-claims>"
           "<subdoc-drawings id=\"DRAWINGS\"><heading lvl=\"0\" align=\"CENTER\">Drawings</heading>"
           "<representative-figure> 1 </representative-figure>"
           "<figure id=\"figure-D00001\"><image id=\"EMI-D00001\" file=\"D1.TIF\" imf=\"TIFF\" ti=\"DR\"/>"
           "<img file=\"x\"/></figure><page/></subdoc-drawings>"));
  const auto* claims = first_part<Claims>(document);
  ASSERT_NE(claims, nullptr);
  ASSERT_EQ(claims->entries.size(), 4u);
  EXPECT_EQ(dump(std::get<Heading>(claims->entries[0]).content), "'What is claimed is: '");
  const auto& first = std::get<ClaimElement>(claims->entries[1]);
  EXPECT_EQ(first.id, "CLM-00001");
  EXPECT_EQ(dump(first.content), "claim-text('1. A thing.')");
  EXPECT_FALSE(std::get<ClaimElement>(claims->entries[2]).id.has_value());
  EXPECT_EQ(std::get<RawXml>(claims->entries[3]).name(), "note");

  const auto* drawings = first_part<Drawings>(document);
  ASSERT_NE(drawings, nullptr);
  EXPECT_EQ(drawings->attributes.size(), 1u);
  ASSERT_EQ(drawings->entries.size(), 4u);
  EXPECT_EQ(std::get<Heading>(drawings->entries[0]).lvl, 0u);
  EXPECT_EQ(std::get<RepresentativeFigure>(drawings->entries[1]).text, "1");
  const auto& figure = std::get<Figure>(drawings->entries[2]);
  EXPECT_EQ(figure.id, "figure-D00001");
  ASSERT_EQ(figure.items.size(), 2u);
  const auto& image = std::get<Image>(figure.items[0]);
  EXPECT_EQ(image.id, "EMI-D00001");
  EXPECT_EQ(image.file, "D1.TIF");
  EXPECT_EQ(image.imf, "TIFF");
  EXPECT_EQ(image.ti, "DR");
  EXPECT_EQ(image.attributes.size(), 4u);
  // `img` is a version 4 name only.
  EXPECT_EQ(std::get<RawXml>(figure.items[1]).name(), "img");
  EXPECT_EQ(std::get<RawXml>(drawings->entries[3]).name(), "page");
}

// ---------------------------------------------------------------------------
// Real publications
// ---------------------------------------------------------------------------

class PapSample : public ::testing::TestWithParam<std::string_view> {};

TEST_P(PapSample, ParsesWithItsNumberDateTitleAndClaims) {
  const std::optional<std::string> text = test::read_sample(GetParam());
  if (!text) GTEST_SKIP() << "sample not present: " << GetParam();
  const SourceDocument document = parse_ok(*text);
  const auto* id = first_item<DocumentId>(document);
  ASSERT_NE(id, nullptr);
  const std::string head = test::text_between(*text, "<document-id>", "</document-id>");
  EXPECT_EQ(id->doc_number, test::text_between(head, "<doc-number>", "</doc-number>"));
  EXPECT_EQ(id->kind_code, test::text_between(head, "<kind-code>", "</kind-code>"));
  EXPECT_EQ(id->document_date, test::text_between(head, "<document-date>", "</document-date>"));
  const auto* technical = first_item<TechnicalInformation>(document);
  ASSERT_NE(technical, nullptr);
  const auto* title = first_of<TitleOfInvention>(technical->entries);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text, test::text_between(*text, "<title-of-invention>", "</title-of-invention>"));
  const auto* claims = first_part<Claims>(document);
  ASSERT_NE(claims, nullptr);
  std::size_t claim_count = 0;
  for (const ClaimsEntry& entry : claims->entries) claim_count += std::holds_alternative<ClaimElement>(entry);
  EXPECT_EQ(claim_count, test::count_occurrences(*text, "<claim "));
}

INSTANTIATE_TEST_SUITE_P(Files, PapSample, ::testing::Values("pap/US20010000002A1.xml", "pap/US20010000943A1.xml"));

TEST(PapSampleDetails, DivisionalNamesItsParentAndEntitiesSurvive) {
  const std::optional<std::string> text = test::read_sample("pap/US20010000002A1.xml");
  if (!text) GTEST_SKIP() << "sample not present";
  const SourceDocument document = parse_ok(*text);
  const auto* continuity = first_item<ContinuityData>(document);
  ASSERT_NE(continuity, nullptr);
  const auto& entry = std::get<ContinuityEntry>(at(continuity->entries, 0));
  EXPECT_EQ(entry.relation_name, "division-of");
  EXPECT_EQ(entry.parent_doc_number, "09126808");
  EXPECT_EQ(entry.parent_document_date, "19980731");
  const auto* filing = first_item<DomesticFilingData>(document);
  ASSERT_NE(filing, nullptr);
  EXPECT_EQ(std::get<ApplicationNumber>(at(filing->entries, 0)).doc_number, "09726341");
  EXPECT_EQ(std::get<FilingDate>(at(filing->entries, 2)).text, "20001201");
}

}  // namespace
}  // namespace tessellox
