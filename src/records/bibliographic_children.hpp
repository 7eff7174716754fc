// The children of an XML generation's bibliographic element that the
// record's tables read beyond the model (the parts of a party's name and
// address, examiners, related documents, PCT data, classifications as
// written, ST.32's series code): what a record's parse keeps of the
// handler's tree (RecordCapture). parties.cpp, related.cpp, pct.cpp,
// classifications.cpp and the series code read nothing else of the element.
#pragma once

#include <span>
#include <string_view>

#include "model.hpp"

namespace tessellox {

// Local names; empty for the formats without a bibliographic element.
std::span<const std::string_view> bibliographic_children_read(SourceFormat format) noexcept;

}  // namespace tessellox
