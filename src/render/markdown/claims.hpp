// Claim text for the Markdown body: nested claim texts on lines of their own,
// indented by two spaces a level, then cleaned line by line.
#pragma once

#include <string>
#include <string_view>

#include "model.hpp"
#include "render/markdown/options.hpp"

namespace tessellox {

// Renders a claim's inline content into `raw` (cleared first), before the
// line clean-up. `scratch` is working space, reused between calls. Tables
// and formulas are rendered as `options` say, formulas inline: the claim is
// one fenced block of text.
void render_claim_text(const InlineContent& content, std::string& raw, std::string& scratch,
                       const MarkdownOptions& options = {});

// Appends `raw` cleaned: each line keeps its leading spaces, its words are
// joined by single spaces, and trailing white space of the whole is dropped.
void append_cleaned_claim_text(std::string_view raw, std::string& out);

}  // namespace tessellox
