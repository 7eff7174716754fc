#pragma once

#include <string_view>

#include "parse_result.hpp"

namespace tessellox {

ParseResult parse_pap(SourceText text, SourceFormat format, ParseScope scope = ParseScope::Document);
// The same, keeping for a record what `capture` asks for.
ParseResult parse_pap_for_record(SourceText text, SourceFormat format, ParseScope scope, RecordCapture& capture);

}  // namespace tessellox
