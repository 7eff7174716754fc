#include "render/markdown/sections.hpp"

#include "derive.hpp"
#include "normalize.hpp"
#include "raw_xml.hpp"
#include "render/markdown/captured.hpp"
#include "render/markdown/claims.hpp"
#include "render/markdown/front_matter.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

constexpr std::string_view kAbstractHeading = "## Abstract";
constexpr std::string_view kClaimsHeading = "## Claims";
constexpr std::string_view kCrossReferenceHeading = "## Cross-Reference To Related Applications";
constexpr std::string_view kClaimOpeningFence = "```claim";
constexpr std::string_view kClaimClosingFence = "```";

std::string_view description_part_heading(DescriptionPartKind kind) noexcept {
  switch (kind) {
    case DescriptionPartKind::SummaryOfInvention: return "## Summary Of The Invention";
    case DescriptionPartKind::BriefDescriptionOfDrawings: return "## Brief Description Of The Drawings";
    case DescriptionPartKind::DetailedDescription: break;
  }
  return "## Description Of The Invention";
}

// Writes one block, a list of lines joined by line feeds, straight into its
// section. Empty lines are held back until a non-empty one follows, which
// drops those at the block's start and end; the "\n\n" that separates blocks
// is written with the block's first line, so an empty block leaves no trace.
class BlockWriter {
 public:
  explicit BlockWriter(std::string& section) : section_(section) {}

  void add_line(std::string_view line) {
    has_lines_ = true;
    last_line_empty_ = line.empty();
    if (line.empty()) {
      if (started_) ++held_empty_lines_;
      return;
    }
    begin_line();
    section_ += line;
  }

  void add_paragraph(std::string_view piece) {
    piece = trim(piece);
    if (piece.empty()) return;
    if (has_lines_ && !last_line_empty_) add_line({});
    add_line(piece);
  }

  void add_item(std::string_view piece) {
    piece = trim(piece);
    if (!piece.empty()) add_line(piece);
  }

  // Starts a line that the caller appends to the returned section directly.
  // Only for a line that another line always follows (a claim text before
  // its closing fence): when it stays empty it is then an inner empty line.
  std::string& begin_direct_line() {
    has_lines_ = true;
    last_line_empty_ = false;
    begin_line();
    return section_;
  }

 private:
  void begin_line() {
    if (!started_) {
      if (!section_.empty()) section_ += "\n\n";
      started_ = true;
    } else {
      section_.append(held_empty_lines_ + 1, '\n');
    }
    held_empty_lines_ = 0;
  }

  std::string& section_;
  bool has_lines_ = false;
  bool last_line_empty_ = false;
  bool started_ = false;
  std::size_t held_empty_lines_ = 0;
};

// Inline text of paragraphs and headings. With `marks` false (plain text),
// bold and italic add no asterisks. Depth follows the XML nesting. Where a
// table or display formula is written, `first_block` takes the offset of the
// first one.
// Whether the node beside a captured formula continues its sentence on the
// same line: text or inline markup with no line break between them.
bool runs_on(const InlineNode* node, bool before) noexcept {
  if (node == nullptr || node->get_if<RawXml>() != nullptr) return false;
  const auto text = node->get_if<Text>();
  if (!text) return true;
  const std::string_view words = text->text;
  const std::size_t edge = before ? words.find_last_not_of(" \t\r\n") : words.find_first_not_of(" \t\r\n");
  if (edge == std::string_view::npos) return false;
  return (before ? words.substr(edge) : words.substr(0, edge)).find('\n') == std::string_view::npos;
}

void append_inline(const InlineContent& nodes, bool marks, const MarkdownOptions& options, std::string& out,
                   std::size_t& first_block, bool in_paragraph = false) {
  for (std::size_t index = 0; index < nodes.size(); ++index) {
    const InlineNode& node = nodes[index];
    if (const auto text = node.get_if<Text>()) {
      append_normalized_text(text->text, out);
      continue;
    }
    if (const auto* raw = node.get_if<RawXml>()) {
      if (options.captures_as_xml()) {
        append_raw_xml(*raw, out);
        continue;
      }
      // A formula block is display maths unless a sentence runs on both
      // sides of it on its line, or it sits inside inline markup.
      const bool in_sentence =
          !in_paragraph || (runs_on(index > 0 ? &nodes[index - 1] : nullptr, true) &&
                            runs_on(index + 1 < nodes.size() ? &nodes[index + 1] : nullptr, false));
      const std::size_t block =
          append_captured(*raw, options, out, in_sentence ? FormulaLayout::Inline : FormulaLayout::Display);
      if (first_block == std::string::npos) first_block = block;
      continue;
    }
    const auto& element = node.get<InlineElement>();
    switch (element.kind) {
      case InlineKind::Bold:
        if (marks) out += "**";
        append_inline(element.content, marks, options, out, first_block);
        if (marks) out += "**";
        break;
      case InlineKind::Italic:
        if (marks) out += '*';
        append_inline(element.content, marks, options, out, first_block);
        if (marks) out += '*';
        break;
      case InlineKind::FigureReference: append_inline(element.content, false, options, out, first_block); break;
      default: append_inline(element.content, marks, options, out, first_block); break;
    }
  }
}

const Attribute* find_num_attribute(const Attributes& attributes) noexcept {
  for (const Attribute& attribute : attributes)
    if (attribute.name() == "num" && !attribute.prefix()) return &attribute;
  return nullptr;
}

// Renders the root parts of one document; the scratch strings are reused
// from one paragraph or claim to the next.
class BodyRenderer {
 public:
  explicit BodyRenderer(const MarkdownOptions& options) : options_(options) {}

  void render_abstract(const Abstract& abstract, std::string& section) {
    BlockWriter block(section);
    block.add_line(kAbstractHeading);
    for (const AbstractEntry& entry : abstract.entries) {
      if (const auto* paragraph = std::get_if<Paragraph>(&entry))
        add_paragraph(*paragraph, block);
      else
        add_raw_item(std::get<RawXml>(entry), block);
    }
  }

  void render_description(const Description& description, std::string& section) {
    BlockWriter block(section);
    for (const DescriptionEntry& entry : description.entries) {
      if (const auto* cross_reference = std::get_if<Section>(&entry)) {
        block.add_line(kCrossReferenceHeading);
        for (const SectionBlock& child : cross_reference->blocks) {
          if (const auto* paragraph = std::get_if<Paragraph>(&child))
            add_paragraph(*paragraph, block);
          else if (const auto* raw = std::get_if<RawXml>(&child); raw != nullptr && !drops(*raw))
            add_raw_item(*raw, block);
        }
      } else if (const auto* part = std::get_if<DescriptionPart>(&entry)) {
        block.add_line(description_part_heading(part->kind));
        for (const DescriptionPartItem& item : part->items) {
          if (const auto* section_item = std::get_if<Section>(&item))
            add_section(*section_item, block);
          else if (!drops(std::get<RawXml>(item)))
            add_raw_item(std::get<RawXml>(item), block);
        }
      } else {
        // A marker left out takes the empty line after it along.
        if (drops(std::get<RawXml>(entry))) continue;
        add_raw_item(std::get<RawXml>(entry), block);
      }
      block.add_line({});
    }
  }

  void render_claims(const Claims& claims, std::string& section) {
    BlockWriter block(section);
    block.add_line(kClaimsHeading);
    for (const ClaimsEntry& entry : claims.entries) {
      if (const auto* heading = std::get_if<Heading>(&entry)) {
        inline_text(heading->content);
        block.add_item(text_);
      } else if (const auto* claim = std::get_if<ClaimElement>(&entry)) {
        block.add_line(kClaimOpeningFence);
        render_claim_text(claim->content, claim_raw_, text_, options_);
        append_cleaned_claim_text(claim_raw_, block.begin_direct_line());
        block.add_line(kClaimClosingFence);
      } else {
        add_raw_item(std::get<RawXml>(entry), block);
      }
    }
  }

  // A root part of a sequence listing: its own block in the description.
  void render_raw_block(const RawXml& raw, std::string& section) {
    BlockWriter block(section);
    add_raw_item(raw, block);
  }

 private:
  void add_section(const Section& section, BlockWriter& block) {
    for (const SectionBlock& child : section.blocks) {
      if (const auto* heading = std::get_if<Heading>(&child)) {
        inline_text(heading->content);
        composed_.assign("### ");
        composed_ += trim(text_);
        block.add_item(composed_);
      } else if (const auto* paragraph = std::get_if<Paragraph>(&child)) {
        add_paragraph(*paragraph, block);
      } else {
        add_raw_item(std::get<RawXml>(child), block);
      }
    }
  }

  // A paragraph with an all-digit num attribute starts with the marker
  // "[num]", unless its text already does.
  void add_paragraph(const Paragraph& paragraph, BlockWriter& block) {
    const std::size_t first_block = inline_text(paragraph.content);
    const Attribute* num = find_num_attribute(paragraph.attributes);
    if (num == nullptr || !is_ascii_digits(num->value())) {
      block.add_paragraph(text_);
      return;
    }
    composed_.assign("[");
    composed_ += num->value();
    composed_ += ']';
    const std::string_view rest = trim_start(text_);
    if (rest.starts_with(composed_)) {
      block.add_paragraph(text_);
      return;
    }
    // A table or display formula first in the paragraph starts a line of
    // its own after the marker.
    const bool starts_with_block =
        first_block != std::string::npos && is_white_space_only(std::string_view(text_).substr(0, first_block));
    composed_ += starts_with_block ? "\n\n" : " ";
    composed_ += rest;
    block.add_paragraph(composed_);
  }

  void add_raw_item(const RawXml& raw, BlockWriter& block) {
    text_.clear();
    if (options_.captures_as_xml())
      append_raw_xml(raw, text_);
    else
      append_captured(raw, options_, text_);
    block.add_item(text_);
  }

  // True for a description's processing instruction (a section marker)
  // that the options leave out.
  bool drops(const RawXml& raw) const noexcept {
    return options_.instructions == InstructionRendering::Drop && raw.is_text() && raw.text().starts_with("<?");
  }

  // The inline text of `content` in text_; returns where its first table or
  // display formula starts.
  std::size_t inline_text(const InlineContent& content) {
    text_.clear();
    std::size_t first_block = std::string::npos;
    append_inline(content, true, options_, text_, first_block, true);
    return first_block;
  }

  const MarkdownOptions& options_;
  std::string text_;
  std::string composed_;
  std::string claim_raw_;
};

std::string render_title(const SourceDocument& document) {
  const std::string_view* title = title_of_invention(first_bibliographic(document));
  return title != nullptr ? "# " + std::string(*title) : std::string();
}

}  // namespace

RenderedSections render_sections(const SourceDocument& document, const MarkdownOptions& options) {
  Arena arena;
  return render_sections(document, derive(document, arena), options);
}

RenderedSections render_sections(const SourceDocument& document, const DerivedRecord& derived,
                                 const MarkdownOptions& options) {
  RenderedSections sections;
  // The description is most of the output, and never longer than a few times
  // the text: room reserved once saves the copies of a growing string, and
  // the pages it does not use are never touched.
  sections.description.reserve(document.text.view().size());
  sections.frontmatter = render_front_matter(derived);
  sections.title = render_title(document);

  // One pass over the root parts fills the three body sections, each in
  // document order.
  const bool sequence_listing = document.source_format == SourceFormat::UsptoSequenceCwu;
  BodyRenderer renderer(options);
  for (const RootPart& part : document.parts) {
    if (const auto* abstract = std::get_if<Abstract>(&part)) {
      renderer.render_abstract(*abstract, sections.abstract);
    } else if (const auto* description = std::get_if<Description>(&part)) {
      renderer.render_description(*description, sections.description);
    } else if (const auto* claims = std::get_if<Claims>(&part)) {
      renderer.render_claims(*claims, sections.claims);
    } else if (const auto* raw = std::get_if<RawXml>(&part); raw != nullptr && sequence_listing) {
      renderer.render_raw_block(*raw, sections.description);
    }
  }
  return sections;
}

}  // namespace tessellox
