#include "source/xml/scanner.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "prefetch.hpp"
#include "utf8.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessellox::xml {

namespace {

// Byte classes. Names are judged on ASCII alone: a name with any other byte
// is left to expat, whose name tables differ between XML editions.
enum : std::uint8_t {
  kNameStart = 1 << 0,
  kNameByte = 1 << 1,
  kSpace = 1 << 2,
  kTextStop = 1 << 3,       // ends a run of plain character data
  kAttributeStop = 1 << 4,  // ends a run of a plain attribute value (quotes are checked apart)
};

constexpr std::array<std::uint8_t, 256> make_classes() {
  std::array<std::uint8_t, 256> classes{};
  for (std::size_t c = 'A'; c <= 'Z'; ++c) classes[c] |= kNameStart | kNameByte;
  for (std::size_t c = 'a'; c <= 'z'; ++c) classes[c] |= kNameStart | kNameByte;
  for (std::size_t c = '0'; c <= '9'; ++c) classes[c] |= kNameByte;
  classes['_'] |= kNameStart | kNameByte;
  classes[':'] |= kNameStart | kNameByte;
  classes['-'] |= kNameByte;
  classes['.'] |= kNameByte;
  for (char c : {' ', '\t', '\n', '\r'}) classes[static_cast<unsigned char>(c)] |= kSpace;
  for (std::size_t c = 0; c < 0x20; ++c) {
    classes[c] |= kAttributeStop;
    if (c != '\t' && c != '\n') classes[c] |= kTextStop;
  }
  for (std::size_t c = 0x80; c < 0x100; ++c) classes[c] |= kTextStop | kAttributeStop;
  for (char c : {'<', '&', ']'}) classes[static_cast<unsigned char>(c)] |= kTextStop;
  for (char c : {'<', '&'}) classes[static_cast<unsigned char>(c)] |= kAttributeStop;
  return classes;
}

constexpr std::array<std::uint8_t, 256> kClasses = make_classes();

inline bool has_class(char c, std::uint8_t mask) noexcept {
  return (kClasses[static_cast<unsigned char>(c)] & mask) != 0;
}

// The first byte at or after `p` that ends plain character data: '<', '&',
// ']', a carriage return, any other control than tab and line feed, or a
// byte of a multi-byte character.
inline const char* find_text_stop(const char* p, const char* end) noexcept {
#if defined(__SSE2__)
  const __m128i less_than = _mm_set1_epi8('<');
  const __m128i ampersand = _mm_set1_epi8('&');
  const __m128i bracket = _mm_set1_epi8(']');
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i line_feed = _mm_set1_epi8('\n');
  const __m128i space = _mm_set1_epi8(' ');
  while (end - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // A signed compare below ' ' catches the controls and every byte >= 0x80 at once.
    const __m128i low = _mm_cmplt_epi8(bytes, space);
    const __m128i allowed = _mm_or_si128(_mm_cmpeq_epi8(bytes, tab), _mm_cmpeq_epi8(bytes, line_feed));
    const __m128i markup =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, less_than), _mm_cmpeq_epi8(bytes, ampersand)),
                     _mm_cmpeq_epi8(bytes, bracket));
    const int mask = _mm_movemask_epi8(_mm_or_si128(markup, _mm_andnot_si128(allowed, low)));
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end && !has_class(*p, kTextStop)) ++p;
  return p;
}

// Validates the multi-byte UTF-8 character at `p` (its first byte is >=
// 0x80) and returns the byte after it, or nullptr when it is malformed or not
// an XML character (surrogates, U+FFFE, U+FFFF, overlong forms, beyond U+10FFFF).
inline const char* skip_multibyte_character(const char* p, const char* end) noexcept {
  const auto* s = reinterpret_cast<const unsigned char*>(p);
  const std::size_t length = utf8_sequence_length(s, reinterpret_cast<const unsigned char*>(end));
  if (length == 0 || (length == 3 && s[0] == 0xEF && s[1] == 0xBF && s[2] >= 0xBE)) return nullptr;
  return p + length;
}

bool is_xml_character(std::uint32_t code) noexcept {
  if (code < 0x20) return code == 0x9 || code == 0xA || code == 0xD;
  if (code <= 0xD7FF) return true;
  if (code >= 0xE000 && code <= 0xFFFD) return true;
  return code >= 0x10000 && code <= 0x10FFFF;
}

// The character of one of the five predefined entities, or 0.
char predefined_entity(std::string_view name) noexcept {
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "amp") return '&';
  if (name == "quot") return '"';
  if (name == "apos") return '\'';
  return 0;
}

bool equals_ignoring_ascii_case(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Names are short: a plain loop beats a call to memchr.
std::uint16_t prefix_length_of(std::string_view name) noexcept {
  for (std::size_t i = 0; i < name.size(); ++i)
    if (name[i] == ':') return static_cast<std::uint16_t>(i);
  return Tree::kNoPrefix;
}

}  // namespace

// One pass over the text. Every member function that returns bool returns
// false to decline: the text is not well formed, or expat must judge it.
class Scanner {
 public:
  Scanner(std::string_view text, Tree& tree, HollowNames hollow)
      : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()), tree_(tree), hollow_(hollow) {}
  // In place: decoded texts and attribute values that fit are written over
  // their own markup in `text`, until undo() puts the markup back.
  Scanner(std::span<char> text, Tree& tree, HollowNames hollow)
      : Scanner(std::string_view(text.data(), text.size()), tree, hollow) {
    writable_ = text.data();
  }

  bool run() {
    const std::size_t size = static_cast<std::size_t>(end_ - begin_);
    tree_.reserve(std::min(size / 10 + 16, kMaxNodes + 1), std::min<std::size_t>(size / 64 + 16, std::size_t{1} << 20));
    push_open({0, kNoNode, nullptr, 0});
    tree_.set_may_hold_ampersand(false);  // until a value that may is kept
    if (!scan_xml_declaration() || !scan_prolog() || !scan_root_element() || !scan_epilog()) return false;
    return node_total() <= kMaxNodes;
  }

  // Restores the markup that decoded values were written over, latest
  // first, so that the text reads as it was given (for expat, after a
  // decline).
  void undo() noexcept {
    for (auto record = overwritten_.rbegin(); record != overwritten_.rend(); ++record)
      std::memcpy(writable_ + record->offset, overwritten_bytes_.data() + record->saved_at, record->length);
    overwritten_.clear();
    overwritten_bytes_.clear();
  }

 private:
  struct OpenNode {
    NodeIndex index;
    NodeIndex last_child;
    const char* name;  // as written, for its end tag
    std::uint16_t name_length;
  };

  enum class EntityKind : std::uint8_t { PlainText, Unparsed, ExternalParsed };
  struct Entity {
    EntityKind kind;
    std::string_view replacement;  // plain-text entities only
  };

  // --- small readers ---------------------------------------------------------

  bool at(std::string_view literal) const noexcept {
    return static_cast<std::size_t>(end_ - p_) >= literal.size() &&
           std::memcmp(p_, literal.data(), literal.size()) == 0;
  }

  // Skips white space at `cursor`; returns whether there was any. The
  // cursor is p_ or a hot path's local one; either way the loop runs on a
  // copy, which a store through the reference would otherwise follow byte
  // by byte (a char load may alias any object).
  bool skip_space(const char*& cursor) const noexcept {
    const char* p = cursor;
    while (p < end_ && has_class(*p, kSpace)) ++p;
    const bool skipped = p != cursor;
    cursor = p;
    return skipped;
  }

  // An ASCII name at `cursor`, which moves past it; empty, and the cursor
  // where it was, when there is none or it is longer than the limit.
  std::string_view scan_name(const char*& cursor) const noexcept {
    const char* p = cursor;
    if (p == end_ || !has_class(*p, kNameStart)) return {};
    ++p;
    while (p < end_ && has_class(*p, kNameByte)) ++p;
    // A byte beyond ASCII continuing the name is for expat to judge.
    if (p < end_ && static_cast<unsigned char>(*p) >= 0x80) return {};
    const auto length = static_cast<std::size_t>(p - cursor);
    if (length > kMaxNameBytes) return {};
    const std::string_view name(cursor, length);
    cursor = p;
    return name;
  }

  // A quoted literal's content; p_ moves past the closing quote.
  bool scan_quoted(std::string_view& content) noexcept {
    if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) return false;
    const char quote = *p_++;
    const char* close = static_cast<const char*>(std::memchr(p_, quote, static_cast<std::size_t>(end_ - p_)));
    if (close == nullptr) return false;
    content = std::string_view(p_, static_cast<std::size_t>(close - p_));
    p_ = close + 1;
    return true;
  }

  // Whether the bytes are XML characters in valid UTF-8, and whether they
  // hold a carriage return.
  static bool check_characters(std::string_view bytes, bool& has_carriage_return) noexcept {
    has_carriage_return = false;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
      const auto c = static_cast<unsigned char>(*p);
      if (c >= 0x80) {
        p = skip_multibyte_character(p, end);
        if (p == nullptr) return false;
        continue;
      }
      if (c < 0x20) {
        if (c == '\r') {
          has_carriage_return = true;
        } else if (c != '\t' && c != '\n') {
          return false;
        }
      }
      ++p;
    }
    return true;
  }

  // Where a decoded value is kept: over its own markup, which starts at
  // `source` and runs to `source_end`, when the text is writable and the
  // value fits (decoding only shortens, save plain-text entities); in the
  // arena otherwise.
  std::string_view keep_decoded(std::string_view value, const char* source, const char* source_end) {
    if (writable_ == nullptr || value.size() > static_cast<std::size_t>(source_end - source)) return tree_.keep(value);
    const auto offset = static_cast<std::size_t>(source - begin_);
    overwritten_.push_back(Overwritten{offset, value.size(), overwritten_bytes_.size()});
    overwritten_bytes_.append(source, value.size());
    std::memcpy(writable_ + offset, value.data(), value.size());
    return std::string_view(source, value.size());
  }

  // Checked character data as a view, or normalised (CR LF and lone CR
  // become LF) into the arena.
  bool checked_value(std::string_view bytes, std::string_view& value) {
    bool has_carriage_return = false;
    if (bytes.size() > kMaxTextBytes || !check_characters(bytes, has_carriage_return)) return false;
    if (!has_carriage_return) {
      value = bytes;
      return true;
    }
    scratch_.clear();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] != '\r') {
        scratch_ += bytes[i];
        continue;
      }
      scratch_ += '\n';
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    }
    value = tree_.keep(scratch_);
    return true;
  }

  // --- nodes -----------------------------------------------------------------

  void push_open(const OpenNode& node) noexcept { stack_[depth_++] = node; }

  // A value kept in the tree holds an '&'; what is only checked counts not.
  void note_ampersand() noexcept {
    if (building()) tree_.set_may_hold_ampersand(true);
  }
  void note_ampersands_in(std::string_view value) noexcept {
    if (value.find('&') != std::string_view::npos) note_ampersand();
  }
  OpenNode& open_top() noexcept { return stack_[depth_ - 1]; }

  // Inside the hollow element nodes are counted, as the limit on nodes
  // counts them, but not kept: the record handed out is a scratch one.
  bool building() const noexcept { return hollow_depth_ == 0; }
  std::size_t node_total() const noexcept { return tree_.node_count() + unbuilt_nodes_; }

  Tree::NodeRecord& append_node(NodeKind kind) {
    if (!building()) {
      ++unbuilt_nodes_;
      return unbuilt_;
    }
    OpenNode& parent = open_top();
    return tree_.append_child(parent.index, parent.last_child, kind);
  }

  void append_value_node(NodeKind kind, std::string_view value) {
    Tree::NodeRecord& record = append_node(kind);
    if (!building()) return;
    record.value = value.data();
    record.value_length = static_cast<std::uint32_t>(value.size());
    if (kind == NodeKind::Text || kind == NodeKind::CData) record.flags = Tree::NodeRecord::character_data_flags(value);
  }

  // --- prolog and epilog -----------------------------------------------------

  // The XML declaration, when the text starts with one. Only version 1.0
  // and the UTF-8 encoding are the scanner's; the rest goes to expat.
  bool scan_xml_declaration() {
    if (!at("<?xml") || end_ - p_ < 6 || !has_class(p_[5], kSpace)) return true;
    p_ += 5;
    std::string_view name, value;
    bool spaced = skip_space(p_);
    // version, then the optional encoding and standalone, in that order.
    if (!scan_pseudo_attribute(name, value) || name != "version" || value != "1.0") return false;
    tree_.set_xml_version(value);
    spaced = skip_space(p_);
    if (spaced && at("encoding")) {
      if (!scan_pseudo_attribute(name, value) || name != "encoding" || !equals_ignoring_ascii_case(value, "UTF-8"))
        return false;
      tree_.set_xml_encoding(value);
      spaced = skip_space(p_);
    }
    if (spaced && at("standalone")) {
      if (!scan_pseudo_attribute(name, value) || name != "standalone") return false;
      if (value == "yes") {
        standalone_ = true;
      } else if (value != "no") {
        return false;
      }
      tree_.set_xml_standalone(value);
      skip_space(p_);
    }
    if (!at("?>")) return false;
    p_ += 2;
    return true;
  }

  bool scan_pseudo_attribute(std::string_view& name, std::string_view& value) {
    name = scan_name(p_);
    if (name.empty()) return false;
    skip_space(p_);
    if (p_ == end_ || *p_ != '=') return false;
    ++p_;
    skip_space(p_);
    return scan_quoted(value);
  }

  // Comments, PIs and white space before the root element, and the
  // document type declaration once among them.
  bool scan_prolog() {
    bool seen_doctype = false;
    for (;;) {
      skip_space(p_);
      if (p_ == end_ || *p_ != '<') return false;
      if (at_comment_or_pi()) {
        if (!scan_comment_or_pi()) return false;
      } else if (at("<!DOCTYPE")) {
        if (seen_doctype || !scan_doctype()) return false;
        seen_doctype = true;
      } else {
        return true;  // the root element, or something for expat to reject
      }
    }
  }

  // Only comments, PIs and white space may follow the root element.
  bool scan_epilog() {
    for (;;) {
      skip_space(p_);
      if (p_ == end_) return true;
      if (!at_comment_or_pi() || !scan_comment_or_pi()) return false;
    }
  }

  // --- document type declaration -----------------------------------------------

  bool scan_doctype() {
    p_ += 9;  // <!DOCTYPE
    if (!skip_space(p_)) return false;
    const std::string_view name = scan_name(p_);
    if (name.empty()) return false;
    DocumentTypeInfo info;
    info.name = name;
    bool spaced = skip_space(p_);
    if (spaced && (at("SYSTEM") || at("PUBLIC"))) {
      if (!scan_external_id(info.public_id, info.system_id)) return false;
      skip_space(p_);
    }
    Tree::NodeRecord& record = append_node(NodeKind::DocumentType);
    record.name = name.data();
    record.name_length = static_cast<std::uint16_t>(name.size());
    const auto doctype_node = static_cast<NodeIndex>(tree_.node_count() - 1);
    if (p_ < end_ && *p_ == '[') {
      ++p_;
      const char* subset_start = p_;
      if (!scan_internal_subset()) return false;
      const auto subset_length = static_cast<std::size_t>(p_ - subset_start);
      if (subset_length > kMaxTextBytes) return false;
      info.internal_subset = std::string_view(subset_start, subset_length);
      ++p_;  // ]
      skip_space(p_);
    }
    if (p_ == end_ || *p_ != '>') return false;
    ++p_;
    tree_.set_document_type(doctype_node) = info;
    return true;
  }

  // SYSTEM "literal" or PUBLIC "public id" "literal". Identifiers with
  // anything unusual in them (expat rewrites white space in public ids) go to expat.
  bool scan_external_id(std::optional<std::string_view>& public_id, std::optional<std::string_view>& system_id) {
    std::string_view literal;
    if (at("PUBLIC")) {
      p_ += 6;
      if (!skip_space(p_) || !scan_quoted(literal) || !is_plain_public_id(literal)) return false;
      public_id = literal;
      if (!skip_space(p_)) return false;
    } else {
      p_ += 6;  // SYSTEM
      if (!skip_space(p_)) return false;
    }
    if (!scan_quoted(literal)) return false;
    for (char c : literal) {
      if (c < 0x20 || c > 0x7E) return false;
    }
    system_id = literal;
    return true;
  }

  static bool is_plain_public_id(std::string_view id) noexcept {
    if (!id.empty() && (id.front() == ' ' || id.back() == ' ')) return false;
    for (std::size_t i = 0; i < id.size(); ++i) {
      const char c = id[i];
      if (c == ' ') {
        if (id[i + 1] == ' ') return false;
        continue;
      }
      if (has_class(c, kNameByte)) continue;
      if (c == 0 || std::strchr("'()+,/=?;!*#@$%", c) == nullptr) return false;
    }
    return true;
  }

  // Entity declarations of plain text or unparsed entities, comments, PIs
  // and white space; p_ ends on the closing ']'.
  bool scan_internal_subset() {
    for (;;) {
      skip_space(p_);
      if (p_ == end_) return false;
      if (*p_ == ']') return true;
      if (at_comment_or_pi()) {
        if (!scan_comment_or_pi()) return false;
      } else if (at("<!ENTITY")) {
        if (!scan_entity_declaration()) return false;
      } else {
        return false;  // parameter entities, element, attribute-list and notation declarations
      }
    }
  }

  bool scan_entity_declaration() {
    p_ += 8;  // <!ENTITY
    if (!skip_space(p_)) return false;
    const std::string_view name = scan_name(p_);
    if (name.empty() || predefined_entity(name) != 0 || !skip_space(p_)) return false;
    Entity entity{EntityKind::PlainText, {}};
    if (p_ < end_ && (*p_ == '"' || *p_ == '\'')) {
      std::string_view literal;
      if (!scan_quoted(literal) || !is_plain_replacement_text(literal)) return false;
      entity.replacement = literal;
      skip_space(p_);
    } else {
      if (!at("SYSTEM") && !at("PUBLIC")) return false;
      std::optional<std::string_view> public_id, system_id;
      if (!scan_external_id(public_id, system_id)) return false;
      entity.kind = EntityKind::ExternalParsed;
      if (skip_space(p_) && at("NDATA")) {
        p_ += 5;
        if (!skip_space(p_) || scan_name(p_).empty()) return false;
        entity.kind = EntityKind::Unparsed;
        skip_space(p_);
      }
    }
    if (p_ == end_ || *p_ != '>') return false;
    ++p_;
    entities_.emplace(name, entity);  // the first declaration binds
    return true;
  }

  // Replacement text that expands to character data alone: no reference,
  // no markup, no line end to normalise.
  static bool is_plain_replacement_text(std::string_view literal) noexcept {
    for (char c : literal) {
      if (c == '&' || c == '%' || c == '<' || c == '\r') return false;
    }
    bool has_carriage_return = false;
    return literal.find("]]>") == std::string_view::npos && check_characters(literal, has_carriage_return);
  }

  // --- markup ----------------------------------------------------------------

  // Comments and processing instructions may stand in the prolog, the
  // internal subset, content and the epilog alike.
  bool at_comment_or_pi() const noexcept { return at("<!--") || at("<?"); }
  // The comment or processing instruction at p_, which at_comment_or_pi() found.
  bool scan_comment_or_pi() { return at("<!--") ? scan_comment() : scan_processing_instruction(); }

  bool scan_comment() {
    p_ += 4;  // <!--
    const char* start = p_;
    for (;;) {
      const char* dash = static_cast<const char*>(std::memchr(p_, '-', static_cast<std::size_t>(end_ - p_)));
      if (dash == nullptr || end_ - dash < 3) return false;
      if (dash[1] != '-') {
        p_ = dash + 1;
        continue;
      }
      if (dash[2] != '>') return false;  // "--" inside a comment
      std::string_view value;
      if (!checked_value(std::string_view(start, static_cast<std::size_t>(dash - start)), value)) return false;
      note_ampersands_in(value);
      append_value_node(NodeKind::Comment, value);
      p_ = dash + 3;
      return true;
    }
  }

  bool scan_processing_instruction() {
    p_ += 2;  // <?
    const std::string_view target = scan_name(p_);
    if (target.empty() || equals_ignoring_ascii_case(target, "xml")) return false;
    const bool spaced = skip_space(p_);
    const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
    const std::size_t close = rest.find("?>");
    if (close == std::string_view::npos || (close != 0 && !spaced)) return false;
    std::string_view value;
    if (!checked_value(rest.substr(0, close), value)) return false;
    note_ampersands_in(value);
    Tree::NodeRecord& record = append_node(NodeKind::ProcessingInstruction);
    record.name = target.data();
    record.name_length = static_cast<std::uint16_t>(target.size());
    record.value = value.data();
    record.value_length = static_cast<std::uint32_t>(value.size());
    p_ += close + 2;
    return true;
  }

  bool scan_cdata_section() {
    p_ += 9;  // <![CDATA[
    const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
    const std::size_t close = rest.find("]]>");
    if (close == std::string_view::npos) return false;
    std::string_view value;
    if (!checked_value(rest.substr(0, close), value)) return false;
    note_ampersands_in(value);
    append_value_node(NodeKind::CData, value);
    p_ += close + 3;
    return true;
  }

  // --- elements ----------------------------------------------------------------

  bool scan_root_element() {
    if (end_ - p_ < 2 || *p_ != '<' || !has_class(p_[1], kNameStart)) return false;
    if (!scan_start_tag()) return false;
    while (depth_ > 1) {
      prefetch_ahead(p_, kReadAhead);
      if (node_total() > kMaxNodes || !scan_text()) return false;
      // p_ is on a '<'.
      if (p_ + 1 == end_) return false;
      const char next = p_[1];
      if (next == '/') {
        if (!scan_end_tag()) return false;
      } else if (next == '!' || next == '?') {
        if (at("<![CDATA[")) {
          if (!scan_cdata_section()) return false;
        } else if (!at_comment_or_pi() || !scan_comment_or_pi()) {
          return false;
        }
      } else {
        if (!scan_start_tag()) return false;
      }
    }
    return true;
  }

  // A start tag or empty-element tag at p_ ('<' then a name start).
  // The hot paths below work on a local cursor and store p_ back only where
  // they hand over: through a member, the cursor would be written back after
  // every byte, since the compiler must assume any char store may alias it.

  bool scan_start_tag() {
    const char* p = p_ + 1;
    const std::string_view name = scan_name(p);
    if (name.empty() || depth_ > kMaxDepth) return false;
    const auto index = static_cast<NodeIndex>(tree_.node_count());
    const auto attribute_begin = static_cast<std::uint32_t>(tree_.attribute_count());
    const auto name_length = static_cast<std::uint16_t>(name.size());
    // Stays in place while the attributes are appended, which touch no node.
    const bool kept = building();
    Tree::NodeRecord& record = append_node(NodeKind::Element);
    if (kept) {
      record.name = name.data();
      record.name_length = name_length;
      record.prefix_length = prefix_length_of(name);
      record.parent.attribute_begin = attribute_begin;
    }
    for (;;) {
      const bool spaced = skip_space(p);
      if (p == end_) return false;
      if (*p == '>') {
        ++p;
        push_open({index, kNoNode, name.data(), name_length});
        if (depth_ == 3 && !hollow_.empty() && is_hollow(record)) hollow_depth_ = depth_;
        break;
      }
      if (*p == '/') {
        if (end_ - p < 2 || p[1] != '>') return false;
        p += 2;
        break;
      }
      if (!spaced || !scan_attribute(p, attribute_begin)) return false;
    }
    p_ = p;
    const std::size_t count = tree_.attribute_count() - attribute_begin;
    if (count > kMaxAttributes) return false;
    record.attribute_count = static_cast<std::uint16_t>(count);
    if (!kept) tree_.truncate_attributes(attribute_begin);  // checked, not kept
    return true;
  }

  // Whether the element just opened, a child of the root, is one whose
  // content is checked but not kept.
  bool is_hollow(const Tree::NodeRecord& element) const noexcept {
    std::string_view local(element.name, element.name_length);
    if (element.prefix_length != Tree::kNoPrefix) local.remove_prefix(element.prefix_length + 1u);
    return std::find(hollow_.begin(), hollow_.end(), local) != hollow_.end();
  }

  bool scan_attribute(const char*& p, std::uint32_t attribute_begin) {
    const std::string_view name = scan_name(p);
    if (name.empty()) return false;
    skip_space(p);
    if (p == end_ || *p != '=') return false;
    ++p;
    skip_space(p);
    if (p == end_ || (*p != '"' && *p != '\'')) return false;
    const char quote = *p++;
    std::string_view value;
    if (!scan_attribute_value(p, quote, value)) return false;
    // Names are unique within a tag. Tags hold few attributes; the limit
    // bounds the pairwise comparison.
    const std::size_t count = tree_.attribute_count();
    if (count - attribute_begin >= kMaxAttributes) return false;
    for (std::size_t i = attribute_begin; i < count; ++i) {
      const Tree::AttributeRecord& other = tree_.attribute(i);
      if (other.name_length == name.size() && std::memcmp(other.name, name.data(), name.size()) == 0) return false;
    }
    Tree::AttributeRecord& attribute = tree_.append_attribute();
    attribute.name = name.data();
    attribute.name_length = static_cast<std::uint16_t>(name.size());
    attribute.prefix_length = prefix_length_of(name);
    attribute.value = value.data();
    attribute.value_length = static_cast<std::uint32_t>(value.size());
    return true;
  }

  // The value after its opening quote, normalised as an attribute of no
  // declared type: white space characters become spaces (CR LF one space),
  // references are replaced. `p` moves past the closing quote.
  bool scan_attribute_value(const char*& p, char quote, std::string_view& value) {
    const char* const start = p;
    const char* run = p;
    bool decoded = false;
    for (;;) {
      while (p < end_ && *p != quote && !has_class(*p, kAttributeStop)) ++p;
      if (p == end_) return false;
      const char c = *p;
      if (c == quote) break;
      if (static_cast<unsigned char>(c) >= 0x80) {
        p = skip_multibyte_character(p, end_);
        if (p == nullptr) return false;
        continue;
      }
      if (c == '<') return false;
      if (!decoded) {
        scratch_.clear();
        decoded = true;
      }
      scratch_.append(run, static_cast<std::size_t>(p - run));
      if (c == '&') {
        // Only character references and the predefined entities: other
        // references in values are expat's to expand or drop.
        p_ = p;
        if (!scan_reference_in_value()) return false;
        p = p_;
      } else if (c == '\t' || c == '\n' || c == '\r') {
        scratch_ += ' ';
        ++p;
        if (c == '\r' && p < end_ && *p == '\n') ++p;
      } else {
        return false;  // other controls
      }
      run = p;
    }
    if (!decoded) {
      value = std::string_view(run, static_cast<std::size_t>(p - run));
    } else {
      scratch_.append(run, static_cast<std::size_t>(p - run));
      value = building() ? keep_decoded(scratch_, start, p) : std::string_view(scratch_);
    }
    ++p;  // the closing quote
    return value.size() <= kMaxTextBytes;
  }

  bool scan_reference_in_value() {
    ++p_;  // &
    if (p_ < end_ && *p_ == '#') return scan_character_reference();
    const std::string_view name = scan_name(p_);
    if (name.empty() || p_ == end_ || *p_ != ';') return false;
    const char c = predefined_entity(name);
    if (c == 0) return false;
    if (c == '&') note_ampersand();
    scratch_ += c;
    ++p_;
    return true;
  }

  // &#...; with p_ on the '#': appends the character to scratch_.
  bool scan_character_reference() {
    ++p_;
    std::uint32_t code = 0;
    const char* digits = p_;
    if (p_ < end_ && *p_ == 'x') {
      digits = ++p_;
      for (; p_ < end_ && *p_ != ';'; ++p_) {
        const char c = *p_;
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
          digit = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
          digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
          digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
          return false;
        }
        code = code * 16 + digit;
        if (code > 0x10FFFF) return false;
      }
    } else {
      for (; p_ < end_ && *p_ != ';'; ++p_) {
        const char c = *p_;
        if (c < '0' || c > '9') return false;
        code = code * 10 + static_cast<std::uint32_t>(c - '0');
        if (code > 0x10FFFF) return false;
      }
    }
    if (p_ == end_ || p_ == digits || !is_xml_character(code)) return false;
    if (code == '&') note_ampersand();
    ++p_;  // ;
    append_utf8(scratch_, code);
    return true;
  }

  bool scan_end_tag() {
    const OpenNode& open = open_top();
    const char* p = p_ + 2;  // </
    if (static_cast<std::size_t>(end_ - p) <= open.name_length || std::memcmp(p, open.name, open.name_length) != 0)
      return false;
    p += open.name_length;
    if (has_class(*p, kNameByte) || static_cast<unsigned char>(*p) >= 0x80) return false;
    skip_space(p);
    if (p == end_ || *p != '>') return false;
    p_ = p + 1;
    if (depth_ == hollow_depth_) hollow_depth_ = 0;
    --depth_;
    return true;
  }

  // --- character data ------------------------------------------------------------

  // Character data up to the next '<' (p_ ends on it): one Text node for the
  // whole run with its references expanded, split only where a reference
  // stays unexpanded (an EntityReference node between two Text nodes).
  bool scan_text() {
    const char* p = p_;
    const char* run = p;
    const char* start = p;  // of the text node being read
    bool decoded = false;
    for (;;) {
      p = find_text_stop(p, end_);
      if (p == end_) return false;
      const char c = *p;
      if (c == '<') break;
      if (c == ']') {
        if (end_ - p >= 3 && p[1] == ']' && p[2] == '>') return false;
        ++p;
        continue;
      }
      if (static_cast<unsigned char>(c) >= 0x80) {
        p = skip_multibyte_character(p, end_);
        if (p == nullptr) return false;
        continue;
      }
      if (c != '\r' && c != '&') return false;  // other controls
      if (c == '\r' && p == run && !decoded && end_ - p >= 2 && p[1] == '\n') {
        // Text that opens with CR LF, as the indentation between elements of
        // a CR LF document does, is the same text as from its LF on.
        run = ++p;
        ++p;
        continue;
      }
      const bool was_decoded = decoded;
      if (!decoded) {
        scratch_.clear();
        decoded = true;
      }
      scratch_.append(run, static_cast<std::size_t>(p - run));
      if (c == '\r') {
        scratch_ += '\n';
        ++p;
        if (p < end_ && *p == '\n') ++p;
      } else {
        const char* reference = p;
        bool expanded = false;
        p_ = p;
        if (!scan_reference_in_text(expanded)) return false;
        p = p_;
        if (!expanded) {
          // An unexpanded reference ends the text before it, which is a
          // view into the text unless something in it was decoded.
          const std::string_view before =
              was_decoded ? std::string_view() : std::string_view(run, static_cast<std::size_t>(reference - run));
          if (!finish_text(before, was_decoded, start, reference)) return false;
          const std::string_view name(reference + 1, static_cast<std::size_t>(p - reference - 2));
          Tree::NodeRecord& record = append_node(NodeKind::EntityReference);
          record.name = name.data();
          record.name_length = static_cast<std::uint16_t>(name.size());
          record.value = reference;
          record.value_length = static_cast<std::uint32_t>(p - reference);
          decoded = false;
          start = p;
          if (node_total() > kMaxNodes) return false;
        }
      }
      if (scratch_.size() > kMaxTextBytes) return false;
      run = p;
    }
    p_ = p;
    return finish_text(std::string_view(run, static_cast<std::size_t>(p - run)), decoded, start, p);
  }

  // Appends the pending text as a node: `tail` alone, or scratch_ then `tail`
  // when the text was decoded. Empty text makes no node. The text's markup
  // runs from `source` to `source_end`.
  bool finish_text(std::string_view tail, bool decoded, const char* source, const char* source_end) {
    std::string_view value = tail;
    if (decoded) {
      scratch_.append(tail);
      value = scratch_;
    }
    if (value.empty()) return true;
    if (value.size() > kMaxTextBytes) return false;
    if (decoded && building()) value = keep_decoded(value, source, source_end);
    append_value_node(NodeKind::Text, value);
    return true;
  }

  // A reference in content at p_ ('&'). Character references, the
  // predefined entities and plain-text entities are appended to scratch_
  // (`expanded`); a reference to an entity the document does not declare
  // stays a reference. p_ moves past the ';'.
  bool scan_reference_in_text(bool& expanded) {
    ++p_;  // &
    if (p_ < end_ && *p_ == '#') {
      expanded = true;
      return scan_character_reference();
    }
    const std::string_view name = scan_name(p_);
    if (name.empty() || p_ == end_ || *p_ != ';') return false;
    ++p_;
    if (const char c = predefined_entity(name)) {
      if (c == '&') note_ampersand();
      scratch_ += c;
      expanded = true;
      return true;
    }
    if (!entities_.empty()) {
      const auto found = entities_.find(name);
      if (found != entities_.end()) {
        if (found->second.kind != EntityKind::PlainText) return false;
        const std::string_view replacement = found->second.replacement;
        // Expansion must not amplify the text; expat has its own bound,
        // and past this one expat decides.
        expanded_bytes_ += replacement.size();
        if (expanded_bytes_ > static_cast<std::size_t>(end_ - begin_)) return false;
        scratch_.append(replacement);
        expanded = true;
        return true;
      }
    }
    // Undeclared: a skipped reference, unless the document says it is standalone.
    note_ampersand();
    expanded = false;
    return !standalone_;
  }

  const char* const begin_;
  const char* p_;
  const char* const end_;
  TreeWriter tree_;
  // The open nodes, the document first: at most the root and kMaxDepth
  // elements within it, as scan_start_tag checks before each push.
  std::array<OpenNode, kMaxDepth + 2> stack_;
  std::size_t depth_ = 0;
  // The root's children whose content is checked but not kept, and while
  // inside one, the depth of the stack it opened at.
  const HollowNames hollow_;
  std::size_t hollow_depth_ = 0;
  std::size_t unbuilt_nodes_ = 0;
  Tree::NodeRecord unbuilt_;
  std::string scratch_;
  std::unordered_map<std::string_view, Entity> entities_;
  std::size_t expanded_bytes_ = 0;
  bool standalone_ = false;

  // In place only: the text, writable, and what was written over.
  struct Overwritten {
    std::size_t offset;
    std::size_t length;
    std::size_t saved_at;  // in overwritten_bytes_
  };
  char* writable_ = nullptr;
  std::vector<Overwritten> overwritten_;
  std::string overwritten_bytes_;
};

std::optional<Tree> scan_tree(std::string_view text, HollowNames hollow) {
  Tree tree;
  Scanner scanner(text, tree, hollow);
  if (!scanner.run()) return std::nullopt;
  return tree;
}

std::optional<Tree> scan_tree_in_place(std::span<char> text, HollowNames hollow) {
  Tree tree;
  Scanner scanner(text, tree, hollow);
  if (scanner.run()) return tree;
  scanner.undo();
  return std::nullopt;
}

}  // namespace tessellox::xml
