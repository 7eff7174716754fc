// The extension module tessellox_tools._records: a document's text to its
// record in one call, for the companion package's records, tables and
// command.
#include "python/boundary.hpp"
#include "python/records/record_dict.hpp"
#include "records/record.hpp"

namespace tessellox::python {
namespace {

bool check_origin(PyObject* origin) {
  if (origin == nullptr || origin == Py_None) return true;
  if (PySequence_Check(origin) && !PyUnicode_Check(origin) && PySequence_Size(origin) == 4) return true;
  PyErr_Clear();
  PyErr_SetString(PyExc_TypeError, "text_record() origin must be None or (file, member, ordinal, offset)");
  return false;
}

bool is_ascii(const char* data, std::size_t size) noexcept {
  unsigned char seen = 0;
  for (std::size_t i = 0; i < size; ++i) seen |= static_cast<unsigned char>(data[i]);
  return seen < 0x80;
}

// A document's UTF-8 bytes, read where they are: a caller holding the bytes
// of a document need not decode them into a str first. Invalid UTF-8 raises
// the UnicodeDecodeError that bytes.decode() would.
bool bytes_source_text(PyObject* bytes, SourceText& text) {
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes, &data, &size) < 0) return false;
  if (!is_ascii(data, static_cast<std::size_t>(size))) {
    PyObject* decoded = PyUnicode_DecodeUTF8(data, size, "strict");
    if (decoded == nullptr) return false;
    Py_DECREF(decoded);
  }
  Py_INCREF(bytes);
  text = SourceText::borrowed(std::string_view(data, static_cast<std::size_t>(size)), bytes, [](void* owner) noexcept {
    // Released when the call's document is, with the GIL held.
    Py_XDECREF(static_cast<PyObject*>(owner));
  });
  return true;
}

PyObject* text_record(PyObject*, PyObject* args, PyObject* kwargs) {
  try {
    std::vector<PyObject*> values;
    if (!match_arguments("text_record", args, kwargs, {"text", "origin"}, 1, values)) return nullptr;
    if (!check_origin(values[1])) return nullptr;
    SourceText source;
    if (PyBytes_Check(values[0])) {
      if (!bytes_source_text(values[0], source)) return nullptr;
    } else {
      Utf8Argument text;
      if (!text.convert("text", values[0])) return nullptr;
      source = text.take_source_text();
    }
    auto recorded = parse_record(std::move(source));
    if (!recorded) return raise_value_error(recorded.error().message());
    return new_record_dict(recorded.value().record, values[1]);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyMethodDef module_functions[] = {
    {"text_record", as_method<text_record>(), METH_VARARGS | METH_KEYWORDS,
     "text_record(text, origin=None)\n--\n\n"
     "Parse one document's text (a str, or its UTF-8 bytes) and return its record as a dict.\n\n"
     "ValueError with the message parse() gives for a document it cannot parse; for bytes that\n"
     "are not UTF-8, the UnicodeDecodeError of bytes.decode()."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "_records", "Document records from text, in one call.", 0, module_functions,
    nullptr,               nullptr,    nullptr,                                      nullptr,
};

}  // namespace
}  // namespace tessellox::python

extern "C" PyMODINIT_FUNC PyInit__records(void) {
  if (!tessellox::python::create_record_keys()) return nullptr;
  return PyModule_Create2(&tessellox::python::module_definition, PYTHON_ABI_VERSION);
}
