// Each table's row as its values, in the order records/schema.cpp declares
// its columns: `out` takes one call per column (text, integer, flag, texts,
// integers, entries, rows), and gives each value its key from the
// declaration. The record's dict and JSON line are both written through
// these, so a column is named in one place only.
//
// A new table needs its declaration, its rows in DocumentRecord, and one
// emit_row overload here.
#pragma once

#include "records/record.hpp"

namespace tessellox {

template <class Out>
void emit_row(Out& out, const ClaimRecord& claim) {
  out.integer(claim.number);
  out.text(std::string_view(claim.text));
  out.integers(claim.depends_on);
  out.flag(claim.exemplary);
}

template <class Out>
void emit_row(Out& out, const ForeignPriority& claim) {
  out.text(claim.country);
  out.text(claim.number);
  out.text(claim.date);
}

template <class Out>
void emit_row(Out& out, const Citation& citation) {
  out.text(std::string_view(citation.kind == CitationKind::Patent ? "patent" : "other"));
  out.text(citation.country);
  out.text(citation.number);
  out.text(citation.kind_code);
  out.text(citation.date);
  out.text(citation.name);
  out.text(citation.category);
  out.text(citation.text);
}

template <class Out>
void emit_row(Out& out, const ClassificationRecord& classification) {
  out.text(classification.scheme);
  out.integer(classification.sequence);
  out.flag(classification.main);
  out.text(classification.code);
  out.integer(classification.combination_set);
  out.integer(classification.combination_rank);
  out.text(classification.version_date);
  out.text(classification.section);
  out.text(classification.class_);
  out.text(classification.subclass);
  out.text(classification.main_group);
  out.text(classification.subgroup);
  out.text(classification.symbol_position);
  out.text(classification.classification_value);
  out.text(classification.us_main_class);
  out.text(classification.us_subclass);
}

template <class Out>
void emit_row(Out& out, const PartyRow& party) {
  out.text(party.role);
  out.integer(party.sequence);
  out.text(party.given_name);
  out.text(party.family_name);
  out.text(party.organization);
  out.text(party.city);
  out.text(party.state);
  out.text(party.country);
  out.text(party.type);
  out.text(party.art_unit);
  out.flag(party.deceased);
}

template <class Out>
void emit_row(Out& out, const RelatedDocumentRow& document) {
  out.text(document.relation);
  out.integer(document.sequence);
  out.text(document.country);
  out.text(document.number);
  out.text(document.kind_code);
  out.text(document.date);
  out.text(document.status);
  out.text(document.pair_role);
}

template <class Out>
void emit_row(Out& out, const PctRow& filing) {
  out.text(filing.country);
  out.text(filing.number);
  out.text(filing.kind_code);
  out.text(filing.date);
  out.text(filing.date_371);
  out.text(filing.publication_number);
  out.text(filing.publication_date);
}

template <class Out>
void emit_row(Out& out, const TextSectionRow& section) {
  out.text(section.kind);
  out.text(section.heading);
  out.integer(section.sequence);
  out.text(section.text);
}

// The documents row after its origin, which the caller writes.
template <class Out>
void emit_row(Out& out, const DocumentRecord& record) {
  const DerivedMetadata& derived = record.derived;
  out.text(source_format_name(record.source_format));
  out.text(derived.publication_number);
  out.text(derived.patent_number);
  out.text(derived.application_number);
  out.text(derived.title);
  out.text(derived.filing_date);
  out.text(derived.publication_date);
  out.text(derived.priority_date);
  out.texts(derived.inventors);
  out.texts(derived.applicants);
  out.texts(derived.assignees);
  out.texts(derived.ipc_classifications);
  out.texts(derived.us_classifications);
  out.text(record.abstract_text);
  out.rows(record.claims);
  out.text(record.kind_code);
  out.text(record.document_type);
  out.texts(record.cpc_classifications);
  out.entries(record.foreign_priority);
  out.text(record.earliest_priority_date);
  out.rows(record.citations);
  out.integer(record.facts.num_claims);
  out.integer(record.facts.num_figures);
  out.integer(record.facts.num_sheets);
  out.text(record.facts.series_code);
  out.text(record.facts.application_type);
  out.integer(record.facts.term_extension_days);
  out.flag(record.facts.term_disclaimer);
  out.text(record.facts.disclaimer_date);
  out.integer(record.facts.term_of_grant);
  out.text(record.facts.botanic_latin_name);
  out.text(record.facts.botanic_variety);
  out.rows(record.classifications);
  out.rows(record.parties);
  out.rows(record.related_documents);
  out.rows(record.pct);
  out.rows(record.text_sections);  // null unless asked for
}

}  // namespace tessellox
