#include "source/aps/aps.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tessellox {
namespace {

SourceDocument parse_ok(std::string_view text) {
  ParseResult result = parse_aps(text, SourceFormat::UsptoGrantApsGreenBook);
  EXPECT_TRUE(result.ok()) << result.error().message();
  if (!result.ok()) return {};
  return std::move(result).value();
}

template <class Part>
const Part* find_part(const SourceDocument& document) {
  for (const RootPart& part : document.parts)
    if (const auto* found = std::get_if<Part>(&part)) return found;
  return nullptr;
}

template <class Item>
const Item* find_item(const SourceDocument& document) {
  const auto* info = find_part<BibliographicInformation>(document);
  if (info == nullptr) return nullptr;
  for (const BibliographicItem& item : info->items)
    if (const auto* found = std::get_if<Item>(&item)) return found;
  return nullptr;
}

template <class Entry, class Entries>
const Entry* find_entry(const Entries& entries) {
  for (const auto& entry : entries)
    if (const auto* found = std::get_if<Entry>(&entry)) return found;
  return nullptr;
}

// The text of a node list: Text strings, with each ClaimText enclosed in [].
std::string flat(const InlineContent& content) {
  std::string out;
  for (const InlineNode& node : content) {
    if (const auto text = node.get_if<Text>()) {
      out += text->text;
    } else if (const auto* element = node.get_if<InlineElement>()) {
      EXPECT_EQ(element->kind, InlineKind::ClaimText);
      out += "[" + flat(element->content) + "]";
    }
  }
  return out;
}

std::vector<std::string> claim_texts(const SourceDocument& document) {
  std::vector<std::string> out;
  if (const auto* claims = find_part<Claims>(document))
    for (const ClaimsEntry& entry : claims->entries) out.push_back(flat(std::get<ClaimElement>(entry).content));
  return out;
}

const std::string kWku = "WKU  039305431\n";

TEST(ApsRecord, ShortRecordLineByLine) {
  const SourceDocument document = parse_ok(
      "HHHHHT APS1\n"
      "PATN\n"
      "WKU  039305431\n"
      "ISD  19760106\n"
      "TTL  WIDGET FOR\n"
      "     CLEANING\n"
      "INVT\n"
      "NAM  Family; Given\n"
      "CTY  Townville\n"
      "CLMS\n"
      "STM  What is claimed is:\n"
      "NUM  1.\n"
      "PAR  A widget comprising a handle.\n");

  EXPECT_EQ(document.source_format, SourceFormat::UsptoGrantApsGreenBook);
  EXPECT_TRUE(document.root_attributes.empty());
  EXPECT_FALSE(document.xml_version || document.xml_encoding || document.xml_standalone || document.doctype_name ||
               document.doctype_public_id || document.doctype_system_id || document.doctype_internal_subset);
  ASSERT_EQ(document.parts.size(), 2u);
  const auto& info = std::get<BibliographicInformation>(document.parts[0]);
  ASSERT_EQ(info.items.size(), 3u);

  const auto& id = std::get<DocumentId>(info.items[0]);
  EXPECT_EQ(id.doc_number, "3930543");
  EXPECT_EQ(id.kind_code, "B1");
  EXPECT_EQ(id.document_date, "19760106");
  EXPECT_EQ(id.country_code, "US");

  const auto& technical = std::get<TechnicalInformation>(info.items[1]);
  ASSERT_EQ(technical.entries.size(), 1u);
  EXPECT_EQ(std::get<TitleOfInvention>(technical.entries[0]).text, "WIDGET FOR CLEANING");

  const auto& inventors = std::get<Inventors>(info.items[2]);
  ASSERT_EQ(inventors.entries.size(), 1u);
  const auto& inventor = std::get<InventorRecord>(inventors.entries[0]);
  EXPECT_TRUE(inventor.first_named);
  EXPECT_EQ(inventor.family_name, "Family");
  EXPECT_EQ(inventor.given_name, "Given");
  EXPECT_EQ(inventor.city, "Townville");
  EXPECT_FALSE(inventor.state || inventor.country_code);

  const auto& claims = std::get<Claims>(document.parts[1]);
  ASSERT_EQ(claims.entries.size(), 1u);
  const auto& claim = std::get<ClaimElement>(claims.entries[0]);
  EXPECT_FALSE(claim.id.has_value());
  EXPECT_EQ(flat(claim.content), "[A widget comprising a handle.]");
}

TEST(ApsRecord, HeaderLinesChangeNothing) {
  const std::string fields = kWku + "TTL  T\nCLMS\nNUM  1.\nPAR  c\n";
  const SourceDocument plain = parse_ok(fields);
  const SourceDocument headed = parse_ok("HHHHHT\nPATN\n" + fields);
  EXPECT_EQ(find_item<DocumentId>(headed)->doc_number, find_item<DocumentId>(plain)->doc_number);
  EXPECT_EQ(std::get<TitleOfInvention>(find_item<TechnicalInformation>(headed)->entries[0]).text, "T");
  EXPECT_EQ(claim_texts(headed), claim_texts(plain));
}

struct WkuCase {
  std::string wku;
  std::string doc_number;
  OptString kind_code;
};

void PrintTo(const WkuCase& c, std::ostream* out) { *out << "WKU " << c.wku; }

class WkuNumber : public ::testing::TestWithParam<WkuCase> {};

TEST_P(WkuNumber, GivesNumberAndKind) {
  const SourceDocument document = parse_ok("WKU  " + GetParam().wku + "\n");
  const auto* id = find_item<DocumentId>(document);
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(id->doc_number, GetParam().doc_number);
  EXPECT_EQ(id->kind_code, GetParam().kind_code);
  EXPECT_EQ(id->country_code, "US");
}

INSTANTIATE_TEST_SUITE_P(
    Prefixes, WkuNumber,
    ::testing::Values(WkuCase{"039305431", "3930543", "B1"}, WkuCase{"D02456781", "D245678", "S"},
                      WkuCase{"RE0284561", "RE28456", "E"}, WkuCase{"PP0081231", "PP8123", std::nullopt},
                      WkuCase{"P00123451", "P12345", std::nullopt}, WkuCase{"0000000001", "0", "B1"},
                      WkuCase{"H00012341", "H1234", "B1"},       // any other letters
                      WkuCase{"d02456781", "d245678", "B1"},     // prefixes are case-sensitive
                      WkuCase{"RE", "RE0", "E"},                 // no number at all
                      WkuCase{"5", "5", "B1"},                   // a single character is no check character
                      WkuCase{"03-93-0543X", "3930543", "B1"},   // only digits survive
                      WkuCase{"0393054\u00e9", "393054", "B1"},  // the check character may be multi-byte
                      WkuCase{"039305431\u3000", "3930543", "B1"}));

struct ApplicationCase {
  std::string apn;
  std::string number;
};

void PrintTo(const ApplicationCase& c, std::ostream* out) { *out << "APN " << c.apn; }

class ApnNumber : public ::testing::TestWithParam<ApplicationCase> {};

TEST_P(ApnNumber, DropsOnlyATrailingMarkAfterDigits) {
  const SourceDocument document = parse_ok(kWku + "APN  " + GetParam().apn + "\nAPT  1\n");
  const auto* filing = find_item<DomesticFilingData>(document);
  ASSERT_NE(filing, nullptr);
  ASSERT_EQ(filing->entries.size(), 1u);
  const auto& number = std::get<ApplicationNumber>(filing->entries[0]);
  EXPECT_EQ(number.doc_number, GetParam().number);
  EXPECT_EQ(number.appl_type, "1");
  EXPECT_TRUE(number.attributes.empty());
}

INSTANTIATE_TEST_SUITE_P(Rules, ApnNumber,
                         ::testing::Values(ApplicationCase{"5328756", "5328756"}, ApplicationCase{"532875-", "532875"},
                                           ApplicationCase{"532875/", "532875"}, ApplicationCase{"53287A", "53287A"},
                                           ApplicationCase{"A3287-", "A3287-"}, ApplicationCase{"12 34-", "12 34-"},
                                           ApplicationCase{"-", "-"}, ApplicationCase{"123\u20ac", "123"},
                                           ApplicationCase{"  123456*", "123456"}));

TEST(ApsRecord, DomesticFilingDataHoldsWhatIsPresent) {
  {
    const SourceDocument document = parse_ok(kWku + "APN  123456\nAPD  19741216\n");
    const auto* filing = find_item<DomesticFilingData>(document);
    ASSERT_NE(filing, nullptr);
    ASSERT_EQ(filing->entries.size(), 2u);
    EXPECT_FALSE(std::get<ApplicationNumber>(filing->entries[0]).appl_type.has_value());
    EXPECT_EQ(std::get<FilingDate>(filing->entries[1]).text, "19741216");
  }
  {
    // A type without a number says nothing.
    const SourceDocument document = parse_ok(kWku + "APT  1\nAPD  19741216\n");
    const auto* filing = find_item<DomesticFilingData>(document);
    ASSERT_NE(filing, nullptr);
    ASSERT_EQ(filing->entries.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<FilingDate>(filing->entries[0]));
  }
  EXPECT_EQ(find_item<DomesticFilingData>(parse_ok(kWku + "APT  1\n")), nullptr);
}

TEST(ApsRecord, SingleValuedFieldsComeFromTheFirstPatnField) {
  const SourceDocument document = parse_ok(
      "WKU  039305431\n"
      "TTL\n"
      "TTL  Later title\n"
      "ISD  19760106\n"
      "ISD  19990101\n"
      "RLAP\n"
      "APN  999999\n"
      "APD  19700101\n"
      "PATN\n"
      "WKU  041234561\n"
      "APD  19741216\n");
  const auto* id = find_item<DocumentId>(document);
  EXPECT_EQ(id->doc_number, "3930543");
  EXPECT_EQ(id->document_date, "19760106");
  EXPECT_EQ(find_item<TechnicalInformation>(document), nullptr);  // the first TTL is empty
  const auto* filing = find_item<DomesticFilingData>(document);
  ASSERT_NE(filing, nullptr);
  ASSERT_EQ(filing->entries.size(), 1u);  // APN of RLAP is not the application
  EXPECT_EQ(std::get<FilingDate>(filing->entries[0]).text, "19741216");
}

TEST(ApsRecord, Classifications) {
  const SourceDocument document = parse_ok(kWku +
                                           "CLAS\n"
                                           "XCL    2 21\n"
                                           "ICL  A61K  31/00\n"
                                           "OCL  424  45\n"
                                           "ICL\n"
                                           "ICL  C07D\t 213/00\n"
                                           "XCL  514 1\n"
                                           "OCL\n"
                                           "PATN\n"
                                           "ICL  B01J 1/00\n");
  const auto* technical = find_item<TechnicalInformation>(document);
  ASSERT_NE(technical, nullptr);
  ASSERT_EQ(technical->entries.size(), 2u);
  const auto& ipc = std::get<ClassificationIpc>(technical->entries[0]);
  EXPECT_EQ(ipc.main_classification, "A61K 31/00");
  EXPECT_EQ(ipc.further_classifications, std::vector<std::string>{"C07D 213/00"});
  const auto& us = std::get<ClassificationUs>(technical->entries[1]);
  EXPECT_EQ(us.main_classification, "424  45");
  EXPECT_EQ(us.further_classifications, (std::vector<std::string>{"  2 21", "514 1"}));

  const SourceDocument cross_only = parse_ok(kWku + "CLAS\nXCL  2 21\nXCL  3 4\n");
  const auto& cross = std::get<ClassificationUs>(find_item<TechnicalInformation>(cross_only)->entries[0]);
  EXPECT_EQ(cross.main_classification, "2 21");
  EXPECT_EQ(cross.further_classifications, std::vector<std::string>{"3 4"});
}

TEST(ApsRecord, InventorsAndAssignees) {
  const SourceDocument document = parse_ok(kWku +
                                           "INVT\n"
                                           "CTY  Nowhere\n"
                                           "NAM  Hoff; Don G.\n"
                                           "CTY  Tiburon\n"
                                           "STA  CA\n"
                                           "STA  NV\n"
                                           "INVT\n"
                                           "NAM  Widget Works\n"
                                           "CNT  DEX\n"
                                           "NAM   ; Given \n"
                                           "NAM  Family ;\n"
                                           "ASSG\n"
                                           "NAM  General Teletronics Incorporated\n"
                                           "CTY  San Francisco\n"
                                           "ASSG\n"
                                           "NAM  Second Co.\n");
  const auto* inventors = find_item<Inventors>(document);
  ASSERT_NE(inventors, nullptr);
  ASSERT_EQ(inventors->entries.size(), 4u);
  const auto& first = std::get<InventorRecord>(inventors->entries[0]);
  EXPECT_TRUE(first.first_named);
  EXPECT_EQ(first.family_name, "Hoff");
  EXPECT_EQ(first.given_name, "Don G.");
  EXPECT_EQ(first.city, "Tiburon");  // the CTY before any NAM is ignored
  EXPECT_EQ(first.state, "NV");
  const auto& second = std::get<InventorRecord>(inventors->entries[1]);
  EXPECT_FALSE(second.first_named);
  EXPECT_EQ(second.family_name, "Widget Works");
  EXPECT_FALSE(second.given_name.has_value());
  EXPECT_EQ(second.country_code, "DEX");
  EXPECT_FALSE(second.city.has_value());
  const auto& third = std::get<InventorRecord>(inventors->entries[2]);
  EXPECT_FALSE(third.family_name.has_value());
  EXPECT_EQ(third.given_name, "Given");
  const auto& fourth = std::get<InventorRecord>(inventors->entries[3]);
  EXPECT_EQ(fourth.family_name, "Family");
  EXPECT_FALSE(fourth.given_name.has_value());
  EXPECT_FALSE(fourth.first_named);

  const auto* assignees = find_item<Assignees>(document);
  ASSERT_NE(assignees, nullptr);
  ASSERT_EQ(assignees->parties.size(), 2u);
  EXPECT_EQ(assignees->parties[0].name, "General Teletronics Incorporated");
  EXPECT_EQ(assignees->parties[1].name, "Second Co.");

  const auto& info = *find_part<BibliographicInformation>(document);
  EXPECT_TRUE(std::holds_alternative<Inventors>(info.items[1]));
  EXPECT_TRUE(std::holds_alternative<Assignees>(info.items[2]));
}

TEST(ApsRecord, AbstractParagraphs) {
  const SourceDocument document = parse_ok(kWku +
                                           "ABST\n"
                                           "PAL  A golf glove\n"
                                           "      is disclosed.\n"
                                           "PA2  Second.\n"
                                           "PAR\n"
                                           "EQU  x = y\n"
                                           "     + z\n");
  const auto* abstract = find_part<Abstract>(document);
  ASSERT_NE(abstract, nullptr);
  ASSERT_EQ(abstract->entries.size(), 3u);
  const auto& first = std::get<Paragraph>(abstract->entries[0]);
  EXPECT_EQ(flat(first.content), "A golf glove is disclosed.");
  EXPECT_FALSE(first.lvl.has_value());
  EXPECT_FALSE(first.id.has_value());
  EXPECT_EQ(std::get<Paragraph>(abstract->entries[1]).lvl, 2u);
  EXPECT_EQ(flat(std::get<Paragraph>(abstract->entries[2]).content), "```\nx = y\n+ z\n```");

  EXPECT_EQ(find_part<Abstract>(parse_ok(kWku + "ABST\nPAL\n")), nullptr);
}

TEST(ApsRecord, DescriptionSectionsAndHeadings) {
  const SourceDocument document = parse_ok(kWku +
                                           "DETD\n"
                                           "PAR  Before any heading.\n"
                                           "PAC  DETAILED\n"
                                           "PA1  Level one.\n"
                                           "TBL  a   b\n"
                                           "\n"
                                           "     c   d\n"
                                           "PAC\n"
                                           "PAR\n"
                                           "BSUM\n"
                                           "PAC  BACKGROUND\n"
                                           "PA0  Zero.\n"
                                           "DRWD\n"
                                           "PAR\n");
  const auto* description = find_part<Description>(document);
  ASSERT_NE(description, nullptr);
  ASSERT_EQ(description->entries.size(), 3u);
  const auto& summary = std::get<DescriptionPart>(description->entries[0]);
  const auto& drawings = std::get<DescriptionPart>(description->entries[1]);
  const auto& detailed = std::get<DescriptionPart>(description->entries[2]);
  EXPECT_EQ(summary.kind, DescriptionPartKind::SummaryOfInvention);
  EXPECT_EQ(drawings.kind, DescriptionPartKind::BriefDescriptionOfDrawings);
  EXPECT_EQ(detailed.kind, DescriptionPartKind::DetailedDescription);
  EXPECT_TRUE(drawings.items.empty());  // only empty fields: present, with nothing in it

  ASSERT_EQ(summary.items.size(), 1u);
  const auto& background = std::get<Section>(summary.items[0]);
  ASSERT_EQ(background.blocks.size(), 2u);
  EXPECT_EQ(flat(std::get<Heading>(background.blocks[0]).content), "BACKGROUND");
  EXPECT_EQ(std::get<Paragraph>(background.blocks[1]).lvl, 0u);

  ASSERT_EQ(detailed.items.size(), 3u);
  const auto& untitled = std::get<Section>(detailed.items[0]);
  ASSERT_EQ(untitled.blocks.size(), 1u);
  EXPECT_EQ(flat(std::get<Paragraph>(untitled.blocks[0]).content), "Before any heading.");
  const auto& titled = std::get<Section>(detailed.items[1]);
  ASSERT_EQ(titled.blocks.size(), 3u);
  const auto& heading = std::get<Heading>(titled.blocks[0]);
  EXPECT_EQ(flat(heading.content), "DETAILED");
  EXPECT_FALSE(heading.align || heading.lvl);
  EXPECT_EQ(std::get<Paragraph>(titled.blocks[1]).lvl, 1u);
  EXPECT_EQ(flat(std::get<Paragraph>(titled.blocks[2]).content), "```\na   b\n\nc   d\n```");
  const auto& empty_heading = std::get<Section>(detailed.items[2]);
  ASSERT_EQ(empty_heading.blocks.size(), 1u);
  EXPECT_EQ(flat(std::get<Heading>(empty_heading.blocks[0]).content), "");

  EXPECT_EQ(find_part<Description>(parse_ok(kWku + "ABST\nPAL  a\n")), nullptr);
}

struct ClaimsCase {
  const char* name;
  std::string fields;
  std::vector<std::string> claims;
};

class ClaimsBuilding : public ::testing::TestWithParam<ClaimsCase> {};

TEST_P(ClaimsBuilding, GivesTheClaims) {
  EXPECT_EQ(claim_texts(parse_ok(kWku + GetParam().fields)), GetParam().claims);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClaimsBuilding,
    ::testing::Values(
        ClaimsCase{"NumStartsClaims",
                   "CLMS\nSTM  What is claimed is:\nNUM  1.\nPAR  1. A.\nPA1  b.\nNUM  2.\nPAR  2. C.\n",
                   {"[1. A.][b.]", "[2. C.]"}},
        ClaimsCase{"TextBeforeFirstNum", "CLMS\nPAR  lead\nNUM  1.\nPAR  one\n", {"[lead]", "[one]"}},
        ClaimsCase{"NumsInARowGiveNoEmptyClaim", "CLMS\nNUM  1.\nNUM  2.\nPAR\nNUM  3.\nPAR  x\n", {"[x]"}},
        ClaimsCase{"OnlyStatement", "CLMS\nSTM  What is claimed is:\n", {}},
        ClaimsCase{"TablesAreNotFenced", "CLMS\nNUM  1.\nTBL  a\n     b\n", {"[a\nb]"}},
        ClaimsCase{"DesignClaimFollows",
                   "DCLM\nPAR  The ornamental design.\nPAR\nPA1  as shown.\nCLMS\nNUM  1.\nPAR  x\n",
                   {"[x]", "[The ornamental design.][as shown.]"}},
        ClaimsCase{"EmptyDesignClaim", "DCLM\nPAR\n", {}},
        ClaimsCase{
            "TwoRecordsCollectClaims", "CLMS\nNUM  1.\nPAR  a\nPATN\nWKU  1\nCLMS\nNUM  1.\nPAR  b\n", {"[a]", "[b]"}}),
    [](const ::testing::TestParamInfo<ClaimsCase>& info) { return std::string(info.param.name); });

TEST(ApsRecord, ClaimsPartAbsentWithoutClaims) {
  const SourceDocument document = parse_ok(kWku + "CLMS\nSTM  What is claimed is:\n");
  EXPECT_EQ(find_part<Claims>(document), nullptr);
  EXPECT_EQ(document.parts.size(), 1u);
}

TEST(ApsRecord, SeveralRecordsReadAsOne) {
  const SourceDocument document = parse_ok(
      "PATN\nWKU  039305431\nTTL  First\nINVT\nNAM  A; One\nABST\nPAL  first abstract\n"
      "CLMS\nNUM  1.\nPAR  first claim\n"
      "PATN\nWKU  039305440\nTTL  Second\nINVT\nNAM  B; Two\nABST\nPAL  second abstract\n"
      "CLMS\nNUM  1.\nPAR  second claim\n");
  EXPECT_EQ(find_item<DocumentId>(document)->doc_number, "3930543");
  EXPECT_EQ(std::get<TitleOfInvention>(find_item<TechnicalInformation>(document)->entries[0]).text, "First");
  const auto* inventors = find_item<Inventors>(document);
  ASSERT_EQ(inventors->entries.size(), 2u);
  EXPECT_FALSE(std::get<InventorRecord>(inventors->entries[1]).first_named);
  EXPECT_EQ(find_part<Abstract>(document)->entries.size(), 2u);
  EXPECT_EQ(claim_texts(document), (std::vector<std::string>{"[first claim]", "[second claim]"}));
}

struct FailureCase {
  const char* name;
  std::string text;
  std::string_view message;
};

class ApsFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ApsFailure, IsAStructureError) {
  const ParseResult result = parse_aps(GetParam().text, SourceFormat::UsptoGrantApsGreenBook);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ParseError::Kind::Structure);
  EXPECT_EQ(result.error().message(), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ApsFailure,
    ::testing::Values(FailureCase{"Empty", "", messages::kApsNoTaggedFields},
                      FailureCase{"HeadersOnly", "HHHHHT APS1\nPATN\n\n", messages::kApsNoTaggedFields},
                      FailureCase{"SectionsAndContinuations", "     stray\nPATN\nINVT\n  \n",
                                  messages::kApsNoTaggedFields},
                      FailureCase{"NoWku", "TTL  Golf glove\n", messages::kApsMissingWku},
                      FailureCase{"FirstWkuEmpty", "WKU\nWKU  039305431\n", messages::kApsMissingWku},
                      FailureCase{"WkuOutsidePatn", "INVT\nWKU  039305431\n", messages::kApsMissingWku}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(ApsSerialize, AlwaysFails) {
  const auto result = serialize_aps(parse_ok(kWku));
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().kind, ParseError::Kind::Structure);
  EXPECT_EQ(result.error().message(), messages::kApsNoSerialization);
}

// --- the real samples -------------------------------------------------------

struct SampleCase {
  const char* file;
  const char* doc_number;
  const char* title;
  std::vector<std::pair<std::string, std::string>> inventors;  // family, given
};

std::string read_sample(const char* file) {
  std::ifstream in(std::string(TESSELLOX_SOURCE_DIR "/tests/data/real/aps/") + file, std::ios::binary);
  if (!in) return {};
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The claims the file holds: "NUM" lines while "CLMS" is the last header.
std::size_t count_claim_numbers(const std::string& text) {
  std::istringstream lines(text);
  std::string line, section;
  std::size_t count = 0;
  while (std::getline(lines, line)) {
    const std::string tag = line.substr(0, 4);
    if (tag.size() == 4 && tag.find(' ') == std::string::npos && line.find_first_not_of(' ', 4) == std::string::npos)
      section = tag;
    else if (section == "CLMS" && line.rfind("NUM ", 0) == 0)
      ++count;
  }
  return count;
}

void PrintTo(const SampleCase& c, std::ostream* out) { *out << c.file; }

class ApsSample : public ::testing::TestWithParam<SampleCase> {};

TEST_P(ApsSample, ReadsTheRecord) {
  const std::string text = read_sample(GetParam().file);
  if (text.empty()) GTEST_SKIP() << "sample absent: " << GetParam().file;
  const SourceDocument document = parse_ok(text);

  EXPECT_EQ(find_item<DocumentId>(document)->doc_number, GetParam().doc_number);
  EXPECT_EQ(find_item<DocumentId>(document)->kind_code, "B1");
  EXPECT_EQ(std::get<TitleOfInvention>(find_item<TechnicalInformation>(document)->entries[0]).text, GetParam().title);

  const std::size_t numbered = count_claim_numbers(text);
  EXPECT_GT(numbered, 0u);
  EXPECT_EQ(claim_texts(document).size(), numbered);

  const auto* inventors = find_item<Inventors>(document);
  ASSERT_NE(inventors, nullptr);
  std::vector<std::pair<std::string, std::string>> names;
  for (const InventorItem& item : inventors->entries) {
    const auto& inventor = std::get<InventorRecord>(item);
    names.emplace_back(inventor.family_name.value_or(""), inventor.given_name.value_or(""));
  }
  EXPECT_EQ(names, GetParam().inventors);
  EXPECT_NE(find_part<Abstract>(document), nullptr);
  EXPECT_EQ(find_part<Description>(document)->entries.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Files, ApsSample,
                         ::testing::Values(SampleCase{"US03932709.aps.txt",
                                                      "3932709",
                                                      "Electronic business telephone",
                                                      {{"Hoff", "Don G."}, {"Young", "Patrick"}}},
                                           SampleCase{"pftaps19760106-sample-US03930271.aps.txt",
                                                      "3930271",
                                                      "Golf glove",
                                                      {{"Kahng", "He Chung"}}}));

}  // namespace
}  // namespace tessellox
