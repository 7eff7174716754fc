// record_json_lines(data, bounds, index, limit, origin_head, first_ordinal,
// base, sections): the JSON Lines of the documents data[start:end] for each
// (start, end) of bounds[index:], each line headed by `origin_head` (the
// origin's file and member, as JSON, without the closing brace) and its
// ordinal and offset, counted from `first_ordinal` and `base`. It stops
// before the first document it leaves to its caller: larger than `limit`,
// declaring any encoding in other words than the usual UTF-8 declaration,
// or failing. Returns (lines, the index it stopped at, the bytes of the
// documents written).
#pragma once

#include "python/boundary.hpp"

namespace tessellox::python {

PyObject* record_json_lines(PyObject* module, PyObject* args, PyObject* kwargs);

}  // namespace tessellox::python
