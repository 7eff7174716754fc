#include "render/markdown.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "handlers.hpp"

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

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Every real document renders in every mode, and no table or formula is
// left as XML once rendered.
TEST(RenderMarkdownOptions, EveryRealDocumentRendersItsTablesAndFormulas) {
  const std::filesystem::path data = std::filesystem::path(TESSELLOX_SOURCE_DIR) / "tests" / "data" / "real";
  if (!std::filesystem::exists(data)) GTEST_SKIP() << "real samples not present";
  int rendered_documents = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(data)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || entry.path().parent_path().filename() == "bulk" || name.ends_with(".tsv") ||
        name.ends_with(".md"))
      continue;
    auto parsed = parse_source(read_file(entry.path()));
    if (!parsed) continue;  // a malformed document fails in every mode alike
    const auto plain = render_markdown(parsed.value(), std::nullopt);
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(render_markdown(parsed.value(), std::nullopt, MarkdownOptions{}).value(), plain.value()) << name;
    for (const TableRendering tables : {TableRendering::Markdown, TableRendering::Html}) {
      const auto rendered = render_markdown(parsed.value(), std::nullopt,
                                            MarkdownOptions{tables, MathsRendering::Latex, InstructionRendering::Drop});
      ASSERT_TRUE(rendered.ok()) << name;
      const std::string_view body = rendered.value();
      EXPECT_EQ(body.find("<tgroup"), std::string_view::npos) << name;
      EXPECT_EQ(body.find("<math"), std::string_view::npos) << name;
      EXPECT_EQ(body.find("\n<?BRFSUM"), std::string_view::npos) << name;
    }
    ++rendered_documents;
  }
  EXPECT_GT(rendered_documents, 15);
}

}  // namespace
}  // namespace tessellox
