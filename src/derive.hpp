// Metadata derivation: the derived record of a document (derive), which the
// Python Document, the front matter and the records read, and the steps it
// is made of. Every function reads the first bibliographic part only and
// never fails.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model.hpp"
#include "plain_text.hpp"
#include "text.hpp"

namespace tessellox {

// The first BibliographicInformation root part, or nullptr.
const BibliographicInformation* first_bibliographic(const SourceDocument& document) noexcept;

// The first DocumentId item of the block, or nullptr.
const DocumentId* first_document_id(const BibliographicInformation* block) noexcept;

// Present, non-empty, and starting with B or E, or exactly "S".
bool is_grant_kind_code(const OptString& kind_code) noexcept;

// Country (or "US"), number (leading zeros dropped for all-digit grant
// numbers), kind code.
std::string format_document_number(const DocumentId& id);

// The names of the parties and the classification codes, in order, each
// once: views into the document, or into `arena` where a name is joined.
std::vector<std::string_view> applicant_names(const BibliographicInformation* block, Arena& arena);
std::vector<std::string_view> assignee_names(const BibliographicInformation* block, Arena& arena);
std::vector<std::string_view> inventor_names(const BibliographicInformation* block, Arena& arena);
std::vector<std::string_view> ipc_classifications(const BibliographicInformation* block);
std::vector<std::string_view> us_classifications(const BibliographicInformation* block);

std::vector<PriorityLink> priority_chain(const BibliographicInformation* block);
// Smallest parent date of the chain, byte-wise; the first of equal dates wins.
OptString earliest_priority_date(const std::vector<PriorityLink>& chain);

// The application number's inputs: the first DomesticFilingData item that has
// an ApplicationNumber with a doc_number decides, with that item's first
// series code.
std::optional<ApplicationNumberSource> locate_application_number(const BibliographicInformation* block) noexcept;

// The text of the first TitleOfInvention entry, or nullptr.
const std::string_view* title_of_invention(const BibliographicInformation* block) noexcept;

// The first filing date of the block's DomesticFilingData items.
OptString filing_date(const BibliographicInformation* block);

// The document's derived record, built once: the Python Document's
// metadata, the Markdown front matter and the records all read it. What it
// has to build (joined numbers and names, its lists) goes into `arena`: the
// document's own, unless the document may not change.
DerivedRecord derive(const SourceDocument& document, Arena& arena);

// The fifteen derived values alone, built in the document's arena.
DerivedMetadata derive_metadata(SourceDocument& document);

std::optional<std::string> abstract_text(const SourceDocument& document);

// Calls `visit(claim, text)` for every claim element of the document's Claims
// parts, in order, whose plain text trimmed is not empty; `text` is that
// trimmed text, valid during the call.
template <class Visit>
void for_each_claim_text(const SourceDocument& document, Visit&& visit) {
  std::string text;
  for (const RootPart& part : document.parts) {
    const auto* claims_part = std::get_if<Claims>(&part);
    if (claims_part == nullptr) continue;
    for (const ClaimsEntry& entry : claims_part->entries) {
      const auto* claim = std::get_if<ClaimElement>(&entry);
      if (claim == nullptr) continue;
      text.clear();
      append_plain_text(claim->content, text);
      const std::string_view trimmed = trim(text);
      if (!trimmed.empty()) visit(*claim, trimmed);
    }
  }
}

std::vector<Claim> claims(const SourceDocument& document);

}  // namespace tessellox
