// A growable array in an arena: what the model holds its lists in. It has
// no destructor, so records made of lists and views need none either, and
// releasing a document is releasing its arena. Growing takes the arena
// explicitly; the storage a list grows out of stays in the arena unused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>

#include "arena.hpp"

namespace tessellox {

template <class T>
class List {
 public:
  using value_type = T;
  using iterator = T*;
  using const_iterator = const T*;

  List() = default;
  List(Arena& arena, std::initializer_list<T> values) {
    reserve(arena, values.size());
    for (const T& value : values) push_back(arena, value);
  }

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  T* begin() noexcept { return data_; }
  T* end() noexcept { return data_ + size_; }
  const T* begin() const noexcept { return data_; }
  const T* end() const noexcept { return data_ + size_; }
  std::reverse_iterator<T*> rbegin() noexcept { return std::reverse_iterator<T*>(end()); }
  std::reverse_iterator<T*> rend() noexcept { return std::reverse_iterator<T*>(begin()); }
  std::reverse_iterator<const T*> rbegin() const noexcept { return std::reverse_iterator<const T*>(end()); }
  std::reverse_iterator<const T*> rend() const noexcept { return std::reverse_iterator<const T*>(begin()); }
  T& operator[](std::size_t index) noexcept { return data_[index]; }
  const T& operator[](std::size_t index) const noexcept { return data_[index]; }
  T& front() noexcept { return data_[0]; }
  const T& front() const noexcept { return data_[0]; }
  T& back() noexcept { return data_[size_ - 1]; }
  const T& back() const noexcept { return data_[size_ - 1]; }

  void reserve(Arena& arena, std::size_t capacity) {
    static_assert(std::is_trivially_destructible_v<T>, "an arena never runs destructors");
    if (capacity <= capacity_) return;
    T* grown = static_cast<T*>(arena.allocate(capacity * sizeof(T), alignof(T)));
    for (std::uint32_t i = 0; i < size_; ++i) ::new (static_cast<void*>(grown + i)) T(std::move(data_[i]));
    data_ = grown;
    capacity_ = static_cast<std::uint32_t>(capacity);
  }

  template <class... Args>
  T& emplace_back(Arena& arena, Args&&... args) {
    if (size_ == capacity_) reserve(arena, capacity_ < 4 ? 4 : std::size_t{capacity_} * 2);
    T* slot = ::new (static_cast<void*>(data_ + size_)) T(std::forward<Args>(args)...);
    ++size_;
    return *slot;
  }
  void push_back(Arena& arena, const T& value) { emplace_back(arena, value); }
  void push_back(Arena& arena, T&& value) { emplace_back(arena, std::move(value)); }

  // Inserts `value` before position `index`, moving the later elements up.
  void insert(Arena& arena, std::size_t index, const T& value) {
    emplace_back(arena, value);
    for (std::size_t i = size_ - 1; i > index; --i) std::swap(data_[i], data_[i - 1]);
  }

  void pop_back() noexcept { --size_; }
  void clear() noexcept { size_ = 0; }
  // Keeps the first `size` elements (never more than the list holds).
  void truncate(std::size_t size) noexcept {
    if (size < size_) size_ = static_cast<std::uint32_t>(size);
  }

 private:
  T* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
};

template <class T, class Other>
bool operator==(const List<T>& list, const Other& other) {
  if (list.size() != other.size()) return false;
  auto it = other.begin();
  for (const T& value : list) {
    if (!(value == *it)) return false;
    ++it;
  }
  return true;
}

}  // namespace tessellox
