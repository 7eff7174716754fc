// The rows of a record's tables beyond the documents and claims: parties,
// related documents, PCT filings and, when asked for, the description's
// sections. Their strings are views into the document (text or arena), like
// every value of a record.
#pragma once

#include <cstdint>
#include <string_view>

#include "model.hpp"

namespace tessellox {

// One source element naming a person or organisation.
struct PartyRow {
  // "inventor", "applicant", "assignee", "attorney", "agent",
  // "correspondent", "primary examiner" or "assistant examiner".
  std::string_view role;
  std::uint32_t sequence = 0;  // the source's own, else the order among the role's elements from 1
  OptString given_name;
  OptString family_name;
  OptString organization;
  OptString city;
  OptString state;
  OptString country;
  OptString type;      // assignee type code, applicant designation or authority, app-type
  OptString art_unit;  // examiners
  bool deceased = false;
};

// One document that the source relates to this one. A parent and child pair
// gives two rows with the same sequence, `pair_role` telling which is which.
struct RelatedDocumentRow {
  std::string_view relation;  // see related_relation_names in related.hpp
  std::uint32_t sequence = 0;
  OptString country;
  OptString number;
  OptString kind_code;
  OptString date;
  OptString status;
  OptString pair_role;  // "parent" or "child"; absent outside a pair
};

// The international application a US filing entered from.
struct PctRow {
  OptString country;
  OptString number;
  OptString kind_code;
  OptString date;
  OptString date_371;  // the 35 USC 371 (c)(1), (2) and (4) date
  OptString publication_number;
  OptString publication_date;
};

// A run of the description: a section under one heading, or one
// paragraph of the drawings' description.
struct TextSectionRow {
  // "summary", "detailed description", "drawing description", "government
  // interest", "background", "related applications" or "other".
  std::string_view kind;
  OptString heading;
  std::uint32_t sequence = 0;  // from 1, in document order
  std::string_view text;       // paragraphs joined by a blank line
};

}  // namespace tessellox
