// The reference sections of APS text, which the document model leaves out:
// US, foreign and other references (UREF, FREF, OREF) and foreign priority
// (PRIR), read from the fields the parser cut the text into.
#pragma once

#include <span>
#include <vector>

#include "references.hpp"
#include "source/aps/fields.hpp"

namespace tessellox {

std::vector<Citation> aps_citations(std::span<const ApsField> fields, Arena& arena);
std::vector<ForeignPriority> aps_foreign_priority(std::span<const ApsField> fields, Arena& arena);

// The patent's counts, codes and term (PATN's NCL, NFG, NDR, SRC, APT, TRM,
// DCD) and its exemplary claims (ECL).
DocumentFacts aps_document_facts(std::span<const ApsField> fields, Arena& arena);

}  // namespace tessellox
