// What every parser returns: the document, or the error that stopped it.
#pragma once

#include <cstdint>

#include "errors.hpp"
#include "model.hpp"
#include "result.hpp"

namespace tessellox {

using ParseResult = Result<SourceDocument, ParseError>;

// What a parse builds: the whole document, or what a record reads. No record
// field comes from the description, so a record's parse leaves it empty (the
// part stays in its place) and saves a fifth of the work.
enum class ParseScope : std::uint8_t { Document, Record };

}  // namespace tessellox
