#include "source/xml/v4.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../../model_builders.hpp"

namespace tessellox {
namespace {

using test::at;

SourceDocument grant(std::string_view body) {
  const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<us-patent-grant lang=\"EN\">\n" +
                           std::string(body) + "\n</us-patent-grant>\n";
  ParseResult result = parse_v4_grant(text, SourceFormat::UsptoGrantV45);
  EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().message());
  return result.ok() ? std::move(result).value() : SourceDocument{};
}

// A record taken out of a parsed document, held together with the document
// its views point into.
template <class Record>
struct WithDocument : Record {
  SourceDocument document;
};

WithDocument<List<BibliographicItem>> bibliographic_items(std::string_view items) {
  SourceDocument document =
      grant("<us-bibliographic-data-grant>\n" + std::string(items) + "\n</us-bibliographic-data-grant>");
  if (document.parts.size() != 1 || !std::holds_alternative<BibliographicInformation>(document.parts[0])) {
    ADD_FAILURE() << "no bibliographic part";
    return {};
  }
  const List<BibliographicItem> found = std::get<BibliographicInformation>(document.parts[0]).items;
  return {found, std::move(document)};
}

template <class T>
const T& only_part(const SourceDocument& document) {
  EXPECT_EQ(document.parts.size(), 1u);
  return std::get<T>(at(document.parts, 0));
}

std::vector<std::size_t> tags(const List<BibliographicItem>& items) {
  std::vector<std::size_t> out;
  for (const BibliographicItem& item : items) out.push_back(item.index());
  return out;
}

TEST(V4Root, ChildElementsBecomePartsByName) {
  const SourceDocument document = grant(
      "<us-bibliographic-data-grant/>\n<!-- note -->\n<?pi x?>\n<abstract/>\n<drawings/>\n<description/>\n"
      "<claims/>\n<us-bibliographic-data-application/>\n<search-report/>");
  const std::vector<std::size_t> expected{0, 1, 4, 2, 3, 5, 5};
  std::vector<std::size_t> kinds;
  for (const RootPart& part : document.parts) kinds.push_back(part.index());
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(std::get<RawXml>(document.parts[5]).name(), "us-bibliographic-data-application");
  ASSERT_EQ(document.root_attributes.size(), 1u);
  EXPECT_EQ(document.root_attributes[0].name(), "lang");
  EXPECT_EQ(document.xml_version, "1.0");
  EXPECT_EQ(document.xml_encoding, "UTF-8");
  EXPECT_EQ(document.source_format, SourceFormat::UsptoGrantV45);
}

TEST(V4Root, EachFamilyAcceptsOnlyItsRoot) {
  const ParseResult wrong_grant = parse_v4_grant("<us-patent-application/>", SourceFormat::UsptoGrantV44);
  ASSERT_FALSE(wrong_grant.ok());
  EXPECT_EQ(wrong_grant.error().kind, ParseError::Kind::Structure);
  EXPECT_EQ(wrong_grant.error().message(), "v4.x grants require us-patent-grant root");

  const ParseResult wrong_application = parse_v4_application("<us-patent-grant/>", SourceFormat::UsptoApplicationV44);
  ASSERT_FALSE(wrong_application.ok());
  EXPECT_EQ(wrong_application.error().message(), "v4.x applications require us-patent-application root");

  const ParseResult application = parse_v4_application(
      "<us-patent-application><us-bibliographic-data-application/><us-bibliographic-data-grant/>"
      "</us-patent-application>",
      SourceFormat::UsptoApplicationV46);
  ASSERT_TRUE(application.ok());
  ASSERT_EQ(application.value().parts.size(), 2u);
  EXPECT_TRUE(std::holds_alternative<BibliographicInformation>(application.value().parts[0]));
  EXPECT_TRUE(std::holds_alternative<RawXml>(application.value().parts[1]));
  EXPECT_EQ(application.value().source_format, SourceFormat::UsptoApplicationV46);
}

TEST(V4Bibliographic, PublicationAndApplicationReferences) {
  const auto items = bibliographic_items(
      "<publication-reference><document-id><country>US</country><doc-number>07057742</doc-number>"
      "<kind>B2</kind><date>20060606</date></document-id></publication-reference>\n"
      "<publication-reference><other/></publication-reference>\n"
      "<application-reference appl-type=\"utility\"><document-id><country>US</country>"
      "<doc-number>10/123</doc-number><date>20040101</date></document-id></application-reference>\n"
      "<us-application-series-code>10</us-application-series-code>\n"
      "<application-reference><document-id><doc-number>9</doc-number><date> </date></document-id>"
      "</application-reference>\n"
      "<application-reference/>");
  ASSERT_EQ(tags(items), (std::vector<std::size_t>{0, 9, 2, 2, 2}));
  const DocumentId& id = std::get<DocumentId>(items[0]);
  EXPECT_EQ(id.doc_number, "07057742");
  EXPECT_EQ(id.kind_code, "B2");
  EXPECT_EQ(id.country_code, "US");
  EXPECT_EQ(std::get<RawXml>(items[1]).name(), "publication-reference");

  const DomesticFilingData& filing = std::get<DomesticFilingData>(items[2]);
  ASSERT_EQ(filing.attributes.size(), 1u);
  ASSERT_EQ(filing.entries.size(), 3u);
  const ApplicationNumber& number = std::get<ApplicationNumber>(filing.entries[0]);
  EXPECT_TRUE(number.attributes.empty());
  EXPECT_EQ(number.appl_type, "utility");
  EXPECT_EQ(number.doc_number, "10/123");
  EXPECT_EQ(std::get<FilingDate>(filing.entries[1]).text, "20040101");
  EXPECT_EQ(std::get<SeriesCode>(filing.entries[2]).text, "10");

  const DomesticFilingData& blank_date = std::get<DomesticFilingData>(items[3]);
  ASSERT_EQ(blank_date.entries.size(), 1u);
  EXPECT_FALSE(std::get<ApplicationNumber>(blank_date.entries[0]).appl_type.has_value());

  const DomesticFilingData& bare = std::get<DomesticFilingData>(items[4]);
  ASSERT_EQ(bare.entries.size(), 1u);
  EXPECT_FALSE(std::get<ApplicationNumber>(bare.entries[0]).doc_number.has_value());
}

TEST(V4Bibliographic, SeriesCodeAfterAnotherItemStandsAlone) {
  const auto items = bibliographic_items(
      "<classification-ipc><main-classification>H01L</main-classification></classification-ipc>\n"
      "<us-application-series-code> 29 </us-application-series-code>");
  ASSERT_EQ(tags(items), (std::vector<std::size_t>{3, 2}));
  const DomesticFilingData& data = std::get<DomesticFilingData>(items[1]);
  EXPECT_TRUE(data.attributes.empty());
  ASSERT_EQ(data.entries.size(), 1u);
  EXPECT_EQ(std::get<SeriesCode>(data.entries[0]).text, "29");
}

TEST(V4Bibliographic, ConsecutiveTechnicalEntriesShareOneItem) {
  const auto items = bibliographic_items(
      "<classification-ipc edition=\"7\"><main-classification> G06F 17/30 </main-classification>"
      "<further-classification>G06F 7/00</further-classification><further-classification> </further-classification>"
      "<further-classification>H04L</further-classification></classification-ipc>\n"
      "<!-- comments do not split -->\n"
      "<classification-national><country>US</country><main-classification>707/3</main-classification>"
      "<further-classification>707/10</further-classification></classification-national>\n"
      "<invention-title id=\"t\"> Widget <i>sorter</i> </invention-title>\n"
      "<us-term-of-grant/>\n"
      "<invention-title/>");
  ASSERT_EQ(tags(items), (std::vector<std::size_t>{3, 9, 3}));
  const TechnicalInformation& first = std::get<TechnicalInformation>(items[0]);
  ASSERT_EQ(first.entries.size(), 3u);
  const ClassificationIpc& ipc = std::get<ClassificationIpc>(first.entries[0]);
  EXPECT_EQ(ipc.attributes.size(), 1u);
  EXPECT_EQ(ipc.main_classification, "G06F 17/30");
  EXPECT_EQ(ipc.further_classifications, (std::vector<std::string>{"G06F 7/00", "H04L"}));
  const ClassificationUs& us = std::get<ClassificationUs>(first.entries[1]);
  EXPECT_EQ(us.main_classification, "707/3");
  EXPECT_EQ(us.further_classifications, (std::vector<std::string>{"707/10"}));
  EXPECT_EQ(std::get<TitleOfInvention>(first.entries[2]).text, "Widget sorter");
  const TechnicalInformation& second = std::get<TechnicalInformation>(items[2]);
  ASSERT_EQ(second.entries.size(), 1u);
  EXPECT_EQ(std::get<TitleOfInvention>(second.entries[0]).text, "");
}

std::string ipcr(std::string_view parts) {
  return "<classification-ipcr>" + std::string(parts) + "</classification-ipcr>";
}

TEST(V4Bibliographic, IpcrCodesAreFormattedAndIncompleteOnesLeftOut) {
  const std::string full1 = ipcr(
      "<ipc-version-indicator><date>20060101</date></ipc-version-indicator><section>H</section>"
      "<class>01</class><subclass>L</subclass><main-group>21</main-group><subgroup>02</subgroup>");
  const std::string incomplete =
      ipcr("<section>G</section><class>06</class><subclass>F</subclass><main-group>17</main-group>");
  const std::string full2 = ipcr(
      "<subgroup>48</subgroup><section> G </section><class>01</class><subclass>S</subclass><main-group>7</main-group>");
  const auto items = bibliographic_items("<classifications-ipcr a=\"1\">" + full1 + incomplete + full2 +
                                         "<other/></classifications-ipcr>\n"
                                         "<classifications-ipcr>" +
                                         incomplete + "</classifications-ipcr>");
  ASSERT_EQ(tags(items), (std::vector<std::size_t>{3}));
  const TechnicalInformation& technical = std::get<TechnicalInformation>(items[0]);
  ASSERT_EQ(technical.entries.size(), 2u);
  const ClassificationIpc& codes = std::get<ClassificationIpc>(technical.entries[0]);
  EXPECT_EQ(codes.attributes.size(), 1u);
  EXPECT_EQ(codes.main_classification, "H01L21/02");
  EXPECT_EQ(codes.further_classifications, (std::vector<std::string>{"G01S7/48"}));
  const ClassificationIpc& none = std::get<ClassificationIpc>(technical.entries[1]);
  EXPECT_FALSE(none.main_classification.has_value());
  EXPECT_TRUE(none.further_classifications.empty());
}

TEST(V4Bibliographic, PartiesAndTheirNames) {
  const auto items = bibliographic_items(R"(
<us-parties>
  <us-applicants a="g">
    <us-applicant sequence="001" app-type="applicant-inventor">
      <addressbook><last-name>Doe</last-name><first-name>Jane</first-name><address/></addressbook>
    </us-applicant>
    <applicant><addressbook><first-name>A</first-name><middle-name>B</middle-name><last-name>C</last-name></addressbook></applicant>
    <applicant><addressbook><name>  </name><orgname>Later</orgname></addressbook></applicant>
    <applicant><addressbook><address/></addressbook></applicant>
    <applicant><role>01</role></applicant>
    <inventor/>
  </us-applicants>
  <inventors><inventor/></inventors>
  <assignees><assignee><addressbook><orgname>Acme Corp.</orgname></addressbook></assignee></assignees>
</us-parties>
<assignees>
  <assignee><addressbook><orgname></orgname><name>Not read</name></addressbook></assignee>
  <assignee><addressbook><name>Person Name</name><first-name>X</first-name></addressbook></assignee>
  <applicant/>
  <assignee><orgname>Xerox Corporation</orgname><role>02</role></assignee>
  <assignee><first-name>Ann</first-name><last-name>Lee</last-name></assignee>
</assignees>
<parties><applicants/></parties>)");
  ASSERT_EQ(tags(items), (std::vector<std::size_t>{5, 9, 6, 6, 5}));
  const Applicants& applicants = std::get<Applicants>(items[0]);
  ASSERT_EQ(applicants.attributes.size(), 1u);
  ASSERT_EQ(applicants.parties.size(), 5u);
  EXPECT_EQ(applicants.parties[0].name, "Jane Doe");
  EXPECT_EQ(applicants.parties[0].attributes.size(), 2u);
  EXPECT_EQ(applicants.parties[1].name, "A B C");
  EXPECT_FALSE(applicants.parties[2].name.has_value());  // the blank first match ends the search
  EXPECT_FALSE(applicants.parties[3].name.has_value());
  EXPECT_FALSE(applicants.parties[4].name.has_value());
  EXPECT_EQ(std::get<RawXml>(items[1]).name(), "inventors");
  EXPECT_EQ(at(std::get<Assignees>(items[2]).parties, 0).name, "Acme Corp.");
  const Assignees& direct = std::get<Assignees>(items[3]);
  ASSERT_EQ(direct.parties.size(), 4u);
  EXPECT_FALSE(direct.parties[0].name.has_value());
  EXPECT_EQ(direct.parties[1].name, "Person Name");
  // Without an addressbook (version 4.0 assignees) the party element holds the name.
  EXPECT_EQ(direct.parties[2].name, "Xerox Corporation");
  EXPECT_EQ(direct.parties[3].name, "Ann Lee");
  EXPECT_TRUE(std::get<Applicants>(items[4]).parties.empty());
}

TEST(V4Bibliographic, RelatedDocuments) {
  const auto items = bibliographic_items(R"(
<us-related-documents x="1">
  <us-provisional-application>
    <document-id><country>US</country><doc-number>60/111</doc-number><kind>00</kind><date>20000101</date></document-id>
  </us-provisional-application>
  <continuation>
    <relation>
      <parent-doc><document-id><doc-number>09/222</doc-number><date>20010202</date></document-id>
        <parent-status>ABANDONED</parent-status></parent-doc>
      <child-doc><document-id><doc-number>10/333</doc-number></document-id></child-doc>
    </relation>
  </continuation>
  <division><relation><child-doc><document-id><doc-number>11/444</doc-number></document-id></child-doc></relation></division>
  <continuation-in-part/>
  <related-publication/>
  <us-provisional-application/>
</us-related-documents>)");
  ASSERT_EQ(tags(items), (std::vector<std::size_t>{4}));
  const ContinuityData& data = std::get<ContinuityData>(items[0]);
  EXPECT_EQ(data.attributes.size(), 1u);
  ASSERT_EQ(data.entries.size(), 6u);
  const ContinuityEntry& provisional = std::get<ContinuityEntry>(data.entries[0]);
  EXPECT_EQ(provisional.relation_name, "us-provisional-application");
  EXPECT_EQ(provisional.parent_doc_number, "60/111");
  EXPECT_EQ(provisional.parent_document_date, "20000101");
  EXPECT_FALSE(provisional.child_doc_number.has_value());
  const ContinuityEntry& continuation = std::get<ContinuityEntry>(data.entries[1]);
  EXPECT_EQ(continuation.relation_name, "continuation");
  EXPECT_EQ(continuation.parent_doc_number, "09/222");
  EXPECT_EQ(continuation.parent_document_date, "20010202");
  EXPECT_EQ(continuation.child_doc_number, "10/333");
  const ContinuityEntry& division = std::get<ContinuityEntry>(data.entries[2]);
  EXPECT_EQ(division.relation_name, "division");
  EXPECT_FALSE(division.parent_doc_number.has_value());
  EXPECT_EQ(division.child_doc_number, "11/444");
  const ContinuityEntry& empty = std::get<ContinuityEntry>(data.entries[3]);
  EXPECT_EQ(empty.relation_name, "continuation-in-part");
  EXPECT_FALSE(empty.parent_doc_number.has_value());
  EXPECT_FALSE(empty.child_doc_number.has_value());
  EXPECT_EQ(std::get<RawXml>(data.entries[4]).name(), "related-publication");
  EXPECT_FALSE(std::get<ContinuityEntry>(data.entries[5]).parent_doc_number.has_value());
}

TEST(V4Parts, AbstractClaimsAndDrawings) {
  const SourceDocument document = grant(R"(
<abstract id="abstract">
  <p id="p-0001" num="0000">An <b>abstract</b>.</p>
  <paragraph>Second</paragraph>
  <table/>
</abstract>
<claims id="claims">
  <heading>What is claimed is:</heading>
  <claim id="CLM-00001" num="00001"><claim-text>1. A thing.</claim-text></claim>
  <!-- between claims -->
  <claim id="CLM-00002" num="00002"><claim-text>2. The thing of <claim-ref idref="CLM-00001">claim 1</claim-ref>.</claim-text></claim>
  <claim id="CLM-00003" num="00003"><claim-text>3. More.</claim-text></claim>
  <claim-statement/>
</claims>
<drawings id="DRAWINGS">
  <representative-figure> 1 </representative-figure>
  <heading>Drawings</heading>
  <figure id="Fig-EMI-D00000" num="00000"><img id="EMI-D00000" file="US-D00000.TIF"/></figure>
  <doc-page/>
</drawings>)");
  ASSERT_EQ(document.parts.size(), 3u);
  const Abstract& abstract = std::get<Abstract>(document.parts[0]);
  ASSERT_EQ(abstract.entries.size(), 3u);
  const Paragraph& first = std::get<Paragraph>(abstract.entries[0]);
  EXPECT_EQ(first.id, "p-0001");
  EXPECT_EQ(first.content.size(), 3u);
  EXPECT_TRUE(std::holds_alternative<Paragraph>(abstract.entries[1]));
  EXPECT_EQ(std::get<RawXml>(abstract.entries[2]).name(), "table");

  const Claims& claims = std::get<Claims>(document.parts[1]);
  ASSERT_EQ(claims.entries.size(), 5u);
  EXPECT_TRUE(std::holds_alternative<Heading>(claims.entries[0]));
  const ClaimElement& second = std::get<ClaimElement>(claims.entries[2]);
  EXPECT_EQ(second.id, "CLM-00002");
  EXPECT_EQ(second.attributes.size(), 2u);
  const InlineElement& claim_text = at(second.content, 0).get<InlineElement>();
  EXPECT_EQ(at(claim_text.content, 1).get<InlineElement>().target(), "CLM-00001");
  EXPECT_TRUE(std::holds_alternative<ClaimElement>(claims.entries[3]));
  EXPECT_EQ(std::get<RawXml>(claims.entries[4]).name(), "claim-statement");

  const Drawings& drawings = std::get<Drawings>(document.parts[2]);
  ASSERT_EQ(drawings.entries.size(), 4u);
  EXPECT_EQ(std::get<RepresentativeFigure>(drawings.entries[0]).text, "1");
  EXPECT_TRUE(std::holds_alternative<Heading>(drawings.entries[1]));
  EXPECT_EQ(std::get<Image>(at(std::get<Figure>(drawings.entries[2]).items, 0)).file, "US-D00000.TIF");
  EXPECT_EQ(std::get<RawXml>(drawings.entries[3]).name(), "doc-page");
}

// The description's structure written compactly: "P0[S2]" is a part of
// kind 0 holding one section of two blocks, "R" a captured node.
std::string outline(const Description& description) {
  auto section = [](const Section& s) { return "S" + std::to_string(s.blocks.size()); };
  std::string out;
  for (const DescriptionEntry& entry : description.entries) {
    if (const auto* part = std::get_if<DescriptionPart>(&entry)) {
      out += "P" + std::to_string(static_cast<int>(part->kind)) + "[";
      for (const DescriptionPartItem& item : part->items) {
        out += std::holds_alternative<Section>(item) ? section(std::get<Section>(item)) : std::string("R");
      }
      out += "]";
    } else if (const auto* s = std::get_if<Section>(&entry)) {
      out += section(*s);
    } else {
      out += "R";
    }
  }
  return out;
}

WithDocument<Description> description_of(std::string_view children) {
  SourceDocument document = grant("<description id=\"description\">" + std::string(children) + "</description>");
  if (document.parts.size() != 1) return {};
  const Description found = std::get<Description>(document.parts[0]);
  return {found, std::move(document)};
}

struct DescriptionCase {
  const char* name;
  const char* children;
  const char* outline;
};

class DescriptionParts : public testing::TestWithParam<DescriptionCase> {};

TEST_P(DescriptionParts, FollowTheSectionInstructions) {
  EXPECT_EQ(outline(description_of(GetParam().children)), GetParam().outline);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, DescriptionParts,
    testing::Values(
        DescriptionCase{"NoInstructions", "\n<heading>A</heading>\n<p>1</p>\n<p>2</p>\n", "P2[S3]"},
        DescriptionCase{"ParagraphsBeforeHeading", "<p>0</p><heading>A</heading><p>1</p>", "P2[S1S2]"},
        DescriptionCase{
            "EmptySummaryBetweenInstructions",
            "<?BRFSUM description=\"Brief Summary\" end=\"lead\"?><?BRFSUM description=\"x\" end=\"tail\"?>", "RP0[]R"},
        DescriptionCase{"CapitalTargets",
                        "<?RELAPP description=\"Other Patent Relations\" end=\"lead\"?><heading>C</heading><p>x</p>"
                        "<?RELAPP description=\"Other Patent Relations\" end=\"tail\"?>"
                        "<?BRFSUM description=\"Brief Summary\" end=\"lead\"?><heading>S</heading><p>s</p>"
                        "<?BRFSUM description=\"Brief Summary\" end=\"tail\"?>"
                        "<?brief-description-of-drawings description=\"Brief Description of Drawings\" end=\"lead\"?>"
                        "<description-of-drawings><heading>D</heading><p>d</p><p>e</p></description-of-drawings>"
                        "<?brief-description-of-drawings description=\"Brief Description of Drawings\" end=\"tail\"?>"
                        "<?DETDESC description=\"Detailed Description\" end=\"lead\"?><heading>T</heading><p>t</p>"
                        "<?DETDESC description=\"Detailed Description\" end=\"tail\"?>",
                        "RP2[S2]RRP0[S2]RRP1[S3]RRP2[S2]R"},
        DescriptionCase{"UnknownInstructionInsideAndOutsideParts",
                        "<?other a?><p>x</p><?other b?><heading>h</heading><?other c?>", "RP2[S2S2]"},
        DescriptionCase{"UnknownInstructionInPartWithoutGroup", "<?summary-of-invention x?><?other b?><table/>",
                        "RP0[RR]"},
        DescriptionCase{"DrawingsDescriptionJoinsAnOpenSummary",
                        "<?brfsum x?><p>s</p><description-of-drawings><p>d</p><heading>h</heading><table/>"
                        "<!--c--></description-of-drawings>",
                        "RP0[S2S3]"},
        DescriptionCase{"DrawingsDescriptionOpensKindOne",
                        "<description-of-drawings>\n<table/>\n<p>d</p></description-of-drawings><p>after</p>",
                        "P1[RS2]"},
        DescriptionCase{"LooseNodesOutsideParts", "text<table/><!--dropped-->&lsqb;<?detailed-description x?>more",
                        "RRRP2[R]"},
        DescriptionCase{"TailClosesWhateverIsOpen", "<p>x</p><?anything end=\"tail\"?><p>y</p>", "P2[S1]RP2[S1]"}),
    [](const testing::TestParamInfo<DescriptionCase>& info) { return std::string(info.param.name); });

TEST(V4Description, BlocksKeepTheirContent) {
  const auto description = description_of(
      "<?BRFSUM description=\"Brief Summary\" end=\"lead\"?>\n<heading id=\"h-1\" level=\"1\">SUMMARY</heading>\n"
      "<p id=\"p-1\" num=\"0001\">Text <figref idref=\"DRAWINGS\">FIG. 1</figref>.</p>\n"
      "<?BRFSUM description=\"Brief Summary\" end=\"tail\"?>");
  ASSERT_EQ(description.entries.size(), 3u);
  EXPECT_EQ(std::get<RawXml>(description.entries[0]).text(), "<?BRFSUM description=\"Brief Summary\" end=\"lead\"?>");
  const DescriptionPart& part = std::get<DescriptionPart>(description.entries[1]);
  EXPECT_EQ(part.kind, DescriptionPartKind::SummaryOfInvention);
  EXPECT_TRUE(part.attributes.empty());
  const Section& section = std::get<Section>(at(part.items, 0));
  EXPECT_TRUE(section.attributes.empty());
  ASSERT_EQ(section.blocks.size(), 2u);
  EXPECT_EQ(std::get<Heading>(section.blocks[0]).lvl, 1u);
  const Paragraph& paragraph = std::get<Paragraph>(section.blocks[1]);
  EXPECT_EQ(paragraph.id, "p-1");
  EXPECT_EQ(at(paragraph.content, 1).get<InlineElement>().target(), "DRAWINGS");
}

// ---------------------------------------------------------------------------
// Real documents
// ---------------------------------------------------------------------------

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::size_t count_occurrences(std::string_view text, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string_view::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

std::string publication_number(std::string_view text) {
  const std::size_t reference = text.find("<publication-reference");
  const std::size_t open = text.find("<doc-number>", reference);
  const std::size_t close = text.find("</doc-number>", open);
  if (reference == std::string_view::npos || open == std::string_view::npos || close == std::string_view::npos) {
    return {};
  }
  return std::string(text.substr(open + 12, close - open - 12));
}

struct SampleCase {
  const char* path;
  bool grant;
};

class V4Samples : public testing::TestWithParam<SampleCase> {};

TEST_P(V4Samples, ParseWithTheirNumberAndEveryClaim) {
  const std::filesystem::path path = std::filesystem::path(TESSELLOX_SOURCE_DIR "/tests/data/real") / GetParam().path;
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is absent";
  const std::string text = read_file(path);
  const ParseResult result = GetParam().grant ? parse_v4_grant(text, SourceFormat::UsptoGrantV45)
                                              : parse_v4_application(text, SourceFormat::UsptoApplicationV45);
  ASSERT_TRUE(result.ok()) << result.error().message();
  const SourceDocument& document = result.value();

  const BibliographicInformation* bibliographic = nullptr;
  const Claims* claims = nullptr;
  for (const RootPart& part : document.parts) {
    if (!bibliographic) bibliographic = std::get_if<BibliographicInformation>(&part);
    if (!claims) claims = std::get_if<Claims>(&part);
  }
  ASSERT_NE(bibliographic, nullptr);
  ASSERT_FALSE(bibliographic->items.empty());
  ASSERT_EQ(bibliographic->items[0].index(), bibliographic_tag::kDocumentId);
  EXPECT_EQ(std::get<DocumentId>(bibliographic->items[0]).doc_number, publication_number(text));

  ASSERT_NE(claims, nullptr);
  std::size_t claim_count = 0;
  for (const ClaimsEntry& entry : claims->entries) claim_count += std::holds_alternative<ClaimElement>(entry);
  EXPECT_EQ(claim_count, count_occurrences(text, "<claim "));
  EXPECT_TRUE(document.doctype_name.has_value());
  EXPECT_EQ(document.xml_version, "1.0");
}

INSTANTIATE_TEST_SUITE_P(
    Files, V4Samples,
    testing::Values(SampleCase{"v4-grant/US06859910-v40.xml", true}, SampleCase{"v4-grant/US07272630B2-v42.xml", true},
                    SampleCase{"v4-grant/US08613112-v44-pretty.xml", true},
                    SampleCase{"v4-grant/US08927118-v45.xml", true}, SampleCase{"v4-grant/US10000000-v45.xml", true},
                    SampleCase{"v4-grant/US11646472-v47.xml", true}, SampleCase{"v4-grant/USD0631641-v42.xml", true},
                    SampleCase{"v4-app/US20050004974A1-v40.xml", false},
                    SampleCase{"v4-app/US20150075015A2-v44.xml", false},
                    SampleCase{"v4-app/US20220159901A1-v45.xml", false},
                    SampleCase{"v4-app/US20220240350A1-v46.xml", false}));

TEST(V4Samples, StrayEndTagFailsWithExpatsMessage) {
  const std::filesystem::path path = TESSELLOX_SOURCE_DIR "/tests/data/real/v4-grant/US07057742-v41.xml";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is absent";
  const ParseResult result = parse_v4_grant(read_file(path), SourceFormat::UsptoGrantV41);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ParseError::Kind::Xml);
  EXPECT_EQ(result.error().message().rfind("mismatched tag at line ", 0), 0u) << result.error().message();
}

}  // namespace
}  // namespace tessellox
