// The references of a document that a record holds beside the model: the
// foreign priority claims and the citations. The XML generations' models
// capture them as raw nodes, which the records read; APS text's model leaves
// them out, and its handler reads them from the text while parsing.
#pragma once

#include <cstdint>
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

// What a handler reads from the text for a record, with views into the
// document it parsed (its text or arena).
struct SourceReferences {
  std::vector<ForeignPriority> foreign_priority;
  std::vector<Citation> citations;
  // APS text: the fields it was cut into, views into the document's text,
  // for the record's other tables.
  std::vector<ApsField> aps_fields;
};

}  // namespace tessellox
