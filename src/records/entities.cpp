#include "records/entities.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace tessellox {
namespace {

struct Entity {
  std::string_view name;  // between "&" and ";"
  std::string_view characters;
};

constexpr Entity kEntities[] = {
#include "records/entity_table.inc"
};

constexpr std::size_t kLongestName = 8;  // "angmsdaa", "thetasym"

constexpr bool sorted_by_name() {
  for (std::size_t i = 1; i < std::size(kEntities); ++i)
    if (!(kEntities[i - 1].name < kEntities[i].name)) return false;
  return true;
}
static_assert(sorted_by_name(), "the table is searched by name");

constexpr bool within_longest_name() {
  for (const Entity& entity : kEntities)
    if (entity.name.size() > kLongestName) return false;
  return true;
}
static_assert(within_longest_name());

bool is_name_char(char c) noexcept {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The characters of the reference that starts at `text[at]` ("&"), if it is
// one of the table's.
const Entity* entity_at(std::string_view text, std::size_t at) noexcept {
  std::size_t end = at + 1;
  const std::size_t reach = std::min(text.size(), at + 2 + kLongestName);
  while (end < reach && is_name_char(text[end])) ++end;
  if (end == at + 1 || end == reach || text[end] != ';') return nullptr;
  const std::string_view name = text.substr(at + 1, end - at - 1);
  const Entity* found = std::lower_bound(std::begin(kEntities), std::end(kEntities), name,
                                         [](const Entity& entity, std::string_view key) { return entity.name < key; });
  return found != std::end(kEntities) && found->name == name ? found : nullptr;
}

// Whether `text` holds an '&': most values are short and hold none, where
// sixteen bytes at a time beat a call.
bool holds_ampersand(std::string_view text) noexcept {
  const char* p = text.data();
  const std::size_t size = text.size();
#if defined(__SSE2__)
  if (size >= 16) {
    const __m128i ampersand = _mm_set1_epi8('&');
    const auto found = [&](const char* at) {
      return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), ampersand)) != 0;
    };
    for (std::size_t i = 0; i + 16 <= size; i += 16)
      if (found(p + i)) return true;
    return found(p + size - 16);  // the tail, overlapping what was read
  }
#endif
  for (std::size_t i = 0; i < size; ++i)
    if (p[i] == '&') return true;
  return false;
}

// The value with its references resolved, copied into the arena; absent
// when it holds none.
std::optional<std::string_view> resolved(std::string_view text, Arena& arena, std::string& scratch) {
  if (!holds_ampersand(text)) return std::nullopt;
  scratch.clear();
  if (!append_resolved_entities(text, scratch)) return std::nullopt;
  return arena.copy(scratch);
}

void resolve(OptString& value, Arena& arena, std::string& scratch) {
  if (!value) return;
  if (const auto changed = resolved(*value, arena, scratch)) value = *changed;
}

void resolve(std::string& value, std::string& scratch) {
  if (!holds_ampersand(value)) return;
  scratch.clear();
  if (append_resolved_entities(value, scratch)) value.swap(scratch);
}

void resolve(List<std::string_view>& values, Arena& arena, std::string& scratch) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto changed = resolved(values[i], arena, scratch);
    if (!changed) continue;
    // The list may be the document's own: the record takes a copy.
    List<std::string_view> copy;
    copy.reserve(arena, values.size());
    for (std::string_view value : values) copy.push_back(arena, value);
    copy[i] = *changed;
    for (std::size_t j = i + 1; j < copy.size(); ++j)
      if (const auto later = resolved(copy[j], arena, scratch)) copy[j] = *later;
    values = copy;
    return;
  }
}

}  // namespace

bool append_resolved_entities(std::string_view text, std::string& out) {
  std::size_t position = text.find('&');
  const Entity* entity = nullptr;
  while (position != std::string_view::npos && (entity = entity_at(text, position)) == nullptr)
    position = text.find('&', position + 1);
  if (entity == nullptr) return false;
  std::size_t copied = 0;
  while (position != std::string_view::npos) {
    if (entity != nullptr) {
      out.append(text, copied, position - copied);
      out.append(entity->characters);
      copied = position + entity->name.size() + 2;
    }
    position = text.find('&', position + 1);
    entity = position == std::string_view::npos ? nullptr : entity_at(text, position);
  }
  out.append(text, copied);
  return true;
}

void resolve_record_entities(DocumentRecord& record, Arena& arena) {
  std::string scratch;
  DerivedMetadata& derived = record.derived;
  for (OptString* value : {&derived.publication_number, &derived.patent_number, &derived.application_number,
                           &derived.title, &derived.filing_date, &derived.publication_date, &derived.priority_date,
                           &record.kind_code, &record.earliest_priority_date})
    resolve(*value, arena, scratch);
  for (List<std::string_view>* values : {&derived.inventors, &derived.applicants, &derived.assignees,
                                         &derived.ipc_classifications, &derived.us_classifications})
    resolve(*values, arena, scratch);
  if (record.abstract_text) resolve(*record.abstract_text, scratch);
  for (ClaimRecord& claim : record.claims) resolve(claim.text, scratch);
  for (std::string_view& code : record.cpc_classifications)
    if (const auto changed = resolved(code, arena, scratch)) code = *changed;
  for (ForeignPriority& claim : record.foreign_priority)
    for (OptString* value : {&claim.country, &claim.number, &claim.date}) resolve(*value, arena, scratch);
  for (Citation& citation : record.citations)
    for (OptString* value : {&citation.country, &citation.number, &citation.kind_code, &citation.date, &citation.name,
                             &citation.category, &citation.text})
      resolve(*value, arena, scratch);
  for (PartyRow& party : record.parties)
    for (OptString* value : {&party.given_name, &party.family_name, &party.organization, &party.city, &party.state,
                             &party.country, &party.type, &party.art_unit})
      resolve(*value, arena, scratch);
  for (RelatedDocumentRow& related : record.related_documents)
    for (OptString* value : {&related.country, &related.number, &related.kind_code, &related.date, &related.status})
      resolve(*value, arena, scratch);
  for (PctRow& pct : record.pct)
    for (OptString* value : {&pct.country, &pct.number, &pct.kind_code, &pct.date, &pct.date_371,
                             &pct.publication_number, &pct.publication_date})
      resolve(*value, arena, scratch);
  // text_sections are resolved as they are written (text_section_rows).
}

}  // namespace tessellox
