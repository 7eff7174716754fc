// The text_sections table: the description cut into its sections, each a
// heading and its paragraphs as plain text, by the abstract's rule
// (paragraphs joined by a blank line, blank ones left out). In the
// description of the drawings each paragraph, one figure's description, is a
// row of its own. Their named references are resolved as resolve_record_entities
// resolves every other record value.
#pragma once

#include <span>
#include <vector>

#include "model.hpp"
#include "records/tables.hpp"
#include "references.hpp"

namespace tessellox {

// From the description part of a document parsed whole: its parts and the
// processing instructions (version 4) or elements (pre-grant publications,
// ST.32) that mark its sections.
// Without `may_hold_ampersand`, no text of the document holds an '&'.
std::vector<TextSectionRow> text_section_rows(const SourceDocument& document, Arena& arena, bool may_hold_ampersand);

// From APS text's BSUM, DETD, DRWD, GOVT and PARN sections.
std::vector<TextSectionRow> aps_text_section_rows(std::span<const ApsField> fields, Arena& arena);

}  // namespace tessellox
