// Records: parse_record fails exactly where parse_source fails, with the
// same message; on a parsed document its fifteen values are those of
// derive_metadata, its claims those of claims(), every dependency names an
// earlier claim, and every text it holds is UTF-8 when the input was.
#include <cstddef>
#include <cstdint>

#include "derive.hpp"
#include "fuzz_support.hpp"
#include "records/record.hpp"

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
  fuzz::require(record.derived.patent_number == derived.patent_number);
  fuzz::require(record.derived.publication_number == derived.publication_number);
  fuzz::require(record.derived.title == derived.title);
  fuzz::require(record.derived.priority_date == derived.priority_date);
  fuzz::require(record.derived.ipc_classifications == derived.ipc_classifications);
  const std::vector<Claim> claims = tessellox::claims(parsed.value());
  fuzz::require(claims.size() == record.claims.size());
  for (std::size_t i = 0; i < claims.size(); ++i) {
    fuzz::require(claims[i].text == record.claims[i].text && claims[i].number == record.claims[i].number);
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
