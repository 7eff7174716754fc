// Metadata derivation: everything a Document exposes beyond the model, and
// the derivations the front matter shares. Every function reads the first
// bibliographic part only and never fails.
#pragma once

#include <optional>
#include <string>
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

std::vector<std::string> applicant_names(const BibliographicInformation* block);
std::vector<std::string> assignee_names(const BibliographicInformation* block);
std::vector<std::string> inventor_names(const BibliographicInformation* block);
std::vector<std::string> ipc_classifications(const BibliographicInformation* block);
std::vector<std::string> us_classifications(const BibliographicInformation* block);

std::vector<PriorityLink> priority_chain(const BibliographicInformation* block);
// Smallest parent date of the chain, byte-wise; the first of equal dates wins.
OptString earliest_priority_date(const std::vector<PriorityLink>& chain);

// The application number's inputs: the first DomesticFilingData item that has
// an ApplicationNumber with a doc_number decides, with that item's first
// series code (nullptr when it has none).
struct ApplicationNumberSource {
  const std::string_view* number = nullptr;
  const std::string_view* series_code = nullptr;
};
std::optional<ApplicationNumberSource> locate_application_number(const BibliographicInformation* block) noexcept;

// The text of the first TitleOfInvention entry, or nullptr.
const std::string_view* title_of_invention(const BibliographicInformation* block) noexcept;

// The first filing date of the block's DomesticFilingData items.
OptString filing_date(const BibliographicInformation* block);

// Everything derived from the first bibliographic part, computed once: the
// Python Document's metadata and the Markdown front matter both read it. Its
// views point into the document.
struct DerivedFields {
  const DocumentId* document_id = nullptr;             // the first DocumentId item
  bool grant = false;                                  // the document id's kind code is a grant's
  std::optional<std::string> document_number;          // the document id formatted
  std::optional<ApplicationNumberSource> application;  // the application number's inputs
  OptString filing_date;
  const std::string_view* title = nullptr;
  std::vector<PriorityLink> priority_chain;
  OptString priority_date;  // the earliest parent date of the chain
  std::vector<std::string> ipc_classifications;
  std::vector<std::string> us_classifications;
  std::vector<std::string> inventors;
  std::vector<std::string> applicants;
  std::vector<std::string> assignees;
};
DerivedFields derive_fields(const SourceDocument& document);

// The derived block; strings it builds (joined numbers and names) go into the
// document's arena.
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
