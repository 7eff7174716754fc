#include "source/xml/tree.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/xml/parse_tree.hpp"

namespace tessellox::xml {
namespace {

// The tree points into `text`, which the caller keeps alive as long as the tree.
Tree parse_ok(std::string_view text) {
  Result<Tree, ParseError> result = parse_tree(text);
  EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().message());
  if (!result.ok()) return Tree();
  return std::move(result).value();
}

std::string parse_failure(std::string_view text) {
  Result<Tree, ParseError> result = parse_tree(text);
  if (result.ok()) return "(parsed)";
  EXPECT_EQ(result.error().kind, ParseError::Kind::Xml);
  return result.error().message();
}

std::vector<NodeRef> children_of(NodeRef node) {
  std::vector<NodeRef> out;
  for (NodeRef child : node.children()) out.push_back(child);
  return out;
}

// Both builders keep each parent's child count as they append: it must
// equal the children the links lead to, for every node. The second text
// declines to expat (an ATTLIST in its subset).
TEST(TreeStructure, ChildCountsMatchTheLinks) {
  for (const std::string_view text :
       {std::string_view("<!--a--><r x='1'>t<![CDATA[c]]><?p d?><e><f/>u<g/></e>&amp;<h/></r><?z?>"),
        std::string_view("<!DOCTYPE r [<!ATTLIST r x CDATA '1'>]><r>t<e><f/>u</e>&amp;v<!--c--></r>")}) {
    const Tree tree = parse_ok(text);
    for (NodeIndex index = 0; index < tree.node_count(); ++index) {
      const NodeRef node(&tree, index);
      EXPECT_EQ(node.child_count(), children_of(node).size()) << text << " node " << index;
    }
  }
}

TEST(TreeStructure, KindsNamesAndValuesOfEveryNode) {
  const Tree tree =
      parse_ok("<!--before--><r a='1'>x<![CDATA[<y>]]><![CDATA[]]><?pi some data?><?bare?><!--c--><e/></r><?after?>");
  const std::vector<NodeRef> top = children_of(tree.document());
  ASSERT_EQ(top.size(), 3u);
  EXPECT_EQ(top[0].kind(), NodeKind::Comment);
  EXPECT_EQ(top[0].value(), "before");
  EXPECT_EQ(top[1], tree.root_element());
  EXPECT_EQ(top[2].kind(), NodeKind::ProcessingInstruction);

  const std::vector<NodeRef> nodes = children_of(tree.root_element());
  ASSERT_EQ(nodes.size(), 7u);
  EXPECT_EQ(nodes[0].kind(), NodeKind::Text);
  EXPECT_EQ(nodes[0].value(), "x");
  EXPECT_EQ(nodes[1].kind(), NodeKind::CData);
  EXPECT_EQ(nodes[1].value(), "<y>");
  EXPECT_EQ(nodes[2].kind(), NodeKind::CData);  // an empty section is still a node
  EXPECT_EQ(nodes[2].value(), "");
  EXPECT_EQ(nodes[3].kind(), NodeKind::ProcessingInstruction);
  EXPECT_EQ(nodes[3].target(), "pi");
  EXPECT_EQ(nodes[3].value(), "some data");
  EXPECT_EQ(nodes[4].target(), "bare");
  EXPECT_EQ(nodes[4].value(), "");
  EXPECT_EQ(nodes[5].kind(), NodeKind::Comment);
  EXPECT_EQ(nodes[6].local_name(), "e");
  EXPECT_TRUE(nodes[6].children().empty());
}

TEST(TreeStructure, AdjacentCharacterDataIsOneTextNode) {
  const Tree tree = parse_ok("<r>line one\r\nline &amp; two&#x41;&#66;\n<b/>tail</r>");
  const std::vector<NodeRef> nodes = children_of(tree.root_element());
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_EQ(nodes[0].value(), "line one\nline & twoAB\n");
  EXPECT_EQ(nodes[2].value(), "tail");
}

TEST(TreeStructure, QualifiedNamesSplitAtTheFirstColonWithoutNamespaceProcessing) {
  const Tree tree = parse_ok("<us:us-patent-grant us:a:b='v' plain='w'><x:y:z/></us:us-patent-grant>");
  const NodeRef root = tree.root_element();
  EXPECT_EQ(root.qualified_name(), "us:us-patent-grant");
  EXPECT_EQ(root.local_name(), "us-patent-grant");
  EXPECT_EQ(root.prefix(), "us");
  ASSERT_EQ(root.attribute_count(), 2u);
  const AttributeView first = root.attribute(0);
  EXPECT_EQ(first.prefix, "us");
  EXPECT_EQ(first.local_name, "a:b");
  EXPECT_EQ(first.value, "v");
  EXPECT_FALSE(root.attribute(1).prefix.has_value());
  EXPECT_EQ(root.attribute(1).local_name, "plain");
  EXPECT_EQ(root.first_child().prefix(), "x");
  EXPECT_EQ(root.first_child().local_name(), "y:z");
}

TEST(TreeStructure, TreeSurvivesAMove) {
  Tree original = parse_ok("<r a='1'>text</r>");
  Tree moved = std::move(original);
  EXPECT_EQ(moved.root_element().first_child().value(), "text");
  EXPECT_EQ(moved.root_element().attribute(0).value, "1");
}

// An undeclared entity must not fail the parse, with or without a DOCTYPE.
class UndeclaredEntity : public testing::TestWithParam<const char*> {};

TEST_P(UndeclaredEntity, BecomesAnEntityReferenceNode) {
  const Tree tree = parse_ok(GetParam());
  const std::vector<NodeRef> nodes = children_of(tree.root_element());
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_EQ(nodes[0].value(), "a&");
  EXPECT_EQ(nodes[1].kind(), NodeKind::EntityReference);
  EXPECT_EQ(nodes[1].local_name(), "lsqb");
  EXPECT_FALSE(nodes[1].has_replacement());
  EXPECT_EQ(nodes[1].reference_as_written(), "&lsqb;");
  EXPECT_EQ(nodes[0].reference_as_written(), "");
  EXPECT_EQ(nodes[2].value(), "b");
}

INSTANTIATE_TEST_SUITE_P(
    Doctypes, UndeclaredEntity,
    testing::Values("<r>a&amp;&lsqb;b</r>", "<?xml version='1.0'?><!DOCTYPE r SYSTEM 'r.dtd'><r>a&amp;&lsqb;b</r>",
                    "<!DOCTYPE r [<!ENTITY other 'x'>]><r>a&amp;&lsqb;b</r>",
                    "<!DOCTYPE r PUBLIC '-//X//DTD R//EN' 'http://example.invalid/r.dtd'><r>a&amp;&lsqb;b</r>"));

TEST(Entities, InternalEntitiesExpandAndExternalOnesStayUnloaded) {
  const Tree tree = parse_ok(
      "<!DOCTYPE r [<!ENTITY inner 'in<b>bold</b>'><!ENTITY outside SYSTEM 'file:///etc/passwd'>]>"
      "<r>x&inner;y&outside;z</r>");
  const std::vector<NodeRef> nodes = children_of(tree.root_element());
  ASSERT_EQ(nodes.size(), 5u);
  EXPECT_EQ(nodes[0].value(), "xin");
  EXPECT_EQ(nodes[1].local_name(), "b");
  EXPECT_EQ(nodes[2].value(), "y");
  EXPECT_EQ(nodes[3].kind(), NodeKind::EntityReference);
  EXPECT_EQ(nodes[3].local_name(), "outside");
  EXPECT_EQ(nodes[3].reference_as_written(), "&outside;");
  EXPECT_EQ(nodes[4].value(), "z");
}

// expat names every open entity when an external one is referenced, in an
// order that changes from parser to parser; the node is always the external one.
TEST(Entities, ExternalReferenceInsideInternalEntitiesIsNamedAlike) {
  const std::string text =
      "<!DOCTYPE r [<!ENTITY e1 '&e2;'><!ENTITY e2 '&e3;'><!ENTITY e3 SYSTEM 'x.ent'>]><r>&e1;</r>";
  for (int run = 0; run < 20; ++run) {
    const Tree tree = parse_ok(text);
    const NodeRef reference = tree.root_element().first_child();
    ASSERT_EQ(reference.kind(), NodeKind::EntityReference);
    EXPECT_EQ(reference.local_name(), "e3");
    EXPECT_EQ(reference.reference_as_written(), "&e3;");
  }
}

TEST(Entities, NestedExpansionIsBoundedByExpat) {
  std::string text = "<!DOCTYPE r [<!ENTITY a0 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx'>";
  for (int i = 1; i < 10; ++i) {
    text += "<!ENTITY a" + std::to_string(i) + " '";
    for (int j = 0; j < 10; ++j) text += "&a" + std::to_string(i - 1) + ";";
    text += "'>";
  }
  text += "]><r>&a9;</r>";
  const std::string message = parse_failure(text);
  EXPECT_NE(message.find("amplification"), std::string::npos) << message;
}

// The bytes are UTF-8 whatever the declaration says.
class DeclaredEncoding : public testing::TestWithParam<const char*> {};

TEST_P(DeclaredEncoding, IsIgnoredForDecoding) {
  const std::string text = std::string("<?xml version=\"1.0\" encoding=\"") + GetParam() +
                           "\"?><r t=\"\xC3\xA9\">caf\xC3\xA9 \xE2\x80\x94 \xF0\x9D\x90\x80</r>";
  const Tree tree = parse_ok(text);
  EXPECT_EQ(tree.root_element().first_child().value(), "caf\xC3\xA9 \xE2\x80\x94 \xF0\x9D\x90\x80");
  EXPECT_EQ(tree.root_element().attribute(0).value, "\xC3\xA9");
}

INSTANTIATE_TEST_SUITE_P(Declarations, DeclaredEncoding, testing::Values("ISO-8859-1", "UTF-16", "UTF-8", "Shift_JIS"));

TEST(DocumentType, NameIdentifiersAndVerbatimInternalSubset) {
  const std::string subset = "\n<!ENTITY e 'v'> <!-- ] in a comment -->\n";
  const std::string text =
      "<?xml version='1.0'?>\n<!DOCTYPE us-patent-grant PUBLIC \"-//USPTO//DTD X//EN\" "
      "'x.dtd' [" +
      subset + "]  >\n<us-patent-grant/>";
  const Tree tree = parse_ok(text);
  const std::optional<DocumentTypeInfo> info = tree.document_type_info();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->name, "us-patent-grant");
  EXPECT_EQ(info->public_id, "-//USPTO//DTD X//EN");
  EXPECT_EQ(info->system_id, "x.dtd");
  EXPECT_EQ(info->internal_subset, subset);
  EXPECT_EQ(tree.document_type().kind(), NodeKind::DocumentType);
  EXPECT_EQ(tree.document().first_child(), tree.document_type());
}

TEST(DocumentType, AbsentPartsStayAbsent) {
  {
    const Tree tree = parse_ok("<!DOCTYPE r SYSTEM \"r.dtd\" [ ]><r/>");
    const std::optional<DocumentTypeInfo> info = tree.document_type_info();
    ASSERT_TRUE(info.has_value());
    EXPECT_FALSE(info->public_id.has_value());
    EXPECT_EQ(info->system_id, "r.dtd");
    EXPECT_EQ(info->internal_subset, " ");
  }
  {
    const Tree tree = parse_ok("<!DOCTYPE r><r/>");
    const std::optional<DocumentTypeInfo> info = tree.document_type_info();
    ASSERT_TRUE(info.has_value());
    EXPECT_FALSE(info->system_id.has_value());
    EXPECT_FALSE(info->internal_subset.has_value());
  }
  {
    const Tree tree = parse_ok("<r/>");
    EXPECT_FALSE(tree.document_type_info().has_value());
    EXPECT_TRUE(tree.document_type().is_null());
  }
}

TEST(XmlVersion, FromTheDeclarationOrOnePointZero) {
  EXPECT_EQ(parse_ok("<?xml version='1.0' standalone='yes'?><r/>").xml_version(), "1.0");
  EXPECT_EQ(parse_ok("<?xml version=\"1.1\"?><r/>").xml_version(), "1.1");
  EXPECT_EQ(parse_ok("<r/>").xml_version(), "1.0");
}

struct MalformedCase {
  const char* text;
  const char* message;
};

class Malformed : public testing::TestWithParam<MalformedCase> {};

TEST_P(Malformed, FailsWithExpatsDescriptionAndPosition) {
  EXPECT_EQ(parse_failure(GetParam().text), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Documents, Malformed,
                         testing::Values(MalformedCase{"", "no element found at line 1, column 1"},
                                         MalformedCase{"<a><b></a>", "mismatched tag at line 1, column 9"},
                                         MalformedCase{"<a>\n  <p>x</maths></p></a>",
                                                       "mismatched tag at line 2, column 9"},
                                         MalformedCase{"<a/><b/>", "junk after document element at line 1, column 5"},
                                         MalformedCase{"<a x='1' x='2'/>", "duplicate attribute at line 1, column 10"},
                                         MalformedCase{"<?xml version='1.0' standalone='yes'?><a>&lsqb;</a>",
                                                       "undefined entity at line 1, column 42"}));

TEST(Malformed, NulByteInsideTheText) {
  EXPECT_EQ(parse_failure(std::string_view("<a>\0</a>", 8)), "not well-formed (invalid token) at line 1, column 4");
}

std::string nested(std::size_t depth) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += "<e>";
  for (std::size_t i = 0; i < depth; ++i) text += "</e>";
  return text;
}

std::string with_attributes(std::size_t count) {
  std::string text = "<e";
  for (std::size_t i = 0; i < count; ++i) text += " a" + std::to_string(i) + "=''";
  return text + "/>";
}

struct LimitCase {
  const char* name;
  std::string at_limit;
  std::string over_limit;
  const char* message_start;
};

class Limits : public testing::TestWithParam<LimitCase> {};

TEST_P(Limits, AcceptTheLimitAndRejectOneMore) {
  const LimitCase& limit = GetParam();
  EXPECT_TRUE(parse_tree(limit.at_limit).ok());
  const std::string message = parse_failure(limit.over_limit);
  EXPECT_EQ(message.rfind(limit.message_start, 0), 0u) << message;
  EXPECT_NE(message.find(" at line "), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Parser, Limits,
    testing::Values(
        LimitCase{"Depth", nested(256), nested(257), "XML elements nested deeper than the limit of 256"},
        LimitCase{"Attributes", with_attributes(256), with_attributes(257),
                  "XML element has more than the limit of 256 attributes"},
        LimitCase{"ElementName", "<" + std::string(50000, 'n') + "/>", "<" + std::string(50001, 'n') + "/>",
                  "XML name longer than the limit of 50000 bytes"},
        LimitCase{"AttributeName", "<e " + std::string(50000, 'n') + "=''/>", "<e " + std::string(50001, 'n') + "=''/>",
                  "XML name longer than the limit of 50000 bytes"},
        LimitCase{"Text", "<e>" + std::string(10485760, 't') + "</e>", "<e>" + std::string(10485761, 't') + "</e>",
                  "XML text longer than the limit of 10485760 bytes"},
        LimitCase{"TextOverManyLines", "<e>" + std::string(10485760, '\n') + "</e>",
                  "<e>" + std::string(10485759, '\n') + "&amp;&amp;</e>",
                  "XML text longer than the limit of 10485760 bytes"},
        LimitCase{"AttributeValue", "<e v='" + std::string(10485760, 'v') + "'/>",
                  "<e v='" + std::string(10485761, 'v') + "'/>", "XML text longer than the limit of 10485760 bytes"},
        LimitCase{"Comment", "<e><!--" + std::string(10485760, 'c') + "--></e>",
                  "<e><!--" + std::string(10485761, 'c') + "--></e>",
                  "XML text longer than the limit of 10485760 bytes"}),
    [](const testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

TEST(Limits, NodeCount) {
  // The root plus 9,999,999 children is exactly the limit.
  std::string text = "<r>";
  text.reserve(3 + 4 * 10000000 + 4);
  for (std::size_t i = 0; i < 9999999; ++i) text += "<e/>";
  EXPECT_TRUE(parse_tree(text + "</r>").ok());
  text += "<e/></r>";
  const std::string message = parse_failure(text);
  EXPECT_EQ(message.rfind("XML document has more than the limit of 10000000 nodes", 0), 0u) << message;
}

// A text longer than one piece: character data, a CDATA section and a tag
// cross the boundary and still come out whole.
TEST(LargeText, PiecesJoinAtTheBoundary) {
  std::string text = "<r>";
  const std::string filler = "<e>" + std::string(200, 'x') + "</e>\n";
  while (text.size() + filler.size() < kParseChunkBytes - 8) text += filler;
  const std::size_t elements = (text.size() - 3) / filler.size();
  const std::string padding(kParseChunkBytes - 4 - text.size(), 'p');
  text += padding;
  text += "abcdefgh<![CDATA[ij]]><boundary-element-name attribute='value'>klm</boundary-element-name></r>";
  ASSERT_GT(text.size(), kParseChunkBytes);
  const Tree tree = parse_ok(text);
  std::size_t count = 0;
  NodeRef last_text;
  for (NodeRef child : tree.root_element().children()) {
    if (child.is_element() && child.local_name() == "e") ++count;
    if (child.kind() == NodeKind::Text) last_text = child;
  }
  EXPECT_EQ(count, elements);
  EXPECT_EQ(last_text.value(), "\n" + padding + "abcdefgh");
  const NodeRef cdata = last_text.next_sibling();
  EXPECT_EQ(cdata.kind(), NodeKind::CData);
  EXPECT_EQ(cdata.value(), "ij");
  const NodeRef element = cdata.next_sibling();
  EXPECT_EQ(element.local_name(), "boundary-element-name");
  EXPECT_EQ(element.attribute(0).value, "value");
  EXPECT_EQ(element.first_child().value(), "klm");
}

}  // namespace
}  // namespace tessellox::xml
