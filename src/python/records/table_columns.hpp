// The columns of the record's row tables (parties, related documents, PCT
// filings, text sections) in their order, named once for the record's dict
// and its JSON: `visit(name, value)` for each, the value an optional string,
// a string, a count or a flag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "records/tables.hpp"

namespace tessellox::python {

template <class Visit>
constexpr void for_each_column(const PartyRow& row, Visit&& visit) {
  visit("role", row.role);
  visit("sequence", row.sequence);
  visit("given_name", row.given_name);
  visit("family_name", row.family_name);
  visit("organization", row.organization);
  visit("city", row.city);
  visit("state", row.state);
  visit("country", row.country);
  visit("type", row.type);
  visit("art_unit", row.art_unit);
  visit("deceased", row.deceased);
}

template <class Visit>
constexpr void for_each_column(const RelatedDocumentRow& row, Visit&& visit) {
  visit("relation", row.relation);
  visit("sequence", row.sequence);
  visit("country", row.country);
  visit("number", row.number);
  visit("kind_code", row.kind_code);
  visit("date", row.date);
  visit("status", row.status);
  visit("pair_role", row.pair_role);
}

template <class Visit>
constexpr void for_each_column(const PctRow& row, Visit&& visit) {
  visit("country", row.country);
  visit("number", row.number);
  visit("kind_code", row.kind_code);
  visit("date", row.date);
  visit("date_371", row.date_371);
  visit("publication_number", row.publication_number);
  visit("publication_date", row.publication_date);
}

template <class Visit>
constexpr void for_each_column(const TextSectionRow& row, Visit&& visit) {
  visit("kind", row.kind);
  visit("heading", row.heading);
  visit("sequence", row.sequence);
  visit("text", row.text);
}

template <class Row>
constexpr std::size_t column_count() noexcept {
  std::size_t count = 0;
  for_each_column(Row{}, [&count](std::string_view, const auto&) { ++count; });
  return count;
}

}  // namespace tessellox::python
