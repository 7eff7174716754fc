// The scanner against expat, the reference: wherever the scanner builds a
// tree, expat builds the same one (compared through dump_tree), and wherever
// expat fails, the scanner has declined. Run over every file of the W3C XML
// conformance suite, every real document, and a table of the cases where the
// two are easiest to tell apart.
#include "source/xml/scanner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "source/xml/expat_tree.hpp"
#include "tree_dump.hpp"

namespace tessellox::xml {
namespace {

enum class Outcome { Scanned, Declined, ExpatFailed };

struct Comparison {
  Outcome outcome;
  std::string difference;  // empty when the two paths agree
};

// The first line where two dumps part, from each side, cut to a window
// around the first differing byte when it is long.
std::string first_difference(const std::string& scanned, const std::string& expat) {
  const auto [at_scanned, at_expat] = std::mismatch(scanned.begin(), scanned.end(), expat.begin(), expat.end());
  const auto line_of = [](const std::string& dump, std::string::const_iterator at) {
    const std::size_t position = static_cast<std::size_t>(at - dump.begin());
    const std::size_t start = position == 0 ? 0 : dump.rfind('\n', position - 1) + 1;
    std::string line = dump.substr(start, dump.find('\n', start) - start);
    const std::size_t column = position - start;
    if (line.size() <= 200) return line;
    const std::size_t from = column > 100 ? column - 100 : 0;
    return (from > 0 ? "..." : "") + line.substr(from, 200) + (from + 200 < line.size() ? "..." : "");
  };
  return "trees differ\n    scanner: " + line_of(scanned, at_scanned) + "\n    expat:   " + line_of(expat, at_expat);
}

// Decoding in place must build the tree the read-only scan builds, and give
// the text back unchanged wherever it declines (expat then reads it).
std::string in_place_difference(std::string_view text, const std::optional<Tree>& scanned) {
  std::string writable(text);
  const std::optional<Tree> in_place = scan_tree_in_place(writable);
  if (in_place.has_value() != scanned.has_value()) return "in place and read-only scans disagree on declining";
  if (!in_place) return writable == text ? std::string() : "a declined in-place scan left the text changed";
  const std::string in_place_dump = dump_tree(*in_place);
  const std::string scanned_dump = dump_tree(*scanned);
  return in_place_dump == scanned_dump ? std::string() : "in place: " + first_difference(in_place_dump, scanned_dump);
}

// Scanning a child of the root hollow changes nothing but that child's
// content: the scan declines where the full one does, and otherwise gives the
// same tree without the child's descendants (nor writes in place there).
std::string hollow_difference(std::string_view text, const std::optional<Tree>& scanned) {
  std::string_view hollow = "description";
  if (scanned) {
    for (NodeRef child = scanned->root_element().first_child(); child; child = child.next_sibling()) {
      if (child.kind() == NodeKind::Element) {
        hollow = child.local_name();
        break;
      }
    }
  }
  const std::string_view names[] = {hollow};
  const std::optional<Tree> hollowed = scan_tree(text, names);
  if (hollowed.has_value() != scanned.has_value()) return "hollow and full scans disagree on declining";
  std::string writable(text);
  const std::optional<Tree> in_place = scan_tree_in_place(writable, names);
  if (in_place.has_value() != scanned.has_value()) return "hollow scan in place disagrees on declining";
  if (!scanned) return {};
  const std::string expected = dump_without_hollow_content(dump_tree(*scanned), hollow);
  const std::string got = dump_tree(*hollowed);
  if (got != expected) return "hollow: " + first_difference(got, expected);
  return dump_tree(*in_place) == expected ? std::string() : "hollow in place differs";
}

Comparison compare_paths(std::string_view text) {
  const std::optional<Tree> scanned = scan_tree(text);
  if (std::string difference = in_place_difference(text, scanned); !difference.empty())
    return {scanned ? Outcome::Scanned : Outcome::Declined, std::move(difference)};
  if (std::string difference = hollow_difference(text, scanned); !difference.empty())
    return {scanned ? Outcome::Scanned : Outcome::Declined, std::move(difference)};
  const Result<Tree, ParseError> expat = parse_tree_with_expat(text);
  if (!expat.ok()) {
    if (scanned) return {Outcome::ExpatFailed, "scanner built a tree, expat failed: " + expat.error().message()};
    return {Outcome::ExpatFailed, {}};
  }
  if (!scanned) return {Outcome::Declined, {}};
  const std::string scanned_dump = dump_tree(*scanned);
  const std::string expat_dump = dump_tree(expat.value());
  if (scanned_dump != expat_dump) return {Outcome::Scanned, first_difference(scanned_dump, expat_dump)};
  return {Outcome::Scanned, {}};
}

struct Tally {
  std::size_t scanned = 0;
  std::size_t declined = 0;
  std::size_t expat_failed = 0;
  std::vector<std::string> differences;
  std::vector<std::string> declined_names;  // documents expat accepts that the scanner declined

  void add(const std::string& name, std::string_view text) {
    const Comparison comparison = compare_paths(text);
    switch (comparison.outcome) {
      case Outcome::Scanned: ++scanned; break;
      case Outcome::Declined:
        ++declined;
        declined_names.push_back(name);
        break;
      case Outcome::ExpatFailed: ++expat_failed; break;
    }
    if (!comparison.difference.empty()) differences.push_back(name + ": " + comparison.difference);
  }

  void report(const char* what) const {
    std::printf("%s: %zu scanned, %zu declined, %zu failed in expat\n", what, scanned, declined, expat_failed);
    testing::Test::RecordProperty("scanned", static_cast<int>(scanned));
    testing::Test::RecordProperty("declined", static_cast<int>(declined));
    testing::Test::RecordProperty("expat_failed", static_cast<int>(expat_failed));
  }

  std::string listed_differences() const {
    std::string out;
    for (const std::string& difference : differences) out += "\n  " + difference;
    return out;
  }
};

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

// Every file, whatever its extension: both paths must agree on any bytes.
TEST(ScannerAgainstExpat, EveryFileOfTheConformanceSuite) {
  const std::filesystem::path root = TESSELLOX_XMLCONF_DIR;
  ASSERT_TRUE(std::filesystem::is_directory(root)) << root << " is missing; CMake unpacks it when tests are configured";
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GT(files.size(), 3000u);
  Tally tally;
  for (const std::filesystem::path& file : files) {
    tally.add(std::filesystem::relative(file, root).string(), read_file(file));
  }
  tally.report("conformance suite");
  EXPECT_TRUE(tally.differences.empty()) << tally.differences.size() << " files differ:" << tally.listed_differences();
}

// The real documents: those of tests/data/real and the repository's
// examples, with each bulk file split into its documents (each starts a line
// with "<?xml").
struct Document {
  std::string name;
  std::string text;
};

void add_split(const std::string& name, const std::string& text, std::vector<Document>& documents) {
  std::vector<std::size_t> starts;
  for (std::size_t at = text.find("<?xml"); at != std::string::npos; at = text.find("<?xml", at + 5)) {
    if (at == 0 || text[at - 1] == '\n') starts.push_back(at);
  }
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
    documents.push_back({name + "#" + std::to_string(i + 1), text.substr(starts[i], end - starts[i])});
  }
}

const std::vector<Document>& real_documents() {
  static const std::vector<Document> documents = [] {
    std::vector<Document> out;
    std::vector<std::filesystem::path> files;
    const std::filesystem::path real = TESSELLOX_SOURCE_DIR "/tests/data/real";
    if (std::filesystem::is_directory(real)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(real)) {
        if (entry.is_regular_file() && entry.path().extension() == ".xml") files.push_back(entry.path());
      }
    }
    for (const auto& entry : std::filesystem::directory_iterator(TESSELLOX_SOURCE_DIR "/examples")) {
      if (entry.path().extension() == ".xml") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
      const std::string name = file.parent_path().filename().string() + "/" + file.filename().string();
      std::string text = read_file(file);
      if (file.parent_path().filename() == "bulk") {
        add_split(name, text, out);
      } else {
        out.push_back({name, std::move(text)});
      }
    }
    return out;
  }();
  return documents;
}

const Tally& real_tally() {
  static const Tally tally = [] {
    Tally out;
    for (const Document& document : real_documents()) out.add(document.name, document.text);
    return out;
  }();
  return tally;
}

TEST(ScannerAgainstExpat, EveryRealDocument) {
  const Tally& tally = real_tally();
  ASSERT_GT(tally.scanned + tally.declined + tally.expat_failed, 0u);
  tally.report("real documents");
  const std::size_t well_formed = tally.scanned + tally.declined;
  std::printf("real documents: %.1f%% of the %zu well-formed ones declined\n",
              well_formed == 0 ? 0.0 : 100.0 * static_cast<double>(tally.declined) / static_cast<double>(well_formed),
              well_formed);
  EXPECT_TRUE(tally.differences.empty()) << tally.differences.size()
                                         << " documents differ:" << tally.listed_differences();
}

// Declining is for what the scanner does not handle; no real document needs that.
TEST(ScannerAgainstExpat, EveryWellFormedRealDocumentTakesTheScannersPath) {
  const Tally& tally = real_tally();
  std::string names;
  for (const std::string& name : tally.declined_names) names += "\n  " + name;
  EXPECT_EQ(tally.declined, 0u) << "declined although expat accepts them:" << names;
}

TEST(ScannerAgainstExpat, MalformedGrantDeclines) {
  const std::filesystem::path path = TESSELLOX_SOURCE_DIR "/tests/data/real/v4-grant/US07057742-v41.xml";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is absent";
  const std::string text = read_file(path);
  EXPECT_FALSE(parse_tree_with_expat(text).ok());
  EXPECT_FALSE(scan_tree(text).has_value());
}

// Small documents on the edges where a hand-written scanner most easily
// parts from expat. `well_formed` is expat's verdict, checked too, so that
// each case tests what its name says.
struct Case {
  const char* name;
  const char* text;
  bool well_formed;
};

class ScannerCases : public testing::TestWithParam<Case> {};

TEST_P(ScannerCases, AgreeWithExpat) {
  const Comparison comparison = compare_paths(GetParam().text);
  EXPECT_EQ(comparison.outcome != Outcome::ExpatFailed, GetParam().well_formed);
  EXPECT_TRUE(comparison.difference.empty()) << comparison.difference;
}

constexpr Case kCases[] = {
    // Line ends
    {"CrLfAndLoneCrInText", "<r>a\r\nb\rc\r\n\r</r>", true},
    {"CrBeforeReference", "<r>a\r&amp;\nb\r&#10;</r>", true},
    {"CrInAttributeValue", "<r a='x\r\ny\rz\r'/>", true},
    {"CrInCommentPiAndCdata", "<r><!--a\r\nb\rc--><?p a\r\nb\rc\r?><![CDATA[a\r\nb\r]]></r>", true},
    {"CrLfBetweenMarkup", "<?xml version='1.0'?>\r\n<!DOCTYPE r>\r\n<r\r\na='1'\r\n/>\r\n", true},
    // Decoded in place before the scanner declines: the text is restored for expat.
    {"DeclinesAfterDecodingInPlace", "<r a='&lt;\t'>x&amp;y\r\n<s b='&#x3bc;'>&#956;</s><\xC3\xA9/></r>", true},
    // Attribute values
    {"AttributeWhiteSpaceBecomesSpaces", "<r a='\tx\ny\r\nz  ' b=' '/>", true},
    {"AttributeCharacterReferencesKept", "<r a='&#10;&#9;&#13;&#32;&#xA;'/>", true},
    {"AttributePredefinedEntities", "<r a='&lt;&gt;&amp;&apos;&quot;' b=\"'\" c='\"'/>", true},
    {"LessThanInAttribute", "<r a='<'/>", false},
    {"AttributeWithoutValue", "<r a/>", false},
    {"AttributeWithoutQuotes", "<r a=1/>", false},
    {"PrefixedNames", "<a:b c:d='1' e='2' f:g:h='3'><x:y:z/></a:b>", true},
    {"DuplicateAttribute", "<r a='1' a='2'/>", false},
    {"DuplicatePrefixedAttribute", "<r p:a='1' p:a='2'/>", false},
    {"AttributesDifferingInCase", "<r a='1' A='2' b='3'/>", true},
    // References in content
    {"PredefinedAndCharacterReferences", "<r>&lt;&gt;&amp;&apos;&quot;&#65;&#x20AC;&#x10FFFF;&#0000066;</r>", true},
    {"ReferenceToNul", "<r>&#0;</r>", false},
    {"ReferenceToFffe", "<r>&#xFFFE;</r>", false},
    {"ReferenceToSurrogate", "<r>&#xD800;</r>", false},
    {"ReferenceBeyondUnicode", "<r>&#x110000;</r>", false},
    {"EmptyCharacterReference", "<r>&#x;</r>", false},
    {"BareAmpersand", "<r>a & b</r>", false},
    {"UnterminatedReference", "<r>&amp</r>", false},
    // Undeclared entities
    {"UndeclaredEntityInContent", "<r>a&foo;b&bar;</r>", true},
    {"UndeclaredEntityInAttribute", "<r a='x&foo;y'/>", true},
    {"UndeclaredEntityStandalone", "<?xml version='1.0' standalone='yes'?><r>&foo;</r>", false},
    {"UndeclaredEntityNotStandalone", "<?xml version='1.0' standalone='no'?><r>&foo;</r>", true},
    {"UndeclaredEntityBesideSubset", "<!DOCTYPE r [<!ENTITY a 'x'>]><r>&a;&b;</r>", true},
    // The internal subset
    {"UnparsedEntities",
     "<!DOCTYPE r [<!ENTITY img SYSTEM \"f.tif\" NDATA TIF>\n<!ENTITY m SYSTEM 'm.mol' NDATA MOL>]>"
     "<r><figure file='img'/></r>",
     true},
    {"ReferenceToUnparsedEntity", "<!DOCTYPE r [<!ENTITY img SYSTEM 'f.tif' NDATA TIF>]><r>&img;</r>", false},
    {"PlainTextEntity", "<!DOCTYPE r [<!ENTITY e 'plain text'>]><r>a&e;b<x a='[&e;]'/></r>", true},
    {"ExternalParsedEntityReferenced", "<!DOCTYPE r [<!ENTITY e SYSTEM 'e.xml'>]><r>&e;</r>", true},
    {"EntityHoldingMarkup", "<!DOCTYPE r [<!ENTITY e '<b>x</b>&amp;'>]><r>&e;</r>", true},
    {"SubsetCommentsAndPis", "<!DOCTYPE r [\n <!-- c -->\n <?pi data?>\n <!ENTITY e 'v'>\n]>\n<r>&e;</r>", true},
    {"SubsetWithExternalId", "<!DOCTYPE r SYSTEM 'r.dtd' [<!ENTITY e 'v'>]><r>&e;</r>", true},
    {"PublicId", "<!DOCTYPE r PUBLIC \"-//X//DTD Y//EN\" \"y.dtd\"><r/>", true},
    {"EmptySubset", "<!DOCTYPE r []><r/>", true},
    {"ParameterEntity", "<!DOCTYPE r [<!ENTITY % p 'x'>]><r/>", true},
    {"AttributeDefault", "<!DOCTYPE r [<!ATTLIST r a CDATA 'd' b CDATA #IMPLIED>]><r/>", true},
    {"SecondDoctype", "<!DOCTYPE r><!DOCTYPE r><r/>", false},
    // CDATA sections, comments, processing instructions
    {"CdataSections", "<r><![CDATA[]]>a<![CDATA[<&>]]]]><![CDATA[x]]></r>", true},
    {"CdataEndInText", "<r>a]]>b</r>", false},
    {"BracketsInText", "<r>a]]b]>c]</r>", true},
    {"DoubleHyphenInComment", "<r><!-- a -- b --></r>", false},
    {"CommentEndingInHyphen", "<r><!--a---></r>", false},
    {"PiTargetXml", "<r><?xml x?></r>", false},
    {"PiTargetXmlUpperCase", "<r><?XML x?></r>", false},
    {"PiTargetXmlMixedCase", "<r><?xMl x?></r>", false},
    {"PiTargetStartingWithXml", "<r><?xml-stylesheet href='a'?><?xmlfoo?></r>", true},
    // Structure
    {"MismatchedTags", "<r><a></b></r>", false},
    {"UnclosedRoot", "<r><a/>", false},
    {"ElementAfterRoot", "<r/><s/>", false},
    {"TextAfterRoot", "<r/>text", false},
    {"CommentsPisAndSpaceAfterRoot", "<r/>\n<!--c-->\r\n<?p?> \t", true},
    {"NoRoot", "<!--c-->", false},
    {"EmptyText", "", false},
    {"NameStartingWithDigit", "<1r/>", false},
    {"NonAsciiName", "<r\xC3\xA9 \xC3\xA9='1'/>", true},
    // Characters
    {"ControlCharacter", "<r>\x01</r>", false},
    {"CharacterFffe", "<r>\xEF\xBF\xBE</r>", false},
    {"OverlongUtf8", "<r>\xC0\x80</r>", false},
    {"EncodedSurrogate", "<r>\xED\xA0\x80</r>", false},
    {"TruncatedUtf8", "<r>\xE2\x82</r>", false},
    {"Utf8InTextAndAttributes", "<r a='\xE2\x82\xAC'>\xF0\x9F\x98\x80\xC3\xA9</r>", true},
    // Byte order mark and XML declaration
    {"ByteOrderMark", "\xEF\xBB\xBF<r/>", true},
    {"ByteOrderMarkAndDeclaration", "\xEF\xBB\xBF<?xml version='1.0'?><r/>", true},
    {"FullDeclaration", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><r/>", true},
    {"DeclaredLatin1", "<?xml version='1.0' encoding='ISO-8859-1'?><r>\xC3\xA9</r>", true},
    {"DeclaredUtf16", "<?xml version='1.0' encoding='UTF-16'?><r/>", true},
    {"Version11", "<?xml version='1.1'?><r/>", true},
    {"Version2", "<?xml version='2.0'?><r/>", true},
    {"SpacesAroundEquals", "<?xml version = '1.0'  encoding =\"utf-8\" ?><r/>", true},
    {"MissingVersion", "<?xml encoding='UTF-8'?><r/>", false},
    {"StandaloneBeforeEncoding", "<?xml version='1.0' standalone='yes' encoding='UTF-8'?><r/>", false},
    {"StandaloneMaybe", "<?xml version='1.0' standalone='maybe'?><r/>", false},
    {"DeclarationAfterSpace", " <?xml version='1.0'?><r/>", false},
    {"DeclarationTwice", "<?xml version='1.0'?><?xml version='1.0'?><r/>", false},
};

INSTANTIATE_TEST_SUITE_P(Table, ScannerCases, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Whether a kept value may hold an '&': records resolve entity references
// only then. Only what stands for an '&' counts, and only outside a hollow part.
TEST(ScannerAmpersands, TheTreeSaysWhetherAValueMayHoldOne) {
  const std::string_view hollow[] = {"d"};
  const struct {
    const char* text;
    bool may_hold;
  } cases[] = {
      {"<r a='&lt;'>&gt;&#60;<![CDATA[<]]><!--c--><?p x?></r>", false},
      {"<r>a&amp;b</r>", true},
      {"<r a='&#38;'/>", true},
      {"<r>&#x26;</r>", true},
      {"<r>&ouml;</r>", true},
      {"<r><![CDATA[&]]></r>", true},
      {"<r><!--&--></r>", true},
      {"<r><d>&amp;&ouml;<![CDATA[&]]></d></r>", false},
  };
  for (const auto& c : cases) {
    const std::optional<Tree> tree = scan_tree(c.text, hollow);
    ASSERT_TRUE(tree.has_value()) << c.text;
    EXPECT_EQ(tree->may_hold_ampersand(), c.may_hold) << c.text;
  }
  const Result<Tree, ParseError> expat = parse_tree_with_expat("<r/>");
  ASSERT_TRUE(expat.ok());
  EXPECT_TRUE(expat.value().may_hold_ampersand());  // no builder but the scanner looks
}

}  // namespace
}  // namespace tessellox::xml
