#pragma once

#include <string_view>

#include "parse_result.hpp"

namespace tessellox {

ParseResult parse_v4_grant(SourceText text, SourceFormat format, ParseScope scope = ParseScope::Document);
ParseResult parse_v4_application(SourceText text, SourceFormat format, ParseScope scope = ParseScope::Document);
// The same, keeping for a record what `capture` asks for.
ParseResult parse_v4_grant_for_record(SourceText text, SourceFormat format, ParseScope scope, RecordCapture& capture);
ParseResult parse_v4_application_for_record(SourceText text, SourceFormat format, ParseScope scope,
                                            RecordCapture& capture);

}  // namespace tessellox
