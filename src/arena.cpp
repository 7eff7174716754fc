#include "arena.hpp"

#include <cstdint>

namespace tessellox {

void* Arena::allocate_in_new_block(std::size_t size, std::size_t alignment) {
  const std::size_t needed = size + alignment - 1;
  // Blocks grow geometrically up to a ceiling, so a small document costs one
  // small block and a large one a few hundred; a request larger than the
  // current block size gets a block of its own and leaves the open block open.
  if (needed > next_block_bytes_ / 4 && needed > kFirstBlockBytes) {
    blocks_.push_back(std::unique_ptr<char[]>(new char[needed]));
    capacity_ += needed;
    char* start = blocks_.back().get();
    start += (alignment - reinterpret_cast<std::uintptr_t>(start) % alignment) % alignment;
    return start;
  }
  const std::size_t block_bytes = next_block_bytes_;
  blocks_.push_back(std::unique_ptr<char[]>(new char[block_bytes]));
  capacity_ += block_bytes;
  if (next_block_bytes_ < kLargestBlockBytes) next_block_bytes_ *= 2;
  cursor_ = blocks_.back().get();
  limit_ = cursor_ + block_bytes;
  return allocate(size, alignment);
}

}  // namespace tessellox
