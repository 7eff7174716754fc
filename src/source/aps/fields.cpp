#include "source/aps/fields.hpp"

#include <array>
#include <cstring>

#include "text.hpp"

namespace tessellox {

namespace {

constexpr std::array<std::string_view, kApsSectionCount> kSectionNames = {
    "PATN", "INVT", "ASSG", "CLAS", "ABST", "BSUM", "DRWD", "DETD", "CLMS", "DCLM",
    "PRIR", "REIS", "RLAP", "PARN", "UREF", "FREF", "OREF", "LREP", "PCTA", "GOVT",
};

// Trimming runs on every line: settle ASCII bytes here and decode only the
// rare non-ASCII ends.
bool is_ascii_white_space(unsigned char byte) noexcept { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }

// Removes the white space at the start of `text` (with `at_end`, at its end).
template <bool at_end>
std::string_view trim_line_side(std::string_view text) noexcept {
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(at_end ? text.back() : text.front());
    std::size_t length = 1;
    if (!is_ascii_white_space(byte)) {
      if (byte < 0x80) break;
      length = at_end ? trailing_white_space_length(text) : leading_white_space_length(text);
      if (length == 0) break;
    }
    if constexpr (at_end) {
      text.remove_suffix(length);
    } else {
      text.remove_prefix(length);
    }
  }
  return text;
}

std::string_view trim_line_start(std::string_view text) noexcept { return trim_line_side<false>(text); }
std::string_view trim_line_end(std::string_view text) noexcept { return trim_line_side<true>(text); }

std::string_view trim_line(std::string_view text) noexcept { return trim_line_end(trim_line_start(text)); }

// The tag sits in the first four columns. When the line is too short, or the
// fifth byte is in the middle of a character (so four bytes would split it),
// the whole line stands for the tag.
std::string_view tag_of(std::string_view line) noexcept {
  if (line.size() < 5 || is_utf8_continuation(line[4])) return trim_line_end(line);
  return trim_line_end(line.substr(0, 4));
}

// The text starts in the sixth column; nothing when the line is shorter.
// When the sixth byte falls inside a character, the text starts with that
// character, so that none of it is lost.
std::string_view text_of(std::string_view line) noexcept {
  if (line.size() <= 5) return {};
  std::size_t start = 5;
  while (start > 2 && is_utf8_continuation(line[start])) --start;
  return line.substr(start);
}

bool is_blank(std::string_view line) noexcept { return trim_line_start(line).empty(); }

// Files from the bulk weekly releases open with an "HHHHH..." header and a
// bare "PATN" before the first field.
bool is_leading_header_line(std::string_view line) noexcept {
  const std::string_view trimmed = trim_line(line);
  return trimmed.empty() || trimmed == "PATN" || trimmed.starts_with("HHHHH");
}

// Cuts the text at line feeds; a carriage return before the line feed is part
// of the line end. An empty remainder after the last line feed is no line.
class LineReader {
 public:
  explicit LineReader(std::string_view text) noexcept : text_(text) {}

  bool next(std::string_view& line) noexcept {
    if (position_ >= text_.size()) return false;
    const char* start = text_.data() + position_;
    const std::size_t rest = text_.size() - position_;
    const auto* feed = static_cast<const char*>(std::memchr(start, '\n', rest));
    if (feed == nullptr) {
      line = std::string_view(start, rest);
      position_ = text_.size();
      return true;
    }
    std::size_t length = static_cast<std::size_t>(feed - start);
    position_ += length + 1;
    if (length > 0 && start[length - 1] == '\r') --length;
    line = std::string_view(start, length);
    return true;
  }

  // Offset just past the line read last, its line feed included.
  std::size_t position() const noexcept { return position_; }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

enum class LineKind : std::uint8_t { Blank, Continuation, Header, Field };

struct ClassifiedLine {
  LineKind kind = LineKind::Blank;
  ApsSection section = ApsSection::Patn;  // Header only
  std::string_view tag;                   // Field only
};

ClassifiedLine classify(std::string_view line) noexcept {
  if (is_blank(line)) return {LineKind::Blank, ApsSection::Patn, {}};
  if (line[0] == ' ') return {LineKind::Continuation, ApsSection::Patn, {}};
  const std::string_view tag = tag_of(line);
  if (tag.empty()) return {LineKind::Continuation, ApsSection::Patn, {}};
  if (const auto section = aps_section_from_tag(tag)) return {LineKind::Header, *section, {}};
  return {LineKind::Field, ApsSection::Patn, tag};
}

// Joins blank and continuation lines onto a value. Cutting only measures the
// value (no output); append_aps_value runs the same steps into a string, so
// the measured size is exactly what gets written.
class ValueJoiner {
 public:
  ValueJoiner(bool text_block, std::size_t size, std::string* out) noexcept
      : out_(out), size_(size), text_block_(text_block) {}

  // Whether the line extends the value.
  bool extend(LineKind kind, std::string_view line) {
    if (kind == LineKind::Blank) {
      if (!text_block_) return false;
      put('\n');
      return true;
    }
    const std::string_view text = text_of(line);
    // A table keeps its indentation; prose is joined with single spaces.
    if (text_block_) {
      put('\n');
      put(trim_line_end(text));
      return true;
    }
    if (size_ != 0) put(' ');
    put(trim_line(text));
    return true;
  }

  std::size_t size() const noexcept { return size_; }

 private:
  void put(char c) {
    ++size_;
    if (out_ != nullptr) out_->push_back(c);
  }
  void put(std::string_view piece) {
    size_ += piece.size();
    if (out_ != nullptr) out_->append(piece);
  }

  std::string* out_;
  std::size_t size_;
  bool text_block_;
};

}  // namespace

std::optional<ApsSection> aps_section_from_tag(std::string_view tag) noexcept {
  if (tag.size() != 4) return std::nullopt;
  for (std::size_t i = 0; i < kSectionNames.size(); ++i)
    if (kSectionNames[i] == tag) return static_cast<ApsSection>(i);
  return std::nullopt;
}

bool is_aps_text_block_tag(std::string_view tag) noexcept { return tag == "TBL" || tag == "TBL3" || tag == "EQU"; }

std::vector<ApsField> cut_aps_fields(std::string_view text) {
  std::vector<ApsField> fields;
  fields.reserve(text.size() / 256 + 8);  // real records run to about 300 bytes a field
  LineReader lines(text);
  std::string_view line;
  bool more = lines.next(line);
  while (more && is_leading_header_line(line)) more = lines.next(line);

  ApsSection section = ApsSection::Patn;
  std::uint32_t section_number = 0;
  ValueJoiner joiner(false, 0, nullptr);  // measures the most recent field
  std::size_t continuation_begin = 0;
  std::size_t continuation_end = 0;
  const auto close_field = [&] {
    if (fields.empty()) return;
    ApsField& field = fields.back();
    field.value_size = joiner.size();
    field.continuation = text.substr(continuation_begin, continuation_end - continuation_begin);
  };

  for (; more; more = lines.next(line)) {
    const ClassifiedLine classified = classify(line);
    switch (classified.kind) {
      case LineKind::Header:
        section = classified.section;
        ++section_number;
        break;
      case LineKind::Field: {
        close_field();
        const std::string_view head = trim_line_end(text_of(line));
        fields.push_back(ApsField{section, classified.tag, head, {}, 0, section_number});
        joiner = ValueJoiner(is_aps_text_block_tag(classified.tag), head.size(), nullptr);
        continuation_begin = continuation_end = lines.position();
        break;
      }
      case LineKind::Blank:
      case LineKind::Continuation:
        if (!fields.empty() && joiner.extend(classified.kind, line)) continuation_end = lines.position();
        break;
    }
  }
  close_field();
  return fields;
}

void append_aps_value(const ApsField& field, std::string& out) {
  out.reserve(out.size() + field.value_size);
  out.append(field.head);
  if (field.continuation.empty()) return;
  // The range holds only blank, continuation and section header lines; the
  // headers extend nothing, just as when the field was cut.
  ValueJoiner joiner(is_aps_text_block_tag(field.tag), field.head.size(), &out);
  LineReader lines(field.continuation);
  std::string_view line;
  while (lines.next(line)) {
    const LineKind kind = classify(line).kind;
    if (kind == LineKind::Blank || kind == LineKind::Continuation) joiner.extend(kind, line);
  }
}

std::string aps_value(const ApsField& field) {
  std::string value;
  append_aps_value(field, value);
  return value;
}

std::string_view aps_value(const ApsField& field, Arena& arena) {
  if (field.value_size == field.head.size()) return field.head;
  return arena.copy(aps_value(field));
}

}  // namespace tessellox
