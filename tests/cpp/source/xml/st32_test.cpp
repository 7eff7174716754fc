#include "source/xml/st32.hpp"

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

SourceDocument parse_ok(std::string_view text) {
  ParseResult result = parse_st32(text, SourceFormat::UsptoGrantV25);
  EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().message());
  if (!result.ok()) return {};
  return std::move(result).value();
}

std::string patdoc(std::string_view body) { return "<PATDOC DTD=\"2.5\">" + std::string(body) + "</PATDOC>"; }

const BibliographicInformation& bibliographic(const SourceDocument& document) {
  static const BibliographicInformation kNone;
  const auto* information = first_part<BibliographicInformation>(document);
  EXPECT_NE(information, nullptr);
  return information == nullptr ? kNone : *information;
}

SourceDocument parse_sdobi(std::string_view items) {
  return parse_ok(patdoc("<SDOBI>" + std::string(items) + "</SDOBI>"));
}

// ---------------------------------------------------------------------------
// Front end and root parts
// ---------------------------------------------------------------------------

TEST(St32FrontEnd, WrongRootAndMalformedTextFail) {
  const ParseResult wrong = parse_st32("<patent-application-publication/>", SourceFormat::UsptoGrantV25);
  ASSERT_FALSE(wrong.ok());
  EXPECT_EQ(wrong.error().kind, ParseError::Kind::Structure);
  EXPECT_EQ(wrong.error().message(), messages::kSt32RootRequired);
  const ParseResult malformed = parse_st32("<PATDOC><SDOBI></PATDOC>", SourceFormat::UsptoGrantV25);
  ASSERT_FALSE(malformed.ok());
  EXPECT_EQ(malformed.error().kind, ParseError::Kind::Xml);
}

TEST(St32FrontEnd, RootChildrenMapToPartsAndWhiteSpaceLeavesNoEntry) {
  const SourceDocument document = parse_ok(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE PATDOC SYSTEM \"ST32-US-Grant-025xml.dtd\" [\n]>\n" +
      patdoc("\n<SDOBI>\n  <B100>\n</B100>\n  <!-- x -->\n</SDOBI>\n<SDOAB/>\n<SDODE/>\n<SDOCL/>\n<SDODR/>\n"
             "<SDOSR/>\n"));
  EXPECT_EQ(document.source_format, SourceFormat::UsptoGrantV25);
  EXPECT_EQ(document.doctype_name, "PATDOC");
  ASSERT_EQ(document.root_attributes.size(), 1u);
  ASSERT_EQ(document.parts.size(), 6u);
  EXPECT_EQ(bibliographic(document).items.size(), 1u);
  EXPECT_TRUE(std::holds_alternative<Abstract>(document.parts[1]));
  EXPECT_TRUE(std::holds_alternative<Description>(document.parts[2]));
  EXPECT_TRUE(std::holds_alternative<Claims>(document.parts[3]));
  EXPECT_TRUE(std::holds_alternative<Drawings>(document.parts[4]));
  EXPECT_EQ(std::get<RawXml>(document.parts[5]).name(), "SDOSR");
}

// ---------------------------------------------------------------------------
// Bibliographic items
// ---------------------------------------------------------------------------

TEST(St32Bibliographic, DocumentIdReadsPathsAndKeepsThePatentNumberAsWritten) {
  const SourceDocument document = parse_sdobi(
      "<B100><B110><DNUM><PDAT>05123456</PDAT></DNUM></B110><B130><PDAT>B1</PDAT></B130>"
      "<B140><DATE><PDAT> 20020108 </PDAT></DATE></B140><B190><PDAT>US</PDAT></B190></B100>"
      "<B100><B130><PDAT>S</PDAT></B130><B140><PDAT>20020108</PDAT></B140></B100>");
  const auto& items = bibliographic(document).items;
  ASSERT_EQ(items.size(), 2u);
  const auto& full = std::get<DocumentId>(items[0]);
  EXPECT_EQ(full.doc_number, "05123456");
  EXPECT_EQ(full.kind_code, "B1");
  EXPECT_EQ(full.document_date, "20020108");
  EXPECT_EQ(full.country_code, "US");
  // No B110: an empty number, and the date path needs its DATE step.
  const auto& partial = std::get<DocumentId>(items[1]);
  EXPECT_EQ(partial.doc_number, "");
  EXPECT_EQ(partial.kind_code, "S");
  EXPECT_FALSE(partial.document_date.has_value());
  EXPECT_FALSE(partial.country_code.has_value());
}

TEST(St32Bibliographic, ApplicationNumbersLoseLeadingZerosOnlyWhenAllDigits) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"08123456", "8123456"}, {"000", "0"}, {"08/123,456", "08/123,456"}, {" 0042 ", "42"}, {"123", "123"}};
  for (const auto& [written, expected] : cases) {
    const SourceDocument document =
        parse_sdobi("<B200><B210><DNUM><PDAT>" + std::string(written) + "</PDAT></DNUM></B210></B200>");
    const auto* filing = first_item<DomesticFilingData>(document);
    ASSERT_NE(filing, nullptr);
    ASSERT_EQ(filing->entries.size(), 1u) << written;
    const auto& number = std::get<ApplicationNumber>(filing->entries[0]);
    EXPECT_EQ(number.doc_number, expected);
    EXPECT_FALSE(number.appl_type.has_value());
    EXPECT_TRUE(number.attributes.empty());
  }
}

TEST(St32Bibliographic, FilingDataKeepsOrderAndIsAddedEvenWhenEmpty) {
  const SourceDocument document = parse_sdobi(
      "<B200 X=\"1\"><B220><DATE><PDAT>19990630</PDAT></DATE></B220><B211US><PDAT>09</PDAT></B211US>"
      "<B210><DNUM><PDAT>09343526</PDAT></DNUM></B210></B200><B200/>");
  const auto& items = bibliographic(document).items;
  ASSERT_EQ(items.size(), 2u);
  const auto& filing = std::get<DomesticFilingData>(items[0]);
  EXPECT_EQ(filing.attributes.size(), 1u);
  ASSERT_EQ(filing.entries.size(), 2u);
  EXPECT_EQ(std::get<ApplicationNumber>(filing.entries[0]).doc_number, "9343526");
  EXPECT_EQ(std::get<FilingDate>(filing.entries[1]).text, "19990630");
  EXPECT_TRUE(std::get<DomesticFilingData>(items[1]).entries.empty());
}

TEST(St32Bibliographic, TechnicalItemComesFirstThenCapturedB500Children) {
  const SourceDocument document = parse_sdobi(
      "<B500 A=\"1\"><B510 K=\"i\"><B511><PDAT>B32B  302</PDAT></B511><B516><PDAT>7</PDAT></B516></B510>"
      "<B560><B561/></B560>"
      "<B520><B521><PDAT>428 641</PDAT></B521><B522><PDAT>428 644</PDAT></B522></B520>"
      "<B540><STEXT><PDAT>Optical memory device</PDAT></STEXT></B540><B570/></B500>");
  const auto& items = bibliographic(document).items;
  ASSERT_EQ(items.size(), 3u);
  const auto& technical = std::get<TechnicalInformation>(items[0]);
  EXPECT_EQ(technical.attributes.size(), 1u);
  ASSERT_EQ(technical.entries.size(), 3u);
  const auto& ipc = std::get<ClassificationIpc>(technical.entries[0]);
  EXPECT_EQ(ipc.main_classification, "B32B  302");
  EXPECT_EQ(ipc.attributes.size(), 1u);
  const auto& us = std::get<ClassificationUs>(technical.entries[1]);
  EXPECT_EQ(us.main_classification, "428 641");
  EXPECT_TRUE(us.further_classifications.empty());
  EXPECT_EQ(std::get<TitleOfInvention>(technical.entries[2]).text, "Optical memory device");
  EXPECT_EQ(std::get<RawXml>(items[1]).name(), "B560");
  EXPECT_EQ(std::get<RawXml>(items[2]).name(), "B570");
}

TEST(St32Bibliographic, B500WithoutTechnicalEntriesAddsOnlyCapturedItems) {
  const SourceDocument document = parse_sdobi("<B100/><B500><B540><STEXT><PDAT> </PDAT></STEXT></B540><B560/></B500>");
  const auto& items = bibliographic(document).items;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_TRUE(std::holds_alternative<DocumentId>(items[0]));
  EXPECT_EQ(std::get<RawXml>(items[1]).name(), "B560");
}

TEST(St32Bibliographic, ContinuityEntriesFromParentUsAndProvisionals) {
  const SourceDocument document = parse_sdobi(
      "<B600 A=\"1\">"
      "<B620><PARENT-US><CDOC><DOC><DNUM><PDAT>29/149338</PDAT></DNUM></DOC></CDOC>"
      "<PDOC><DOC><DNUM><PDAT>29/144860</PDAT></DNUM><DATE><PDAT>20010711</PDAT></DATE></DOC></PDOC>"
      "</PARENT-US></B620>"
      "<B620 K=\"2\"/>"
      "<B620><PARENT-US><PDOC><DOC><DNUM><PDAT>1</PDAT></DNUM></DOC></PDOC></PARENT-US></B620>"
      "<B630><B631/></B630>"
      "<B680US><DOC><DNUM><PDAT>60/256447</PDAT></DNUM><DATE><PDAT>20001218</PDAT></DATE></DOC></B680US>"
      "</B600>");
  const auto* data = first_item<ContinuityData>(document);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->attributes.size(), 1u);
  ASSERT_EQ(data->entries.size(), 5u);

  const auto& full = std::get<ContinuityEntry>(data->entries[0]);
  EXPECT_EQ(full.relation_name, "parent-us");
  EXPECT_EQ(full.parent_doc_number, "29/144860");
  EXPECT_EQ(full.parent_document_date, "20010711");
  EXPECT_EQ(full.child_doc_number, "29/149338");

  const auto& bare = std::get<ContinuityEntry>(data->entries[1]);
  EXPECT_EQ(bare.relation_name, "parent-us");
  EXPECT_EQ(bare.attributes.size(), 1u);
  EXPECT_FALSE(bare.parent_doc_number || bare.parent_document_date || bare.child_doc_number);

  const auto& no_child = std::get<ContinuityEntry>(data->entries[2]);
  EXPECT_EQ(no_child.parent_doc_number, "1");
  EXPECT_FALSE(no_child.parent_document_date.has_value());
  EXPECT_FALSE(no_child.child_doc_number.has_value());

  EXPECT_EQ(std::get<RawXml>(data->entries[3]).name(), "B630");
  const auto& provisional = std::get<ContinuityEntry>(data->entries[4]);
  EXPECT_EQ(provisional.relation_name, "us-provisional-application");
  EXPECT_EQ(provisional.parent_doc_number, "60/256447");
  EXPECT_EQ(provisional.parent_document_date, "20001218");
  EXPECT_FALSE(provisional.child_doc_number.has_value());
}

std::string party(std::string_view name_content) {
  return "<PARTY-US><NAM>" + std::string(name_content) + "</NAM><ADR><CITY><PDAT>Tokyo</PDAT></CITY></ADR></PARTY-US>";
}

TEST(St32Bibliographic, InventorsTravelAsApplicantsAndNamesPreferTheOrganisation) {
  const SourceDocument document =
      parse_sdobi("<B700><B740><B741>" + party("<ONM><STEXT><PDAT>Agent</PDAT></STEXT></ONM>") +
                  "</B741></B740>"
                  "<B730 W=\"1\"><B731>" +
                  party("<ONM><STEXT><PDAT>Mitsubishi</PDAT></STEXT></ONM>") +
                  "</B731><B732US><PDAT>03</PDAT></B732US></B730>"
                  "<B720><B721 ID=\"i1\">" +
                  party("<FNM><PDAT>ALPHA</PDAT></FNM><SNM><STEXT><PDAT>OMEGA</PDAT></STEXT></SNM>") + "</B721><B721>" +
                  party("<FNM><PDAT>A</PDAT></FNM><SNM><STEXT><PDAT>B</PDAT></STEXT></SNM><ONM><STEXT><PDAT>Org</PDAT>"
                        "</STEXT></ONM>") +
                  "</B721><B721>" + party("<SNM><STEXT><PDAT>Solo</PDAT></STEXT></SNM>") + "</B721><B721>" +
                  party("<FNM><PDAT>Given</PDAT></FNM><SNM><PDAT>NotInStext</PDAT></SNM>") +
                  "</B721><B721/><B722/></B720>"
                  "</B700>");
  const auto& items = bibliographic(document).items;
  ASSERT_EQ(items.size(), 2u);
  // Applicants first, whatever the element order.
  const auto& applicants = std::get<Applicants>(items[0]);
  std::vector<OptString> names;
  for (const PartyRecord& record : applicants.parties) names.push_back(record.name);
  EXPECT_EQ(names, (std::vector<OptString>{"ALPHA OMEGA", "Org", "Solo", "Given", std::nullopt}));
  EXPECT_EQ(applicants.parties[0].attributes.size(), 1u);
  const auto& assignees = std::get<Assignees>(items[1]);
  EXPECT_EQ(assignees.attributes.size(), 1u);
  ASSERT_EQ(assignees.parties.size(), 1u);
  EXPECT_EQ(assignees.parties[0].name, "Mitsubishi");
}

TEST(St32Bibliographic, PartyGroupsAppearOnlyWhenPresent) {
  const SourceDocument document = parse_sdobi("<B700><B720/></B700><B700><B740/></B700><B300/><B4721/>");
  const auto& items = bibliographic(document).items;
  ASSERT_EQ(items.size(), 3u);
  EXPECT_TRUE(std::get<Applicants>(items[0]).parties.empty());
  EXPECT_EQ(std::get<RawXml>(items[1]).name(), "B300");
  EXPECT_EQ(std::get<RawXml>(items[2]).name(), "B4721");
}

// ---------------------------------------------------------------------------
// Inline content
// ---------------------------------------------------------------------------

struct InlineCase {
  std::string_view label;
  std::string_view para_content;
  std::string_view expected;
};

void PrintTo(const InlineCase& c, std::ostream* os) { *os << c.para_content; }

class St32Inline : public ::testing::TestWithParam<InlineCase> {};

TEST_P(St32Inline, ParagraphContentBecomesInlineNodes) {
  const SourceDocument document = parse_ok(patdoc("<SDOAB><BTEXT><PARA ID=\"P-1\" LVL=\"0\">" +
                                                  std::string(GetParam().para_content) + "</PARA></BTEXT></SDOAB>"));
  const auto* abstract = first_part<Abstract>(document);
  ASSERT_NE(abstract, nullptr);
  ASSERT_EQ(abstract->entries.size(), 1u);
  EXPECT_EQ(dump(std::get<Paragraph>(abstract->entries[0]).content), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, St32Inline,
    ::testing::Values(
        InlineCase{"TextThenBold", "<PTEXT><PDAT>A </PDAT><BOLD><PDAT>B</PDAT></BOLD></PTEXT>", "'A ' bold('B')"},
        InlineCase{"BlankPdatAddsNothing", "<PTEXT><PDAT>   </PDAT><PDAT>  x  </PDAT><PDAT/></PTEXT>", "'  x  '"},
        // Entities only the external DTD declares keep their reference spelling.
        InlineCase{"QuotesSurvive", "<PTEXT><PDAT>&ldquo;widget&rdquo;</PDAT></PTEXT>", "'&ldquo;widget&rdquo;'"},
        InlineCase{"DegreesSurvive", "<PTEXT><PDAT>90&deg;C</PDAT></PTEXT>", "'90&deg;C'"},
        InlineCase{"ParagraphNumbersSurvive", "<PTEXT><PDAT>&lsqb;0012&rsqb;</PDAT></PTEXT>", "'&lsqb;0012&rsqb;'"},
        InlineCase{"LoneEntityIsNotBlank", "<PTEXT><PDAT> &mdash; </PDAT></PTEXT>", "' &mdash; '"},
        InlineCase{"PredefinedEntityExpanded", "<PTEXT><PDAT>A &amp; B</PDAT></PTEXT>", "'A & B'"},
        InlineCase{"MarkupInsidePdatIsFlattened",
                   "<PTEXT><PDAT>H<SB>2</SB>O<!-- c --><?pi x?>&deg;<![CDATA[<>]]></PDAT></PTEXT>", "'H2O&deg;<>'"},
        InlineCase{"EntityOutsidePdat", "<PTEXT>&plusmn;<PDAT>5</PDAT></PTEXT>", "'&plusmn;' '5'"},
        InlineCase{"SpaceBetweenElementsKept",
                   "<PTEXT><BOLD><PDAT>a</PDAT></BOLD> <ITALIC><PDAT>b</PDAT></ITALIC></PTEXT>",
                   "bold('a') ' ' italic('b')"},
        InlineCase{"IndentationDropped", "<PTEXT>\n  <PDAT>a</PDAT>\n  <PDAT>b</PDAT>\n</PTEXT>", "'a' 'b'"},
        InlineCase{"LooseTextKept", "<PTEXT>see <PDAT>x</PDAT></PTEXT>", "'see ' 'x'"},
        InlineCase{"StextIsSplicedEverywhere",
                   "<PTEXT><STEXT><PDAT>a</PDAT></STEXT><HIL><STEXT><PDAT>b</PDAT></STEXT></HIL></PTEXT>",
                   "'a' highlight('b')"},
        InlineCase{"ReferencesTakeTheirId",
                   "<PTEXT><FGREF ID=\"DRAWINGS\"><PDAT>FIG. 1</PDAT></FGREF><CLREF ID=\"CLM-00001\"><PDAT>claim 1"
                   "</PDAT></CLREF><CLREF><PDAT>c</PDAT></CLREF></PTEXT>",
                   "figref@DRAWINGS('FIG. 1') claimref@CLM-00001('claim 1') claimref('c')"},
        InlineCase{"OtherElementsCaptured", "<PTEXT><PDAT>10</PDAT><HIL><SP><PDAT>-9</PDAT></SP></HIL></PTEXT>",
                   "'10' highlight(<SP>)"},
        InlineCase{"PtextIsPreferredToStext", "<STEXT><PDAT>s</PDAT></STEXT><PTEXT><PDAT>p</PDAT></PTEXT>", "'p'"},
        InlineCase{"StextWhenNoPtext", "<PDAT>own</PDAT><STEXT><PDAT>s</PDAT></STEXT>", "'s'"},
        InlineCase{"ElementItselfWithoutContainer", "<PDAT>own</PDAT><BOLD><PDAT>b</PDAT></BOLD>", "'own' bold('b')"}),
    [](const ::testing::TestParamInfo<InlineCase>& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------
// Body parts
// ---------------------------------------------------------------------------

TEST(St32Body, AbstractUsesBtextOrTheElementItselfAndLvlAlone) {
  const SourceDocument document = parse_ok(
      patdoc("<SDOAB><PARA ID=\"P-1\" LVL=\"+3\"><PDAT>x</PDAT></PARA><PARA lvl=\"2\" LVL=\"3a\"/><TABLE/></SDOAB>"));
  const auto* abstract = first_part<Abstract>(document);
  ASSERT_NE(abstract, nullptr);
  ASSERT_EQ(abstract->entries.size(), 3u);
  const auto& first = std::get<Paragraph>(abstract->entries[0]);
  EXPECT_EQ(first.id, "P-1");
  EXPECT_EQ(first.lvl, 3u);
  EXPECT_EQ(first.attributes.size(), 2u);
  EXPECT_FALSE(std::get<Paragraph>(abstract->entries[1]).lvl.has_value());
  EXPECT_EQ(std::get<RawXml>(abstract->entries[2]).name(), "TABLE");
}

TEST(St32Body, DescriptionSectionsOpenAtEachHeading) {
  const SourceDocument document = parse_ok(
      patdoc("<SDODE><BRFSUM><BTEXT><TABLE-US/><PARA ID=\"P-1\"><PTEXT><PDAT>intro</PDAT></PTEXT></PARA><MATH-US/>"
             "<H LVL=\"1\"><STEXT><PDAT>SUMMARY</PDAT></STEXT></H><PARA ID=\"P-2\"><PTEXT><PDAT>s</PDAT></PTEXT></PARA>"
             "<H LVL=\"1\"><STEXT><PDAT>EMPTY</PDAT></STEXT></H></BTEXT></BRFSUM>"
             "<DRWDESC><PARA><PDAT>FIG. 1</PDAT></PARA></DRWDESC><DETDESC A=\"1\"/><CWU/></SDODE>"));
  const auto* description = first_part<Description>(document);
  ASSERT_NE(description, nullptr);
  ASSERT_EQ(description->entries.size(), 4u);

  const auto& summary = std::get<DescriptionPart>(description->entries[0]);
  EXPECT_EQ(summary.kind, DescriptionPartKind::SummaryOfInvention);
  ASSERT_EQ(summary.items.size(), 4u);
  // Captured before any section opens: straight into the part.
  EXPECT_EQ(std::get<RawXml>(summary.items[0]).name(), "TABLE-US");
  const auto& untitled = std::get<Section>(summary.items[1]);
  ASSERT_EQ(untitled.blocks.size(), 2u);
  EXPECT_EQ(std::get<Paragraph>(untitled.blocks[0]).id, "P-1");
  EXPECT_EQ(std::get<RawXml>(untitled.blocks[1]).name(), "MATH-US");
  const auto& titled = std::get<Section>(summary.items[2]);
  ASSERT_EQ(titled.blocks.size(), 2u);
  const auto& heading = std::get<Heading>(titled.blocks[0]);
  EXPECT_EQ(dump(heading.content), "'SUMMARY'");
  EXPECT_EQ(heading.lvl, 1u);
  EXPECT_FALSE(heading.align.has_value());
  EXPECT_TRUE(titled.attributes.empty());
  EXPECT_EQ(std::get<Section>(summary.items[3]).blocks.size(), 1u);

  const auto& drawings = std::get<DescriptionPart>(description->entries[1]);
  EXPECT_EQ(drawings.kind, DescriptionPartKind::BriefDescriptionOfDrawings);
  ASSERT_EQ(drawings.items.size(), 1u);
  const auto& detailed = std::get<DescriptionPart>(description->entries[2]);
  EXPECT_EQ(detailed.kind, DescriptionPartKind::DetailedDescription);
  EXPECT_EQ(detailed.attributes.size(), 1u);
  EXPECT_TRUE(detailed.items.empty());
  EXPECT_EQ(std::get<RawXml>(description->entries[3]).name(), "CWU");
}

TEST(St32Body, ClaimsFlattenClGroupsAndEachParaOrStepIsClaimText) {
  const SourceDocument document = parse_ok(
      patdoc("<SDOCL><H LVL=\"1\"><STEXT><PDAT>What is claimed is: </PDAT></STEXT></H>"
             "<CL><CLM ID=\"CLM-00001\">loose<PARA ID=\"P-9\" LVL=\"0\"><PTEXT><PDAT>1. A device comprising:</PDAT>"
             "</PTEXT></PARA><CLMSTEP LVL=\"2\"><PTEXT><PDAT>a part of </PDAT><CLREF ID=\"CLM-1\"><PDAT>claim 1</PDAT>"
             "</CLREF></PTEXT></CLMSTEP><TABLE/></CLM><NOTE/><CLM ID=\"CLM-00002\"/></CL>"
             "<CLM ID=\"CLM-00003\"><PARA><PDAT>3. Own.</PDAT></PARA></CLM><OTHER/></SDOCL>"));
  const auto* claims = first_part<Claims>(document);
  ASSERT_NE(claims, nullptr);
  ASSERT_EQ(claims->entries.size(), 6u);
  EXPECT_EQ(dump(std::get<Heading>(claims->entries[0]).content), "'What is claimed is: '");
  const auto& first = std::get<ClaimElement>(claims->entries[1]);
  EXPECT_EQ(first.id, "CLM-00001");
  EXPECT_EQ(dump(first.content),
            "claim-text('1. A device comprising:') claim-text('a part of ' claimref@CLM-1('claim 1')) <TABLE>");
  const auto& step = first.content[1].get<InlineElement>();
  ASSERT_EQ(step.attributes.size(), 1u);
  EXPECT_EQ(step.attributes[0].name(), "LVL");
  EXPECT_EQ(std::get<RawXml>(claims->entries[2]).name(), "NOTE");
  EXPECT_TRUE(std::get<ClaimElement>(claims->entries[3]).content.empty());
  EXPECT_EQ(dump(std::get<ClaimElement>(claims->entries[4]).content), "claim-text('3. Own.')");
  EXPECT_EQ(std::get<RawXml>(claims->entries[5]).name(), "OTHER");
}

TEST(St32Body, EachEmbeddedImageIsAFigureWithOneImage) {
  const SourceDocument document = parse_ok(patdoc(
      "<SDODR ID=\"DRAWINGS\"><EMI ID=\"EMI-D00000\" ALT=\"embedded image\" FILE=\"D0.TIF\"/><FIG/><EMI/></SDODR>"));
  const auto* drawings = first_part<Drawings>(document);
  ASSERT_NE(drawings, nullptr);
  EXPECT_EQ(drawings->attributes.size(), 1u);
  ASSERT_EQ(drawings->entries.size(), 3u);
  const auto& figure = std::get<Figure>(drawings->entries[0]);
  EXPECT_TRUE(figure.attributes.empty());
  EXPECT_EQ(figure.id, "EMI-D00000");
  ASSERT_EQ(figure.items.size(), 1u);
  const auto& image = std::get<Image>(figure.items[0]);
  EXPECT_EQ(image.attributes.size(), 3u);
  EXPECT_EQ(image.id, "EMI-D00000");
  EXPECT_EQ(image.file, "D0.TIF");
  EXPECT_FALSE(image.imf || image.ti);
  EXPECT_EQ(std::get<RawXml>(drawings->entries[1]).name(), "FIG");
  const auto& bare = std::get<Figure>(drawings->entries[2]);
  EXPECT_FALSE(bare.id.has_value());
  EXPECT_EQ(bare.items.size(), 1u);
}

// ---------------------------------------------------------------------------
// Real grants
// ---------------------------------------------------------------------------

// Compares one PATDOC with the values written in its text.
void expect_matches_text(std::string_view text) {
  const SourceDocument document = parse_ok(text);
  const auto* id = first_item<DocumentId>(document);
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(id->doc_number, test::text_between(text, "<B110><DNUM><PDAT>", "</PDAT>"));
  EXPECT_EQ(id->kind_code, test::text_between(text, "<B130><PDAT>", "</PDAT>"));
  EXPECT_EQ(id->document_date, test::text_between(text, "<B140><DATE><PDAT>", "</PDAT>"));
  const auto* technical = first_item<TechnicalInformation>(document);
  ASSERT_NE(technical, nullptr);
  const auto* title = first_of<TitleOfInvention>(technical->entries);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text, test::text_between(text, "<B540><STEXT><PDAT>", "</PDAT>"));
  const auto* filing = first_item<DomesticFilingData>(document);
  ASSERT_NE(filing, nullptr);
  std::string number = test::text_between(text, "<B210><DNUM><PDAT>", "</PDAT>");
  number.erase(0, number.find_first_not_of('0'));
  EXPECT_EQ(std::get<ApplicationNumber>(at(filing->entries, 0)).doc_number, number);
  std::size_t claim_count = 0;
  for (const Claims* claims : test::parts_of<Claims>(document)) {
    for (const ClaimsEntry& entry : claims->entries) claim_count += std::holds_alternative<ClaimElement>(entry);
  }
  EXPECT_EQ(claim_count, test::count_occurrences(text, "<CLM "));
}

class St32Sample : public ::testing::TestWithParam<std::string_view> {};

TEST_P(St32Sample, ParsesWithItsNumbersDatesTitleAndClaims) {
  const std::optional<std::string> text = test::read_sample(GetParam());
  if (!text) GTEST_SKIP() << "sample not present: " << GetParam();
  expect_matches_text(*text);
}

INSTANTIATE_TEST_SUITE_P(Files, St32Sample, ::testing::Values("st32/US06337117.xml", "st32/USD0435854.xml"));

TEST(St32Bulk, EveryDocumentOfTheWeeklyFileParses) {
  const std::optional<std::string> text = test::read_sample("bulk/pg020507-100docs-st32.xml");
  if (!text) GTEST_SKIP() << "sample not present";
  const std::string_view all(*text);
  std::size_t documents = 0;
  for (std::size_t start = all.find("<?xml"); start != std::string_view::npos; ++documents) {
    const std::size_t next = all.find("<?xml", start + 1);
    const std::string_view piece = all.substr(start, next == std::string_view::npos ? next : next - start);
    SCOPED_TRACE("document " + std::to_string(documents));
    expect_matches_text(piece);
    start = next;
  }
  EXPECT_EQ(documents, 100u);
}

TEST(St32SampleDetails, PartiesAndDtdEntitiesOfARealGrant) {
  const std::optional<std::string> text = test::read_sample("st32/US06337117.xml");
  if (!text) GTEST_SKIP() << "sample not present";
  const SourceDocument document = parse_ok(*text);
  const auto* applicants = first_item<Applicants>(document);
  ASSERT_NE(applicants, nullptr);
  ASSERT_EQ(applicants->parties.size(), 5u);
  EXPECT_EQ(applicants->parties[0].name, "Shinya Maenosono");
  const auto* assignees = first_item<Assignees>(document);
  ASSERT_NE(assignees, nullptr);
  ASSERT_EQ(assignees->parties.size(), 1u);
  EXPECT_EQ(assignees->parties[0].name, "Mitsubishi Chemical Corporation");
  const auto* abstract = first_part<Abstract>(document);
  ASSERT_NE(abstract, nullptr);
  const std::string text_of_abstract = test::flat_text(std::get<Paragraph>(at(abstract->entries, 0)).content);
  EXPECT_NE(text_of_abstract.find("(hereinafter referred to as a &ldquo;luminous intensity&rdquo;)"),
            std::string::npos);
}

}  // namespace
}  // namespace tessellox
