#include "records/record.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tessellox {
namespace {

struct TypeCase {
  SourceFormat format;
  OptString kind_code;
  std::string_view doc_number;
  std::string_view expected;
};

class DocumentType : public ::testing::TestWithParam<TypeCase> {};

TEST_P(DocumentType, FollowsFormatThenNumberThenKindCode) {
  const TypeCase& c = GetParam();
  EXPECT_EQ(document_type(c.format, c.kind_code, c.doc_number), c.expected) << c.doc_number;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DocumentType,
    ::testing::Values(TypeCase{SourceFormat::UsptoGrantV45, "B2", "10000000", "utility"},
                      TypeCase{SourceFormat::UsptoGrantV42, "S1", "D0631641", "design"},
                      TypeCase{SourceFormat::UsptoGrantV47, "P3", "PP034712", "plant"},
                      TypeCase{SourceFormat::UsptoGrantV47, "E1", "RE049361", "reissue"},
                      TypeCase{SourceFormat::UsptoGrantV44, "H1", "H0002275", "sir"},
                      TypeCase{SourceFormat::UsptoGrantV25, "S", "D0435854", "design"},
                      TypeCase{SourceFormat::UsptoGrantV25, "E", "000037000", "reissue"},
                      // APS gives every patent without a letter prefix kind B1.
                      TypeCase{SourceFormat::UsptoGrantApsGreenBook, "B1", "H0000001", "sir"},
                      TypeCase{SourceFormat::UsptoGrantApsGreenBook, std::nullopt, "PP003456", "plant"},
                      TypeCase{SourceFormat::UsptoGrantApsGreenBook, "B1", "T0000912", "sir"},
                      TypeCase{SourceFormat::UsptoGrantV40, std::nullopt, "", "utility"},
                      TypeCase{SourceFormat::UsptoApplicationV45, "P1", "20220159901", "application"},
                      TypeCase{SourceFormat::UsptoApplicationV15, "A1", "20010000002", "application"},
                      TypeCase{SourceFormat::UsptoSequenceCwu, std::nullopt, "07521258", "sequence-listing"}));

TEST(ParseRecord, FailsWithTheParsersMessageAndReadsApsReferences) {
  const auto failed = parse_record(SourceText("<nothing/>"));
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().message().rfind("source detection failed: ", 0), 0u);

  const auto recorded = parse_record(
      SourceText("PATN\nWKU  039302717\nTTL  Probe\nPRIR\nCNT  GBX\nAPD  19720301\nAPN  12345/72\nUREF\nPNO  2379430\n"
                 "ISD  19450700\nNAM  Frost\nUREF\nPNO  2782422\nFREF\nPNO  1234567\nISD  19700100\nCNT  DEX\nOREF\n"
                 "PAL  Smith, Widgets, 1970.\nPAL  Jones, Gadgets.\n"));
  ASSERT_TRUE(recorded);
  const DocumentRecord& record = recorded.value().record;
  ASSERT_EQ(record.citations.size(), 5u);
  EXPECT_EQ(record.citations[0].name, "Frost");
  EXPECT_EQ(record.citations[1].number, "2782422");
  EXPECT_EQ(record.citations[1].date, std::nullopt);
  EXPECT_EQ(record.citations[2].country, "DEX");
  EXPECT_EQ(record.citations[4].kind, CitationKind::Other);
  EXPECT_EQ(record.citations[4].text, "Jones, Gadgets.");
  ASSERT_EQ(record.foreign_priority.size(), 1u);
  EXPECT_EQ(record.foreign_priority[0].number, "12345/72");
  EXPECT_EQ(record.earliest_priority_date, "19720301");
}

TEST(ParseRecord, DependsOnlyOnEarlierClaimsWhateverTheReferencesTarget) {
  // Claim 1 names a later claim, claim 2 itself, claim 3 an earlier one.
  const auto recorded = parse_record(SourceText(
      R"(<us-patent-grant dtd-version="v4.5 2014-04-03"><us-bibliographic-data-grant/><claims>)"
      R"(<claim id="c1"><claim-text>1. As in <claim-ref idref="c2">claim 2</claim-ref>.</claim-text></claim>)"
      R"(<claim id="c2"><claim-text>2. As in <claim-ref idref="c2">claim 2</claim-ref>.</claim-text></claim>)"
      R"(<claim id="c3"><claim-text>3. As in <claim-ref idref="c3">claim 3</claim-ref>, )"
      R"(<claim-ref idref="c1">claim 1</claim-ref>.</claim-text></claim></claims></us-patent-grant>)"));
  ASSERT_TRUE(recorded);
  const std::vector<ClaimRecord>& claims = recorded.value().record.claims;
  ASSERT_EQ(claims.size(), 3u);
  EXPECT_TRUE(claims[0].depends_on.empty());
  EXPECT_TRUE(claims[1].depends_on.empty());
  EXPECT_EQ(claims[2].depends_on, std::vector<std::uint32_t>{1});
}

std::string cpc(std::string_view code) {
  // "H01M50/46": section, class, subclass, main group, subgroup.
  const std::size_t slash = code.find('/');
  return "<classification-cpc><section>" + std::string(code.substr(0, 1)) + "</section><class>" +
         std::string(code.substr(1, 2)) + "</class><subclass>" + std::string(code.substr(3, 1)) +
         "</subclass><main-group>" + std::string(code.substr(4, slash - 4)) + "</main-group><subgroup>" +
         std::string(code.substr(slash + 1)) + "</subgroup></classification-cpc>";
}

TEST(ParseRecord, ReadsCpcCodesOfCombinationSetsAfterTheDirectOnes) {
  const std::string rank = "<combination-rank><rank-number>";
  const auto recorded = parse_record(SourceText(
      R"(<us-patent-grant dtd-version="v4.5 2014-04-03"><us-bibliographic-data-grant><classifications-cpc>)"
      "<main-cpc>" +
      cpc("A61K31/00") + "</main-cpc><further-cpc><combination-set><group-number>1</group-number>" + rank +
      "1</rank-number>" + cpc("A61K31/00") + "</combination-rank>" + rank + "2</rank-number>" + cpc("A61K2300/00") +
      "</combination-rank></combination-set>" + cpc("C07D401/04") + "<combination-set><group-number>2</group-number>" +
      rank + "1</rank-number>" + cpc("A61K9/20") + "</combination-rank>" + rank + "2</rank-number>" +
      cpc("A61K2300/00") +
      "</combination-rank></combination-set></further-cpc></classifications-cpc></us-bibliographic-data-grant>"
      "</us-patent-grant>"));
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded.value().record.cpc_classifications,
            (std::vector<std::string_view>{"A61K31/00", "C07D401/04", "A61K2300/00", "A61K9/20"}));
}

}  // namespace
}  // namespace tessellox
