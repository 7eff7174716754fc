#include "normalize.hpp"

#include <array>
#include <cstring>

namespace tessellox {

// The mapping is defined as seventeen ordered find-and-replace steps; it
// runs here as one left-to-right pass, which gives the same result because:
//  - every pattern is "&" + letters + ";", so occurrences of different
//    patterns never overlap and the steps never compete for the same bytes;
//  - no replacement holds "&" or ";", or a letter next to where a pattern
//    could begin, so no replacement can help form a pattern of a later step,
//  - except the "&" that "&amp;" leaves behind: it may begin a pattern of the
//    steps after its own ("&amp;lt;" -> "<"), never one of the steps before
//    ("&amp;quot;" -> "&quot;"), and never "&amp;" itself, since a step does
//    not rescan its own output ("&amp;amp;" -> "&amp;").
// So an "&amp;" is resolved together with at most one late entity that
// directly follows it.
namespace {

struct Entity {
  std::string_view name;  // between "&" and ";"
  std::string_view replacement;
};

// Steps 1 to 10: not reachable through a decoded "&amp;".
constexpr std::array<Entity, 10> kEarlyEntities{{
    {"lsqb", "["},
    {"rsqb", "]"},
    {"ldquo", "\""},
    {"rdquo", "\""},
    {"lsquo", "'"},
    {"rsquo", "'"},
    {"mdash", "-"},
    {"ndash", "-"},
    {"apos", "'"},
    {"quot", "\""},
}};

// Steps 12 to 17: also resolved right after a decoded "&amp;".
constexpr std::array<Entity, 6> kLateEntities{{
    {"lt", "<"},
    {"gt", ">"},
    {"Prime", "\""},
    {"prime", "'"},
    {"equals", "="},
    {"deg", " deg"},
}};

constexpr std::string_view kAmp = "amp";
constexpr std::size_t kLongestName = 6;  // "equals"

// The entity name at the start of `rest` (the text after an "&"), when it is
// closed by ";" within the longest name's reach; empty otherwise.
std::string_view entity_name(std::string_view rest) noexcept {
  const std::size_t reach = rest.size() < kLongestName + 1 ? rest.size() : kLongestName + 1;
  const void* semicolon = std::memchr(rest.data(), ';', reach);
  if (semicolon == nullptr) return {};
  return rest.substr(0, static_cast<std::size_t>(static_cast<const char*>(semicolon) - rest.data()));
}

template <std::size_t N>
const Entity* find_entity(const std::array<Entity, N>& table, std::string_view name) noexcept {
  for (const Entity& entity : table)
    if (entity.name == name) return &entity;
  return nullptr;
}

}  // namespace

void append_normalized_text(std::string_view text, std::string& out) {
  std::size_t position = text.find('&');
  if (position == std::string_view::npos) {
    out.append(text);
    return;
  }
  std::size_t copied = 0;
  while (position != std::string_view::npos) {
    out.append(text, copied, position - copied);
    const std::string_view name = entity_name(text.substr(position + 1));
    std::size_t consumed = 1;  // an unknown reference keeps its "&"
    if (!name.empty()) {
      if (const Entity* entity = find_entity(kEarlyEntities, name)) {
        out.append(entity->replacement);
        consumed = name.size() + 2;
      } else if (const Entity* late = find_entity(kLateEntities, name)) {
        out.append(late->replacement);
        consumed = name.size() + 2;
      } else if (name == kAmp) {
        consumed = name.size() + 2;
        const std::string_view after = text.substr(position + consumed);
        const std::string_view next = entity_name(after);
        const Entity* chained = next.empty() ? nullptr : find_entity(kLateEntities, next);
        if (chained != nullptr) {
          out.append(chained->replacement);
          consumed += next.size() + 1;
        } else {
          out.push_back('&');
        }
      }
    }
    if (consumed == 1) out.push_back('&');
    copied = position + consumed;
    position = text.find('&', copied);
  }
  out.append(text, copied);
}

std::string normalize_text(std::string_view text) {
  std::string out;
  append_normalized_text(text, out);
  return out;
}

}  // namespace tessellox
