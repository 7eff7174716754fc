#pragma once

#include <string_view>

#include "parse_result.hpp"

namespace tessellox {

ParseResult parse_st32(SourceText text, SourceFormat format, ParseScope scope = ParseScope::Document);
// The same, keeping for a record what `capture` asks for.
ParseResult parse_st32_for_record(SourceText text, SourceFormat format, ParseScope scope, RecordCapture& capture);

}  // namespace tessellox
