#include "source/aps/reference_sections.hpp"

#include "text.hpp"

namespace tessellox {
namespace {

OptString value_of(const ApsField* field, Arena& arena) {
  if (field == nullptr) return std::nullopt;
  const std::string_view value = trim(aps_value(*field, arena));
  if (value.empty()) return std::nullopt;
  return value;
}

// The fields of one section occurrence. A header line is not a field, so one
// occurrence ends where the section changes or where a tag comes again.
template <typename Visit>
void for_each_group(std::span<const ApsField> fields, ApsSection section, Visit&& visit) {
  std::vector<const ApsField*> group;
  const auto flush = [&] {
    if (!group.empty()) visit(std::span<const ApsField* const>(group));
    group.clear();
  };
  for (const ApsField& field : fields) {
    if (field.section != section) {
      flush();
      continue;
    }
    for (const ApsField* held : group) {
      if (held->tag == field.tag) {
        flush();
        break;
      }
    }
    group.push_back(&field);
  }
  flush();
}

const ApsField* tagged(std::span<const ApsField* const> group, std::string_view tag) noexcept {
  for (const ApsField* field : group)
    if (field->tag == tag) return field;
  return nullptr;
}

}  // namespace

std::vector<Citation> aps_citations(std::span<const ApsField> fields, Arena& arena) {
  std::vector<Citation> citations;
  // The three sections in the order they come, each reference where it stood.
  std::size_t index = 0;
  while (index < fields.size()) {
    const ApsSection section = fields[index].section;
    std::size_t end = index;
    while (end < fields.size() && fields[end].section == section) ++end;
    const std::span<const ApsField> run = fields.subspan(index, end - index);
    if (section == ApsSection::Uref || section == ApsSection::Fref) {
      for_each_group(run, section, [&](std::span<const ApsField* const> group) {
        Citation citation;
        citation.number = value_of(tagged(group, "PNO"), arena);
        citation.date = value_of(tagged(group, "ISD"), arena);
        citation.name = value_of(tagged(group, "NAM"), arena);
        citation.country = section == ApsSection::Uref ? OptString("US") : value_of(tagged(group, "CNT"), arena);
        citations.push_back(citation);
      });
    } else if (section == ApsSection::Oref) {
      // Each PAL line is one reference.
      for (const ApsField& field : run) {
        if (field.tag != "PAL") continue;
        Citation citation;
        citation.kind = CitationKind::Other;
        citation.text = value_of(&field, arena);
        citations.push_back(citation);
      }
    }
    index = end;
  }
  return citations;
}

std::vector<ForeignPriority> aps_foreign_priority(std::span<const ApsField> fields, Arena& arena) {
  std::vector<ForeignPriority> claims;
  for_each_group(fields, ApsSection::Prir, [&](std::span<const ApsField* const> group) {
    claims.push_back(ForeignPriority{value_of(tagged(group, "CNT"), arena), value_of(tagged(group, "APN"), arena),
                                     value_of(tagged(group, "APD"), arena)});
  });
  return claims;
}

namespace {

std::optional<std::uint32_t> count_of(const OptString& value) { return value ? decimal_count(*value) : std::nullopt; }

// Every number written in a value ("1", "1,5").
void append_numbers(std::string_view value, std::vector<std::uint32_t>& numbers) {
  std::uint32_t number = 0;
  bool in_number = false;
  for (const char c : value) {
    if (c >= '0' && c <= '9' && number < 100000000) {
      number = number * 10 + static_cast<std::uint32_t>(c - '0');
      in_number = true;
    } else if (in_number) {
      numbers.push_back(number);
      number = 0;
      in_number = false;
    }
  }
  if (in_number) numbers.push_back(number);
}

}  // namespace

DocumentFacts aps_document_facts(std::span<const ApsField> fields, Arena& arena) {
  DocumentFacts facts;
  for (const ApsField& field : fields) {
    if (field.section != ApsSection::Patn) continue;
    const std::string_view tag = field.tag;
    if (tag == "SRC") {
      facts.series_code = value_of(&field, arena);
    } else if (tag == "APT") {
      facts.application_type = value_of(&field, arena);
    } else if (tag == "NCL") {
      facts.num_claims = count_of(value_of(&field, arena));
    } else if (tag == "NFG") {
      facts.num_figures = count_of(value_of(&field, arena));
    } else if (tag == "NDR") {
      facts.num_sheets = count_of(value_of(&field, arena));
    } else if (tag == "TRM") {
      facts.term_of_grant = count_of(value_of(&field, arena));
    } else if (tag == "DCD") {
      facts.disclaimer_date = value_of(&field, arena);
      if (facts.disclaimer_date) facts.term_disclaimer = true;
    } else if (tag == "ECL") {
      if (const OptString value = value_of(&field, arena)) append_numbers(*value, facts.exemplary_claims);
    }
  }
  return facts;
}

}  // namespace tessellox
