// Each table's row as its values, in the order records/schema.cpp declares
// its columns: `out` takes one call per column (text, integer, flag, texts,
// integers, entries, rows), and gives each value its key from the
// declaration. The record's dict and JSON line are both written through
// these, so a column is named in one place only.
//
// A new table needs its declaration, its rows in DocumentRecord, and one
// emit_row overload here.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>

#include "records/record.hpp"

namespace tessellox {

// A scalar column's value goes to the call its type makes it: a flag, an
// integer, or text (a view, an optional view or an owned string).
template <class Out, class Value>
void emit_scalar(Out& out, const Value& value) {
  using Type = std::remove_cvref_t<Value>;
  if constexpr (std::is_same_v<Type, bool> || std::is_same_v<Type, std::optional<bool>>)
    out.flag(value);
  else if constexpr (std::is_same_v<Type, std::uint32_t> || std::is_same_v<Type, std::optional<std::uint32_t>>)
    out.integer(value);
  else
    out.text(value);
}

// Scalar columns, in their declared order.
template <class Out, class... Values>
void emit_scalars(Out& out, const Values&... values) {
  (emit_scalar(out, values), ...);
}

template <class Out>
void emit_row(Out& out, const ClaimRecord& claim) {
  emit_scalars(out, claim.number, std::string_view(claim.text));
  out.integers(claim.depends_on);
  out.flag(claim.exemplary);
}

template <class Out>
void emit_row(Out& out, const ForeignPriority& claim) {
  emit_scalars(out, claim.country, claim.number, claim.date);
}

template <class Out>
void emit_row(Out& out, const Citation& citation) {
  const std::string_view kind = citation.kind == CitationKind::Patent ? "patent" : "other";
  emit_scalars(out, kind, citation.country, citation.number, citation.kind_code, citation.date, citation.name,
               citation.category, citation.text);
}

template <class Out>
void emit_row(Out& out, const ClassificationRecord& row) {
  emit_scalars(out, row.scheme, row.sequence, row.main, row.code, row.combination_set, row.combination_rank,
               row.version_date, row.section, row.class_, row.subclass, row.main_group, row.subgroup,
               row.symbol_position, row.classification_value, row.us_main_class, row.us_subclass);
}

template <class Out>
void emit_row(Out& out, const PartyRow& party) {
  emit_scalars(out, party.role, party.sequence, party.given_name, party.family_name, party.organization, party.city,
               party.state, party.country, party.type, party.art_unit, party.deceased);
}

template <class Out>
void emit_row(Out& out, const RelatedDocumentRow& document) {
  emit_scalars(out, document.relation, document.sequence, document.country, document.number, document.kind_code,
               document.date, document.status, document.pair_role);
}

template <class Out>
void emit_row(Out& out, const PctRow& filing) {
  emit_scalars(out, filing.country, filing.number, filing.kind_code, filing.date, filing.date_371,
               filing.publication_number, filing.publication_date);
}

template <class Out>
void emit_row(Out& out, const TextSectionRow& section) {
  emit_scalars(out, section.kind, section.heading, section.sequence, section.text);
}

// The documents row after its origin, which the caller writes.
template <class Out>
void emit_row(Out& out, const DocumentRecord& record) {
  const DerivedMetadata& derived = record.derived;
  emit_scalars(out, source_format_name(record.source_format), derived.publication_number, derived.patent_number,
               derived.application_number, derived.title, derived.filing_date, derived.publication_date,
               derived.priority_date);
  for (const auto* names : {&derived.inventors, &derived.applicants, &derived.assignees, &derived.ipc_classifications,
                            &derived.us_classifications})
    out.texts(*names);
  out.text(record.abstract_text);
  out.rows(record.claims);
  emit_scalars(out, record.kind_code, record.document_type);
  out.texts(record.cpc_classifications);
  out.entries(record.foreign_priority);
  out.text(record.earliest_priority_date);
  out.rows(record.citations);
  const DocumentFacts& facts = record.facts;
  emit_scalars(out, facts.num_claims, facts.num_figures, facts.num_sheets, facts.series_code, facts.application_type,
               facts.term_extension_days, facts.term_disclaimer, facts.disclaimer_date, facts.term_of_grant,
               facts.botanic_latin_name, facts.botanic_variety);
  out.rows(record.classifications);
  out.rows(record.parties);
  out.rows(record.related_documents);
  out.rows(record.pct);
  out.rows(record.text_sections);  // null unless asked for
}

}  // namespace tessellox
