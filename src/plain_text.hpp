// Inline content flattened to plain text, for the derived abstract and
// claims.
#pragma once

#include <string>

#include "model.hpp"

namespace tessellox {

// Appends the text of `content`: Text and RawXml text after the entity
// mapping, RawXml elements written back as markup, containers by their
// content. A nested claim text starts a new line unless the text appended so
// far ends in white space. Without `may_hold_ampersand` no Text holds an '&'
// (nor anything the mapping changes), and Texts are appended as they are.
void append_plain_text(const InlineContent& content, std::string& out, bool may_hold_ampersand = true);
std::string plain_text(const InlineContent& content);

}  // namespace tessellox
