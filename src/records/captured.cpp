#include "records/captured.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "party_search.hpp"
#include "records/classifications.hpp"
#include "records/raw_text.hpp"
#include "source/xml/extract.hpp"
#include "text.hpp"

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

enum class Target : std::uint8_t {
  None,
  Cpc,
  Priority,
  Citation,
  ClaimCount,
  FigureCounts,
  Term,
  Botanic,
  ExemplaryClaim,
  Locarno,
  SheetCount,
  FigureCount,
  TermYears,
  TermGroup,
};

// What an element of the bibliographic part is to the record; a switch on
// the length first, since nearly every name is none of them.
Target target_of(std::string_view name) noexcept {
  switch (name.size()) {
    case 4:
      if (name == "B300") return Target::Priority;
      if (name == "B561" || name == "B562") return Target::Citation;
      if (name == "B577") return Target::ClaimCount;
      if (name == "B595") return Target::SheetCount;
      if (name == "B596") return Target::FigureCount;
      if (name == "B472") return Target::TermGroup;
      if (name == "B474") return Target::TermYears;
      return Target::None;
    case 6: return name == "B578US" ? Target::ExemplaryClaim : Target::None;
    case 7: return name == "figures" ? Target::FigureCounts : Target::None;
    case 8: return name == "citation" ? Target::Citation : Target::None;
    case 10: return name == "us-botanic" ? Target::Botanic : Target::None;
    case 11: return name == "us-citation" ? Target::Citation : Target::None;
    case 14: return name == "priority-claim" ? Target::Priority : Target::None;
    case 16:
      if (name == "number-of-claims") return Target::ClaimCount;
      if (name == "us-term-of-grant") return Target::Term;
      return Target::None;
    case 18: return name == "us-exemplary-claim" ? Target::ExemplaryClaim : Target::None;
    case 19: return name == "classifications-cpc" ? Target::Cpc : Target::None;
    case 21: return name == "foreign-priority-data" ? Target::Priority : Target::None;
    case 22: return name == "classification-locarno" ? Target::Locarno : Target::None;
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

// "CITED-BY-EXAMINER" reads "cited by examiner".
template <class Node>
OptString st32_category(Node citation, Arena& arena) {
  OptString category;
  bool found = false;
  for_each_child_element(citation, [&](Node mark) {
    const std::string_view name = name_of(mark);
    if (found || !name.starts_with("CITED-BY")) return;
    found = true;
    // The two marks the document type has, without spelling them out again.
    if (name == "CITED-BY-EXAMINER") {
      category = std::string_view("cited by examiner");
    } else if (name == "CITED-BY-OTHER") {
      category = std::string_view("cited by other");
    } else {
      std::string words(name);
      for (char& c : words) c = c == '-' ? ' ' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      category = arena.copy(words);
    }
  });
  return category;
}

template <class Node>
Citation v4_citation(Node citation, Arena& arena) {
  Citation record;
  static constexpr std::array<std::string_view, 3> kParts{"category", "patcit", "nplcit"};
  const auto [category, patent, other] = first_children(citation, kParts);
  record.category = text_of(category, arena);
  if (patent) {
    static constexpr std::array<std::string_view, 5> kIdParts{"country", "doc-number", "kind", "date", "name"};
    const auto [country, number, kind, date, name] = first_children(child_named(patent, "document-id"), kIdParts);
    record.country = text_of(country, arena);
    record.number = text_of(number, arena);
    record.kind_code = text_of(kind, arena);
    record.date = text_of(date, arena);
    record.name = text_of(name, arena);
  } else {
    record.kind = CitationKind::Other;
    record.text = path_text(other, {"othercit"}, arena);
    if (!record.text) record.text = text_of(other, arena);
  }
  return record;
}

// A US patent citation of ST.32 names no country; a foreign one does.
template <class Node>
Citation st32_citation(Node citation, Arena& arena) {
  Citation record;
  record.category = st32_category(citation, arena);
  if (name_of(citation) == "B561") {
    static constexpr std::array<std::string_view, 4> kPatentParts{"DOC", "CTRY", "PARTY-US", "PARTY-FOR"};
    const auto [id, patent_country, us_party, foreign_party] =
        first_children(child_named(citation, "PCIT"), kPatentParts);
    static constexpr std::array<std::string_view, 4> kIdParts{"DNUM", "DATE", "KIND", "CTRY"};
    const auto [number, date, kind, country] = first_children(id, kIdParts);
    record.number = path_text(number, {"PDAT"}, arena);
    record.date = path_text(date, {"PDAT"}, arena);
    record.kind_code = path_text(kind, {"PDAT"}, arena);
    record.country = path_text(country, {"PDAT"}, arena);
    if (!record.country) record.country = path_text(patent_country, {"PDAT"}, arena);
    if (!record.country) record.country = std::string_view("US");
    record.name = path_text(us_party, {"NAM"}, arena);
    if (!record.name) record.name = path_text(foreign_party, {"NAM"}, arena);
  } else {
    record.kind = CitationKind::Other;
    record.text = text_of(child_named(citation, "NCIT"), arena);
  }
  return record;
}

template <class Node>
Citation citation_of(Node citation, Arena& arena) {
  return name_of(citation).starts_with('B') ? st32_citation(citation, arena) : v4_citation(citation, arena);
}

bool is_citation(xml::NodeRef node) noexcept {
  return node.is_element() && target_of(node.local_name()) == Target::Citation;
}

// Whether an element below `node` is one the search for party names finds:
// the nodes between it and its next sibling, in a row where it has one.
// Depth is bounded by the parser's nesting limit.
bool holds_party_element(xml::NodeRef node) noexcept {
  if (const xml::NodeRef next = node.next_sibling(); !next.is_null()) {
    for (xml::NodeIndex index = node.index() + 1; index < next.index(); ++index) {
      const xml::NodeRef below(&node.tree(), index);
      if (below.is_element() && is_party_name(below.local_name())) return true;
    }
    return false;
  }
  for (xml::NodeRef child : node.children()) {
    if (!child.is_element()) continue;
    if (is_party_name(child.local_name()) || holds_party_element(child)) return true;
  }
  return false;
}

// `element` captured as capture_node would, less every citation that
// find_targets would reach in it, which is read into `citations` instead,
// in document order: a citation inside another target stays.
RawXml capture_without_citations(xml::NodeRef element, std::vector<Citation>& citations, Arena& arena) {
  std::size_t kept = 0;
  for (xml::NodeRef child : element.children()) kept += is_citation(child) ? 0 : 1;
  // capture_element asks `keep` of each child in order, and captures a kept
  // one before asking of the next: the citations are read in order.
  return xml::capture_element(
      element, kept,
      [&](xml::NodeRef child) {
        if (!is_citation(child)) return true;
        citations.push_back(citation_of(child, arena));
        return false;
      },
      [&](xml::NodeRef child) {
        if (child.is_element() && target_of(child.local_name()) == Target::None)
          return capture_without_citations(child, citations, arena);
        return xml::capture_node(child, arena);
      },
      arena);
}

ForeignPriority foreign_priority(const RawXml& claim, Arena& arena) {
  ForeignPriority record;
  if (claim.name() == "priority-claim") {
    record.country = path_text(&claim, {"country"}, arena);
    record.number = path_text(&claim, {"doc-number"}, arena);
    record.date = path_text(&claim, {"date"}, arena);
  } else if (claim.name() == "foreign-priority-data") {
    record.country = path_text(&claim, {"country-code"}, arena);
    record.number = path_text(&claim, {"priority-application-number", "doc-number"}, arena);
    record.date = path_text(&claim, {"filing-date"}, arena);
  } else {
    record.number = path_text(&claim, {"B310", "DNUM", "PDAT"}, arena);
    record.date = path_text(&claim, {"B320", "DATE", "PDAT"}, arena);
    record.country = path_text(&claim, {"B330", "CTRY", "PDAT"}, arena);
  }
  return record;
}

// A count or number: the digits of an element's text, or of its PDAT.
std::optional<std::uint32_t> number_of(const RawXml* node, Arena& arena) {
  const OptString text = raw_text(node, arena);
  return text ? decimal_count(*text) : std::nullopt;
}

// The CPC codes of one `classifications-cpc` for the codes' list: the direct
// ones of main-cpc, then of further-cpc, then those that further-cpc's
// combination sets rank, each in document order.
struct CpcCodes {
  std::vector<std::string_view> main;
  std::vector<std::string_view> further;
  std::vector<std::string_view> combined;
};

// Every classification-cpc of `classifications-cpc` in document order: the
// main one, further ones, and those of the combination sets with their set
// and rank numbers.
void add_cpc_rows(const RawXml& classifications, std::vector<ClassificationRecord>& rows, CpcCodes& codes,
                  Arena& arena) {
  std::uint32_t set_number = 0;
  for (const RawXml& part : classifications.children()) {
    if (!part.is_element()) continue;
    const bool main = part.name() == "main-cpc";
    if (!main && part.name() != "further-cpc") continue;
    for (const RawXml& entry : part.children()) {
      if (!entry.is_element()) continue;
      if (entry.name() == "classification-cpc") {
        ClassificationRecord row = scheme_parts_row(&entry, "cpc", "cpc-version-indicator", arena);
        row.main = main;
        if (row.code) (main ? codes.main : codes.further).push_back(*row.code);
        rows.push_back(row);
      } else if (entry.name() == "combination-set") {
        ++set_number;
        const std::uint32_t group = number_of(raw_child(&entry, "group-number"), arena).value_or(set_number);
        std::uint32_t rank_number = 0;
        for (const RawXml& rank : entry.children()) {
          if (!rank.is_element() || rank.name() != "combination-rank") continue;
          const std::optional<std::uint32_t> stated = number_of(raw_child(&rank, "rank-number"), arena);
          ++rank_number;
          for (const RawXml& classification : rank.children()) {
            if (!classification.is_element() || classification.name() != "classification-cpc") continue;
            ClassificationRecord row = scheme_parts_row(&classification, "cpc", "cpc-version-indicator", arena);
            row.combination_set = group;
            row.combination_rank = stated.value_or(rank_number);
            if (row.code && !main) codes.combined.push_back(*row.code);
            rows.push_back(row);
          }
        }
      }
    }
  }
}

ClassificationRecord locarno_row(const RawXml& classification, Arena& arena) {
  ClassificationRecord row;
  row.scheme = "locarno";
  row.main = true;
  row.code = path_text(&classification, {"main-classification"}, arena);
  return row;
}

}  // namespace

CapturedFields read_captured_fields(const BibliographicInformation* block, Arena& arena) {
  CapturedFields fields;
  const auto add_cpc_codes = [&](const std::vector<std::string_view>& codes) {
    for (const std::string_view code : codes)
      if (std::find(fields.cpc_codes.begin(), fields.cpc_codes.end(), code) == fields.cpc_codes.end())
        fields.cpc_codes.push_back(code);
  };
  for_each_captured(block, [&](const RawXml& captured) {
    find_targets(captured, [&](Target target, const RawXml& node) {
      switch (target) {
        case Target::Cpc: {
          CpcCodes codes;
          add_cpc_rows(node, fields.classifications, codes, arena);
          add_cpc_codes(codes.main);
          add_cpc_codes(codes.further);
          add_cpc_codes(codes.combined);
          break;
        }
        case Target::ClaimCount: fields.facts.num_claims = number_of(&node, arena); break;
        case Target::SheetCount: fields.facts.num_sheets = number_of(&node, arena); break;
        case Target::FigureCount: fields.facts.num_figures = number_of(&node, arena); break;
        case Target::FigureCounts:
          fields.facts.num_sheets = number_of(raw_child(&node, "number-of-drawing-sheets"), arena);
          fields.facts.num_figures = number_of(raw_child(&node, "number-of-figures"), arena);
          break;
        case Target::TermYears: fields.facts.term_of_grant = number_of(&node, arena); break;
        case Target::TermGroup:
          // B473US, an empty element, says that the term is subject to a
          // terminal disclaimer.
          fields.facts.term_of_grant = number_of(raw_child(&node, "B474"), arena);
          fields.facts.term_disclaimer = raw_child(&node, "B473US") != nullptr;
          break;
        case Target::Term:
          fields.facts.term_of_grant = number_of(raw_child(&node, "length-of-grant"), arena);
          fields.facts.term_extension_days = number_of(raw_child(&node, "us-term-extension"), arena);
          fields.facts.term_disclaimer = raw_child(&node, "disclaimer") != nullptr;
          break;
        case Target::Botanic:
          fields.facts.botanic_latin_name = path_text(&node, {"latin-name"}, arena);
          fields.facts.botanic_variety = path_text(&node, {"variety"}, arena);
          break;
        case Target::ExemplaryClaim:
          if (const auto number = number_of(&node, arena)) fields.facts.exemplary_claims.push_back(*number);
          break;
        case Target::Locarno: fields.classifications.push_back(locarno_row(node, arena)); break;
        case Target::Priority: fields.foreign_priority.push_back(foreign_priority(node, arena)); break;
        case Target::Citation: fields.citations.push_back(citation_of(&node, arena)); break;
        case Target::None: break;
      }
    });
  });
  return fields;
}

RawXml read_citations_in_place(const xml::NodeRef& element, RecordCapture& capture, Arena& arena) {
  // The model keeps it whole where the search for party names, which reads
  // the model, could find a party in it: a misplaced one, which no document
  // type has, still counts as the getters count it.
  if (target_of(element.local_name()) != Target::None || holds_party_element(element))
    return xml::capture_node(element, arena);
  return capture_without_citations(element, capture.citations, arena);
}

}  // namespace tessellox
