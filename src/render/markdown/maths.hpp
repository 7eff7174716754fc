// MathML presentation markup as LaTeX.
#pragma once

#include <string>
#include <string_view>

#include "model.hpp"

namespace tessellox {

// True for the elements that hold a formula as a block: maths, math-cwu and
// MATH-US (with MATHML inside).
bool is_formula_block_name(std::string_view name) noexcept;

// Appends a formula block: each math element in it as display maths, on
// lines of their own between "$$" lines (or inline, between "$"); a block
// with no math element, as an image reference, or as XML when it names no
// image either.
void append_formula_block(const RawXml& block, bool display, std::string& out);

// Appends one math element as LaTeX: display ("$$" lines) or inline ("$").
void append_formula(const RawXml& math, bool display, std::string& out);

// Appends the LaTeX of one MathML element, without delimiters.
void append_latex(const RawXml& element, std::string& out);

}  // namespace tessellox
