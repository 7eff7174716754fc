#include "render/markdown/sections.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "../../model_builders.hpp"

namespace tessellox {
namespace {

using test::claim;
using test::document_of;
using test::element;
using test::list;
using test::paragraph;
using test::raw_element;
using test::raw_text;
using test::text;

Heading heading(Arena& arena, std::string_view value) {
  Heading result;
  result.content = InlineContent(arena, {text(value)});
  return result;
}

Section section(Arena& arena, std::initializer_list<SectionBlock> blocks) {
  return Section{{}, List<SectionBlock>(arena, blocks)};
}

DescriptionPart description_part(Arena& arena, DescriptionPartKind kind,
                                 std::initializer_list<DescriptionPartItem> items) {
  return DescriptionPart{kind, {}, List<DescriptionPartItem>(arena, items)};
}

std::string abstract_of(Arena& arena, std::initializer_list<AbstractEntry> entries) {
  return render_sections(document_of({Abstract{{}, List<AbstractEntry>(arena, entries)}})).abstract;
}

std::string description_of(Arena& arena, std::initializer_list<DescriptionEntry> entries) {
  return render_sections(document_of({Description{{}, List<DescriptionEntry>(arena, entries)}})).description;
}

std::string claims_of(Arena& arena, std::initializer_list<ClaimsEntry> entries) {
  return render_sections(document_of({Claims{{}, List<ClaimsEntry>(arena, entries)}})).claims;
}

TEST(Title, IsTheFirstTitleOfTheFirstBibliographicPartUnchanged) {
  Arena arena;
  auto technical = [&](std::initializer_list<TechnicalEntry> entries) {
    return TechnicalInformation{{}, List<TechnicalEntry>(arena, entries)};
  };
  BibliographicInformation first{{},
                                 list(arena, DocumentId{}, technical({ClassificationIpc{}}),
                                      technical({TitleOfInvention{"  Gear &amp; shaft "}, TitleOfInvention{"Later"}}))};
  BibliographicInformation second{{}, list(arena, technical({TitleOfInvention{"Second part"}}))};
  EXPECT_EQ(render_sections(document_of({first, second})).title, "#   Gear &amp; shaft ");

  BibliographicInformation untitled{{}, list(arena, DocumentId{})};
  EXPECT_EQ(render_sections(document_of({untitled, second})).title, "");
  EXPECT_EQ(render_sections(SourceDocument{}).title, "");
}

TEST(Abstract, ParagraphsAreSeparatedByEmptyLinesAndRawItemsAreNot) {
  Arena arena;
  EXPECT_EQ(abstract_of(arena, {paragraph(arena, {text(" First. ")}), paragraph(arena, {text("Second.")})}),
            "## Abstract\n\nFirst.\n\nSecond.");
  EXPECT_EQ(abstract_of(arena, {}), "## Abstract");
  EXPECT_EQ(abstract_of(arena, {paragraph(arena, {text("  \n ")})}), "## Abstract");
  EXPECT_EQ(abstract_of(arena, {raw_element(arena, "table", {}, {raw_text("t")}), paragraph(arena, {text("After.")})}),
            "## Abstract\n<table>t</table>\n\nAfter.");

  const auto two = render_sections(document_of({Abstract{{}, list(arena, paragraph(arena, {text("A")}))}, Drawings{},
                                                Abstract{{}, list(arena, paragraph(arena, {text("B")}))}}));
  EXPECT_EQ(two.abstract, "## Abstract\n\nA\n\n## Abstract\n\nB");
}

struct NumMarkerCase {
  Attributes attributes;
  std::string text;
  std::string expected;
};

class ParagraphNumMarker : public ::testing::TestWithParam<NumMarkerCase> {};

TEST_P(ParagraphNumMarker, Renders) {
  Arena arena;
  EXPECT_EQ(abstract_of(arena, {paragraph(arena, {text(GetParam().text)}, GetParam().attributes)}),
            "## Abstract\n\n" + GetParam().expected);
}

Arena& tables = test::table_arena();

INSTANTIATE_TEST_SUITE_P(
    Cases, ParagraphNumMarker,
    ::testing::Values(
        NumMarkerCase{Attributes(tables, {{"num", "0012"}}), "The device", "[0012] The device"},
        NumMarkerCase{Attributes(tables, {{"num", "0012"}}), " \n The device", "[0012] The device"},
        NumMarkerCase{Attributes(tables, {{"num", "0003"}}), "  [0003] Already marked", "[0003] Already marked"},
        NumMarkerCase{Attributes(tables, {{"num", "0003"}}), "[0003]", "[0003]"},
        NumMarkerCase{Attributes(tables, {{"num", "0003"}}), "", "[0003]"},
        NumMarkerCase{Attributes(tables, {{"num", "3a"}}), "Text", "Text"},
        NumMarkerCase{Attributes(tables, {{"num", ""}}), "Text", "[] Text"},
        NumMarkerCase{Attributes(tables, {{"x:num", "7"}, {"id", "p1"}}), "Text", "Text"},
        NumMarkerCase{Attributes(tables, {{"x:num", "7"}, {"num", "8"}, {"num", "9"}}), "Text", "[8] Text"},
        NumMarkerCase{Attributes(tables, {{"num", "0001"}}), "[00011] Off by one", "[0001] [00011] Off by one"}));

TEST(InlineText, MarksEntitiesAndRawXml) {
  Arena arena;
  const InlineContent content(
      arena,
      {
          text("x &lt; y, "),
          element(arena, InlineKind::Bold, {text("bold")}),
          text(" "),
          element(arena, InlineKind::Italic, {text("it")}),
          text(" "),
          element(arena, InlineKind::FigureReference, {text("FIG. "), element(arena, InlineKind::Bold, {text("1")})}),
          text(" H"),
          InlineNode(arena, raw_element(arena, "sub", {}, {raw_text("2")})),
          text("O "),
          element(arena, InlineKind::Highlight, {element(arena, InlineKind::Number, {text("10")})}),
      });
  EXPECT_EQ(abstract_of(arena, {paragraph(content)}), "## Abstract\n\nx < y, **bold** *it* FIG. 1 H<sub>2</sub>O 10");
}

TEST(RawXmlWriteBack, ExplicitEndTagsOrderedAttributesNoEscaping) {
  Arena arena;
  RawXml root = raw_element(arena, "tables", {{"id", "t<1>"}, {"xml:lang", "en"}},
                            {raw_text("a &amp; b"), raw_element(arena, "row", {}, {}), raw_text("<!-- kept -->")}, "m");
  EXPECT_EQ(description_of(arena, {root}),
            "<m:tables id=\"t<1>\" xml:lang=\"en\">a & b<row></row><!-- kept --></m:tables>");
}

TEST(Description, PartsHeadingsSectionsAndInstructions) {
  Arena arena;
  const Section cross_reference =
      section(arena, {heading(arena, "CROSS-REFERENCE"), paragraph(arena, {text("See 09/123.")})});
  EXPECT_EQ(description_of(arena, {cross_reference}), "## Cross-Reference To Related Applications\n\nSee 09/123.");

  EXPECT_EQ(description_of(
                arena,
                {
                    raw_text("<?BRFSUM description=\"Brief Summary\" end=\"lead\"?>"),
                    description_part(arena, DescriptionPartKind::SummaryOfInvention,
                                     {section(arena, {heading(arena, " Summary "), paragraph(arena, {text("One.")}),
                                                      paragraph(arena, {text("Two.")})})}),
                    raw_text("<?BRFSUM description=\"Brief Summary\" end=\"tail\"?>"),
                    description_part(arena, DescriptionPartKind::BriefDescriptionOfDrawings,
                                     {section(arena, {heading(arena, ""), raw_element(arena, "p", {}, {})}),
                                      raw_element(arena, "x", {}, {})}),
                    description_part(arena, DescriptionPartKind::DetailedDescription,
                                     {section(arena, {paragraph(arena, {text("Three.")})})}),
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

  EXPECT_EQ(description_of(arena, {description_part(arena, DescriptionPartKind::DetailedDescription, {})}),
            "## Description Of The Invention");
}

TEST(Description, EmptyBlocksAreDroppedAndBlocksJoinedByOneEmptyLine) {
  Arena arena;
  const auto sections = render_sections(document_of({
      Description{},
      Description{{}, list(arena, raw_text(" "))},
      Description{{}, list(arena, description_part(arena, DescriptionPartKind::SummaryOfInvention, {}))},
      Description{},
      Description{{}, list(arena, raw_text("tail"))},
  }));
  EXPECT_EQ(sections.description, "## Summary Of The Invention\n\ntail");
}

TEST(SectionSelection, RawRootPartsShowOnlyInSequenceListings) {
  Arena arena;
  const auto document = [&](SourceFormat format) {
    return document_of(
        {raw_text("<s>one</s>"),
         Description{{}, list(arena, description_part(arena, DescriptionPartKind::DetailedDescription, {}))},
         raw_element(arena, "sequence", {{"id", "2"}}, {raw_text("acgt")}),
         Drawings{{}, list(arena, Heading{{}, InlineContent(arena, {text("FIG")}), {}, {}})}},
        format);
  };
  EXPECT_EQ(render_sections(document(SourceFormat::UsptoSequenceCwu)).description,
            "<s>one</s>\n\n## Description Of The Invention\n\n<sequence id=\"2\">acgt</sequence>");
  const auto grant = render_sections(document(SourceFormat::UsptoGrantV44));
  EXPECT_EQ(grant.description, "## Description Of The Invention");
  EXPECT_EQ(grant.abstract + grant.claims, "");
}

TEST(ClaimsBlock, FencesHeadingsAndRawItems) {
  Arena arena;
  EXPECT_EQ(claims_of(arena, {}), "## Claims");
  EXPECT_EQ(
      claims_of(arena,
                {Heading{{},
                         InlineContent(arena, {text(" What is "), element(arena, InlineKind::Bold, {text("claimed")})}),
                         {},
                         {}},
                 claim(arena, {element(arena, InlineKind::ClaimText,
                                       {text("1. A "), element(arena, InlineKind::Bold, {text("gear")}), text(".")})}),
                 claim(arena, {}), raw_element(arena, "claim-statement", {}, {raw_text("end")})}),
      "## Claims\nWhat is **claimed**\n```claim\n1. A gear.\n```\n```claim\n\n```\n"
      "<claim-statement>end</claim-statement>");
}

TEST(ClaimsBlock, NestedClaimTextsIndentAtLineStartsOnly) {
  Arena arena;
  const auto nested = [&](std::initializer_list<InlineNode> content) { return test::claim_text(arena, content); };
  // Sibling claim texts of the claim each start a line; nested ones indent
  // by two spaces a level; inline markup inside a word stays joined.
  EXPECT_EQ(
      claims_of(arena, {claim(arena,
                              {
                                  nested({text("1. A tool   comprising:"), nested({text("a handle; and")}),
                                          nested({text("a blade of H"),
                                                  InlineNode(arena, raw_element(arena, "sub", {}, {raw_text("2")})),
                                                  text("O and "), element(arena, InlineKind::Italic, {text("steel")}),
                                                  text(", the blade"), nested({text("sharpened\non two edges.")})})}),
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
