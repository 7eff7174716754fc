#include "derive.hpp"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "normalize.hpp"
#include "party_search.hpp"
#include "plain_text.hpp"
#include "text.hpp"

namespace tessellox {
namespace {

// Calls `visit` for every item of the block that holds an `Item`.
template <typename Item, typename Visit>
void for_each_item(const BibliographicInformation* block, Visit&& visit) {
  if (block == nullptr) return;
  for (const BibliographicItem& item : block->items)
    if (const Item* typed = std::get_if<Item>(&item)) visit(*typed);
}

// Keeps the first occurrence of each value, in order. Linear in the list's
// length, however many values it holds.
void remove_repeated(std::vector<std::string_view>& values) {
  constexpr std::size_t kScanLimit = 16;  // below this, comparing is cheaper than hashing
  std::size_t kept = 0;
  if (values.size() <= kScanLimit) {
    for (std::size_t i = 0; i < values.size(); ++i)
      if (std::find(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(kept), values[i]) ==
          values.begin() + static_cast<std::ptrdiff_t>(kept))
        values[kept++] = values[i];
  } else {
    std::unordered_set<std::string_view> seen;
    seen.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
      if (seen.insert(values[i]).second) values[kept++] = values[i];
  }
  values.resize(kept);
}

template <typename PartyGroup>
std::vector<std::string_view> party_names(const BibliographicInformation* block, PartyKind kind, Arena& arena) {
  std::vector<std::string_view> names;
  for_each_item<PartyGroup>(block, [&names](const PartyGroup& group) {
    for (const PartyRecord& party : group.parties)
      if (party.name) names.push_back(*party.name);
  });
  if (names.empty() && block != nullptr) search_party_names(*block, kind, names, arena);
  remove_repeated(names);
  return names;
}

template <typename Classification>
std::vector<std::string_view> classifications(const BibliographicInformation* block) {
  std::vector<std::string_view> codes;
  for_each_item<TechnicalInformation>(block, [&codes](const TechnicalInformation& technical) {
    for (const TechnicalEntry& entry : technical.entries) {
      const Classification* classification = std::get_if<Classification>(&entry);
      if (classification == nullptr) continue;
      if (classification->main_classification) codes.push_back(*classification->main_classification);
      for (std::string_view further : classification->further_classifications) codes.push_back(further);
    }
  });
  remove_repeated(codes);
  return codes;
}

}  // namespace

std::optional<ApplicationNumberSource> locate_application_number(const BibliographicInformation* block) noexcept {
  if (block == nullptr) return std::nullopt;
  for (const BibliographicItem& item : block->items) {
    const auto* filing = std::get_if<DomesticFilingData>(&item);
    if (filing == nullptr) continue;
    ApplicationNumberSource source;
    for (const DomesticFilingEntry& entry : filing->entries) {
      if (const auto* series = std::get_if<SeriesCode>(&entry)) {
        if (source.series_code == nullptr) source.series_code = &series->text;
      } else if (const auto* application = std::get_if<ApplicationNumber>(&entry)) {
        if (source.number == nullptr && application->doc_number) source.number = &*application->doc_number;
      }
    }
    if (source.number != nullptr) return source;
  }
  return std::nullopt;
}

const std::string_view* title_of_invention(const BibliographicInformation* block) noexcept {
  if (block == nullptr) return nullptr;
  for (const BibliographicItem& item : block->items) {
    const auto* technical = std::get_if<TechnicalInformation>(&item);
    if (technical == nullptr) continue;
    for (const TechnicalEntry& entry : technical->entries)
      if (const auto* title = std::get_if<TitleOfInvention>(&entry)) return &title->text;
  }
  return nullptr;
}

namespace {

// The number, joined to the item's series code when the number is a short
// all-digit one and the code is all digits (series 10, number 123456 give
// 10123456).
OptString application_number(const std::optional<ApplicationNumberSource>& source, Arena& arena) {
  if (!source) return std::nullopt;
  const std::string_view trimmed = trim(*source->number);
  const std::string_view* series_code = source->series_code;
  if (is_ascii_digits(trimmed) && series_code != nullptr && trimmed.size() < 8 && is_ascii_digits(*series_code)) {
    std::string joined;
    joined.reserve(series_code->size() + trimmed.size());
    joined.append(*series_code).append(trimmed);
    return arena.copy(joined);
  }
  return trimmed;
}

// The values in a list of the arena.
template <class T>
List<T> arena_list(const std::vector<T>& values, Arena& arena) {
  List<T> list;
  list.reserve(arena, values.size());
  for (const T& value : values) list.push_back(arena, value);
  return list;
}

}  // namespace

const BibliographicInformation* first_bibliographic(const SourceDocument& document) noexcept {
  for (const RootPart& part : document.parts)
    if (const auto* block = std::get_if<BibliographicInformation>(&part)) return block;
  return nullptr;
}

const DocumentId* first_document_id(const BibliographicInformation* block) noexcept {
  if (block == nullptr) return nullptr;
  for (const BibliographicItem& item : block->items)
    if (const auto* id = std::get_if<DocumentId>(&item)) return id;
  return nullptr;
}

bool is_grant_kind_code(const OptString& kind_code) noexcept {
  if (!kind_code || kind_code->empty()) return false;
  const char first = kind_code->front();
  return first == 'B' || first == 'E' || *kind_code == "S";
}

std::string format_document_number(const DocumentId& id) {
  const std::string_view country = id.country_code ? std::string_view(*id.country_code) : "US";
  std::string_view number = id.doc_number;
  if (is_grant_kind_code(id.kind_code) && is_ascii_digits(number)) {
    const std::size_t first_significant = number.find_first_not_of('0');
    number = first_significant == std::string_view::npos ? std::string_view("0") : number.substr(first_significant);
  }
  std::string formatted;
  formatted.reserve(country.size() + number.size() + (id.kind_code ? id.kind_code->size() : 0));
  formatted.append(country).append(number);
  if (id.kind_code) formatted.append(*id.kind_code);
  return formatted;
}

std::vector<std::string_view> applicant_names(const BibliographicInformation* block, Arena& arena) {
  return party_names<Applicants>(block, PartyKind::Applicant, arena);
}

std::vector<std::string_view> assignee_names(const BibliographicInformation* block, Arena& arena) {
  return party_names<Assignees>(block, PartyKind::Assignee, arena);
}

// Given and family name joined with a space when both are there; a view of
// the one there is otherwise.
std::vector<std::string_view> inventor_names(const BibliographicInformation* block, Arena& arena) {
  std::vector<std::string_view> names;
  std::string joined;
  for_each_item<Inventors>(block, [&](const Inventors& inventors) {
    for (const InventorItem& entry : inventors.entries) {
      const auto* inventor = std::get_if<InventorRecord>(&entry);
      if (inventor == nullptr) continue;
      std::string_view name;
      if (inventor->given_name && inventor->family_name) {
        joined.assign(*inventor->given_name).append(" ").append(*inventor->family_name);
        name = trim(joined);
        if (!name.empty()) name = arena.copy(name);
      } else if (inventor->given_name || inventor->family_name) {
        name = trim(inventor->given_name ? *inventor->given_name : *inventor->family_name);
      }
      if (!name.empty()) names.push_back(name);
    }
  });
  if (names.empty() && block != nullptr) search_party_names(*block, PartyKind::Inventor, names, arena);
  remove_repeated(names);
  return names;
}

std::vector<std::string_view> ipc_classifications(const BibliographicInformation* block) {
  return classifications<ClassificationIpc>(block);
}

std::vector<std::string_view> us_classifications(const BibliographicInformation* block) {
  return classifications<ClassificationUs>(block);
}

std::vector<PriorityLink> priority_chain(const BibliographicInformation* block) {
  std::vector<PriorityLink> chain;
  for_each_item<ContinuityData>(block, [&chain](const ContinuityData& continuity) {
    for (const ContinuityItem& item : continuity.entries) {
      const auto* entry = std::get_if<ContinuityEntry>(&item);
      if (entry == nullptr) continue;
      chain.push_back(PriorityLink{entry->relation_name ? *entry->relation_name : "unknown", entry->parent_doc_number,
                                   entry->parent_document_date, entry->child_doc_number});
    }
  });
  return chain;
}

OptString earliest_priority_date(const std::vector<PriorityLink>& chain) {
  const std::string_view* earliest = nullptr;
  for (const PriorityLink& link : chain)
    if (link.parent_date && (earliest == nullptr || *link.parent_date < *earliest)) earliest = &*link.parent_date;
  return earliest != nullptr ? OptString(*earliest) : std::nullopt;
}

OptString filing_date(const BibliographicInformation* block) {
  if (block == nullptr) return std::nullopt;
  for (const BibliographicItem& item : block->items) {
    const auto* filing = std::get_if<DomesticFilingData>(&item);
    if (filing == nullptr) continue;
    for (const DomesticFilingEntry& entry : filing->entries)
      if (const auto* date = std::get_if<FilingDate>(&entry)) return date->text;
  }
  return std::nullopt;
}

DerivedRecord derive(const SourceDocument& document, Arena& arena) {
  DerivedRecord record;
  const BibliographicInformation* block = first_bibliographic(document);
  record.bibliographic = block;
  DerivedMetadata& derived = record.metadata;
  derived.applicants = arena_list(applicant_names(block, arena), arena);
  derived.assignees = arena_list(assignee_names(block, arena), arena);
  derived.inventors = arena_list(inventor_names(block, arena), arena);
  derived.ipc_classifications = arena_list(ipc_classifications(block), arena);
  derived.us_classifications = arena_list(us_classifications(block), arena);
  if (const DocumentId* id = first_document_id(block)) {
    derived.publication_country = id->country_code;
    derived.publication_doc_number = id->doc_number;
    derived.publication_kind = id->kind_code;
    (is_grant_kind_code(id->kind_code) ? derived.patent_number : derived.publication_number) =
        arena.copy(format_document_number(*id));
    derived.publication_date = id->document_date;
  }
  record.application = locate_application_number(block);
  derived.application_number = application_number(record.application, arena);
  derived.filing_date = filing_date(block);
  if (const std::string_view* title = title_of_invention(block)) derived.title = *title;
  const std::vector<PriorityLink> chain = priority_chain(block);
  derived.priority_date = earliest_priority_date(chain);
  record.priority_chain = arena_list(chain, arena);
  return record;
}

DerivedMetadata derive_metadata(SourceDocument& document) { return derive(document, document.arena).metadata; }

std::optional<std::string> abstract_text(const SourceDocument& document) {
  std::string joined;
  for (const RootPart& part : document.parts) {
    const auto* abstract = std::get_if<Abstract>(&part);
    if (abstract == nullptr) continue;
    joined.clear();
    for (const AbstractEntry& entry : abstract->entries) {
      const auto* paragraph = std::get_if<Paragraph>(&entry);
      if (paragraph == nullptr) continue;
      const std::size_t rollback = joined.size();
      if (!joined.empty()) joined.append("\n\n");
      const std::size_t start = joined.size();
      append_plain_text(paragraph->content, joined);
      if (trim(std::string_view(joined).substr(start)).empty()) joined.resize(rollback);
    }
    // Every kept paragraph has visible text, so a non-empty join has too.
    if (!joined.empty()) return joined;
  }
  return std::nullopt;
}

std::vector<Claim> claims(const SourceDocument& document) {
  std::vector<Claim> result;
  for_each_claim_text(document, [&result](const ClaimElement&, std::string_view text) {
    result.push_back(Claim{static_cast<std::uint32_t>(result.size() + 1), std::string(text)});
  });
  return result;
}

}  // namespace tessellox
