#include "normalize.hpp"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <utility>

namespace tessellox {
namespace {

struct NormalizeCase {
  const char* input;
  const char* expected;
};

class NormalizeText : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeText, MapsExactly) { EXPECT_EQ(normalize_text(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, NormalizeText,
    ::testing::Values(NormalizeCase{"&lsqb;0012&rsqb;", "[0012]"}, NormalizeCase{"90&deg;C", "90 degC"},
                      NormalizeCase{"&ldquo;A&rdquo; &amp; &lsquo;B&rsquo;", "\"A\" & 'B'"},
                      NormalizeCase{"a&mdash;b&ndash;c", "a-b-c"}, NormalizeCase{"&apos;&quot;", "'\""},
                      NormalizeCase{"&Prime;&prime;&equals;", "\"'="}, NormalizeCase{"&lt;b&gt;", "<b>"},
                      // Case and spelling must match exactly; other references stay.
                      NormalizeCase{"&LSQB;", "&LSQB;"}, NormalizeCase{"&#176;&nbsp;", "&#176;&nbsp;"},
                      NormalizeCase{"&lsqb", "&lsqb"}, NormalizeCase{"&", "&"}, NormalizeCase{"&;", "&;"},
                      NormalizeCase{"&&lsqb;", "&["}, NormalizeCase{"&x&lt;", "&x<"},
                      // An escaped ampersand reaches only the steps after its own.
                      NormalizeCase{"&amp;lt;", "<"}, NormalizeCase{"&amp;gt;", ">"},
                      NormalizeCase{"&amp;deg;", " deg"}, NormalizeCase{"&amp;Prime;", "\""},
                      NormalizeCase{"&amp;equals;", "="}, NormalizeCase{"&amp;quot;", "&quot;"},
                      NormalizeCase{"&amp;lsqb;", "&lsqb;"}, NormalizeCase{"&amp;mdash;", "&mdash;"},
                      // The decoded ampersand is not decoded again.
                      NormalizeCase{"&amp;amp;", "&amp;"}, NormalizeCase{"&amp;amp;lt;", "&amp;lt;"},
                      NormalizeCase{"&amp;&amp;", "&&"}, NormalizeCase{"&amp;&lt;", "&<"},
                      NormalizeCase{"x&amp;", "x&"}, NormalizeCase{"&amp;lt", "&lt"},
                      NormalizeCase{"  spaced &deg; ", "  spaced  deg "}));

TEST(NormalizeText, TextWithoutAmpersandIsUnchanged) {
  const std::string text = "plain \xC2\xA0 text; lt; with \xE2\x80\x94 dashes\n";
  EXPECT_EQ(normalize_text(text), text);
  EXPECT_EQ(normalize_text(""), "");
}

TEST(AppendNormalizedText, AppendsAfterExistingContent) {
  std::string out = "kept&lt;";
  append_normalized_text("&amp;lt;", out);
  append_normalized_text(" more", out);
  EXPECT_EQ(out, "kept&lt;< more");
}

// The mapping as defined: seventeen ordered passes, each left to right
// without rescanning its own output.
std::string normalize_by_passes(std::string text) {
  static const std::array<std::pair<std::string, std::string>, 17> steps{{
      {"&lsqb;", "["},
      {"&rsqb;", "]"},
      {"&ldquo;", "\""},
      {"&rdquo;", "\""},
      {"&lsquo;", "'"},
      {"&rsquo;", "'"},
      {"&mdash;", "-"},
      {"&ndash;", "-"},
      {"&apos;", "'"},
      {"&quot;", "\""},
      {"&amp;", "&"},
      {"&lt;", "<"},
      {"&gt;", ">"},
      {"&Prime;", "\""},
      {"&prime;", "'"},
      {"&equals;", "="},
      {"&deg;", " deg"},
  }};
  for (const auto& [pattern, replacement] : steps) {
    std::string next;
    std::size_t from = 0;
    for (std::size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, from)) {
      next.append(text, from, at - from).append(replacement);
      from = at + pattern.size();
    }
    next.append(text, from);
    text = std::move(next);
  }
  return text;
}

TEST(NormalizeText, SinglePassAgreesWithOrderedPassesOnRandomTexts) {
  static const std::array<const char*, 22> fragments{
      "&",     "amp;",   "&amp;",  "lt;",     "&lt;",     "gt;", "quot;", "&quot;", "lsqb;",   "&lsqb;", "deg;",
      "&deg;", "Prime;", "prime;", "equals;", "&equals;", ";",   "x",     " ",      "&mdash;", "&#38;",  "e"};
  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::size_t> pick(0, fragments.size() - 1);
  std::uniform_int_distribution<int> length(1, 12);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int n = length(random); n > 0; --n) text.append(fragments[pick(random)]);
    ASSERT_EQ(normalize_text(text), normalize_by_passes(text)) << "input: " << text;
  }
}

}  // namespace
}  // namespace tessellox
