#include "tree_dump.hpp"

#include <gtest/gtest.h>

#include <string>

#include "source/xml/parse_tree.hpp"

namespace tessellox::xml {
namespace {

std::string dump_of(std::string_view text) {
  Result<Tree, ParseError> result = parse_tree(text);
  EXPECT_TRUE(result.ok()) << text << ": " << (result.ok() ? "" : result.error().message());
  return result.ok() ? dump_tree(result.value()) : std::string();
}

// Pairs of documents whose trees differ in one thing only: every field the
// comparison with expat relies on must show in the dump.
struct Pair {
  const char* name;
  const char* first;
  const char* second;
};

class TreeDumpTellsApart : public testing::TestWithParam<Pair> {};

TEST_P(TreeDumpTellsApart, TreesDifferingInOneField) {
  EXPECT_NE(dump_of(GetParam().first), dump_of(GetParam().second));
}

constexpr Pair kPairs[] = {
    {"Version", "<?xml version='1.0'?><r/>", "<?xml version='1.1'?><r/>"},
    {"DoctypePresence", "<!DOCTYPE r><r/>", "<r/>"},
    {"PublicId", "<!DOCTYPE r PUBLIC 'p' 's'><r/>", "<!DOCTYPE r SYSTEM 's'><r/>"},
    {"EmptySubsetAndNone", "<!DOCTYPE r []><r/>", "<!DOCTYPE r><r/>"},
    {"Depth", "<r><a/><b/></r>", "<r><a><b/></a></r>"},
    {"Kind", "<r>x</r>", "<r><![CDATA[x]]></r>"},
    {"Prefix", "<a:b/>", "<a_b/>"},
    {"ValueQuoting", "<r a='x\" y=\"z'/>", "<r a='x' y='z'/>"},
    {"EscapedBytes", "<r>\\x41</r>", "<r>A</r>"},
    {"AttributeOrder", "<r a='1' b='2'/>", "<r b='2' a='1'/>"},
    {"EntityReferenceAndText", "<r>&e;</r>", "<r>e</r>"},
};

INSTANTIATE_TEST_SUITE_P(Pairs, TreeDumpTellsApart, testing::ValuesIn(kPairs),
                         [](const testing::TestParamInfo<Pair>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessellox::xml
