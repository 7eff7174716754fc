// Reading an element straight from the tree gives what reading its capture
// gives: a record reads citations in place and everything else captured.
#include "records/raw_text.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "source/xml/extract.hpp"
#include "source/xml/parse_tree.hpp"

namespace tessellox {
namespace {

// Every element of the document, compared by its text and by its children's
// names; returns how many were compared.
std::size_t compare_every_element(const std::string& text) {
  const auto tree = xml::parse_tree(text);
  if (!tree.ok()) return 0;
  Arena arena;
  std::size_t compared = 0;
  std::vector<xml::NodeRef> pending{tree.value().root_element()};
  while (!pending.empty()) {
    const xml::NodeRef node = pending.back();
    pending.pop_back();
    const RawXml captured = xml::capture_node(node, arena);
    EXPECT_EQ(node_text(node, arena), raw_text(&captured, arena)) << node.qualified_name();
    for (xml::NodeRef child : node.children()) {
      if (!child.is_element()) continue;
      pending.push_back(child);
      const xml::NodeRef found = node_child(node, child.local_name());
      const RawXml* raw_found = raw_child(&captured, child.local_name());
      if (raw_found == nullptr) {
        ADD_FAILURE() << child.qualified_name();
        continue;
      }
      EXPECT_EQ(found.qualified_name(), raw_found->qualified_name());
      EXPECT_EQ(found.child_count(), raw_found->children().size());
    }
    ++compared;
  }
  return compared;
}

TEST(NodeText, ReadsAsTheCaptureReads) {
  EXPECT_EQ(compare_every_element("<!DOCTYPE r SYSTEM 'r.dtd' [<!ENTITY e 'E&#38;#38;F'>]><r><a> x  "
                                  "<b>y</b>&e;&amp;<!-- c --></a><c><?pi  d?></c>"
                                  "<d><![CDATA[ <&> ]]></d><e><f><g> only </g></f></e><h>caf\xC3\xA9 </h><i/><j>  </j>"
                                  "<k>&undeclared;</k><l>a\tb\n\nc</l><x:m xmlns:x='u'>n</x:m></r>"),
            14u);
}

TEST(NodeText, ReadsEveryElementOfTheRealDocumentsAsTheCaptureReads) {
  const auto real = std::filesystem::path(TESSELLOX_SOURCE_DIR) / "tests" / "data" / "real";
  if (!std::filesystem::exists(real)) GTEST_SKIP() << "real samples not present";
  std::size_t compared = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(real)) {
    if (entry.path().extension() != ".xml") continue;
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    compared += compare_every_element(bytes.str());
  }
  EXPECT_GT(compared, 10000u);
}

}  // namespace
}  // namespace tessellox
