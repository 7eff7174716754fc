// The UTF-8 text of one document together with what keeps it alive: a
// buffer of its own, or a caller's buffer and a handle on whatever holds it
// (the binding passes the caller's str). A parsed document keeps its
// SourceText, so that the views into the text stay valid as long as it.
#pragma once

#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace tessellox {

class SourceText {
 public:
  // Releases a borrowed buffer's owner; called once, when the text is dropped.
  using Release = void (*)(void* owner) noexcept;

  SourceText() = default;
  // A copy of `text` in a buffer of the document's own.
  SourceText(std::string_view text)  // NOLINT: implicit, so that a copy is the default
      : owned_(text.empty() ? nullptr : new char[text.size()]) {
    if (!text.empty()) std::memcpy(owned_.get(), text.data(), text.size());
    view_ = std::string_view(owned_.get(), text.size());
  }
  SourceText(const std::string& text) : SourceText(std::string_view(text)) {}  // NOLINT
  SourceText(const char* text) : SourceText(std::string_view(text)) {}         // NOLINT

  // `text` stays where it is; `release(owner)` runs when the text is dropped.
  static SourceText borrowed(std::string_view text, void* owner, Release release) noexcept {
    SourceText borrowed_text;
    borrowed_text.view_ = text;
    borrowed_text.owner_ = owner;
    borrowed_text.release_ = release;
    return borrowed_text;
  }
  // A buffer the caller filled, now the document's.
  static SourceText adopted(std::unique_ptr<char[]> buffer, std::size_t size) noexcept {
    SourceText adopted_text;
    adopted_text.view_ = std::string_view(buffer.get(), size);
    adopted_text.owned_ = std::move(buffer);
    return adopted_text;
  }

  SourceText(SourceText&& other) noexcept
      : owned_(std::move(other.owned_)),
        view_(std::exchange(other.view_, {})),
        owner_(std::exchange(other.owner_, nullptr)),
        release_(std::exchange(other.release_, nullptr)) {}
  SourceText& operator=(SourceText&& other) noexcept {
    if (this != &other) {
      drop();
      owned_ = std::move(other.owned_);
      view_ = std::exchange(other.view_, {});
      owner_ = std::exchange(other.owner_, nullptr);
      release_ = std::exchange(other.release_, nullptr);
    }
    return *this;
  }
  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;
  ~SourceText() { drop(); }

  std::string_view view() const noexcept { return view_; }
  // The text's own buffer, which its parser may write decoded values into;
  // empty for a borrowed text, which is never written.
  std::span<char> writable() noexcept {
    return owned_ ? std::span<char>(owned_.get(), view_.size()) : std::span<char>();
  }

 private:
  void drop() noexcept {
    if (release_ != nullptr) release_(owner_);
    release_ = nullptr;
    owner_ = nullptr;
  }

  std::unique_ptr<char[]> owned_;
  std::string_view view_;
  void* owner_ = nullptr;
  Release release_ = nullptr;
};

}  // namespace tessellox
