#include "render/markdown/claims.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "../../model_builders.hpp"

namespace tessellox {
namespace {

using test::text;

// The table's inline content lives as long as the table.
Arena& tables = test::table_arena();

InlineNode claim_text(std::initializer_list<InlineNode> content) { return test::claim_text(tables, content); }

InlineNode element(InlineKind kind, std::initializer_list<InlineNode> content) {
  return test::element(tables, kind, content);
}

std::string raw_claim_text(const InlineContent& content) {
  std::string raw = "stale", scratch;
  render_claim_text(content, raw, scratch);
  return raw;
}

struct RawCase {
  RawCase(const char* label, std::initializer_list<InlineNode> content, std::string expected)
      : label(label), content(tables, content), expected(std::move(expected)) {}
  const char* label;
  InlineContent content;
  std::string expected;
};

class ClaimTextRendering : public ::testing::TestWithParam<RawCase> {};

TEST_P(ClaimTextRendering, BeforeCleanUp) { EXPECT_EQ(raw_claim_text(GetParam().content), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, ClaimTextRendering,
    ::testing::Values(
        RawCase{"plain text stays as is", {text("1. A gear &amp; \n shaft ")}, "1. A gear & \n shaft "},
        RawCase{"claim-level texts after text start a line at depth 0",
                {text("1. A tool"), claim_text({text("a handle")}), text(";\n"), claim_text({text("a blade")})},
                "1. A tool\na handle;\na blade"},
        RawCase{"indentation applies to every later non-empty segment",
                {claim_text({text("x"), claim_text({text("a\n\nb\n")}), claim_text({text("c")})})},
                "x\n  a\n\n  b\n  c"},
        RawCase{"a nested text first in its parent opens no line of its own",
                {claim_text({text("1. A"), claim_text({claim_text({text("deep")}), text(" tail")})})},
                "1. A\n    deep tail"},
        RawCase{"references and marks add nothing",
                {claim_text({text("2. The tool of "), element(InlineKind::DependentClaimReference, {text("claim 1")}),
                             element(InlineKind::Bold, {text(", wherein")})})},
                "2. The tool of claim 1, wherein"},
        RawCase{"empty claim", {}, ""},
        // Pretty-printed sources put a nested claim text on its own indented
        // line; the indentation must not leave an empty line behind.
        RawCase{"source indentation before a nested text gives way to it",
                {claim_text({text("1. A tool comprising:\n        "), claim_text({text("a handle;")}),
                             claim_text({text("a blade.")})})},
                "1. A tool comprising:\n  a handle;\n  a blade."},
        RawCase{"the same at claim level, tabs and no-break spaces included",
                {text("1. A tool comprising:\r\n \t\xC2\xA0"), claim_text({text("a handle")})},
                "1. A tool comprising:\r\na handle"},
        RawCase{"white space alone before the first claim text opens no line",
                {text("  "), claim_text({text("1. A tool")})},
                "1. A tool"},
        RawCase{"white space after words is left to the clean-up",
                {claim_text({text("1. A tool  "), claim_text({text("a handle")})})},
                "1. A tool  \n  a handle"},
        RawCase{"a nested text that opens no line keeps the indentation before it",
                {claim_text({text("3. The tool of\n   "),
                             element(InlineKind::DependentClaimReference, {claim_text({text("claim 2")})})})},
                "3. The tool of\n   claim 2"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

struct CleanUpCase {
  std::string raw;
  std::string expected;
};

class ClaimLineCleanUp : public ::testing::TestWithParam<CleanUpCase> {};

TEST_P(ClaimLineCleanUp, Cleans) {
  std::string out = "```claim\n";
  append_cleaned_claim_text(GetParam().raw, out);
  EXPECT_EQ(out, "```claim\n" + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClaimLineCleanUp,
    ::testing::Values(CleanUpCase{"a  b\t c", "a b c"}, CleanUpCase{"  indented   words  \n", "  indented words"},
                      CleanUpCase{"line\r\nnext\r\n", "line\nnext"}, CleanUpCase{"one\n\n  \ntwo", "one\n\n\ntwo"},
                      CleanUpCase{"one\n \n\t\n\n", "one"}, CleanUpCase{"", ""}, CleanUpCase{" \n", ""},
                      CleanUpCase{"\n  x", "\n  x"}, CleanUpCase{"\t  tabbed first", "tabbed first"},
                      CleanUpCase{"  \xC2\xA0x \xE2\x80\x83 y\xC2\xA0", "  x y"},
                      CleanUpCase{"caf\xC3\xA9  \xE2\x80\x94 ok", "caf\xC3\xA9 \xE2\x80\x94 ok"},
                      CleanUpCase{"a b\xC2\xA0"
                                  "c d \xC2\xA0"
                                  "e f",
                                  "a b c d e f"}));

}  // namespace
}  // namespace tessellox
