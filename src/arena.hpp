// A bump allocator of large blocks: what a parse writes is never moved and
// is released all at once, a few frees instead of one per string. Once an
// arena holds a large document's worth, its further blocks are mapped from
// the system directly, so that releasing it returns them at once instead of
// leaving them resident in the heap's free lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace tessellox {

class Arena {
 public:
  Arena() = default;
  Arena(Arena&& other) noexcept
      : blocks_(std::move(other.blocks_)),
        cursor_(std::exchange(other.cursor_, nullptr)),
        limit_(std::exchange(other.limit_, nullptr)),
        next_block_bytes_(std::exchange(other.next_block_bytes_, kFirstBlockBytes)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  Arena& operator=(Arena&& other) noexcept {
    if (this != &other) {
      release();
      blocks_ = std::move(other.blocks_);
      cursor_ = std::exchange(other.cursor_, nullptr);
      limit_ = std::exchange(other.limit_, nullptr);
      next_block_bytes_ = std::exchange(other.next_block_bytes_, kFirstBlockBytes);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  ~Arena() { release(); }
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // `size` bytes aligned to `alignment` (a power of two), valid until the
  // arena is destroyed. Throws std::bad_alloc like operator new.
  void* allocate(std::size_t size, std::size_t alignment = 1) {
    const std::size_t pad = (alignment - reinterpret_cast<std::uintptr_t>(cursor_) % alignment) % alignment;
    if (static_cast<std::size_t>(limit_ - cursor_) < size + pad) return allocate_in_new_block(size, alignment);
    char* start = cursor_ + pad;
    cursor_ = start + size;
    return start;
  }

  // A copy of `text` that lives as long as the arena.
  std::string_view copy(std::string_view text) {
    if (text.empty()) return std::string_view();
    char* start = static_cast<char*>(allocate(text.size()));
    std::memcpy(start, text.data(), text.size());
    return std::string_view(start, text.size());
  }

  // Bytes held in blocks, used or not.
  std::size_t capacity() const noexcept { return capacity_; }

 private:
  static constexpr std::size_t kFirstBlockBytes = std::size_t{4} << 10;
  static constexpr std::size_t kLargestBlockBytes = std::size_t{1} << 20;

  // Capacity from which blocks are mapped rather than taken from the heap:
  // smaller documents keep reusing the heap's memory, which is quicker.
  static constexpr std::size_t kMappedFromBytes = std::size_t{4} << 20;

  struct Block {
    char* data;
    std::size_t size;
    bool mapped;
  };

  void* allocate_in_new_block(std::size_t size, std::size_t alignment);
  char* new_block(std::size_t size);
  void release() noexcept;

  std::vector<Block> blocks_;
  char* cursor_ = nullptr;
  char* limit_ = nullptr;
  std::size_t next_block_bytes_ = kFirstBlockBytes;
  std::size_t capacity_ = 0;
};

}  // namespace tessellox
