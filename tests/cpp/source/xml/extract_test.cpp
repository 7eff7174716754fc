#include "source/xml/extract.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessellox::xml {
namespace {

// Keeps the text and the tree that points into it alive for the handles a
// test takes from them.
struct Parsed {
  explicit Parsed(std::string_view source) : text(source), result(parse_tree(text)) {
    EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().message());
  }
  NodeRef root() const { return result.ok() ? result.value().root_element() : NodeRef(); }
  const Tree& tree() const { return result.value(); }
  std::string text;
  Result<Tree, ParseError> result;
};

Text text_of(const InlineNode& node) { return node.get<Text>(); }
const InlineElement& element_of(const InlineNode& node) { return node.get<InlineElement>(); }

TEST(NodeQueries, NamesAndChildSelections) {
  const Parsed doc("<r>\n  <a:x/> text <!--c--><?pi d?>&lsqb;<![CDATA[  ]]><y/>\n</r>");
  const NodeRef root = doc.root();
  std::vector<std::string_view> elements;
  for (NodeRef child : child_elements(root)) elements.push_back(child.local_name());
  EXPECT_EQ(elements, (std::vector<std::string_view>{"x", "y"}));

  std::vector<NodeKind> significant;
  for (NodeRef child : significant_child_nodes(root)) significant.push_back(child.kind());
  EXPECT_EQ(significant,
            (std::vector<NodeKind>{NodeKind::Element, NodeKind::Text, NodeKind::Comment,
                                   NodeKind::ProcessingInstruction, NodeKind::EntityReference, NodeKind::Element}));
  EXPECT_EQ(first_child_element(root, "y").local_name(), "y");
  EXPECT_TRUE(first_child_element(root, "z").is_null());
}

TEST(Attributes, CopiedInOrderWithPrefixesAndLookedUpByLocalName) {
  Arena arena;
  const Parsed doc("<r id='first' xlink:href='h' empty='' id2=' padded '/>");
  const Attributes attributes = copy_attributes(doc.root(), arena);
  ASSERT_EQ(attributes.size(), 4u);
  EXPECT_EQ(attributes[1].name(), "href");
  EXPECT_EQ(attributes[1].prefix(), "xlink");
  EXPECT_EQ(attributes[1].value(), "h");
  EXPECT_FALSE(attributes[0].prefix().has_value());
  EXPECT_EQ(attribute_value(doc.root(), "href"), "h");
  EXPECT_EQ(attribute_value(doc.root(), "empty"), "");
  EXPECT_EQ(attribute_value(doc.root(), "id2"), " padded ");
  EXPECT_FALSE(attribute_value(doc.root(), "missing").has_value());
  EXPECT_FALSE(attribute_value(doc.root().first_child(), "id").has_value());
}

TEST(Text, ContentSkipsCommentsInstructionsAndUnknownEntities) {
  Arena arena;
  const Parsed doc("<r> a<b>b<!--no--></b><?pi no?>&lsqb;<![CDATA[c]]>\xC2\xA0</r>");
  EXPECT_EQ(text_content(doc.root()), " abc\xC2\xA0");
  EXPECT_EQ(trimmed_text(doc.root(), arena), "abc");
}

TEST(Text, TrimmingUsesUnicodeWhiteSpaceAndKeepsInnerSpace) {
  Arena arena;
  const Parsed doc("<r>\xE3\x80\x80\t x \n y\xE2\x80\xA8\xC2\x85</r>");
  EXPECT_EQ(trimmed_text(doc.root(), arena), "x \n y");
}

TEST(ChildText, FirstMatchInDocumentOrderDecides) {
  Arena arena;
  const Parsed doc("<r><b> second </b><a>first</a><n/><n>late</n><p>\n</p></r>");
  EXPECT_EQ(child_text(doc.root(), {"a", "b"}, arena), "second");
  EXPECT_EQ(child_text(doc.root(), "a", arena), "first");
  EXPECT_FALSE(child_text(doc.root(), "n", arena).has_value());  // empty first match: no later search
  EXPECT_FALSE(child_text(doc.root(), "p", arena).has_value());
  EXPECT_FALSE(child_text(doc.root(), "missing", arena).has_value());
}

struct LevelCase {
  const char* attributes;
  OptLevel expected;
};

class Level : public testing::TestWithParam<LevelCase> {};

TEST_P(Level, ReadsLevelThenLvl) {
  const Parsed doc(std::string("<p ") + GetParam().attributes + "/>");
  EXPECT_EQ(level(doc.root()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, Level,
                         testing::Values(LevelCase{"level='+3'", 3u}, LevelCase{"level='3a' lvl='2'", std::nullopt},
                                         LevelCase{"lvl='2'", 2u}, LevelCase{"lvl='2' level='7'", 7u},
                                         LevelCase{"level='4294967295'", 4294967295u},
                                         LevelCase{"level='4294967296'", std::nullopt},
                                         LevelCase{"level='99999999999999999999'", std::nullopt},
                                         LevelCase{"level=''", std::nullopt}, LevelCase{"level='+'", std::nullopt},
                                         LevelCase{"level='-'", std::nullopt}, LevelCase{"level='-1'", std::nullopt},
                                         LevelCase{"level='++1'", std::nullopt}, LevelCase{"level=' 1'", std::nullopt},
                                         LevelCase{"level='007'", 7u}, LevelCase{"", std::nullopt}));

struct CaptureCase {
  const char* document;
  const char* text_form;
};

class CaptureTextForm : public testing::TestWithParam<CaptureCase> {};

// The first child of the root, or the document type when the root is empty.
TEST_P(CaptureTextForm, WritesTheNodeInItsXmlForm) {
  Arena arena;
  const Parsed doc(GetParam().document);
  const NodeRef node = doc.root().first_child().is_null() ? doc.tree().document_type() : doc.root().first_child();
  const RawXml raw = capture_node(node, arena);
  EXPECT_TRUE(raw.is_text());
  EXPECT_EQ(raw.text(), GetParam().text_form);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CaptureTextForm,
    testing::Values(CaptureCase{"<r> a &amp; b </r>", " a & b "}, CaptureCase{"<r><![CDATA[<x>]]></r>", "<x>"},
                    CaptureCase{"<r><!-- note --></r>", "<!-- note -->"},
                    CaptureCase{"<r><?target some data?></r>", "<?target some data?>"},
                    CaptureCase{"<r><?target?></r>", "<?target?>"}, CaptureCase{"<r>&lsqb;</r>", "&lsqb;"},
                    CaptureCase{"<!DOCTYPE r><r/>", "<!DOCTYPE r>"},
                    CaptureCase{"<!DOCTYPE r SYSTEM 'r.dtd'><r/>", "<!DOCTYPE r SYSTEM \"r.dtd\">"},
                    CaptureCase{"<!DOCTYPE r PUBLIC 'p' 's'><r/>", "<!DOCTYPE r PUBLIC \"p\" \"s\">"},
                    CaptureCase{"<!DOCTYPE r SYSTEM 's' [ <!ENTITY e 'v'> ]><r/>",
                                "<!DOCTYPE r SYSTEM \"s\" [ <!ENTITY e 'v'> ]>"}));

TEST(CaptureNode, ElementKeepsPrefixAttributesAndEveryChild) {
  Arena arena;
  const Parsed doc("<r><m:math m:display='block' id='x'>a<!--c--><m:mi>b</m:mi>\n</m:math></r>");
  const RawXml raw = capture_node(doc.root().first_child(), arena);
  ASSERT_TRUE(raw.is_element());
  EXPECT_EQ(raw.name(), "math");
  EXPECT_EQ(raw.prefix(), "m");
  ASSERT_EQ(raw.attributes().size(), 2u);
  EXPECT_EQ(raw.attributes()[0].prefix(), "m");
  EXPECT_EQ(raw.attributes()[0].name(), "display");
  ASSERT_EQ(raw.children().size(), 4u);
  EXPECT_EQ(raw.children()[0].text(), "a");
  EXPECT_EQ(raw.children()[1].text(), "<!--c-->");
  EXPECT_EQ(raw.children()[2].name(), "mi");
  ASSERT_EQ(raw.children()[2].children().size(), 1u);
  EXPECT_EQ(raw.children()[2].children()[0].text(), "b");
  EXPECT_EQ(raw.children()[3].text(), "\n");  // white space is kept verbatim in a capture
}

struct InlineAlias {
  const char* element;
  InlineKind kind;
};

class InlineAliases : public testing::TestWithParam<InlineAlias> {};

TEST_P(InlineAliases, MapToTheirKindWithNestedContentAndAttributes) {
  Arena arena;
  const std::string name = GetParam().element;
  const Parsed doc("<p><" + name + " a='1'>x<b>y</b></" + name + "></p>");
  const InlineContent content = inline_content(doc.root(), arena);
  ASSERT_EQ(content.size(), 1u);
  const InlineElement& element = element_of(content[0]);
  EXPECT_EQ(element.kind, GetParam().kind);
  ASSERT_EQ(element.attributes.size(), 1u);
  EXPECT_EQ(element.attributes[0].name(), "a");
  ASSERT_EQ(element.content.size(), 2u);
  EXPECT_EQ(text_of(element.content[0]).text, "x");
  EXPECT_EQ(element_of(element.content[1]).kind, InlineKind::Bold);
  EXPECT_FALSE(element.target().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Names, InlineAliases,
    testing::Values(InlineAlias{"b", InlineKind::Bold}, InlineAlias{"bold", InlineKind::Bold},
                    InlineAlias{"i", InlineKind::Italic}, InlineAlias{"italic", InlineKind::Italic},
                    InlineAlias{"highlight", InlineKind::Highlight}, InlineAlias{"number", InlineKind::Number},
                    InlineAlias{"claim-text", InlineKind::ClaimText},
                    InlineAlias{"cross-reference", InlineKind::CrossReference},
                    InlineAlias{"figref", InlineKind::FigureReference},
                    InlineAlias{"claim-ref", InlineKind::DependentClaimReference},
                    InlineAlias{"dependent-claim-reference", InlineKind::DependentClaimReference}));

struct TargetCase {
  const char* element;
  OptString target;
};

class InlineTargets : public testing::TestWithParam<TargetCase> {};

TEST_P(InlineTargets, ComeFromTheirAttributesInPreferenceOrder) {
  Arena arena;
  const Parsed doc(std::string("<p>") + GetParam().element + "</p>");
  const InlineContent content = inline_content(doc.root(), arena);
  ASSERT_EQ(content.size(), 1u);
  EXPECT_EQ(element_of(content[0]).target(), GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(Attributes, InlineTargets,
                         testing::Values(TargetCase{"<figref idref='F1' target='T'>1</figref>", "F1"},
                                         TargetCase{"<figref target='T'>1</figref>", "T"},
                                         TargetCase{"<figref idref=''>1</figref>", ""},
                                         TargetCase{"<figref>1</figref>", std::nullopt},
                                         TargetCase{"<claim-ref idref='CLM-1'>1</claim-ref>", "CLM-1"},
                                         TargetCase{"<claim-ref depends_on='D' idref='I'>1</claim-ref>", "D"},
                                         TargetCase{"<dependent-claim-reference depends_on='D'/>", "D"},
                                         TargetCase{"<cross-reference target='DRAWINGS' idref='no'/>", "DRAWINGS"},
                                         TargetCase{"<cross-reference idref='no'/>", std::nullopt}));

TEST(InlineContent, SpaceBetweenInlineElementsOnOneLineSurvives) {
  Arena arena;
  const Parsed doc("<p><b>A</b> <i>B</i><b>1</b>\t<b>215</b></p>");
  const InlineContent content = inline_content(doc.root(), arena);
  ASSERT_EQ(content.size(), 6u);
  EXPECT_EQ(element_of(content[0]).kind, InlineKind::Bold);
  EXPECT_EQ(text_of(content[1]).text, " ");
  EXPECT_EQ(element_of(content[2]).kind, InlineKind::Italic);
  EXPECT_EQ(text_of(content[4]).text, "\t");
}

TEST(InlineContent, IndentationAndEmptyCDataAreDropped) {
  Arena arena;
  const Parsed doc("<p>\n  <b>A</b>\n  <i>B</i><![CDATA[]]><![CDATA[ ]]>\r\n</p>");
  const InlineContent content = inline_content(doc.root(), arena);
  ASSERT_EQ(content.size(), 3u);
  EXPECT_EQ(element_of(content[0]).kind, InlineKind::Bold);
  EXPECT_EQ(element_of(content[1]).kind, InlineKind::Italic);
  EXPECT_EQ(text_of(content[2]).text, " ");  // a CDATA space on one line is content too
}

// White space as Unicode has it, whether its bytes are ASCII or not.
class BlankText : public testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(BlankText, IsWhiteSpaceAsUnicodeHasIt) {
  const Parsed doc(std::string("<p>") + GetParam().first + "</p>");
  EXPECT_EQ(is_blank_character_data(doc.root().first_child()), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Texts, BlankText,
                         testing::Values(std::pair{" \t\n", true}, std::pair{"\n  \xC2\xA0", true},
                                         std::pair{"\xE3\x80\x80 \n", true}, std::pair{"\n  x", false},
                                         std::pair{"\n\xC3\xA9", false}, std::pair{" \xE2\x80\x8B", false}));

TEST(InlineContent, OtherNodeKinds) {
  Arena arena;
  const Parsed doc("<p> lead &lsqb;<sub>2</sub><!--gone--><?in-line-formula description='x'?>tail </p>");
  const InlineContent content = inline_content(doc.root(), arena);
  ASSERT_EQ(content.size(), 5u);
  EXPECT_EQ(text_of(content[0]).text, " lead ");
  EXPECT_EQ(text_of(content[1]).text, "&lsqb;");
  const RawXml& sub = content[2].get<RawXml>();
  EXPECT_EQ(sub.name(), "sub");
  EXPECT_EQ(content[3].get<RawXml>().text(), "<?in-line-formula description='x'?>");
  EXPECT_EQ(text_of(content[4]).text, "tail ");
}

TEST(BodyRecords, HeadingParagraphClaimAndFigure) {
  Arena arena;
  const Parsed doc(
      "<r><heading id='h' level='1' align='center'>TITLE</heading><p id='p-1' lvl='+2' num='0001'>x</p>"
      "<claim id='CLM-00001' num='00001'><claim-text>1. A <claim-ref idref='CLM-2'>claim 2</claim-ref></claim-text>"
      "</claim><figure id='Fig-1' num='1'>\n<img id='EMI' file='a.TIF' imf='tif' ti='dr' he='1'/><caption/>"
      "<image file='b'/></figure></r>");
  std::vector<NodeRef> nodes;
  for (NodeRef child : child_elements(doc.root())) nodes.push_back(child);
  ASSERT_EQ(nodes.size(), 4u);

  const Heading heading = build_heading(nodes[0], arena);
  EXPECT_EQ(heading.align, "center");
  EXPECT_EQ(heading.lvl, 1u);
  EXPECT_EQ(heading.attributes.size(), 3u);
  EXPECT_EQ(text_of(heading.content[0]).text, "TITLE");

  const Paragraph paragraph = build_paragraph(nodes[1], arena);
  EXPECT_EQ(paragraph.id, "p-1");
  EXPECT_EQ(paragraph.lvl, 2u);
  EXPECT_EQ(paragraph.attributes.size(), 3u);

  const ClaimElement claim = build_claim_element(nodes[2], arena);
  EXPECT_EQ(claim.id, "CLM-00001");
  ASSERT_EQ(claim.content.size(), 1u);
  const InlineElement& claim_text = element_of(claim.content[0]);
  EXPECT_EQ(claim_text.kind, InlineKind::ClaimText);
  EXPECT_EQ(element_of(claim_text.content[1]).target(), "CLM-2");

  const Figure figure = build_figure(nodes[3], arena);
  EXPECT_EQ(figure.id, "Fig-1");
  ASSERT_EQ(figure.items.size(), 3u);
  const Image& image = std::get<Image>(figure.items[0]);
  EXPECT_EQ(image.id, "EMI");
  EXPECT_EQ(image.file, "a.TIF");
  EXPECT_EQ(image.imf, "tif");
  EXPECT_EQ(image.ti, "dr");
  EXPECT_EQ(image.attributes.size(), 5u);
  EXPECT_EQ(std::get<RawXml>(figure.items[1]).name(), "caption");
  EXPECT_FALSE(std::get<Image>(figure.items[2]).id.has_value());
}

TEST(DocumentIdentity, MissingAndBlankChildren) {
  Arena arena;
  const Parsed full(
      "<document-id><country>US</country><doc-number> 0123 </doc-number><kind>B2</kind>"
      "<date>20060606</date></document-id>");
  const DocumentId id = document_identity(full.root(), arena);
  EXPECT_EQ(id.doc_number, "0123");
  EXPECT_EQ(id.kind_code, "B2");
  EXPECT_EQ(id.document_date, "20060606");
  EXPECT_EQ(id.country_code, "US");

  const Parsed sparse("<document-id><doc-number></doc-number><doc-number>7</doc-number><kind> </kind></document-id>");
  const DocumentId empty = document_identity(sparse.root(), arena);
  EXPECT_EQ(empty.doc_number, "");
  EXPECT_FALSE(empty.kind_code.has_value());
  EXPECT_FALSE(empty.document_date.has_value());
  EXPECT_FALSE(empty.country_code.has_value());
}

ParseResult front_end(std::string_view text) {
  return run_front_end(text, "us-patent-grant", messages::kV4GrantRootRequired, SourceFormat::UsptoGrantV42, {},
                       [](NodeRef root, SourceDocument& document) {
                         for (NodeRef child : child_elements(root))
                           document.parts.emplace_back(document.arena, capture_node(child, document.arena));
                       });
}

TEST(FrontEnd, RootCheckAcceptsAPrefixAndRejectsOtherRoots) {
  const ParseResult prefixed = front_end("<us:us-patent-grant lang='EN' us:x='1'><a/></us:us-patent-grant>");
  ASSERT_TRUE(prefixed.ok());
  EXPECT_EQ(prefixed.value().source_format, SourceFormat::UsptoGrantV42);
  ASSERT_EQ(prefixed.value().root_attributes.size(), 2u);
  EXPECT_EQ(prefixed.value().root_attributes[1].prefix(), "us");
  EXPECT_EQ(prefixed.value().parts.size(), 1u);

  const ParseResult wrong = front_end("<us-patent-application/>");
  ASSERT_FALSE(wrong.ok());
  EXPECT_EQ(wrong.error().kind, ParseError::Kind::Structure);
  EXPECT_EQ(wrong.error().message(), "v4.x grants require us-patent-grant root");

  const ParseResult malformed = front_end("<us-patent-grant>");
  ASSERT_FALSE(malformed.ok());
  EXPECT_EQ(malformed.error().kind, ParseError::Kind::Xml);
  EXPECT_EQ(malformed.error().message(), "no element found at line 1, column 18");
}

TEST(FrontEnd, NoRootElementIsReportedAsSuch) {
  const Tree empty;  // a tree holding only the document node
  const Result<NodeRef, ParseError> root = checked_root(empty, "r", "message");
  ASSERT_FALSE(root.ok());
  EXPECT_EQ(root.error().kind, ParseError::Kind::Xml);
  EXPECT_EQ(root.error().message(), "missing root element");
}

struct PrologCase {
  const char* text;
  OptString version;
  OptString encoding;
  OptString standalone;
};

class Prolog : public testing::TestWithParam<PrologCase> {};

TEST_P(Prolog, DeclarationValuesComeFromTheText) {
  const ParseResult result = front_end(GetParam().text);
  ASSERT_TRUE(result.ok()) << result.error().message();
  EXPECT_EQ(result.value().xml_version, GetParam().version);
  EXPECT_EQ(result.value().xml_encoding, GetParam().encoding);
  EXPECT_EQ(result.value().xml_standalone, GetParam().standalone);
}

INSTANTIATE_TEST_SUITE_P(
    Declarations, Prolog,
    testing::Values(
        PrologCase{"<?xml version=\"1.0\" encoding=\"UTF-8\"?><us-patent-grant/>", "1.0", "UTF-8", std::nullopt},
        PrologCase{"<?xml version='1.0' encoding='ISO-8859-1' standalone='no'?>\n<us-patent-grant/>", "1.0",
                   "ISO-8859-1", "no"},
        PrologCase{"<?xml version = \"1.1\"\tstandalone = 'yes' ?><us-patent-grant/>", "1.1", std::nullopt, "yes"},
        PrologCase{"<us-patent-grant/>", "1.0", std::nullopt, std::nullopt},
        PrologCase{"<?xml-stylesheet href='s.xsl' encoding='x'?><us-patent-grant/>", "1.0", std::nullopt, std::nullopt},
        // Only a declaration at the very start gives encoding and standalone.
        PrologCase{"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><us-patent-grant/>", "1.0",
                   std::nullopt, std::nullopt}));

TEST(Prolog, DocumentTypeFieldsAndInternalSubset) {
  const ParseResult result = front_end(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE us-patent-grant SYSTEM \"us-patent-grant-v45-2014-04-03.dtd\" [ ]>\n<us-patent-grant/>");
  ASSERT_TRUE(result.ok());
  const SourceDocument& document = result.value();
  EXPECT_EQ(document.doctype_name, "us-patent-grant");
  EXPECT_FALSE(document.doctype_public_id.has_value());
  EXPECT_EQ(document.doctype_system_id, "us-patent-grant-v45-2014-04-03.dtd");
  EXPECT_EQ(document.doctype_internal_subset, " ");

  const ParseResult bare = front_end("<us-patent-grant/>");
  ASSERT_TRUE(bare.ok());
  EXPECT_FALSE(bare.value().doctype_name.has_value());
  EXPECT_FALSE(bare.value().doctype_system_id.has_value());
  EXPECT_FALSE(bare.value().doctype_internal_subset.has_value());
}

}  // namespace
}  // namespace tessellox::xml
