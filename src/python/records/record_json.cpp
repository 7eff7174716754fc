#include "python/records/record_json.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

#include "python/records/table_columns.hpp"
#include "utf8.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessellox::python {

void JsonBuffer::grow(std::size_t count) {
  const std::size_t needed = size_ + count;
  if (needed < size_) throw std::bad_alloc();
  const std::size_t capacity = std::max<std::size_t>({needed, capacity_ * 2, 4096});
  std::unique_ptr<char[]> data(new char[capacity]);
  if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

namespace {

inline std::uint64_t load_word(const unsigned char* at) noexcept {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Whether a byte is one a JSON string cannot hold as it is ('"', '\\', a C0
// control) or starts or continues a non-ASCII character, which is checked.
constexpr bool needs_attention(unsigned char byte) noexcept {
  return byte < 0x20 || byte == '"' || byte == '\\' || byte >= 0x80;
}

// The high bit of each byte of `word` that needs attention, exact for the
// lowest such byte (a borrow only runs upwards from a byte that matched).
inline std::uint64_t attention_bits(std::uint64_t word) noexcept {
  const std::uint64_t control = (word - kEveryByte * 0x20) & ~word;
  const std::uint64_t quote = word ^ (kEveryByte * '"');
  const std::uint64_t backslash = word ^ (kEveryByte * '\\');
  return (control | ((quote - kEveryByte) & ~quote) | ((backslash - kEveryByte) & ~backslash) | word) & kHighBits;
}

const unsigned char* next_attention(const unsigned char* at, const unsigned char* end) noexcept {
#if defined(__SSE2__)
  // A signed comparison with 0x20 takes the controls and the bytes from
  // 0x80 up at once.
  const __m128i space = _mm_set1_epi8(0x20);
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  while (end - at >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i found = _mm_or_si128(_mm_cmplt_epi8(bytes, space),
                                       _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)));
    const int mask = _mm_movemask_epi8(found);
    if (mask != 0) return at + std::countr_zero(static_cast<unsigned>(mask));
    at += 16;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    while (end - at >= 8) {
      const std::uint64_t bits = attention_bits(load_word(at));
      if (bits != 0) return at + (std::countr_zero(bits) >> 3);
      at += 8;
    }
  }
  while (at < end && !needs_attention(*at)) ++at;
  return at;
}

// The escape of a C0 control: the short forms Python writes, \u00XX with
// lowercase hex digits for the rest.
struct Escape {
  std::array<char, 6> text;
  std::uint8_t size;
};

constexpr std::array<Escape, 0x20> make_escapes() {
  std::array<Escape, 0x20> escapes{};
  constexpr char digits[] = "0123456789abcdef";
  for (unsigned c = 0; c < 0x20; ++c) escapes[c] = {{'\\', 'u', '0', '0', digits[c >> 4], digits[c & 0xF]}, 6};
  escapes['\b'] = {{'\\', 'b'}, 2};
  escapes['\t'] = {{'\\', 't'}, 2};
  escapes['\n'] = {{'\\', 'n'}, 2};
  escapes['\f'] = {{'\\', 'f'}, 2};
  escapes['\r'] = {{'\\', 'r'}, 2};
  return escapes;
}

constexpr std::array<Escape, 0x20> kEscapes = make_escapes();

}  // namespace

bool append_json_string(JsonBuffer& out, std::string_view text) {
  const std::size_t start = out.size();
  const auto* at = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = at + text.size();
  const unsigned char* run = at;  // bytes not yet written, copied as they are
  auto write_run = [&](const unsigned char* until) {
    out.append(std::string_view(reinterpret_cast<const char*>(run), static_cast<std::size_t>(until - run)));
  };
  // Room for the quotes and the text when nothing is escaped, the usual case.
  out.reserve(text.size() + 2);
  out.append('"');
  while ((at = next_attention(at, end)) != end) {
    const unsigned char byte = *at;
    if (byte >= 0x80) {
      const std::size_t length = utf8_sequence_length(at, end);
      if (length == 0) {
        out.truncate(start);
        return false;
      }
      at += length;
      continue;
    }
    write_run(at);
    if (byte < 0x20) {
      const Escape& escape = kEscapes[byte];
      out.append(std::string_view(escape.text.data(), escape.size));
    } else {
      const char escaped[2] = {'\\', static_cast<char>(byte)};
      out.append(std::string_view(escaped, 2));
    }
    run = ++at;
  }
  write_run(end);
  out.append('"');
  return true;
}

void append_json_int(JsonBuffer& out, long long value) {
  char* at = out.reserve(24);
  const auto written = std::to_chars(at, at + 24, value);
  out.commit(static_cast<std::size_t>(written.ptr - at));
}

namespace {

// Writes values and keys, remembering the first value that is not UTF-8.
class RecordWriter {
 public:
  RecordWriter(JsonBuffer& out, std::string_view& invalid) : out_(out), invalid_(invalid) {}

  bool ok() const noexcept { return ok_; }

  // `text` is written as it is: a key with its punctuation.
  RecordWriter& raw(std::string_view text) {
    out_.append(text);
    return *this;
  }

  RecordWriter& string(std::string_view text) {
    if (ok_ && !append_json_string(out_, text)) {
      ok_ = false;
      invalid_ = text;
    }
    return *this;
  }

  RecordWriter& optional(const OptString& text) { return text ? string(*text) : raw("null"); }

  RecordWriter& number(std::uint32_t value) {
    append_json_int(out_, value);
    return *this;
  }

  template <typename Items, typename Write>
  RecordWriter& list(const Items& items, Write&& write) {
    out_.append('[');
    bool first = true;
    for (const auto& item : items) {
      if (!first) out_.append(',');
      first = false;
      write(item);
    }
    out_.append(']');
    return *this;
  }

  template <typename Items>
  RecordWriter& strings(const Items& items) {
    return list(items, [this](std::string_view item) { string(item); });
  }

 private:
  JsonBuffer& out_;
  std::string_view& invalid_;
  bool ok_ = true;
};

}  // namespace

bool append_record_fields_json(JsonBuffer& out, const DocumentRecord& record, std::string_view& invalid) {
  const DerivedMetadata& derived = record.derived;
  RecordWriter json(out, invalid);
  json.raw("\"source_format\":").string(source_format_name(record.source_format));
  // The fifteen fields in the record's order: seven optional strings, then five lists.
  using Derived = DerivedMetadata;
  static constexpr std::pair<std::string_view, OptString Derived::*> kOptionalFields[] = {
      {",\"publication_number\":", &Derived::publication_number},
      {",\"patent_number\":", &Derived::patent_number},
      {",\"application_number\":", &Derived::application_number},
      {",\"title\":", &Derived::title},
      {",\"filing_date\":", &Derived::filing_date},
      {",\"publication_date\":", &Derived::publication_date},
      {",\"priority_date\":", &Derived::priority_date}};
  static constexpr std::pair<std::string_view, List<std::string_view> Derived::*> kListFields[] = {
      {",\"inventors\":", &Derived::inventors},
      {",\"applicants\":", &Derived::applicants},
      {",\"assignees\":", &Derived::assignees},
      {",\"ipc_classifications\":", &Derived::ipc_classifications},
      {",\"us_classifications\":", &Derived::us_classifications}};
  for (const auto& [key, member] : kOptionalFields) json.raw(key).optional(derived.*member);
  for (const auto& [key, member] : kListFields) json.raw(key).strings(derived.*member);
  json.raw(",\"abstract_text\":");
  if (record.abstract_text)
    json.string(*record.abstract_text);
  else
    json.raw("null");
  json.raw(",\"claims\":").list(record.claims, [&json](const ClaimRecord& claim) {
    json.raw("{\"number\":").number(claim.number);
    json.raw(",\"text\":").string(claim.text);
    json.raw(",\"depends_on\":").list(claim.depends_on, [&json](std::uint32_t number) { json.number(number); });
    json.raw("}");
  });
  json.raw(",\"kind_code\":").optional(record.kind_code);
  json.raw(",\"document_type\":").string(record.document_type);
  json.raw(",\"cpc_classifications\":").strings(record.cpc_classifications);
  json.raw(",\"foreign_priority\":").list(record.foreign_priority, [&json](const ForeignPriority& claim) {
    json.raw("{\"country\":").optional(claim.country);
    json.raw(",\"number\":").optional(claim.number);
    json.raw(",\"date\":").optional(claim.date);
    json.raw("}");
  });
  json.raw(",\"earliest_priority_date\":").optional(record.earliest_priority_date);
  json.raw(",\"citations\":").list(record.citations, [&json](const Citation& citation) {
    json.raw(citation.kind == CitationKind::Patent ? "{\"kind\":\"patent\"" : "{\"kind\":\"other\"");
    json.raw(",\"country\":").optional(citation.country);
    json.raw(",\"number\":").optional(citation.number);
    json.raw(",\"kind_code\":").optional(citation.kind_code);
    json.raw(",\"date\":").optional(citation.date);
    json.raw(",\"name\":").optional(citation.name);
    json.raw(",\"category\":").optional(citation.category);
    json.raw(",\"text\":").optional(citation.text);
    json.raw("}");
  });
  const auto rows = [&json](std::string_view key, const auto& table) {
    json.raw(key).list(table, [&json](const auto& row) {
      char separator = '{';
      for_each_column(row, [&](std::string_view name, const auto& value) {
        json.raw(std::string_view(&separator, 1)).raw("\"").raw(name).raw("\":");
        separator = ',';
        using Value = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<Value, bool>)
          json.raw(value ? "true" : "false");
        else if constexpr (std::is_same_v<Value, std::uint32_t>)
          json.number(value);
        else if constexpr (std::is_same_v<Value, OptString>)
          json.optional(value);
        else
          json.string(value);
      });
      json.raw("}");
    });
  };
  rows(",\"parties\":", record.parties);
  rows(",\"related_documents\":", record.related_documents);
  rows(",\"pct\":", record.pct);
  if (record.text_sections) rows(",\"text_sections\":", *record.text_sections);
  json.raw("}");
  return json.ok();
}

}  // namespace tessellox::python
