// The extension module tessellox: its three functions, its two classes and
// __version__, over the core library.
#include "derive.hpp"
#include "handlers.hpp"
#include "python/boundary.hpp"
#include "render/markdown.hpp"
#include "source/detect.hpp"

namespace tessellox::python {

namespace {

// `source` is a document and its derived record to read, or a document to
// release as soon as it is rendered.
template <class... Source>
PyObject* render_with_template(const TemplateArgument& template_text, Source&&... source) {
  try {
    auto markdown = render_markdown(std::forward<Source>(source)..., template_text.view());
    if (!markdown) return raise_value_error(markdown.error().message());
    return new_str(markdown.value());
  } catch (...) {
    return raise_from_current_exception();
  }
}

}  // namespace

bool TemplateArgument::convert(PyObject* object) {
  if (object == nullptr || object == Py_None) return true;
  if (!text_.convert("template", object)) return false;
  given_ = true;
  return true;
}

PyObject* render_to_str(const Document& document, const TemplateArgument& template_text) {
  return render_with_template(template_text, document.source, document.derived);
}

PyObject* render_to_str(SourceDocument&& source, const TemplateArgument& template_text) {
  return render_with_template(template_text, std::move(source));
}

namespace {

// Calls `body(xml, values)` for a call of `function`, whose arguments are
// `names`, the first the document text `xml`, converted; nullptr with an
// exception set on a mismatch, and C++ exceptions raised as Python's.
template <class Body>
PyObject* with_xml_argument(const char* function, PyObject* args, PyObject* kwargs,
                            const std::vector<const char*>& names, Body&& body) {
  try {
    std::vector<PyObject*> values;
    Utf8Argument xml;
    if (!match_arguments(function, args, kwargs, names, 1, values) || !xml.convert("xml", values[0])) return nullptr;
    return std::forward<Body>(body)(xml, values);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* parse(PyObject*, PyObject* args, PyObject* kwargs) {
  return with_xml_argument("parse", args, kwargs, {"xml"}, [](Utf8Argument& xml, const std::vector<PyObject*>&) {
    auto parsed = parse_source(xml.take_source_text());
    if (!parsed) return raise_value_error(parsed.error().message());
    Document document{std::move(parsed.value()), {}};
    document.derived = derive(document.source, document.source.arena);
    return new_document(std::move(document));
  });
}

PyObject* parse_to_markdown(PyObject*, PyObject* args, PyObject* kwargs) {
  return with_xml_argument("parse_to_markdown", args, kwargs, {"xml", "template"},
                           [](Utf8Argument& xml, const std::vector<PyObject*>& values) -> PyObject* {
                             TemplateArgument template_text;
                             if (!template_text.convert(values[1])) return nullptr;
                             auto parsed = parse_source(xml.take_source_text());
                             if (!parsed) return raise_value_error(parsed.error().message());
                             return render_to_str(std::move(parsed.value()), template_text);
                           });
}

PyObject* detect_format(PyObject*, PyObject* args, PyObject* kwargs) {
  return with_xml_argument("detect_format", args, kwargs, {"xml"},
                           [](Utf8Argument& xml, const std::vector<PyObject*>&) {
                             auto detected = detect_source_format(xml.view());
                             if (!detected) return raise_value_error(detected.error().message());
                             return new_str(source_format_name(detected.value()));
                           });
}

PyMethodDef module_functions[] = {
    {"parse", as_method<parse>(), METH_VARARGS | METH_KEYWORDS,
     "parse(xml)\n--\n\nParse USPTO patent XML into a structured [`Document`]."},
    {"parse_to_markdown", as_method<parse_to_markdown>(), METH_VARARGS | METH_KEYWORDS,
     "parse_to_markdown(xml, template=None)\n--\n\nParse USPTO patent XML and render Markdown in one call."},
    {"detect_format", as_method<detect_format>(), METH_VARARGS | METH_KEYWORDS,
     "detect_format(xml)\n--\n\nDetect the USPTO source format of `xml` without a full parse."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "tessellox",
    "Fast, exact parsing of USPTO patent documents into structured records and Markdown.",
    0,
    module_functions,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// Adds `value` (a new reference, stolen) as attribute `name` and to __all__.
bool add_exported(PyObject* module, PyObject* all, const char* name, PyObject* value) {
  if (!value) return false;
  if (PyModule_AddObject(module, name, value) < 0) {
    Py_DECREF(value);
    return false;
  }
  PyObject* text = PyUnicode_FromString(name);
  if (!text) return false;
  const int appended = PyList_Append(all, text);
  Py_DECREF(text);
  return appended == 0;
}

PyObject* initialise() {
  ModuleTypes& types = module_types();
  if (types.document || types.claim) {
    PyErr_SetString(PyExc_ImportError, "tessellox cannot be initialised twice in one process");
    return nullptr;
  }
  PyObject* module = PyModule_Create2(&module_definition, PYTHON_ABI_VERSION);
  if (!module) return nullptr;
  PyObject* all = PyList_New(0);
  if (!all) {
    Py_DECREF(module);
    return nullptr;
  }
  bool ok = true;
  // The functions exist already (they come with the module definition);
  // __all__ lists every export in the order of the module's table.
  for (const char* name : {"parse", "parse_to_markdown", "detect_format"}) {
    PyObject* text = PyUnicode_FromString(name);
    ok = ok && text && PyList_Append(all, text) == 0;
    Py_XDECREF(text);
  }
  if (ok) {
    types.document = create_document_type();
    ok = types.document && (Py_INCREF(types.document), add_exported(module, all, "Document", types.document));
  }
  if (ok) {
    types.claim = create_claim_type();
    ok = types.claim && (Py_INCREF(types.claim), add_exported(module, all, "Claim", types.claim));
  }
  if (ok) ok = add_exported(module, all, "__version__", PyUnicode_FromString(TESSELLOX_VERSION));
  if (ok) {
    ok = PyModule_AddObject(module, "__all__", all) == 0;
    if (ok) all = nullptr;
  }
  Py_XDECREF(all);
  if (!ok) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}

}  // namespace

}  // namespace tessellox::python

extern "C" PyMODINIT_FUNC PyInit_tessellox(void) { return tessellox::python::initialise(); }
