// The Python class Document: a parsed document and its derived metadata,
// held through one pointer. Every getter builds new objects on each access.
#include <new>

#include "derive.hpp"
#include "python/boundary.hpp"
#include "render/template.hpp"

namespace tessellox::python {

namespace {

struct DocumentObject {
  PyObject_HEAD Document* record;
};

const Document& record_of(PyObject* self) { return *reinterpret_cast<DocumentObject*>(self)->record; }

void document_dealloc(PyObject* self) {
  delete reinterpret_cast<DocumentObject*>(self)->record;
  free_instance(self);
}

template <OptString DerivedMetadata::* Field>
PyObject* optional_getter(PyObject* self, void*) {
  return new_optional_str(record_of(self).derived.metadata.*Field);
}

template <List<std::string_view> DerivedMetadata::* Field>
PyObject* list_getter(PyObject* self, void*) {
  try {
    return new_str_list(record_of(self).derived.metadata.*Field);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* source_format_getter(PyObject* self, void*) {
  return new_str(source_format_name(record_of(self).source.source_format));
}

PyObject* abstract_text_getter(PyObject* self, void*) {
  try {
    const std::optional<std::string> text = abstract_text(record_of(self).source);
    return text ? new_str(*text) : Py_NewRef(Py_None);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* claims_getter(PyObject* self, void*) {
  try {
    return new_list(claims(record_of(self).source), new_claim);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyObject* document_repr(PyObject* self) {
  try {
    const DerivedMetadata& derived = record_of(self).derived.metadata;
    auto shown = [](const OptString& value) { return value ? quoted_debug_string(*value) : std::string("None"); };
    return new_str("Document(publication_number=" + shown(derived.publication_number) +
                   ", title=" + shown(derived.title) + ")");
  } catch (...) {
    return raise_from_current_exception();
  }
}

}  // namespace

namespace {

PyObject* document_to_markdown(PyObject* self, PyObject* args, PyObject* kwargs) {
  try {
    std::vector<PyObject*> values;
    if (!match_arguments("Document.to_markdown", args, kwargs, {"template"}, 0, values)) return nullptr;
    TemplateArgument template_text;
    if (!template_text.convert(values[0])) return nullptr;
    return render_to_str(record_of(self), template_text);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyGetSetDef document_getset[] = {
    {"publication_number", optional_getter<&DerivedMetadata::publication_number>, nullptr,
     "Publication number of a published application, such as US20050001234A1.", nullptr},
    {"patent_number", optional_getter<&DerivedMetadata::patent_number>, nullptr,
     "Patent number of a grant, such as US7000001B2.", nullptr},
    {"application_number", optional_getter<&DerivedMetadata::application_number>, nullptr, "Application number.",
     nullptr},
    {"title", optional_getter<&DerivedMetadata::title>, nullptr, "Title of the invention.", nullptr},
    {"filing_date", optional_getter<&DerivedMetadata::filing_date>, nullptr, "Filing date, as written.", nullptr},
    {"publication_date", optional_getter<&DerivedMetadata::publication_date>, nullptr,
     "Publication or grant date, as written.", nullptr},
    {"priority_date", optional_getter<&DerivedMetadata::priority_date>, nullptr,
     "Earliest parent date of the priority chain.", nullptr},
    {"inventors", list_getter<&DerivedMetadata::inventors>, nullptr, "Inventor names.", nullptr},
    {"applicants", list_getter<&DerivedMetadata::applicants>, nullptr, "Applicant names.", nullptr},
    {"assignees", list_getter<&DerivedMetadata::assignees>, nullptr, "Assignee names.", nullptr},
    {"ipc_classifications", list_getter<&DerivedMetadata::ipc_classifications>, nullptr, "IPC classification codes.",
     nullptr},
    {"us_classifications", list_getter<&DerivedMetadata::us_classifications>, nullptr, "US classification codes.",
     nullptr},
    {"source_format", source_format_getter, nullptr, "Name of the detected source format.", nullptr},
    {"abstract_text", abstract_text_getter, nullptr, "Plain text of the abstract.", nullptr},
    {"claims", claims_getter, nullptr, "The claims, numbered by position.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef document_methods[] = {
    {"to_markdown", as_method<document_to_markdown>(), METH_VARARGS | METH_KEYWORDS,
     "to_markdown($self, template=None)\n--\n\n"
     "Render this document to Markdown, optionally with a section-placeholder\n"
     "template (`{{frontmatter}}`, `{{title}}`, `{{abstract}}`,\n"
     "`{{description}}`, `{{claims}}`)."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot document_slots[] = {
    {Py_tp_doc, const_cast<char*>("A parsed patent document: metadata getters plus `claims`, `abstract_text`,\n"
                                  "and `to_markdown(template=None)`.")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(document_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(document_repr)},
    {Py_tp_getset, document_getset},
    {Py_tp_methods, document_methods},
    {0, nullptr},
};

PyType_Spec document_spec = {
    "tessellox.Document", sizeof(DocumentObject), 0, Py_TPFLAGS_DEFAULT, document_slots,
};

}  // namespace

PyObject* create_document_type() { return PyType_FromSpec(&document_spec); }

PyObject* new_document(Document&& document) {
  PyObject* self = allocate_instance(module_types().document);
  if (!self) return nullptr;
  auto* object = reinterpret_cast<DocumentObject*>(self);
  object->record = new (std::nothrow) Document(std::move(document));
  if (!object->record) {
    Py_DECREF(self);
    return PyErr_NoMemory();
  }
  return self;
}

}  // namespace tessellox::python
