// The records schema as Python values, for the companion package to derive
// its tables from: tessellox_tools._records.SCHEMA.
#pragma once

#include "python/boundary.hpp"

namespace tessellox::python {

// A tuple of the tables, documents first, each (name, columns); a column is
// (name, type, nullable, entry columns), the entry columns a tuple of columns
// for an "entries" column and empty for the others. A "rows" column names a
// nested table of the tuple. Nullptr with an exception set.
PyObject* new_schema_value();

}  // namespace tessellox::python
