// A value or an error, returned through the core instead of exceptions.
#pragma once

#include <utility>
#include <variant>

namespace tessellox {

template <class T, class E>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Result(E error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT: implicit by design

  bool ok() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }

  E& error() & { return std::get<1>(state_); }
  const E& error() const& { return std::get<1>(state_); }
  E&& error() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, E> state_;
};

}  // namespace tessellox
