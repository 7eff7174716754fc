#include "derive.hpp"

#include <algorithm>
#include <string_view>

#include "party_search.hpp"
#include "render/markdown/normalize.hpp"
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
OptString application_number(const BibliographicInformation* block, Arena& arena) {
  const auto source = locate_application_number(block);
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

void append_qualified_name(const OptString& prefix, std::string_view name, std::string& out) {
  if (prefix) out.append(*prefix).push_back(':');
  out.append(name);
}

// A captured node as markup (elements) or mapped text (text nodes); nothing
// is escaped, so the text reads as it stood in the source.
void append_raw_xml(const RawXml& node, std::string& out) {
  if (node.is_text()) {
    append_normalized_text(node.text(), out);
    return;
  }
  out.push_back('<');
  append_qualified_name(node.prefix(), node.name(), out);
  for (const Attribute& attribute : node.attributes()) {
    out.push_back(' ');
    append_qualified_name(attribute.prefix(), attribute.name(), out);
    out.append("=\"").append(attribute.value()).push_back('"');
  }
  out.push_back('>');
  for (const RawXml& child : node.children()) append_raw_xml(child, out);
  out.append("</");
  append_qualified_name(node.prefix(), node.name(), out);
  out.push_back('>');
}

// `start` is where this paragraph's or claim's text begins in `out`.
void append_inline(const InlineContent& content, std::size_t start, std::string& out) {
  for (const InlineNode& node : content) {
    if (const auto text = node.get_if<Text>()) {
      append_normalized_text(text->text, out);
    } else if (const auto* element = node.get_if<InlineElement>()) {
      // Nested claim texts usually stand on lines of their own in the
      // source, parted by nothing but a blank text node; without a break
      // here their words would run together ("..., andlocal circuitry").
      if (element->kind == InlineKind::ClaimText && out.size() > start &&
          trailing_white_space_length(std::string_view(out).substr(start)) == 0)
        out.push_back('\n');
      append_inline(element->content, start, out);
    } else {
      append_raw_xml(node.get<RawXml>(), out);
    }
  }
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
    number = first_significant == std::string_view::npos ? std::string_view("0")
                                                         : number.substr(first_significant);
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
      chain.push_back(PriorityLink{entry->relation_name ? *entry->relation_name : "unknown",
                                   entry->parent_doc_number, entry->parent_document_date,
                                   entry->child_doc_number});
    }
  });
  return chain;
}

OptString earliest_priority_date(const std::vector<PriorityLink>& chain) {
  const std::string_view* earliest = nullptr;
  for (const PriorityLink& link : chain)
    if (link.parent_date && (earliest == nullptr || *link.parent_date < *earliest))
      earliest = &*link.parent_date;
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

DerivedMetadata derive_metadata(SourceDocument& document) {
  const BibliographicInformation* block = first_bibliographic(document);
  Arena& arena = document.arena;
  DerivedMetadata derived;
  derived.applicants = kept_list(applicant_names(block), arena);
  derived.assignees = kept_list(assignee_names(block), arena);
  derived.inventors = kept_list(inventor_names(block), arena);
  derived.ipc_classifications = kept_list(ipc_classifications(block), arena);
  derived.us_classifications = kept_list(us_classifications(block), arena);
  if (const DocumentId* id = first_document_id(block)) {
    derived.publication_country = id->country_code;
    derived.publication_doc_number = id->doc_number;
    derived.publication_kind = id->kind_code;
    (is_grant_kind_code(id->kind_code) ? derived.patent_number : derived.publication_number) =
        arena.copy(format_document_number(*id));
    derived.publication_date = id->document_date;
  }
  derived.application_number = application_number(block, arena);
  derived.filing_date = filing_date(block);
  if (const std::string_view* title = title_of_invention(block)) derived.title = *title;
  derived.priority_date = earliest_priority_date(priority_chain(block));
  return derived;
}

void append_plain_text(const InlineContent& content, std::string& out) {
  append_inline(content, out.size(), out);
}

std::string plain_text(const InlineContent& content) {
  std::string out;
  append_inline(content, 0, out);
  return out;
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
      append_inline(paragraph->content, start, joined);
      if (trim(std::string_view(joined).substr(start)).empty()) joined.resize(rollback);
    }
    // Every kept paragraph has visible text, so a non-empty join has too.
    if (!joined.empty()) return joined;
  }
  return std::nullopt;
}

std::vector<Claim> claims(const SourceDocument& document) {
  std::vector<Claim> result;
  std::string text;
  for (const RootPart& part : document.parts) {
    const auto* claims_part = std::get_if<Claims>(&part);
    if (claims_part == nullptr) continue;
    for (const ClaimsEntry& entry : claims_part->entries) {
      const auto* claim = std::get_if<ClaimElement>(&entry);
      if (claim == nullptr) continue;
      text.clear();
      append_inline(claim->content, 0, text);
      const std::string_view trimmed = trim(text);
      if (trimmed.empty()) continue;
      result.push_back(Claim{static_cast<std::uint32_t>(result.size() + 1), std::string(trimmed)});
    }
  }
  return result;
}

}  // namespace tessellox
