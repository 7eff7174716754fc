// Named character references left in a record's text ("W&ouml;rwag"): those
// of the ISO 8879 entity sets that the USPTO document type definitions use
// read as their characters in a record. The model, its getters and the
// Markdown keep them as written.
#pragma once

#include <string>
#include <string_view>

#include "arena.hpp"
#include "records/record.hpp"

namespace tessellox {

// Appends `text` to `out` with each reference of those sets ("&ouml;")
// replaced by its characters; a name outside them stays as written. False,
// with nothing appended, when `text` holds no such reference.
bool append_resolved_entities(std::string_view text, std::string& out);

// Every text value of `record` but its text sections' with its references
// resolved; a value that
// changes is copied into `arena` (the document's), and lists shared with the
// document are replaced, not written to.
void resolve_record_entities(DocumentRecord& record, Arena& arena);

}  // namespace tessellox
