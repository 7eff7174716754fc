#include "python/records/record_dict.hpp"

#include <cassert>
#include <vector>

#include "records/record_rows.hpp"
#include "records/schema.hpp"

namespace tessellox::python {
namespace {

// A shape's keys, interned, and a dict of them all set to None, in order: a
// copy of it takes the keys' table as it stands, so that setting the values
// neither inserts nor grows (building each dict key by key cost a third of a
// citation's conversion).
struct DictShape {
  std::vector<PyObject*> keys;
  PyObject* empty = nullptr;
};

// Made once and kept for the life of the process, like the module; one per
// shape of the schema, by the shape's id.
std::vector<DictShape>& dict_shapes() {
  static std::vector<DictShape> shapes;
  return shapes;
}

template <typename Items, typename Make>
PyObject* new_items_list(const Items& items, Make&& make) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(items.size()));
  if (list == nullptr) return nullptr;
  Py_ssize_t index = 0;
  for (const auto& item : items) {
    PyObject* value = make(item);
    if (value == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SetItem(list, index++, value);  // steals the reference
  }
  return list;
}

PyObject* new_optional_int(const std::optional<std::uint32_t>& value) {
  return value ? PyLong_FromUnsignedLong(*value) : Py_NewRef(Py_None);
}

PyObject* new_optional_flag(const std::optional<bool>& value) {
  return value ? PyBool_FromLong(*value) : Py_NewRef(Py_None);
}

// Fills one dict of a shape, each value under the key that the schema
// declares for its column; rows and entries become lists of dicts.
class DictRow {
 public:
  DictRow(PyObject* dict, const TableShape& shape, std::size_t first = 0)
      : dict_(dict), shape_(shape), keys_(dict_shapes()[shape.id].keys), index_(first) {}

  bool complete() const noexcept { return ok_ && index_ == shape_.columns.size(); }

  void text(std::string_view value) { put(ColumnType::Text, new_str(value)); }
  void text(const OptString& value) { put(ColumnType::Text, new_optional_str(value)); }
  void text(const std::optional<std::string>& value) {
    put(ColumnType::Text, value ? new_str(*value) : Py_NewRef(Py_None));
  }
  void integer(std::uint32_t value) { put(ColumnType::Integer, PyLong_FromUnsignedLong(value)); }
  void integer(const std::optional<std::uint32_t>& value) { put(ColumnType::Integer, new_optional_int(value)); }
  void flag(bool value) { put(ColumnType::Flag, PyBool_FromLong(value)); }
  void flag(const std::optional<bool>& value) { put(ColumnType::Flag, new_optional_flag(value)); }
  template <typename Items>
  void texts(const Items& items) {
    put(ColumnType::TextList,
        ok_ ? new_items_list(items, [](std::string_view item) { return new_str(item); }) : nullptr);
  }
  void integers(const std::vector<std::uint32_t>& items) {
    put(ColumnType::IntegerList,
        ok_ ? new_items_list(items, [](std::uint32_t item) { return PyLong_FromUnsignedLong(item); }) : nullptr);
  }
  template <typename Items>
  void entries(const Items& items) {
    nested(ColumnType::Entries, items);
  }
  template <typename Items>
  void rows(const Items& items) {
    nested(ColumnType::Rows, items);
  }
  // Rows that are only there when asked for: None otherwise.
  template <typename Items>
  void rows(const std::optional<Items>& items) {
    if (items)
      nested(ColumnType::Rows, *items);
    else
      put(ColumnType::Rows, Py_NewRef(Py_None));
  }

 private:
  // Sets the next column's value, stealing it; nullptr (an exception set)
  // or a refused value ends the row. None is there already: the dict is a
  // copy of the shape's dict of Nones.
  void put(ColumnType type, PyObject* value) {
    assert(index_ < shape_.columns.size() && shape_.columns[index_].type == type);
    (void)type;
    PyObject* key = keys_[index_++];
    if (!ok_ || value == nullptr) {
      Py_XDECREF(value);
      ok_ = false;
      return;
    }
    if (value != Py_None) ok_ = PyDict_SetItem(dict_, key, value) == 0;
    Py_DECREF(value);
  }

  template <typename Items>
  void nested(ColumnType type, const Items& items) {
    const TableShape& shape = *shape_.columns[index_].shape;
    if (!ok_) return put(type, nullptr);
    put(type, new_items_list(items, [&shape](const auto& item) -> PyObject* {
          PyObject* dict = PyDict_Copy(dict_shapes()[shape.id].empty);
          if (dict == nullptr) return nullptr;
          DictRow row(dict, shape);
          emit_row(row, item);
          if (row.complete()) return dict;
          Py_DECREF(dict);
          return nullptr;
        }));
  }

  PyObject* dict_;
  const TableShape& shape_;
  const std::vector<PyObject*>& keys_;
  std::size_t index_;
  bool ok_ = true;
};

PyObject* new_origin_value(PyObject* origin, Py_ssize_t index) {
  if (origin == nullptr || origin == Py_None) return Py_NewRef(Py_None);
  return PySequence_GetItem(origin, index);
}

}  // namespace

bool create_record_keys() {
  std::vector<DictShape>& shapes = dict_shapes();
  if (!shapes.empty()) return true;
  std::vector<DictShape> made(record_shapes().size());
  for (const TableShape* shape : record_shapes()) {
    DictShape& dict_shape = made[shape->id];
    for (const Column& column : shape->columns) {
      PyObject* key = PyUnicode_InternFromString(std::string(column.name).c_str());
      if (key == nullptr) return false;
      dict_shape.keys.push_back(key);
    }
    dict_shape.empty = PyDict_New();
    if (dict_shape.empty == nullptr) return false;
    for (PyObject* key : dict_shape.keys)
      if (PyDict_SetItem(dict_shape.empty, key, Py_None) < 0) return false;
  }
  shapes = std::move(made);
  return true;
}

PyObject* new_record_dict(const DocumentRecord& record, PyObject* origin) {
  const TableShape& shape = documents_shape();
  const DictShape& dict_shape = dict_shapes()[shape.id];
  PyObject* dict = PyDict_Copy(dict_shape.empty);
  if (dict == nullptr) return nullptr;
  for (std::size_t index = 0; index < kOriginColumns; ++index) {
    PyObject* value = new_origin_value(origin, static_cast<Py_ssize_t>(index));
    const bool set = value != nullptr && PyDict_SetItem(dict, dict_shape.keys[index], value) == 0;
    Py_XDECREF(value);
    if (!set) {
      Py_DECREF(dict);
      return nullptr;
    }
  }
  DictRow row(dict, shape, kOriginColumns);
  emit_row(row, record);
  if (row.complete()) return dict;
  Py_DECREF(dict);
  return nullptr;
}

}  // namespace tessellox::python
