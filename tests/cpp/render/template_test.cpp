#include "render/template.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tessellox {
namespace {

constexpr const char* kExpected = "; expected one of frontmatter, title, abstract, description, claims";

struct ErrorCase {
  std::string template_text;
  TemplateError::Kind kind;
  std::string name;
};

class TemplateParseError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(TemplateParseError, ReportsTheFirstFault) {
  const auto parsed = parse_template(GetParam().template_text);
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.error().kind, GetParam().kind);
  EXPECT_EQ(parsed.error().name, GetParam().name);
  if (GetParam().kind == TemplateError::Kind::UnknownPlaceholder)
    EXPECT_EQ(parsed.error().message(), "unknown template placeholder {{" + GetParam().name + "}}" + kExpected);
  else
    EXPECT_EQ(parsed.error().message(), "unterminated template placeholder: '{{' with no closing '}}'");
}

constexpr auto kUnknown = TemplateError::Kind::UnknownPlaceholder;
constexpr auto kUnterminated = TemplateError::Kind::UnterminatedPlaceholder;

INSTANTIATE_TEST_SUITE_P(
    Cases, TemplateParseError,
    ::testing::Values(ErrorCase{"{{}}", kUnknown, ""}, ErrorCase{"x {{  summary \n}} y", kUnknown, "summary"},
                      ErrorCase{"{{Title}}", kUnknown, "Title"}, ErrorCase{"{{{title}}}", kUnknown, "{title"},
                      ErrorCase{"{{ti}tle}}", kUnknown, "ti}tle"}, ErrorCase{"{{title}}{{claims", kUnterminated, ""},
                      ErrorCase{"text {{", kUnterminated, ""}, ErrorCase{"{{}", kUnterminated, ""},
                      ErrorCase{"{{bad}} then {{", kUnknown, "bad"}));

TEST(ParseTemplate, SplitsLiteralsAndPlaceholders) {
  const auto parsed = parse_template(
      "a {{ title }}b}} {c}{{\xC2\xA0"
      "claims\t}}");
  ASSERT_TRUE(parsed.ok());
  const auto& segments = parsed.value();
  ASSERT_EQ(segments.size(), 4u);
  EXPECT_EQ(segments[0].kind, TemplateSegment::Kind::Literal);
  EXPECT_EQ(segments[0].literal, "a ");
  EXPECT_EQ(segments[1].kind, TemplateSegment::Kind::Placeholder);
  EXPECT_EQ(segments[1].section, 1);
  EXPECT_EQ(segments[2].literal, "b}} {c}");
  EXPECT_EQ(segments[3].section, 4);

  const auto empty = parse_template("");
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty.value().empty());

  EXPECT_EQ(kDefaultTemplate.size(), 70u);
  const auto default_template = parse_template(kDefaultTemplate);
  ASSERT_TRUE(default_template.ok());
  ASSERT_EQ(default_template.value().size(), 10u);
  for (std::uint8_t index = 0; index < 5; ++index) EXPECT_EQ(default_template.value()[2 * index].section, index);
}

RenderedSections sample_sections() {
  return RenderedSections{"---\nfm\n---", "# Title", "", "## Description\n\ntext", "## Claims\n```claim\n1.\n```"};
}

std::string fill(std::string_view template_text, const RenderedSections& sections = sample_sections()) {
  auto parsed = parse_template(template_text);
  EXPECT_TRUE(parsed.ok());
  return parsed.ok() ? fill_template(parsed.value(), sections) : std::string();
}

TEST(FillTemplate, CollapsesLineFeedRunsAndTrims) {
  EXPECT_EQ(fill(kDefaultTemplate),
            "---\nfm\n---\n\n# Title\n\n## Description\n\ntext\n\n## Claims\n```claim\n1.\n```");
  EXPECT_EQ(fill("{{claims}}\n\n\n\n{{claims}}"), sample_sections().claims + "\n\n" + sample_sections().claims);
  EXPECT_EQ(fill("\n \xE2\x80\x83 a\n\n\n\nb\n\r\n\n\nc\n\n\n"), "a\n\nb\n\r\n\nc");
  EXPECT_EQ(fill(""), "");
  EXPECT_EQ(fill("{{abstract}}"), "");

  // Runs continue across segments: literal and section line feeds add up.
  RenderedSections sections;
  sections.title = "\n\nT\n";
  sections.abstract = "\n\nA";
  EXPECT_EQ(fill("x\n{{title}}\n{{abstract}}", sections), "x\n\nT\n\nA");
}

// The description is collapsed where it stands, inside its own buffer; the
// result must be what the same text laid out as one literal gives.
TEST(FillTemplate, DescriptionInPlaceEqualsTheSameTextAsALiteral) {
  const std::string_view heads[] = {"", "\n", "x\n\n", " \n\n\n"};
  const std::string_view descriptions[] = {"", "\n", "\n\n\nd\n\n\n\ne\n", "d", "  d\n\n"};
  const std::string_view tails[] = {"", "\n\nt", "\n\n\n"};
  for (const std::string_view head : heads) {
    for (const std::string_view description : descriptions) {
      for (const std::string_view tail : tails) {
        RenderedSections sections;
        sections.description = std::string(description);
        const std::string literal = std::string(head) + std::string(description) + std::string(tail);
        EXPECT_EQ(fill(std::string(head) + "{{description}}" + std::string(tail), sections), fill(literal, sections))
            << testing::PrintToString(literal);
      }
    }
  }
}

}  // namespace
}  // namespace tessellox
