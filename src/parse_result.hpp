// What every parser returns: the document, or the error that stopped it.
#pragma once

#include "errors.hpp"
#include "model.hpp"
#include "result.hpp"

namespace tessellox {

using ParseResult = Result<SourceDocument, ParseError>;

}  // namespace tessellox
