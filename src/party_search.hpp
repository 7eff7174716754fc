// The fallback search for party names in the unrecognised (RawXml) items of a
// bibliographic block, used when the typed party records give no name.
#pragma once

#include <string_view>
#include <vector>

#include "model.hpp"

namespace tessellox {

enum class PartyKind : unsigned char { Applicant, Assignee, Inventor };

// Searches the block's RawXml items depth-first for the party elements of
// `kind` and appends each one's name, kept in `arena`; the caller removes
// repeated names.
void search_party_names(const BibliographicInformation& block, PartyKind kind, std::vector<std::string_view>& names,
                        Arena& arena);

}  // namespace tessellox
