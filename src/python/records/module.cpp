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

PyObject* text_record(PyObject*, PyObject* args, PyObject* kwargs) {
  try {
    std::vector<PyObject*> values;
    if (!match_arguments("text_record", args, kwargs, {"text", "origin"}, 1, values)) return nullptr;
    if (!check_origin(values[1])) return nullptr;
    Utf8Argument text;
    if (!text.convert("text", values[0])) return nullptr;
    auto recorded = parse_record(text.take_source_text());
    if (!recorded) return raise_value_error(recorded.error().message);
    return new_record_dict(recorded.value().record, values[1]);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyMethodDef module_functions[] = {
    {"text_record", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(text_record)),
     METH_VARARGS | METH_KEYWORDS,
     "text_record(text, origin=None)\n--\n\n"
     "Parse one document's text and return its record as a dict (ValueError as parse())."},
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
