// A document's record as a dict of plain Python values, in the order of the
// records schema.
#pragma once

#include "python/boundary.hpp"
#include "records/record.hpp"

namespace tessellox::python {

// Creates the key strings and dict shapes once; false with an exception set.
bool create_record_keys();

// A new dict: `origin` (None, or four values: file, member, ordinal, offset)
// gives the first four fields; nullptr with an exception set.
PyObject* new_record_dict(const DocumentRecord& record, PyObject* origin);

}  // namespace tessellox::python
