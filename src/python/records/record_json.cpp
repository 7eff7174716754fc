#include "python/records/record_json.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/record_rows.hpp"
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

inline const unsigned char* next_attention(const unsigned char* at, const unsigned char* end) noexcept {
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

JsonBuffer& line_buffer() {
  thread_local JsonBuffer buffer;
  return buffer;
}

bool append_json_string(JsonBuffer& out, std::string_view text) {
  const std::size_t start = out.size();
  const auto* at = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = at + text.size();
  const unsigned char* run = at;  // bytes not yet written, copied as they are
  auto write_run = [&](const unsigned char* until) {
    out.append(std::string_view(reinterpret_cast<const char*>(run), static_cast<std::size_t>(until - run)));
  };
  // Nothing to escape or check, the usual case: one copy.
  at = next_attention(at, end);
  if (at == end) {
    char* written = out.reserve(text.size() + 2);
    written[0] = '"';
    if (!text.empty()) std::memcpy(written + 1, text.data(), text.size());
    written[text.size() + 1] = '"';
    out.commit(text.size() + 2);
    return true;
  }
  out.reserve(text.size() + 2);
  out.append('"');
  for (; at != end; at = next_attention(at, end)) {
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

// Every shape's keys, by shape id (a shape's position in record_shapes()).
class JsonKeys {
 public:
  JsonKeys() {
    for (const TableShape* shape : record_shapes()) {
      for (std::size_t index = 0; index < shape->columns.size(); ++index) {
        JsonKey key{};
        const std::string_view name = shape->columns[index].name;  // fits: see kMaxColumnNameSize
        char* at = key.bytes.data();
        *at++ = index == 0 ? '{' : ',';
        *at++ = '"';
        at = std::copy(name.begin(), name.end(), at);
        *at++ = '"';
        *at++ = ':';
        key.size = static_cast<std::size_t>(at - key.bytes.data());
        keys_.push_back(key);
      }
    }
    std::size_t first = 0;
    for (const TableShape* shape : record_shapes()) {
      by_shape_.push_back(std::span<const JsonKey>(keys_).subspan(first, shape->columns.size()));
      first += shape->columns.size();
    }
  }
  std::span<const JsonKey> of(const TableShape& shape) const noexcept { return by_shape_[shape.id]; }

 private:
  std::vector<JsonKey> keys_;
  std::vector<std::span<const JsonKey>> by_shape_;
};

}  // namespace

std::span<const JsonKey> json_keys(const TableShape& shape) {
  static const JsonKeys keys;  // immutable once made
  return keys.of(shape);
}

namespace {

// Writes one row of a table as a JSON object, each value under the key that
// the schema declares for its column; rows and entries nest. The first value
// that is not UTF-8 is remembered in `invalid`.
class JsonRow {
 public:
  // From column `first` on: an object opened by the caller when it is not 0.
  JsonRow(JsonBuffer& out, std::string_view& invalid, bool& ok, const TableShape& shape, std::size_t first = 0)
      : out_(out), invalid_(invalid), ok_(ok), shape_(shape), keys_(json_keys(shape)), index_(first) {}

  void text(std::string_view value) {
    key(ColumnType::Text);
    string(value);
  }
  void text(const OptString& value) {
    key(ColumnType::Text);
    if (value)
      string(*value);
    else
      out_.append("null");
  }
  void text(const std::optional<std::string>& value) {
    key(ColumnType::Text);
    if (value)
      string(*value);
    else
      out_.append("null");
  }
  void integer(std::uint32_t value) {
    key(ColumnType::Integer);
    append_json_int(out_, value);
  }
  void integer(const std::optional<std::uint32_t>& value) {
    key(ColumnType::Integer);
    if (value)
      append_json_int(out_, *value);
    else
      out_.append("null");
  }
  void flag(bool value) {
    key(ColumnType::Flag);
    out_.append(value ? std::string_view("true") : std::string_view("false"));
  }
  void flag(const std::optional<bool>& value) {
    key(ColumnType::Flag);
    out_.append(!value ? std::string_view("null") : *value ? std::string_view("true") : std::string_view("false"));
  }
  template <typename Items>
  void texts(const Items& items) {
    key(ColumnType::TextList);
    list(items, [this](std::string_view item) { string(item); });
  }
  void integers(const std::vector<std::uint32_t>& items) {
    key(ColumnType::IntegerList);
    list(items, [this](std::uint32_t item) { append_json_int(out_, item); });
  }
  template <typename Items>
  void entries(const Items& items) {
    nested(key(ColumnType::Entries), items);
  }
  template <typename Items>
  void rows(const Items& items) {
    nested(key(ColumnType::Rows), items);
  }
  // Rows that are only there when asked for: null otherwise.
  template <typename Items>
  void rows(const std::optional<Items>& items) {
    if (items)
      rows(*items);
    else
      out_.append(key(ColumnType::Rows).nullable ? std::string_view("null") : std::string_view("[]"));
  }

  // Closes the object, every column written.
  void finish() {
    assert(index_ == shape_.columns.size());
    out_.append('}');
  }

 private:
  const Column& key(ColumnType type) {
    assert(index_ < shape_.columns.size() && shape_.columns[index_].type == type);
    (void)type;
    append_json_key(out_, keys_[index_]);
    return shape_.columns[index_++];
  }

  void string(std::string_view text) {
    if (ok_ && !append_json_string(out_, text)) {
      ok_ = false;
      invalid_ = text;
    }
  }

  template <typename Items, typename Write>
  void list(const Items& items, Write&& write) {
    out_.append('[');
    bool first = true;
    for (const auto& item : items) {
      if (!first) out_.append(',');
      first = false;
      write(item);
    }
    out_.append(']');
  }

  template <typename Items>
  void nested(const Column& column, const Items& items) {
    list(items, [&](const auto& item) {
      JsonRow row(out_, invalid_, ok_, *column.shape);
      emit_row(row, item);
      row.finish();
    });
  }

  JsonBuffer& out_;
  std::string_view& invalid_;
  bool& ok_;
  const TableShape& shape_;
  std::span<const JsonKey> keys_;
  std::size_t index_;
};

}  // namespace

bool append_record_fields_json(JsonBuffer& out, const DocumentRecord& record, std::string_view& invalid) {
  bool ok = true;
  JsonRow row(out, invalid, ok, documents_shape(), kOriginColumns);
  emit_row(row, record);
  row.finish();
  return ok;
}

}  // namespace tessellox::python
