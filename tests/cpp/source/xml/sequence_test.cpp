#include "source/xml/sequence.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../model_builders.hpp"
#include "derive.hpp"
#include "older_test_support.hpp"

namespace tessellox {
namespace {

using test::at;
using test::parts_of;

SourceDocument parse_ok(std::string_view text) {
  ParseResult result = parse_sequence_listing(text, SourceFormat::UsptoSequenceCwu);
  EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().message());
  if (!result.ok()) return {};
  return std::move(result).value();
}

constexpr std::string_view kReference =
    "<publication-reference lang=\"en\"><document-id><country>US</country><doc-number>07521048</doc-number>"
    "<kind>B2</kind><date>20090421</date></document-id><document-id><doc-number>1</doc-number></document-id>"
    "</publication-reference>";

TEST(SequenceListing, PublicationReferenceIsTheOnlyTypedPart) {
  SourceDocument document = parse_ok("<sequence-cwu id=\"SEQLST-1\">" + std::string(kReference) +
                                     "<number>1</number><sequence-list-new-rules/></sequence-cwu>");
  EXPECT_EQ(document.source_format, SourceFormat::UsptoSequenceCwu);
  ASSERT_EQ(document.root_attributes.size(), 1u);
  ASSERT_EQ(document.parts.size(), 3u);
  const auto& information = std::get<BibliographicInformation>(document.parts[0]);
  ASSERT_EQ(information.attributes.size(), 1u);
  EXPECT_EQ(information.attributes[0].name(), "lang");
  ASSERT_EQ(information.items.size(), 1u);
  const auto& id = std::get<DocumentId>(information.items[0]);
  EXPECT_EQ(id.doc_number, "07521048");
  EXPECT_EQ(id.kind_code, "B2");
  EXPECT_EQ(id.document_date, "20090421");
  EXPECT_EQ(id.country_code, "US");
  EXPECT_EQ(std::get<RawXml>(document.parts[1]).name(), "number");
  EXPECT_EQ(std::get<RawXml>(document.parts[2]).name(), "sequence-list-new-rules");

  const DerivedMetadata derived = derive_metadata(document);
  EXPECT_EQ(derived.patent_number, "US7521048B2");  // B2 is a grant kind
  EXPECT_EQ(derived.publication_date, "20090421");
  EXPECT_FALSE(derived.title.has_value());
  EXPECT_FALSE(abstract_text(document).has_value());
  EXPECT_TRUE(claims(document).empty());
}

// Unlike the other generations, every node of the root is a part: white
// space, comments, instructions and entity references are kept verbatim.
TEST(SequenceListing, EveryChildNodeOfTheRootBecomesAPart) {
  const SourceDocument document = parse_ok(
      "<sequence-cwu>\n  <number>1</number>\n<!-- listing --><?page 2?>&lsqb;<![CDATA[raw]]>tail</sequence-cwu>");
  std::vector<std::string> texts;
  for (const RootPart& part : document.parts) {
    const auto& raw = std::get<RawXml>(part);
    texts.push_back(raw.is_element() ? "<" + std::string(raw.name()) + ">" : std::string(raw.text()));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"\n  ", "<number>", "\n", "<!-- listing -->", "<?page 2?>", "&lsqb;",
                                             "raw", "tail"}));
}

TEST(SequenceListing, ReferenceWithoutDocumentIdIsCapturedAndEachReferenceCounts) {
  const SourceDocument without = parse_ok(
      "<sequence-cwu><publication-reference><doc-number>1</doc-number></publication-reference></sequence-cwu>");
  ASSERT_EQ(without.parts.size(), 1u);
  EXPECT_EQ(std::get<RawXml>(without.parts[0]).name(), "publication-reference");
  EXPECT_TRUE(parts_of<BibliographicInformation>(without).empty());

  const SourceDocument twice = parse_ok("<sequence-cwu>" + std::string(kReference) +
                                        "<publication-reference><document-id><doc-number>2</doc-number></document-id>"
                                        "</publication-reference></sequence-cwu>");
  const auto blocks = parts_of<BibliographicInformation>(twice);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(std::get<DocumentId>(at(blocks[0]->items, 0)).doc_number, "07521048");
  const auto& second = std::get<DocumentId>(at(blocks[1]->items, 0));
  EXPECT_EQ(second.doc_number, "2");
  EXPECT_FALSE(second.kind_code.has_value());
}

TEST(SequenceListing, WrongRootAndMissingRootFail) {
  const ParseResult wrong = parse_sequence_listing("<us-patent-grant/>", SourceFormat::UsptoSequenceCwu);
  ASSERT_FALSE(wrong.ok());
  EXPECT_EQ(wrong.error().kind, ParseError::Kind::Structure);
  EXPECT_EQ(wrong.error().message(), messages::kSequenceRootRequired);
  const ParseResult empty = parse_sequence_listing("", SourceFormat::UsptoSequenceCwu);
  ASSERT_FALSE(empty.ok());
  EXPECT_EQ(empty.error().kind, ParseError::Kind::Xml);
}

class SequenceSample : public ::testing::TestWithParam<std::string_view> {};

TEST_P(SequenceSample, ParsesWithItsPublicationIdentity) {
  const std::optional<std::string> text = test::read_sample(GetParam());
  if (!text) GTEST_SKIP() << "sample not present: " << GetParam();
  const SourceDocument document = parse_ok(*text);
  const auto blocks = parts_of<BibliographicInformation>(document);
  ASSERT_EQ(blocks.size(), 1u);
  const auto& id = std::get<DocumentId>(at(blocks[0]->items, 0));
  EXPECT_EQ(id.doc_number, test::text_between(*text, "<doc-number>", "</doc-number>"));
  EXPECT_EQ(id.kind_code, test::text_between(*text, "<kind>", "</kind>"));
  EXPECT_EQ(id.document_date, test::text_between(*text, "<date>", "</date>"));
  EXPECT_EQ(id.country_code, "US");
  EXPECT_EQ(document.doctype_name, "sequence-cwu");
  // The line break after the root's start tag is a part of its own.
  ASSERT_FALSE(document.parts.empty());
  EXPECT_EQ(std::get<RawXml>(document.parts[0]).text(), "\n");
}

INSTANTIATE_TEST_SUITE_P(Files, SequenceSample,
                         ::testing::Values("seqcwu/US07521048-seq.xml", "seqcwu/US07521258-seq.xml"));

}  // namespace
}  // namespace tessellox
