// CALS tables as GitHub-flavoured pipe tables or HTML tables.
#pragma once

#include <string>
#include <string_view>

#include "model.hpp"
#include "render/markdown/options.hpp"

namespace tessellox {

// True for the elements that hold a table: tables, table-cwu, TABLE-US,
// TABLE-CALS and table itself.
bool is_table_block_name(std::string_view name) noexcept;

// Appends each CALS table below `block` as the options say, each on lines of
// its own; a block with no table, as an image reference, or as XML when it
// names no image either.
void append_table_block(const RawXml& block, const MarkdownOptions& options, std::string& out);

}  // namespace tessellox
