// The format handler table: from a detected format to the parser that reads
// it, and the parse dispatch that runs detection first.
#pragma once

#include <string>
#include <string_view>

#include "errors.hpp"
#include "model.hpp"
#include "parse_result.hpp"
#include "references.hpp"
#include "result.hpp"

namespace tessellox {

struct FormatHandler {
  // Parses the whole text; the document keeps the text and stores `format`.
  ParseResult (*parse)(SourceText text, SourceFormat format, ParseScope scope);
  // Writes a document back in the handler's format; absent (nullptr) for the
  // formats that offer no serialisation.
  Result<std::string, ParseError> (*serialize)(const SourceDocument& document);
  // The parse for a record of a format whose model leaves out the references
  // a record holds: it reads them from the text besides. Absent (nullptr)
  // for the formats whose model captures them.
  ParseResult (*parse_with_references)(SourceText text, SourceFormat format, SourceReferences& references);
  // The parse for a record of an XML generation with a bibliographic part:
  // it keeps what `capture` asks for while its tree is alive. Absent
  // (nullptr) for the other formats.
  ParseResult (*parse_for_record)(SourceText text, SourceFormat format, ParseScope scope, RecordCapture& capture);
};

const FormatHandler& format_handler(SourceFormat format) noexcept;

// Detection, then the parse operation of the detected format's handler.
ParseResult parse_source(SourceText text);

}  // namespace tessellox
