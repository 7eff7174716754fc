#include "render/markdown.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tessellox {
namespace {

constexpr const char* kExpected = "; expected one of frontmatter, title, abstract, description, claims";

SourceDocument sample_document() {
  SourceDocument document;
  Arena& arena = document.arena;
  BibliographicInformation bibliographic;
  bibliographic.items.push_back(arena,
                                TechnicalInformation{{}, List<TechnicalEntry>(arena, {TitleOfInvention{"Gear"}})});
  document.parts.push_back(arena, bibliographic);
  Description description;
  description.entries.push_back(arena, DescriptionPart{DescriptionPartKind::DetailedDescription, {}, {}});
  document.parts.push_back(arena, description);
  return document;
}

TEST(RenderMarkdown, UsesTheDefaultTemplateWhenNoneIsGiven) {
  const auto rendered = render_markdown(sample_document(), std::nullopt);
  ASSERT_TRUE(rendered.ok());
  const std::string& text = rendered.value();
  // Without an abstract the title is followed by one empty line, then the
  // description.
  const std::string tail = "\n\n# Gear\n\n## Description Of The Invention";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_EQ(text.substr(0, 3), "---");
}

TEST(RenderMarkdown, GivenTemplateAndErrors) {
  const auto rendered = render_markdown(sample_document(), std::string_view("{{ title }}\n\n\n{{claims}}|"));
  ASSERT_TRUE(rendered.ok());
  EXPECT_EQ(rendered.value(), "# Gear\n\n|");

  const auto failed = render_markdown(sample_document(), std::string_view("{{title}} {{ summary }}"));
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().message(), std::string("unknown template placeholder {{summary}}") + kExpected);

  const auto empty = render_markdown(sample_document(), std::string_view(""));
  ASSERT_TRUE(empty.ok());
  EXPECT_EQ(empty.value(), "");
}

}  // namespace
}  // namespace tessellox
