// The Python class Claim: one numbered claim, held through one pointer.
#include <new>

#include "python/boundary.hpp"
#include "text.hpp"

namespace tessellox::python {

namespace {

struct ClaimObject {
  PyObject_HEAD Claim* record;
};

Claim& record_of(PyObject* self) { return *reinterpret_cast<ClaimObject*>(self)->record; }

void claim_dealloc(PyObject* self) {
  delete reinterpret_cast<ClaimObject*>(self)->record;
  free_instance(self);
}

PyObject* claim_number(PyObject* self, void*) { return PyLong_FromUnsignedLong(record_of(self).number); }

PyObject* claim_text(PyObject* self, void*) { return new_str(record_of(self).text); }

constexpr std::size_t kReprCharacters = 60;

PyObject* claim_repr(PyObject* self) {
  try {
    const Claim& claim = record_of(self);
    const std::string_view text = claim.text;
    // Cut after 60 Unicode scalar values, never inside a UTF-8 sequence.
    std::size_t characters = 0;
    std::size_t cut = 0;
    while (cut < text.size() && characters < kReprCharacters) {
      ++cut;
      while (cut < text.size() && is_utf8_continuation(text[cut])) ++cut;
      ++characters;
    }
    std::string repr =
        "Claim(number=" + std::to_string(claim.number) + ", text=" + quoted_debug_string(text.substr(0, cut));
    if (cut < text.size()) repr += "\xE2\x80\xA6";  // U+2026
    repr += ")";
    return new_str(repr);
  } catch (...) {
    return raise_from_current_exception();
  }
}

PyGetSetDef claim_getset[] = {
    {"number", claim_number, nullptr, "The claim's 1-based position.", nullptr},
    {"text", claim_text, nullptr, "The claim's text, trimmed.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot claim_slots[] = {
    {Py_tp_doc, const_cast<char*>("A single claim, numbered by its 1-based position.")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(claim_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(claim_repr)},
    {Py_tp_getset, claim_getset},
    {0, nullptr},
};

PyType_Spec claim_spec = {
    "tessellox.Claim", sizeof(ClaimObject), 0, Py_TPFLAGS_DEFAULT, claim_slots,
};

}  // namespace

PyObject* create_claim_type() { return PyType_FromSpec(&claim_spec); }

PyObject* new_claim(const Claim& claim) {
  PyObject* self = allocate_instance(module_types().claim);
  if (!self) return nullptr;
  auto* object = reinterpret_cast<ClaimObject*>(self);
  object->record = new (std::nothrow) Claim(claim);
  if (!object->record) {
    Py_DECREF(self);
    return PyErr_NoMemory();
  }
  return self;
}

}  // namespace tessellox::python
