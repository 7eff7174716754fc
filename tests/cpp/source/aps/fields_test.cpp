#include "source/aps/fields.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessellox {
namespace {

struct ExpectedField {
  ApsSection section;
  std::string tag;
  std::string value;

  bool operator==(const ExpectedField&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ExpectedField& field) {
  return out << static_cast<int>(field.section) << "/" << field.tag << " [" << field.value << "]";
}

// The joined values; each must be exactly as long as measured while cutting.
std::vector<ExpectedField> cut(std::string_view text) {
  std::vector<ExpectedField> out;
  for (const ApsField& field : cut_aps_fields(text)) {
    std::string value = aps_value(field);
    EXPECT_EQ(value.size(), field.value_size) << field.tag << " [" << value << "]";
    EXPECT_EQ(field.empty(), value.empty());
    out.push_back({field.section, std::string(field.tag), std::move(value)});
  }
  return out;
}

constexpr ApsSection P = ApsSection::Patn;

struct CutCase {
  const char* name;
  std::string text;
  std::vector<ExpectedField> fields;
};

std::string case_name(const ::testing::TestParamInfo<CutCase>& info) { return info.param.name; }

class FieldCutting : public ::testing::TestWithParam<CutCase> {};

TEST_P(FieldCutting, GivesTheFields) { EXPECT_EQ(cut(GetParam().text), GetParam().fields); }

INSTANTIATE_TEST_SUITE_P(
    Lines, FieldCutting,
    ::testing::Values(
        CutCase{"Empty", "", {}}, CutCase{"CrLfEnds", "WKU  1\r\nTTL  A\r\n", {{P, "WKU", "1"}, {P, "TTL", "A"}}},
        CutCase{"InnerCarriageReturnStays", "TTL  A\rB\nISD  2", {{P, "TTL", "A\rB"}, {P, "ISD", "2"}}},
        CutCase{"FinalCarriageReturnWithoutFeedIsTrimmed", "TTL  A\r", {{P, "TTL", "A"}}},
        CutCase{"LeadingHeaderLinesSkipped", "\n   \nHHHHHT        APS1\n  PATN  \nHHHHH\nWKU  1\n", {{P, "WKU", "1"}}},
        CutCase{"LaterHeaderLineIsAField", "WKU  1\nHHHHHT APS1\n", {{P, "WKU", "1"}, {P, "HHHH", "T APS1"}}},
        CutCase{"ContinuationBeforeFirstFieldIgnored", "     stray\nTTL  A", {{P, "TTL", "A"}}},
        CutCase{"SectionsSetTheSection",
                "WKU  1\nINVT\nNAM  X\nCLMS extra text\nNUM  1.\nPATN\nTTL  T",
                {{P, "WKU", "1"}, {ApsSection::Invt, "NAM", "X"}, {ApsSection::Clms, "NUM", "1."}, {P, "TTL", "T"}}},
        CutCase{"HeaderIsTheFirstFourBytes",
                "PAT  x\nINVTX y\nNAM  n\n",
                {{P, "PAT", "x"}, {ApsSection::Invt, "NAM", "n"}}},
        CutCase{"ValueKeepsLeadingSpaces", "OCL    2161A   \n", {{P, "OCL", "  2161A"}}},
        CutCase{"UnicodeTrailingSpaceRemoved", "TTL  A\u00a0\u3000\n", {{P, "TTL", "A"}}},
        CutCase{"ShortLines", "AB\nABCD\nABCDE\n", {{P, "AB", ""}, {P, "ABCD", ""}, {P, "ABCD", ""}}},
        CutCase{"ProseContinuationsJoinWithOneSpace",
                "TTL  WIDGET\n     FOR   \n       CLEANING  \n",
                {{P, "TTL", "WIDGET FOR CLEANING"}}},
        CutCase{"ContinuationFillsEmptyValue", "TTL\n       WIDGET\n", {{P, "TTL", "WIDGET"}}},
        CutCase{"EmptyTagLineIsContinuation", "TTL  A\n\t\t\t\t B\n", {{P, "TTL", "A B"}}},
        CutCase{"ContinuationAfterHeaderExtendsPreviousField",
                "PAR  last\nDETD\n     DETAILED DESCRIPTION\nPAR  next",
                {{P, "PAR", "last DETAILED DESCRIPTION"}, {ApsSection::Detd, "PAR", "next"}}},
        CutCase{"BlankLineOutsideTableIgnored", "PAR  a\n\n     b\n", {{P, "PAR", "a b"}}},
        CutCase{"TableKeepsLineFeedsAndIndentation",
                "TBL  a   b\n\n     c   d\n        e  \n",
                {{P, "TBL", "a   b\n\nc   d\n   e"}}},
        CutCase{"TableWithEmptyFirstLine", "TBL\n     x\n", {{P, "TBL", "\nx"}}},
        CutCase{
            "Tbl3AndEquAreTables", "TBL3 a\n     b\nEQU  c\n\n     d\n", {{P, "TBL3", "a\nb"}, {P, "EQU", "c\n\nd"}}},
        CutCase{"BlankLineAfterHeaderStillExtendsTable",
                "TBL  a\nCLMS\n\nNUM  1.",
                {{P, "TBL", "a\n"}, {ApsSection::Clms, "NUM", "1."}}},
        CutCase{"TableOverCrLf", "TBL  a\r\n\r\n\r\n     b  \r\n", {{P, "TBL", "a\n\n\nb"}}},
        CutCase{"TableEndsInBlankLines", "TBL  a\n\n \nNUM  1.", {{P, "TBL", "a\n\n"}, {P, "NUM", "1."}}},
        CutCase{"FinalBlankLineWithoutFeed", "TBL  a\n  ", {{P, "TBL", "a\n"}}},
        CutCase{"ProseOverBlankLineAndHeader",
                "PAR  a\n\nDETD\n\n     b\nPAR  c",
                {{P, "PAR", "a b"}, {ApsSection::Detd, "PAR", "c"}}},
        CutCase{"FinalLineFeedAddsNoBlankLine", "TBL  a\n", {{P, "TBL", "a"}}},
        CutCase{"NelLineIsBlank", "TBL  a\n\u0085\n", {{P, "TBL", "a\n"}}}),
    case_name);

// Columns are bytes; a cut that would split a UTF-8 character falls back to
// the whole line for the tag, and starts the text at that character.
INSTANTIATE_TEST_SUITE_P(
    MultiByte, FieldCutting,
    ::testing::Values(
        CutCase{"FifthByteInsideCharacter", "ABC\u00e9XYZ \n", {{P, "ABC\u00e9XYZ", "XYZ"}}},
        CutCase{"SixthByteInsideCharacter", "ABCD\u00e9xyz\n", {{P, "ABCD", "\u00e9xyz"}}},
        CutCase{"SixthByteInsideFourByteCharacter", "ABC\U0001F600xyz\n", {{P, "ABC\U0001F600xyz", "\U0001F600xyz"}}},
        CutCase{"SixthByteStartsCharacter", "ABCDE\u00e9\n", {{P, "ABCD", "\u00e9"}}},
        CutCase{"CharacterInsideFirstFourBytes", "\u00e9AB XYZ\n", {{P, "\u00e9AB", "XYZ"}}},
        CutCase{"ContinuationSixthByteStartsCharacter", "TTL  A\n     \u00e9B\n", {{P, "TTL", "A \u00e9B"}}},
        CutCase{"ContinuationSixthByteInsideCharacter", "TTL\n    \u00e9B\n", {{P, "TTL", "\u00e9B"}}},
        CutCase{"ContinuationTextAfterStraddlingCharacterKept",
                "TTL  a\n    \u00e9 more\n",
                {{P, "TTL", "a \u00e9 more"}}}),
    case_name);

TEST(ApsSectionNames, HeaderTagsNameTheirSections) {
  EXPECT_EQ(aps_section_from_tag("PATN"), ApsSection::Patn);
  EXPECT_EQ(aps_section_from_tag("DCLM"), ApsSection::Dclm);
  EXPECT_EQ(aps_section_from_tag("GOVT"), ApsSection::Govt);
  EXPECT_FALSE(aps_section_from_tag("patn").has_value());
  EXPECT_FALSE(aps_section_from_tag("PAT").has_value());
}

}  // namespace
}  // namespace tessellox
