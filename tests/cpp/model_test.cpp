#include "model.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "errors.hpp"

namespace tessellox {
namespace {

TEST(SourceFormatName, EveryValueHasItsName) {
  EXPECT_EQ(source_format_name(SourceFormat::UsptoApplicationV15), "UsptoApplicationV15");
  EXPECT_EQ(source_format_name(SourceFormat::UsptoGrantV25), "UsptoGrantV25");
  EXPECT_EQ(source_format_name(SourceFormat::UsptoGrantV47), "UsptoGrantV47");
  EXPECT_EQ(source_format_name(SourceFormat::UsptoGrantApsGreenBook), "UsptoGrantApsGreenBook");
  EXPECT_EQ(source_format_name(SourceFormat::UsptoSequenceCwu), "UsptoSequenceCwu");
  for (std::size_t value = 0; value < kSourceFormatCount; ++value)
    EXPECT_FALSE(source_format_name(static_cast<SourceFormat>(value)).empty());
}

TEST(BibliographicItem, VariantIndexIsTheFixedTag) {
  EXPECT_EQ(BibliographicItem(DocumentId{}).index(), 0u);
  EXPECT_EQ(BibliographicItem(PublicationFilingType{}).index(), 1u);
  EXPECT_EQ(BibliographicItem(DomesticFilingData{}).index(), 2u);
  EXPECT_EQ(BibliographicItem(TechnicalInformation{}).index(), 3u);
  EXPECT_EQ(BibliographicItem(ContinuityData{}).index(), 4u);
  EXPECT_EQ(BibliographicItem(Applicants{}).index(), 5u);
  EXPECT_EQ(BibliographicItem(Assignees{}).index(), 6u);
  EXPECT_EQ(BibliographicItem(Inventors{}).index(), 7u);
  EXPECT_EQ(BibliographicItem(CorrespondenceAddress{}).index(), 8u);
  EXPECT_EQ(BibliographicItem(RawXml{}).index(), 9u);
}

// Inline elements and raw XML live in an arena behind the node: each node
// answers for exactly one kind, and a copy, shallow, answers the same values.
TEST(InlineNode, HoldsOneKindAndCopiesAnswerTheSame) {
  Arena arena;
  InlineElement bold;
  bold.kind = InlineKind::Bold;
  bold.content = InlineContent(arena, {InlineNode(Text{"x"})});
  const std::vector<InlineNode> nodes = {InlineNode(Text{"plain"}), InlineNode(arena, bold),
                                         InlineNode(arena, RawXml::make_text("<!--c-->"))};
  for (std::size_t kind = 0; kind < nodes.size(); ++kind) {
    const InlineNode& node = nodes[kind];
    EXPECT_EQ(node.index(), kind);
    EXPECT_EQ(node.get_if<Text>().has_value(), kind == 0);
    EXPECT_EQ(node.get_if<InlineElement>() != nullptr, kind == 1);
    EXPECT_EQ(node.get_if<RawXml>() != nullptr, kind == 2);
    if (kind != 1) {
      EXPECT_THROW(node.get<InlineElement>(), std::bad_variant_access);
    }
  }

  std::vector<InlineNode> copies = nodes;
  for (std::size_t kind = 0; kind < copies.size(); ++kind) EXPECT_EQ(copies[kind].index(), kind);
  EXPECT_EQ(copies[1].get<InlineElement>().content[0].get<Text>().text, "x");
  EXPECT_EQ(copies[2].get<RawXml>().text(), "<!--c-->");
  EXPECT_EQ(copies[0].get<Text>().text, "plain");

  // Assignment replaces the kind; emplace starts from an empty record and
  // leaves the record the node pointed to as it was.
  copies[0] = nodes[2];
  EXPECT_EQ(copies[0].index(), 2u);
  EXPECT_EQ(copies[0].emplace<InlineElement>(arena).content.size(), 0u);
  EXPECT_EQ(copies[0].index(), 1u);
  EXPECT_EQ(nodes[2].get<RawXml>().text(), "<!--c-->");
  EXPECT_EQ(copies[0].emplace<Text>(arena).text, "");
  EXPECT_EQ(copies[0].index(), 0u);
}

struct DetectMessageCase {
  DetectError error;
  const char* message;
};

class DetectErrorMessage : public ::testing::TestWithParam<DetectMessageCase> {};

TEST_P(DetectErrorMessage, IsExact) {
  EXPECT_EQ(GetParam().error.message(), GetParam().message);
  EXPECT_EQ(ParseError::detection(GetParam().error).message(),
            std::string("source detection failed: ") + GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    AllVariants, DetectErrorMessage,
    ::testing::Values(DetectMessageCase{DetectError::malformed_xml(), "malformed XML"},
                      DetectMessageCase{DetectError::unsupported_root("us:us-patent-grant"),
                                        "unsupported XML root 'us:us-patent-grant'"},
                      DetectMessageCase{DetectError::unsupported_root("table"), "supplemental XML root 'table'"},
                      DetectMessageCase{DetectError::unsupported_root("Table"), "unsupported XML root 'Table'"},
                      DetectMessageCase{DetectError::unknown_xml_format(), "unknown XML format"},
                      DetectMessageCase{DetectError::conflicting_version_markers(),
                                        "conflicting XML version markers"}));

TEST(ParseErrorMessage, StructureAndXmlCarryTheirTextAlone) {
  EXPECT_EQ(ParseError::structure(std::string(messages::kV4GrantRootRequired)).message(),
            "v4.x grants require us-patent-grant root");
  EXPECT_EQ(ParseError::xml("missing root element").kind, ParseError::Kind::Xml);
}

}  // namespace
}  // namespace tessellox
