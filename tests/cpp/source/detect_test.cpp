#include "source/detect.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tessellox {
namespace {

// The detection outcome as text: the format's name, or "ERR " + message.
std::string outcome(std::string_view text) {
  auto result = detect_source_format(text);
  if (result) return std::string(source_format_name(result.value()));
  return "ERR " + result.error().message();
}

struct DetectCase {
  const char* label;
  std::string text;
  const char* expected;
};

void PrintTo(const DetectCase& c, std::ostream* os) { *os << c.label; }

class Detect : public ::testing::TestWithParam<DetectCase> {};

TEST_P(Detect, GivesTheExpectedOutcome) { EXPECT_EQ(outcome(GetParam().text), GetParam().expected); }

const std::string kGrant45 =
    "<?xml version=\"1.0\"?>\n<us-patent-grant dtd-version=\"v4.5 2014-04-03\">x</us-patent-grant>";

INSTANTIATE_TEST_SUITE_P(
    InputShapes, Detect,
    ::testing::Values(
        DetectCase{"empty", "", "ERR malformed XML"}, DetectCase{"blank lines", "  \n\r\n \t ", "ERR malformed XML"},
        DetectCase{"aps header", "HHHHHHHHHHAPS1234\nPATN\n", "UsptoGrantApsGreenBook"},
        DetectCase{"aps header after blank lines", "\n  \nHHHHHT APS1\n", "UsptoGrantApsGreenBook"},
        DetectCase{"indented aps header is not aps", " HHHHHHHHHHAPS1\n", "ERR malformed XML"},
        DetectCase{"five H without APS", "HHHHHT\nPATN\n", "ERR malformed XML"},
        DetectCase{"patn alone", "  PATN  \r\nWKU  039305431\n", "UsptoGrantApsGreenBook"},
        DetectCase{"patn after another line", "WKU  1\nPATN\n", "ERR malformed XML"},
        DetectCase{"byte order mark", "\xEF\xBB\xBF<?xml version=\"1.0\"?><PATDOC DTD=\"2.5\"/>", "ERR malformed XML"},
        DetectCase{"cdata before root", "<![CDATA[x]]><PATDOC DTD=\"2.5\"/>", "ERR malformed XML"},
        DetectCase{"end tag before root", "</x><PATDOC DTD=\"2.5\"/>", "ERR malformed XML"},
        DetectCase{"other bang", "<!ELEMENT x ANY><PATDOC DTD=\"2.5\"/>", "ERR malformed XML"},
        DetectCase{"text before root", "<?xml version=\"1.0\"?> junk <PATDOC DTD=\"2.5\"/>", "ERR malformed XML"},
        DetectCase{"unterminated declaration", "<?xml version=\"1.0\"", "ERR malformed XML"},
        DetectCase{"unterminated comment", "<!-- x <PATDOC DTD=\"2.5\"/>", "ERR malformed XML"},
        DetectCase{"lone open bracket", "<", "ERR malformed XML"},
        DetectCase{"empty root name", "< PATDOC>", "ERR malformed XML"},
        DetectCase{"prolog in any order",
                   "<!-- c --> <?pi x?>\n<!DOCTYPE PATDOC [ <!ENTITY a \"b\"> ]>\n<?xml-stylesheet x?>"
                   "<!-- d --><PATDOC DTD=\"2.5\"></PATDOC>",
                   "UsptoGrantV25"},
        DetectCase{"grant v4.5", kGrant45, "UsptoGrantV45"},
        DetectCase{"grant v4.5 with v4.4 doctype",
                   "<!DOCTYPE us-patent-grant SYSTEM \"us-patent-grant-v44-2013-05-16.dtd\">"
                   "<us-patent-grant dtd-version=\"v4.5 2014-04-03\"/>",
                   "ERR conflicting XML version markers"},
        DetectCase{"grant mentioning pap-v16 in its body",
                   "<us-patent-grant dtd-version=\"v4.5\"><p>see pap-v16</p></us-patent-grant>",
                   "ERR conflicting XML version markers"},
        DetectCase{"application doctype only", "<!DOCTYPE us-patent-application><us-patent-application/>",
                   "ERR unknown XML format"},
        DetectCase{"grant v4.0 written with the point", "<us-patent-grant dtd-version=\"v4.0 2004\"/>",
                   "ERR unknown XML format"},
        DetectCase{"grant v4.0 written without the point", "<us-patent-grant dtd-version=\"v40 2004-12-02\"/>",
                   "UsptoGrantV40"},
        DetectCase{"application v4.0 with the point", "<us-patent-application dtd-version=\"v4.0 2004\"/>",
                   "UsptoApplicationV40"},
        DetectCase{"application dtd-version v4.7 is no marker", "<us-patent-application dtd-version=\"v4.7\"/>",
                   "ERR unknown XML format"},
        DetectCase{
            "dtd-version counts only for the root's kind",
            "<us-patent-application dtd-version=\"v4.2\">us-patent-grant dtd-version=\"v40</us-patent-application>",
            "UsptoApplicationV42"},
        DetectCase{"grant name marker in an application",
                   "<us-patent-application>us-patent-grant-v42</us-patent-application>",
                   "ERR conflicting XML version markers"},
        DetectCase{"patdoc", "<PATDOC DTD=\"2.5\"></PATDOC>", "UsptoGrantV25"},
        DetectCase{"patdoc by system id", "<!DOCTYPE PATDOC SYSTEM \"ST32-US-Grant-025xml.dtd\"><PATDOC/>",
                   "UsptoGrantV25"},
        DetectCase{"pap v1.5",
                   "<!DOCTYPE patent-application-publication SYSTEM \"pap-v15-2001-01-31.dtd\">"
                   "<patent-application-publication/>",
                   "UsptoApplicationV15"},
        DetectCase{"pap v1.6",
                   "<!DOCTYPE patent-application-publication SYSTEM \"pap-v16-2002-01-01.dtd\">"
                   "<patent-application-publication/>",
                   "UsptoApplicationV16"},
        DetectCase{"sequence listing ignores markers", "<sequence-cwu>pap-v16 us-patent-grant-v45</sequence-cwu>",
                   "UsptoSequenceCwu"},
        DetectCase{"table root", "<table><row/></table>", "ERR supplemental XML root 'table'"},
        DetectCase{"prefixed root", "<us:us-patent-grant dtd-version=\"v4.5\"/>",
                   "ERR unsupported XML root 'us:us-patent-grant'"},
        DetectCase{"root name ends at white space", "<PATDOC\tDTD=\"2.5\"/>", "UsptoGrantV25"},
        DetectCase{"root name runs to the end", "<us-patent-grant", "ERR unknown XML format"},
        // A DOCTYPE without internal subset ends at its first ">", even when
        // the body holds "]>" (the end of a CDATA section or a[i]>0).
        DetectCase{"doctype without subset and cdata in body",
                   "<!DOCTYPE us-patent-grant SYSTEM \"us-patent-grant-v45-2014-04-03.dtd\">\n"
                   "<us-patent-grant><p><![CDATA[x]]></p><p>a[i]>0</p></us-patent-grant>",
                   "UsptoGrantV45"},
        DetectCase{"doctype subset holding > is skipped whole",
                   "<!DOCTYPE PATDOC [<!ENTITY gt2 \">\">]><PATDOC DTD=\"2.5\"/>", "UsptoGrantV25"},
        DetectCase{"doctype subset never closed", "<!DOCTYPE PATDOC [<!ENTITY x \"y\">", "ERR malformed XML"},
        DetectCase{"doctype never closed", "<!DOCTYPE PATDOC", "ERR malformed XML"}));

// Markers straddling the vector scan's block boundaries and the scalar tail.
TEST(DetectMarkers, FoundAtEveryOffset) {
  const std::string head = "<us-patent-grant>";
  for (std::size_t pad = 0; pad < 70; ++pad) {
    const std::string text = head + std::string(pad, 'x') + "us-patent-grant-v47" + std::string(pad % 7, 'y');
    ASSERT_EQ(outcome(text), "UsptoGrantV47") << "pad " << pad;
    const std::string dtd = head + std::string(pad, ' ') + "dtd-version=\"v4.3";
    ASSERT_EQ(outcome(dtd), "UsptoGrantV43") << "pad " << pad;
  }
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(DetectSharedSamples, EverySingleDocumentMatchesTheManifest) {
  const std::filesystem::path data = std::filesystem::path(TESSELLOX_SOURCE_DIR) / "tests" / "data" / "real";
  std::ifstream manifest(data / "MANIFEST.tsv");
  if (!manifest) GTEST_SKIP() << "real samples not present";
  std::string line;
  std::getline(manifest, line);  // header
  int checked = 0;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string family, file, bytes, expected;
    std::getline(fields, family, '\t');
    std::getline(fields, file, '\t');
    std::getline(fields, bytes, '\t');
    std::getline(fields, expected, '\t');
    if (family == "bulk") continue;  // several documents, split first
    const std::string text = read_file(data / family / file);
    EXPECT_EQ(outcome(text), expected) << family << "/" << file;
    ++checked;
  }
  EXPECT_GT(checked, 15);
}

}  // namespace
}  // namespace tessellox
