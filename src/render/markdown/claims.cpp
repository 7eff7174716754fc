#include "render/markdown/claims.hpp"

#include "normalize.hpp"
#include "raw_xml.hpp"
#include "render/markdown/captured.hpp"
#include "text.hpp"

namespace tessellox {

namespace {

class ClaimTextWriter {
 public:
  ClaimTextWriter(std::string& out, std::string& piece, const MarkdownOptions& options)
      : out_(out), piece_(piece), options_(options) {}

  // Depth is bounded by the XML nesting of the claim, so recursion is safe.
  void write(const InlineContent& nodes, std::size_t depth, bool claim_level) {
    const std::size_t content_start = out_.size();
    for (const InlineNode& node : nodes) {
      if (const auto text = node.get_if<Text>()) {
        piece_.clear();
        append_normalized_text(text->text, piece_);
        append_indented(depth);
      } else if (const auto* raw = node.get_if<RawXml>()) {
        piece_.clear();
        if (options_.captures_as_xml())
          append_raw_xml(*raw, piece_);
        else
          append_captured(*raw, options_, piece_, FormulaLayout::Inline);
        append_indented(depth);
      } else {
        const auto& element = node.get<InlineElement>();
        if (element.kind != InlineKind::ClaimText) {
          write(element.content, depth, false);
          continue;
        }
        // A claim text starts a line: sibling claim texts of the claim itself
        // stay at the claim's own depth, nested ones go two spaces deeper.
        const bool opens_line =
            claim_level ? !out_.empty() && out_.back() != '\n' : out_.size() > content_start && out_.back() != '\n';
        if (opens_line && !drop_blank_line_end()) out_ += '\n';
        write(element.content, claim_level ? depth : depth + 2, false);
      }
    }
  }

 private:
  // Indents only where a line starts: the piece's first segment when the
  // claim text so far is empty or ends a line, and every later non-empty
  // segment. Indenting mid-line would split words such as "H<sub>2</sub>O".
  void append_indented(std::size_t depth) {
    const std::string_view piece = piece_;
    if (depth == 0) {
      out_ += piece;
      return;
    }
    bool at_line_start = out_.empty() || out_.back() == '\n';
    std::size_t pos = 0;
    while (true) {
      const std::size_t line_feed = piece.find('\n', pos);
      const std::size_t end = line_feed == std::string_view::npos ? piece.size() : line_feed;
      if (end > pos) {
        if (at_line_start) out_.append(depth, ' ');
        out_.append(piece.substr(pos, end - pos));
      }
      if (line_feed == std::string_view::npos) break;
      out_ += '\n';
      at_line_start = true;
      pos = line_feed + 1;
    }
  }

  // Pretty-printed sources indent a nested claim text on a line of its own
  // ("comprising:\n    <claim-text>"). Opening a line after that indentation
  // would leave an empty line in the claim, so a line holding only white
  // space so far is cut back to its start instead, and the claim text takes
  // that line. Returns whether it did. Only the white space after the last
  // line feed is looked at, and it is then either removed or closed off by
  // the new line feed, so nothing is scanned twice.
  bool drop_blank_line_end() {
    std::size_t end = out_.size();
    while (end > 0 && out_[end - 1] != '\n') {
      const std::size_t length = trailing_white_space_length(std::string_view(out_).substr(0, end));
      if (length == 0) return false;
      end -= length;
    }
    out_.resize(end);
    return true;
  }

  std::string& out_;
  std::string& piece_;
  const MarkdownOptions& options_;
};

// Appends the words of `text` (already trimmed) joined by single spaces.
void append_collapsed(std::string_view text, std::string& out) {
  std::size_t i = 0;
  while (i < text.size()) {
    // Words of printable ASCII with single spaces between them, nearly all
    // of a claim, are copied as they stand, a run at a time.
    std::size_t run_end = i;
    while (run_end < text.size()) {
      const auto byte = static_cast<unsigned char>(text[run_end]);
      if (byte > 0x20 && byte < 0x7F) {
        ++run_end;
        continue;
      }
      if (byte == ' ' && run_end + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[run_end + 1]);
        if (next > 0x20 && next < 0x7F) {
          run_end += 2;
          continue;
        }
      }
      break;
    }
    out.append(text, i, run_end - i);
    i = run_end;
    if (i == text.size()) break;
    std::size_t length = leading_white_space_length(text.substr(i));
    if (length == 0) {
      out += text[i++];
      continue;
    }
    do {
      i += length;
    } while (i < text.size() && (length = leading_white_space_length(text.substr(i))) != 0);
    out += ' ';
  }
}

}  // namespace

void render_claim_text(const InlineContent& content, std::string& raw, std::string& scratch,
                       const MarkdownOptions& options) {
  raw.clear();
  ClaimTextWriter(raw, scratch, options).write(content, 0, true);
}

void append_cleaned_claim_text(std::string_view raw, std::string& out) {
  const std::size_t begin = out.size();
  std::size_t pos = 0;
  bool first_line = true;
  while (pos < raw.size()) {
    const std::size_t line_feed = raw.find('\n', pos);
    std::string_view line = raw.substr(pos, line_feed == std::string_view::npos ? raw.size() - pos : line_feed - pos);
    if (line_feed != std::string_view::npos) {
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      pos = line_feed + 1;
    } else {
      pos = raw.size();
    }
    if (!first_line) out += '\n';
    first_line = false;

    std::size_t indent = 0;
    while (indent < line.size() && line[indent] == ' ') ++indent;
    const std::string_view words = trim(line);
    if (words.empty()) continue;
    out.append(indent, ' ');
    append_collapsed(words, out);
  }
  const std::string_view written = std::string_view(out).substr(begin);
  out.resize(begin + trim_end(written).size());
}

}  // namespace tessellox
