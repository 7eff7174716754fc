// Claims with the claims each one depends on.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "records/record.hpp"

namespace tessellox {

// The claims numbered as `claims()` numbers them. A claim's references
// (claim-ref, dependent-claim-reference, CLREF) give the claims their words
// name (the reference's text and the list or range that continues it), read
// as the numbers the claims print; a number no claim prints, or words naming
// none, give the reference's target, resolved through the claims' ids. A
// claim without references gives the claims its text names.
std::vector<ClaimRecord> claim_records(const SourceDocument& document);

// The numbers of "claim N" references in `text` ("claims 1 or 2", "claims 3
// to 5"), those from 1 to `below` - 1 only, each once, in order.
std::vector<std::uint32_t> referred_claim_numbers(std::string_view text, std::uint32_t below);

}  // namespace tessellox
