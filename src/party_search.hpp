// The fallback search for party names in the unrecognised (RawXml) items of a
// bibliographic block, used when the typed party records give no name.
#pragma once

#include <string_view>
#include <vector>

#include "model.hpp"

namespace tessellox {

enum class PartyKind : unsigned char { Applicant, Assignee, Inventor };

// Whether an element of this name is a party the search finds, of any kind.
constexpr bool is_party_name(std::string_view name) noexcept {
  // By length first: it is asked of every element of a grant's citations.
  switch (name.size()) {
    case 4: return name == "B721";
    case 8: return name == "inventor" || name == "assignee";
    case 9: return name == "applicant";
    case 11: return name == "us-inventor";
    case 12: return name == "us-applicant";
    case 20: return name == "first-named-inventor";
    default: return false;
  }
}

// Searches the block's RawXml items depth-first for the party elements of
// `kind` and appends each one's name, kept in `arena`; the caller removes
// repeated names.
void search_party_names(const BibliographicInformation& block, PartyKind kind, std::vector<std::string_view>& names,
                        Arena& arena);

}  // namespace tessellox
