// The references of a document that a record holds beside the model: the
// foreign priority claims and the citations. The XML generations' models
// capture them as raw nodes, which the records read; APS text's model leaves
// them out, and its handler reads them from the text while parsing.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "model.hpp"
#include "source/aps/fields.hpp"

namespace tessellox {

struct ForeignPriority {
  OptString country;
  OptString number;
  OptString date;
};

enum class CitationKind : std::uint8_t { Patent, Other };

struct Citation {
  CitationKind kind = CitationKind::Patent;
  OptString country;
  OptString number;
  OptString kind_code;
  OptString date;
  OptString name;
  OptString category;  // the source's own words ("cited by examiner")
  OptString text;      // an other citation's text
};

// Values of a document that its model leaves out, read for its record:
// counts, terms, codes and the claims its source calls exemplary.
struct DocumentFacts {
  std::optional<std::uint32_t> num_claims;
  std::optional<std::uint32_t> num_figures;
  std::optional<std::uint32_t> num_sheets;
  OptString series_code;
  OptString application_type;
  std::optional<std::uint32_t> term_extension_days;
  std::optional<bool> term_disclaimer;
  OptString disclaimer_date;
  std::optional<std::uint32_t> term_of_grant;  // years
  OptString botanic_latin_name;
  OptString botanic_variety;
  std::vector<std::uint32_t> exemplary_claims;  // printed claim numbers; none when the source names none
};

// What a handler reads from the text for a record, with views into the
// document it parsed (its text or arena).
struct SourceReferences {
  std::vector<ForeignPriority> foreign_priority;
  std::vector<Citation> citations;
  // APS text: the fields it was cut into, views into the document's text,
  // for the record's other tables.
  std::vector<ApsField> aps_fields;
  DocumentFacts facts;
};

}  // namespace tessellox
