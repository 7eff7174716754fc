#include "render/markdown/body.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace tessellox {
namespace {

InlineNode text(std::string value) { return {Text{std::move(value)}}; }

InlineNode element(InlineKind kind, InlineContent content) {
  InlineElement node;
  node.kind = kind;
  node.content = std::move(content);
  return {std::move(node)};
}

RawXml raw_element(std::string name, Attributes attributes, std::vector<RawXml> children) {
  RawXml node;
  node.kind = RawXml::Kind::Element;
  node.name = std::move(name);
  node.attributes = std::move(attributes);
  node.children = std::move(children);
  return node;
}

Paragraph paragraph(InlineContent content, Attributes attributes = {}) {
  Paragraph result;
  result.attributes = std::move(attributes);
  result.content = std::move(content);
  return result;
}

Heading heading(std::string value) {
  Heading result;
  result.content = {text(std::move(value))};
  return result;
}

Section section(std::vector<SectionBlock> blocks) { return Section{{}, std::move(blocks)}; }

DescriptionPart description_part(DescriptionPartKind kind, std::vector<DescriptionPartItem> items) {
  return DescriptionPart{kind, {}, std::move(items)};
}

SourceDocument document_of(std::vector<RootPart> parts, SourceFormat format = SourceFormat::UsptoGrantV45) {
  SourceDocument document;
  document.parts = std::move(parts);
  document.source_format = format;
  return document;
}

std::string abstract_of(std::vector<AbstractEntry> entries) {
  return render_sections(document_of({Abstract{{}, std::move(entries)}})).abstract;
}

std::string description_of(std::vector<DescriptionEntry> entries) {
  return render_sections(document_of({Description{{}, std::move(entries)}})).description;
}

std::string claims_of(std::vector<ClaimsEntry> entries) {
  return render_sections(document_of({Claims{{}, std::move(entries)}})).claims;
}

ClaimElement claim(InlineContent content) { return ClaimElement{{}, std::move(content), std::nullopt}; }

TEST(Title, IsTheFirstTitleOfTheFirstBibliographicPartUnchanged) {
  auto technical = [](std::vector<TechnicalEntry> entries) { return TechnicalInformation{{}, std::move(entries)}; };
  BibliographicInformation first{{}, {DocumentId{}, technical({ClassificationIpc{}}),
                                      technical({TitleOfInvention{"  Gear &amp; shaft "}, TitleOfInvention{"Later"}})}};
  BibliographicInformation second{{}, {technical({TitleOfInvention{"Second part"}})}};
  EXPECT_EQ(render_sections(document_of({first, second})).title, "#   Gear &amp; shaft ");

  BibliographicInformation untitled{{}, {DocumentId{}}};
  EXPECT_EQ(render_sections(document_of({untitled, second})).title, "");
  EXPECT_EQ(render_sections(SourceDocument{}).title, "");
}

TEST(Abstract, ParagraphsAreSeparatedByEmptyLinesAndRawItemsAreNot) {
  EXPECT_EQ(abstract_of({paragraph({text(" First. ")}), paragraph({text("Second.")})}),
            "## Abstract\n\nFirst.\n\nSecond.");
  EXPECT_EQ(abstract_of({}), "## Abstract");
  EXPECT_EQ(abstract_of({paragraph({text("  \n ")})}), "## Abstract");
  EXPECT_EQ(abstract_of({raw_element("table", {}, {RawXml::make_text("t")}), paragraph({text("After.")})}),
            "## Abstract\n<table>t</table>\n\nAfter.");

  const auto two = render_sections(document_of({Abstract{{}, {paragraph({text("A")})}}, Drawings{},
                                                Abstract{{}, {paragraph({text("B")})}}}));
  EXPECT_EQ(two.abstract, "## Abstract\n\nA\n\n## Abstract\n\nB");
}

struct NumMarkerCase {
  Attributes attributes;
  std::string text;
  std::string expected;
};

class ParagraphNumMarker : public ::testing::TestWithParam<NumMarkerCase> {};

TEST_P(ParagraphNumMarker, Renders) {
  EXPECT_EQ(abstract_of({paragraph({text(GetParam().text)}, GetParam().attributes)}),
            "## Abstract\n\n" + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParagraphNumMarker,
    ::testing::Values(NumMarkerCase{{{"num", "0012", {}}}, "The device", "[0012] The device"},
                      NumMarkerCase{{{"num", "0012", {}}}, " \n The device", "[0012] The device"},
                      NumMarkerCase{{{"num", "0003", {}}}, "  [0003] Already marked", "[0003] Already marked"},
                      NumMarkerCase{{{"num", "0003", {}}}, "[0003]", "[0003]"},
                      NumMarkerCase{{{"num", "0003", {}}}, "", "[0003]"},
                      NumMarkerCase{{{"num", "3a", {}}}, "Text", "Text"},
                      NumMarkerCase{{{"num", "", {}}}, "Text", "[] Text"},
                      NumMarkerCase{{{"num", "7", "x"}, {"id", "p1", {}}}, "Text", "Text"},
                      NumMarkerCase{{{"num", "7", "x"}, {"num", "8", {}}, {"num", "9", {}}}, "Text", "[8] Text"},
                      NumMarkerCase{{{"num", "0001", {}}}, "[00011] Off by one", "[0001] [00011] Off by one"}));

TEST(InlineText, MarksEntitiesAndRawXml) {
  InlineContent content = {
      text("x &lt; y, "),
      element(InlineKind::Bold, {text("bold")}),
      text(" "),
      element(InlineKind::Italic, {text("it")}),
      text(" "),
      element(InlineKind::FigureReference, {text("FIG. "), element(InlineKind::Bold, {text("1")})}),
      text(" H"),
      {raw_element("sub", {}, {RawXml::make_text("2")})},
      text("O "),
      element(InlineKind::Highlight, {element(InlineKind::Number, {text("10")})}),
  };
  EXPECT_EQ(abstract_of({paragraph(content)}), "## Abstract\n\nx < y, **bold** *it* FIG. 1 H<sub>2</sub>O 10");
}

TEST(RawXmlWriteBack, ExplicitEndTagsOrderedAttributesNoEscaping) {
  RawXml root = raw_element("tables", {{"id", "t<1>", {}}, {"lang", "en", std::string("xml")}},
                            {RawXml::make_text("a &amp; b"), raw_element("row", {}, {}),
                             RawXml::make_text("<!-- kept -->")});
  root.prefix = "m";
  EXPECT_EQ(description_of({root}),
            "<m:tables id=\"t<1>\" xml:lang=\"en\">a & b<row></row><!-- kept --></m:tables>");
}

TEST(Description, PartsHeadingsSectionsAndInstructions) {
  const Section cross_reference = section({heading("CROSS-REFERENCE"), paragraph({text("See 09/123.")})});
  EXPECT_EQ(description_of({cross_reference}),
            "## Cross-Reference To Related Applications\n\nSee 09/123.");

  EXPECT_EQ(description_of({
                RawXml::make_text("<?BRFSUM description=\"Brief Summary\" end=\"lead\"?>"),
                description_part(DescriptionPartKind::SummaryOfInvention,
                                 {section({heading(" Summary "), paragraph({text("One.")}), paragraph({text("Two.")})})}),
                RawXml::make_text("<?BRFSUM description=\"Brief Summary\" end=\"tail\"?>"),
                description_part(DescriptionPartKind::BriefDescriptionOfDrawings,
                                 {section({heading(""), raw_element("p", {}, {})}), raw_element("x", {}, {})}),
                description_part(DescriptionPartKind::DetailedDescription, {section({paragraph({text("Three.")})})}),
            }),
            "<?BRFSUM description=\"Brief Summary\" end=\"lead\"?>\n"
            "\n"
            "## Summary Of The Invention\n"
            "### Summary\n"
            "\n"
            "One.\n"
            "\n"
            "Two.\n"
            "\n"
            "<?BRFSUM description=\"Brief Summary\" end=\"tail\"?>\n"
            "\n"
            "## Brief Description Of The Drawings\n"
            "###\n"
            "<p></p>\n"
            "<x></x>\n"
            "\n"
            "## Description Of The Invention\n"
            "\n"
            "Three.");

  EXPECT_EQ(description_of({description_part(DescriptionPartKind::DetailedDescription, {})}),
            "## Description Of The Invention");
}

TEST(Description, EmptyBlocksAreDroppedAndBlocksJoinedByOneEmptyLine) {
  const auto sections = render_sections(document_of({
      Description{},
      Description{{}, {RawXml::make_text(" ")}},
      Description{{}, {description_part(DescriptionPartKind::SummaryOfInvention, {})}},
      Description{},
      Description{{}, {RawXml::make_text("tail")}},
  }));
  EXPECT_EQ(sections.description, "## Summary Of The Invention\n\ntail");
}

TEST(SectionSelection, RawRootPartsShowOnlyInSequenceListings) {
  std::vector<RootPart> parts = {RawXml::make_text("<s>one</s>"),
                                 Description{{}, {description_part(DescriptionPartKind::DetailedDescription, {})}},
                                 raw_element("sequence", {{"id", "2", {}}}, {RawXml::make_text("acgt")}),
                                 Drawings{{}, {Heading{{}, {text("FIG")}, {}, {}}}}};
  EXPECT_EQ(render_sections(document_of(parts, SourceFormat::UsptoSequenceCwu)).description,
            "<s>one</s>\n\n## Description Of The Invention\n\n<sequence id=\"2\">acgt</sequence>");
  const auto grant = render_sections(document_of(parts, SourceFormat::UsptoGrantV44));
  EXPECT_EQ(grant.description, "## Description Of The Invention");
  EXPECT_EQ(grant.abstract + grant.claims, "");
}

TEST(ClaimsBlock, FencesHeadingsAndRawItems) {
  EXPECT_EQ(claims_of({}), "## Claims");
  EXPECT_EQ(claims_of({Heading{{}, {text(" What is "), element(InlineKind::Bold, {text("claimed")})}, {}, {}},
                       claim({element(InlineKind::ClaimText, {text("1. A "), element(InlineKind::Bold, {text("gear")}),
                                                              text(".")})}),
                       claim({}),
                       raw_element("claim-statement", {}, {RawXml::make_text("end")})}),
            "## Claims\nWhat is **claimed**\n```claim\n1. A gear.\n```\n```claim\n\n```\n"
            "<claim-statement>end</claim-statement>");
}

TEST(ClaimsBlock, NestedClaimTextsIndentAtLineStartsOnly) {
  const auto nested = [](InlineContent content) { return element(InlineKind::ClaimText, std::move(content)); };
  // Sibling claim texts of the claim each start a line; nested ones indent
  // by two spaces a level; inline markup inside a word stays joined.
  EXPECT_EQ(claims_of({claim({
                nested({text("1. A tool   comprising:"), nested({text("a handle; and")}),
                        nested({text("a blade of H"), {raw_element("sub", {}, {RawXml::make_text("2")})}, text("O and "),
                                element(InlineKind::Italic, {text("steel")}), text(", the blade"),
                                nested({text("sharpened\non two edges.")})})}),
                nested({text("wherein the handle is wood.")}),
            })}),
            "## Claims\n```claim\n"
            "1. A tool comprising:\n"
            "  a handle; and\n"
            "  a blade of H<sub>2</sub>O and steel, the blade\n"
            "    sharpened\n"
            "    on two edges.\n"
            "wherein the handle is wood.\n"
            "```");
}

}  // namespace
}  // namespace tessellox
