// A document's record as one line of JSON, written straight from the record:
// the bytes that Python's json.dumps(record, ensure_ascii=False,
// separators=(",", ":")) gives for the record's dict, encoded as UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "records/record.hpp"
#include "records/schema.hpp"

namespace tessellox::python {

// A growable byte buffer that is written through raw pointers.
class JsonBuffer {
 public:
  std::string_view view() const noexcept { return {data_.get(), size_}; }
  std::size_t size() const noexcept { return size_; }
  void clear() noexcept { size_ = 0; }
  void truncate(std::size_t size) noexcept {
    if (size < size_) size_ = size;
  }
  // Gives back memory taken for an unusually large line.
  void shrink_to(std::size_t capacity) noexcept {
    if (capacity_ > capacity) {
      data_.reset();
      capacity_ = size_ = 0;
    }
  }

  // Room for `count` more bytes at the returned pointer; `commit` says how
  // many were written.
  char* reserve(std::size_t count) {
    if (capacity_ - size_ < count) grow(count);
    return data_.get() + size_;
  }
  void commit(std::size_t count) noexcept { size_ += count; }

  void append(std::string_view text) {
    std::memcpy(reserve(text.size()), text.data(), text.size());
    size_ += text.size();
  }
  void append(char c) {
    *reserve(1) = c;
    ++size_;
  }

 private:
  void grow(std::size_t count);

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// The buffer a thread writes its lines in, kept between calls; a call that
// wrote more than kKeptLineCapacity bytes gives the memory back (shrink_to).
JsonBuffer& line_buffer();
constexpr std::size_t kKeptLineCapacity = std::size_t{4} << 20;

// `text` as a JSON string, quotes included, escaped as Python's encoder
// escapes with ensure_ascii=False: '"', '\\' and the C0 controls only.
// False, with nothing written, when `text` is not UTF-8.
bool append_json_string(JsonBuffer& out, std::string_view text);

void append_json_int(JsonBuffer& out, long long value);

// What comes before a column's value in a row's JSON object: '{"name":' for
// a table's first column, ',"name":' for the others. Each is kept in a slot
// of fixed size, so that writing one is a copy of a known length.
struct JsonKey {
  static constexpr std::size_t kSlot = kMaxColumnNameSize + 4;
  std::array<char, kSlot> bytes;
  std::size_t size;
};

// The keys of a shape's columns, made from the schema once.
std::span<const JsonKey> json_keys(const TableShape& shape);

inline void append_json_key(JsonBuffer& out, const JsonKey& key) {
  std::memcpy(out.reserve(JsonKey::kSlot), key.bytes.data(), JsonKey::kSlot);
  out.commit(key.size);
}

// The record's fields after its origin, from ',"source_format"' to the
// closing brace: the tail of the record's JSON object. False when a value is not
// UTF-8, with `invalid` set to that value (the object is then unfinished).
bool append_record_fields_json(JsonBuffer& out, const DocumentRecord& record, std::string_view& invalid);

}  // namespace tessellox::python
