#include "derive.hpp"

#include <algorithm>
#include <string_view>

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

template <typename PartyGroup>
std::vector<std::string> party_names(const BibliographicInformation* block, PartyKind kind) {
  std::vector<std::string> names;
  for_each_item<PartyGroup>(block, [&names](const PartyGroup& group) {
    for (const PartyRecord& party : group.parties)
      if (party.name) names.emplace_back(*party.name);
  });
  if (names.empty() && block != nullptr) search_party_names(*block, kind, names);
  remove_repeated_strings(names);
  return names;
}

template <typename Classification>
std::vector<std::string> classifications(const BibliographicInformation* block) {
  std::vector<std::string> codes;
  for_each_item<TechnicalInformation>(block, [&codes](const TechnicalInformation& technical) {
    for (const TechnicalEntry& entry : technical.entries) {
      const Classification* classification = std::get_if<Classification>(&entry);
      if (classification == nullptr) continue;
      if (classification->main_classification) codes.emplace_back(*classification->main_classification);
      for (std::string_view further : classification->further_classifications) codes.emplace_back(further);
    }
  });
  remove_repeated_strings(codes);
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

// The names, views into the arena, in a list of the arena.
List<std::string_view> kept_list(const std::vector<std::string>& values, Arena& arena) {
  List<std::string_view> list;
  list.reserve(arena, values.size());
  for (const std::string& value : values) list.push_back(arena, arena.copy(value));
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

std::vector<std::string> applicant_names(const BibliographicInformation* block) {
  return party_names<Applicants>(block, PartyKind::Applicant);
}

std::vector<std::string> assignee_names(const BibliographicInformation* block) {
  return party_names<Assignees>(block, PartyKind::Assignee);
}

std::vector<std::string> inventor_names(const BibliographicInformation* block) {
  std::vector<std::string> names;
  std::string joined;
  for_each_item<Inventors>(block, [&](const Inventors& inventors) {
    for (const InventorItem& entry : inventors.entries) {
      const auto* inventor = std::get_if<InventorRecord>(&entry);
      if (inventor == nullptr) continue;
      joined.clear();
      if (inventor->given_name) joined.append(*inventor->given_name);
      if (inventor->family_name) {
        if (inventor->given_name) joined.push_back(' ');
        joined.append(*inventor->family_name);
      }
      const std::string_view name = trim(joined);
      if (!name.empty()) names.emplace_back(name);
    }
  });
  if (names.empty() && block != nullptr) search_party_names(*block, PartyKind::Inventor, names);
  remove_repeated_strings(names);
  return names;
}

std::vector<std::string> ipc_classifications(const BibliographicInformation* block) {
  return classifications<ClassificationIpc>(block);
}

std::vector<std::string> us_classifications(const BibliographicInformation* block) {
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

DerivedFields derive_fields(const SourceDocument& document) {
  const BibliographicInformation* block = first_bibliographic(document);
  DerivedFields fields;
  fields.document_id = first_document_id(block);
  if (fields.document_id != nullptr) {
    fields.grant = is_grant_kind_code(fields.document_id->kind_code);
    fields.document_number = format_document_number(*fields.document_id);
  }
  fields.application = locate_application_number(block);
  fields.filing_date = filing_date(block);
  fields.title = title_of_invention(block);
  fields.priority_chain = priority_chain(block);
  fields.priority_date = earliest_priority_date(fields.priority_chain);
  fields.ipc_classifications = ipc_classifications(block);
  fields.us_classifications = us_classifications(block);
  fields.inventors = inventor_names(block);
  fields.applicants = applicant_names(block);
  fields.assignees = assignee_names(block);
  return fields;
}

DerivedMetadata derive_metadata(SourceDocument& document) {
  const DerivedFields fields = derive_fields(document);
  Arena& arena = document.arena;
  DerivedMetadata derived;
  derived.applicants = kept_list(fields.applicants, arena);
  derived.assignees = kept_list(fields.assignees, arena);
  derived.inventors = kept_list(fields.inventors, arena);
  derived.ipc_classifications = kept_list(fields.ipc_classifications, arena);
  derived.us_classifications = kept_list(fields.us_classifications, arena);
  if (const DocumentId* id = fields.document_id) {
    derived.publication_country = id->country_code;
    derived.publication_doc_number = id->doc_number;
    derived.publication_kind = id->kind_code;
    (fields.grant ? derived.patent_number : derived.publication_number) = arena.copy(*fields.document_number);
    derived.publication_date = id->document_date;
  }
  derived.application_number = application_number(fields.application, arena);
  derived.filing_date = fields.filing_date;
  if (fields.title != nullptr) derived.title = *fields.title;
  derived.priority_date = fields.priority_date;
  return derived;
}

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
