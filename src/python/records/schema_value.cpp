#include "python/records/schema_value.hpp"

#include <vector>

#include "records/schema.hpp"

namespace tessellox::python {
namespace {

// A new tuple of `values`, stealing them; nullptr if one is.
PyObject* new_tuple_of(const std::vector<PyObject*>& values) {
  bool complete = true;
  for (PyObject* value : values) complete = complete && value != nullptr;
  PyObject* tuple = complete ? PyTuple_New(static_cast<Py_ssize_t>(values.size())) : nullptr;
  for (std::size_t index = 0; index < values.size(); ++index) {
    if (tuple != nullptr)
      PyTuple_SetItem(tuple, static_cast<Py_ssize_t>(index), values[index]);  // steals the reference
    else
      Py_XDECREF(values[index]);
  }
  return tuple;
}

PyObject* new_columns_value(const TableShape& shape);

PyObject* new_column_value(const Column& column) {
  const bool entries = column.type == ColumnType::Entries;
  return new_tuple_of({new_str(column.name), new_str(column_type_name(column.type)), PyBool_FromLong(column.nullable),
                       entries ? new_columns_value(*column.shape) : PyTuple_New(0)});
}

PyObject* new_columns_value(const TableShape& shape) {
  std::vector<PyObject*> columns;
  for (const Column& column : shape.columns) columns.push_back(new_column_value(column));
  return new_tuple_of(columns);
}

}  // namespace

PyObject* new_schema_value() {
  std::vector<PyObject*> tables;
  const auto add = [&tables](const TableShape& shape) {
    tables.push_back(new_tuple_of({new_str(shape.name), new_columns_value(shape)}));
  };
  add(documents_shape());
  for (const Column& column : documents_shape().columns)
    if (column.type == ColumnType::Rows) add(*column.shape);
  return new_tuple_of(tables);
}

}  // namespace tessellox::python
