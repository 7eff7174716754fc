#include "records/captured.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

#include "records/raw_text.hpp"

namespace tessellox {
namespace {

// Calls `visit` for every captured node of the block: items of their own and
// entries the typed items could not read.
template <typename Visit>
void for_each_captured(const BibliographicInformation* block, Visit&& visit) {
  if (block == nullptr) return;
  const auto entries = [&visit](const auto& list) {
    for (const auto& entry : list)
      if (const auto* raw = std::get_if<RawXml>(&entry)) visit(*raw);
  };
  for (const BibliographicItem& item : block->items) {
    if (const auto* raw = std::get_if<RawXml>(&item))
      visit(*raw);
    else if (const auto* filing = std::get_if<DomesticFilingData>(&item))
      entries(filing->entries);
    else if (const auto* technical = std::get_if<TechnicalInformation>(&item))
      entries(technical->entries);
    else if (const auto* continuity = std::get_if<ContinuityData>(&item))
      entries(continuity->entries);
    else if (const auto* inventors = std::get_if<Inventors>(&item))
      entries(inventors->entries);
    else if (const auto* address = std::get_if<CorrespondenceAddress>(&item))
      entries(address->entries);
  }
}

enum class Target : std::uint8_t { None, Cpc, Priority, Citation };

// What an element of the bibliographic part is to the record; a switch on
// the length first, since nearly every name is none of them.
Target target_of(std::string_view name) noexcept {
  switch (name.size()) {
    case 4:
      if (name == "B300") return Target::Priority;
      if (name == "B561" || name == "B562") return Target::Citation;
      return Target::None;
    case 8: return name == "citation" ? Target::Citation : Target::None;
    case 11: return name == "us-citation" ? Target::Citation : Target::None;
    case 14: return name == "priority-claim" ? Target::Priority : Target::None;
    case 19: return name == "classifications-cpc" ? Target::Cpc : Target::None;
    case 21: return name == "foreign-priority-data" ? Target::Priority : Target::None;
    default: return Target::None;
  }
}

// Calls `visit` for every element at or below `node` that is a target,
// outermost first; a target is not searched further.
template <typename Visit>
void find_targets(const RawXml& node, Visit&& visit) {
  if (!node.is_element()) return;
  if (const Target target = target_of(node.name()); target != Target::None) {
    visit(target, node);
    return;
  }
  for (const RawXml& child_node : node.children()) find_targets(child_node, visit);
}

OptString cpc_code(const RawXml& classification, Arena& arena) {
  std::string code;
  for (std::string_view part : {"section", "class", "subclass", "main-group", "subgroup"}) {
    const OptString text = raw_path_text(&classification, {part}, arena);
    if (!text) return std::nullopt;
    if (part == "subgroup") code.push_back('/');
    code.append(*text);
  }
  return arena.copy(code);
}

// "CITED-BY-EXAMINER" reads "cited by examiner".
OptString st32_category(const RawXml& citation, Arena& arena) {
  for (const RawXml& mark : citation.children()) {
    if (!mark.is_element() || !mark.name().starts_with("CITED-BY")) continue;
    std::string words(mark.name());
    for (char& c : words) c = c == '-' ? ' ' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return arena.copy(words);
  }
  return std::nullopt;
}

Citation v4_citation(const RawXml& citation, Arena& arena) {
  Citation record;
  record.category = raw_path_text(&citation, {"category"}, arena);
  if (const RawXml* patent = raw_child(&citation, "patcit")) {
    const RawXml* id = raw_child(patent, "document-id");
    record.country = raw_path_text(id, {"country"}, arena);
    record.number = raw_path_text(id, {"doc-number"}, arena);
    record.kind_code = raw_path_text(id, {"kind"}, arena);
    record.date = raw_path_text(id, {"date"}, arena);
    record.name = raw_path_text(id, {"name"}, arena);
  } else {
    record.kind = CitationKind::Other;
    const RawXml* other = raw_child(&citation, "nplcit");
    record.text = raw_path_text(other, {"othercit"}, arena);
    if (!record.text) record.text = raw_text(other, arena);
  }
  return record;
}

// A US patent citation of ST.32 names no country; a foreign one does.
Citation st32_citation(const RawXml& citation, Arena& arena) {
  Citation record;
  record.category = st32_category(citation, arena);
  if (citation.name() == "B561") {
    const RawXml* patent = raw_child(&citation, "PCIT");
    const RawXml* id = raw_child(patent, "DOC");
    record.number = raw_path_text(id, {"DNUM", "PDAT"}, arena);
    record.date = raw_path_text(id, {"DATE", "PDAT"}, arena);
    record.kind_code = raw_path_text(id, {"KIND", "PDAT"}, arena);
    record.country = raw_path_text(id, {"CTRY", "PDAT"}, arena);
    if (!record.country) record.country = raw_path_text(patent, {"CTRY", "PDAT"}, arena);
    if (!record.country) record.country = std::string_view("US");
    record.name = raw_path_text(patent, {"PARTY-US", "NAM"}, arena);
    if (!record.name) record.name = raw_path_text(patent, {"PARTY-FOR", "NAM"}, arena);
  } else {
    record.kind = CitationKind::Other;
    record.text = raw_text(raw_child(&citation, "NCIT"), arena);
  }
  return record;
}

ForeignPriority foreign_priority(const RawXml& claim, Arena& arena) {
  ForeignPriority record;
  if (claim.name() == "priority-claim") {
    record.country = raw_path_text(&claim, {"country"}, arena);
    record.number = raw_path_text(&claim, {"doc-number"}, arena);
    record.date = raw_path_text(&claim, {"date"}, arena);
  } else if (claim.name() == "foreign-priority-data") {
    record.country = raw_path_text(&claim, {"country-code"}, arena);
    record.number = raw_path_text(&claim, {"priority-application-number", "doc-number"}, arena);
    record.date = raw_path_text(&claim, {"filing-date"}, arena);
  } else {
    record.number = raw_path_text(&claim, {"B310", "DNUM", "PDAT"}, arena);
    record.date = raw_path_text(&claim, {"B320", "DATE", "PDAT"}, arena);
    record.country = raw_path_text(&claim, {"B330", "CTRY", "PDAT"}, arena);
  }
  return record;
}

}  // namespace

CapturedFields read_captured_fields(const BibliographicInformation* block, Arena& arena) {
  CapturedFields fields;
  const auto add_cpc_code = [&](const RawXml& classification) {
    if (!classification.is_element() || classification.name() != "classification-cpc") return;
    const OptString code = cpc_code(classification, arena);
    if (code && std::find(fields.cpc_codes.begin(), fields.cpc_codes.end(), *code) == fields.cpc_codes.end())
      fields.cpc_codes.push_back(*code);
  };
  // The direct codes of main-cpc, then of further-cpc, then those that
  // further-cpc's combination sets rank, in document order.
  const auto add_cpc_codes = [&](const RawXml& classifications) {
    for (std::string_view group : {"main-cpc", "further-cpc"}) {
      for (const RawXml& part : classifications.children())
        if (part.is_element() && part.name() == group)
          for (const RawXml& classification : part.children()) add_cpc_code(classification);
    }
    for (const RawXml& part : classifications.children()) {
      if (!part.is_element() || part.name() != "further-cpc") continue;
      for (const RawXml& set : part.children()) {
        if (!set.is_element() || set.name() != "combination-set") continue;
        for (const RawXml& rank : set.children())
          if (rank.is_element() && rank.name() == "combination-rank")
            for (const RawXml& classification : rank.children()) add_cpc_code(classification);
      }
    }
  };
  for_each_captured(block, [&](const RawXml& captured) {
    find_targets(captured, [&](Target target, const RawXml& node) {
      switch (target) {
        case Target::Cpc: add_cpc_codes(node); break;
        case Target::Priority: fields.foreign_priority.push_back(foreign_priority(node, arena)); break;
        case Target::Citation:
          fields.citations.push_back(node.name().starts_with('B') ? st32_citation(node, arena)
                                                                  : v4_citation(node, arena));
          break;
        case Target::None: break;
      }
    });
  });
  return fields;
}

}  // namespace tessellox
