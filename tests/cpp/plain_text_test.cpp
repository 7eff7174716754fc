#include "plain_text.hpp"

#include <gtest/gtest.h>

#include <string>

#include "model_builders.hpp"

namespace tessellox {
namespace {

using test::claim_text;
using test::element;
using test::list;
using test::raw_element;
using test::raw_text;
using test::text;

TEST(PlainText, FlattensContainersMapsTextAndWritesRawElementsAsMarkup) {
  Arena arena;
  RawXml sub = raw_element(arena, "sub", {Attribute("type", "a&amp;b"), Attribute("xml:lang", "en")},
                           {raw_text("2&amp;lt;")}, "m");
  InlineElement reference;
  reference.kind = InlineKind::CrossReference;
  reference.attributes = list(arena, Attribute("target", "FIG1"));
  reference.take_target_from("target");
  reference.content = list(arena, text("FIG. 1"));
  const InlineContent content =
      list(arena, text("H"), sub, text("O &lsqb;"), reference,
           element(arena, InlineKind::Bold, {element(arena, InlineKind::Italic, {text("&deg;")})}), raw_text("&quot;"),
           raw_element(arena, "br"));
  EXPECT_EQ(plain_text(content), "H<m:sub type=\"a&amp;b\" xml:lang=\"en\">2<</m:sub>O [FIG. 1 deg\"<br></br>");
}

TEST(PlainText, ClaimTextStartsANewLineWhenTheTextSoFarEndsInAWord) {
  Arena arena;
  const InlineContent content(arena,
                              {
                                  text("1. A sensor comprising:"),
                                  claim_text(arena, {text("a photosensitive region, and")}),
                                  claim_text(arena, {text("local circuitry;"), claim_text(arena, {text("a bus;")})}),
                                  text("\xC2\xA0"),  // NO-BREAK SPACE is white space
                                  claim_text(arena, {text("a port.")}),
                              });
  EXPECT_EQ(plain_text(content),
            "1. A sensor comprising:\na photosensitive region, and\nlocal circuitry;\na bus;\xC2\xA0"
            "a port.");
}

TEST(PlainText, ClaimTextAtTheStartOfItsOwnTextAddsNoLineFeed) {
  Arena arena;
  const InlineContent content(
      arena, {claim_text(arena, {claim_text(arena, {text("first")})}), text(" "), claim_text(arena, {text("x")})});
  EXPECT_EQ(plain_text(content), "first x");
  std::string out = "earlier text";
  append_plain_text(content, out);
  EXPECT_EQ(out, "earlier textfirst x");
}

}  // namespace
}  // namespace tessellox
