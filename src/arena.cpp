#include "arena.hpp"

#include <cstdint>
#include <new>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#define TESSELLOX_ARENA_MAPS 1
#endif

namespace tessellox {

char* Arena::new_block(std::size_t size) {
  blocks_.reserve(blocks_.size() + 1);  // so that recording the block cannot fail once it is held
#ifdef TESSELLOX_ARENA_MAPS
  if (capacity_ >= kMappedFromBytes) {
    void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    blocks_.push_back(Block{static_cast<char*>(mapped), size, true});
    capacity_ += size;
    return static_cast<char*>(mapped);
  }
#endif
  char* data = new char[size];
  blocks_.push_back(Block{data, size, false});
  capacity_ += size;
  return data;
}

void Arena::release() noexcept {
  for (const Block& block : blocks_) {
#ifdef TESSELLOX_ARENA_MAPS
    if (block.mapped) {
      ::munmap(block.data, block.size);
      continue;
    }
#endif
    delete[] block.data;
  }
  blocks_.clear();
  cursor_ = nullptr;
  limit_ = nullptr;
  next_block_bytes_ = kFirstBlockBytes;
  capacity_ = 0;
}

void* Arena::allocate_in_new_block(std::size_t size, std::size_t alignment) {
  const std::size_t needed = size + alignment - 1;
  // Blocks grow geometrically up to a ceiling, so a small document costs one
  // small block and a large one a few hundred; a request larger than the
  // current block size gets a block of its own and leaves the open block open.
  if (needed > next_block_bytes_ / 4 && needed > kFirstBlockBytes) {
    char* start = new_block(needed);
    start += (alignment - reinterpret_cast<std::uintptr_t>(start) % alignment) % alignment;
    return start;
  }
  const std::size_t block_bytes = next_block_bytes_;
  cursor_ = new_block(block_bytes);
  limit_ = cursor_ + block_bytes;
  if (next_block_bytes_ < kLargestBlockBytes) next_block_bytes_ *= 2;
  return allocate(size, alignment);
}

}  // namespace tessellox
