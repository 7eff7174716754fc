// Records: parse_record fails exactly where parse_source fails, with the
// same message; on a parsed document its fifteen values are those of
// derive_metadata and its claims those of claims(), with their entity
// references resolved, every dependency names an earlier claim, and every
// text it holds is UTF-8 when the input was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "derive.hpp"
#include "fuzz_support.hpp"
#include "records/entities.hpp"
#include "records/record.hpp"

namespace {

std::string resolved(std::string_view text) {
  std::string out;
  if (!tessellox::append_resolved_entities(text, out)) out = text;
  return out;
}

bool same_resolved(const tessellox::OptString& recorded, const tessellox::OptString& derived) {
  return recorded.has_value() == derived.has_value() && (!recorded || *recorded == resolved(*derived));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessellox;
  const std::string_view text = fuzz::as_text(data, size);
  const bool input_is_utf8 = fuzz::is_valid_utf8(text);
  ParseResult parsed = parse_source(text);
  auto recorded = parse_record(text);
  fuzz::require(parsed.ok() == recorded.ok());
  if (!parsed) {
    fuzz::require(parsed.error().message() == recorded.error().message());
    return 0;
  }
  const DocumentRecord& record = recorded.value().record;
  const DerivedMetadata derived = derive_metadata(parsed.value());
  fuzz::require(same_resolved(record.derived.patent_number, derived.patent_number));
  fuzz::require(same_resolved(record.derived.publication_number, derived.publication_number));
  fuzz::require(same_resolved(record.derived.title, derived.title));
  fuzz::require(same_resolved(record.derived.priority_date, derived.priority_date));
  fuzz::require(record.derived.ipc_classifications.size() == derived.ipc_classifications.size());
  for (std::size_t i = 0; i < derived.ipc_classifications.size(); ++i)
    fuzz::require(record.derived.ipc_classifications[i] == resolved(derived.ipc_classifications[i]));
  const std::vector<Claim> claims = tessellox::claims(parsed.value());
  fuzz::require(claims.size() == record.claims.size());
  for (std::size_t i = 0; i < claims.size(); ++i) {
    fuzz::require(resolved(claims[i].text) == record.claims[i].text && claims[i].number == record.claims[i].number);
    for (const std::uint32_t number : record.claims[i].depends_on)
      fuzz::require(number >= 1 && number < claims[i].number);
  }
  for (const std::string_view code : record.cpc_classifications) fuzz::require_utf8(input_is_utf8, code);
  for (const Citation& citation : record.citations) {
    for (const OptString* field : {&citation.country, &citation.number, &citation.kind_code, &citation.date,
                                   &citation.name, &citation.category, &citation.text})
      fuzz::require_utf8(input_is_utf8, *field);
  }
  for (const ForeignPriority& claim : record.foreign_priority) {
    fuzz::require_utf8(input_is_utf8, claim.country);
    fuzz::require_utf8(input_is_utf8, claim.number);
    fuzz::require_utf8(input_is_utf8, claim.date);
    if (claim.date && record.earliest_priority_date) fuzz::require(*record.earliest_priority_date <= *claim.date);
  }
  return 0;
}
