#include "render/markdown/maths.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "raw_xml.hpp"
#include "render/markdown/captured.hpp"
#include "render/markdown/escapes.hpp"
#include "text.hpp"
#include "utf8.hpp"

namespace tessellox {

namespace {

// Characters that LaTeX writes as commands, sorted by code point.
constexpr std::array<std::pair<char32_t, std::string_view>, 118> kSymbols{{
    {U'#', "\\#"},
    {U'$', "\\$"},
    {U'%', "\\%"},
    {U'&', "\\&"},
    {U'\\', "\\backslash "},
    {U'^', "\\wedge "},
    {U'_', "\\_"},
    {U'{', "\\{"},
    {U'}', "\\}"},
    {U'~', "\\sim "},
    {U'\u00A0', "\\ "},
    {U'\u00AC', "\\neg "},
    {U'\u00B0', "^{\\circ}"},
    {U'\u00B1', "\\pm "},
    {U'\u00B7', "\\cdot "},
    {U'\u00D7', "\\times "},
    {U'\u00F7', "\\div "},
    {U'\u0393', "\\Gamma "},
    {U'\u0394', "\\Delta "},
    {U'\u0398', "\\Theta "},
    {U'\u039B', "\\Lambda "},
    {U'\u039E', "\\Xi "},
    {U'\u03A0', "\\Pi "},
    {U'\u03A3', "\\Sigma "},
    {U'\u03A5', "\\Upsilon "},
    {U'\u03A6', "\\Phi "},
    {U'\u03A8', "\\Psi "},
    {U'\u03A9', "\\Omega "},
    {U'\u03B1', "\\alpha "},
    {U'\u03B2', "\\beta "},
    {U'\u03B3', "\\gamma "},
    {U'\u03B4', "\\delta "},
    {U'\u03B5', "\\varepsilon "},
    {U'\u03B6', "\\zeta "},
    {U'\u03B7', "\\eta "},
    {U'\u03B8', "\\theta "},
    {U'\u03B9', "\\iota "},
    {U'\u03BA', "\\kappa "},
    {U'\u03BB', "\\lambda "},
    {U'\u03BC', "\\mu "},
    {U'\u03BD', "\\nu "},
    {U'\u03BE', "\\xi "},
    {U'\u03C0', "\\pi "},
    {U'\u03C1', "\\rho "},
    {U'\u03C2', "\\varsigma "},
    {U'\u03C3', "\\sigma "},
    {U'\u03C4', "\\tau "},
    {U'\u03C5', "\\upsilon "},
    {U'\u03C6', "\\varphi "},
    {U'\u03C7', "\\chi "},
    {U'\u03C8', "\\psi "},
    {U'\u03C9', "\\omega "},
    {U'\u03D1', "\\vartheta "},
    {U'\u03D5', "\\phi "},
    {U'\u03F5', "\\epsilon "},
    {U'\u2016', "\\| "},
    {U'\u2032', "' "},
    {U'\u2033', "'' "},
    {U'\u2061', ""},
    {U'\u2062', ""},
    {U'\u2063', ""},
    {U'\u210F', "\\hbar "},
    {U'\u2113', "\\ell "},
    {U'\u2190', "\\leftarrow "},
    {U'\u2191', "\\uparrow "},
    {U'\u2192', "\\rightarrow "},
    {U'\u2193', "\\downarrow "},
    {U'\u2194', "\\leftrightarrow "},
    {U'\u21D0', "\\Leftarrow "},
    {U'\u21D2', "\\Rightarrow "},
    {U'\u21D4', "\\Leftrightarrow "},
    {U'\u2200', "\\forall "},
    {U'\u2202', "\\partial "},
    {U'\u2203', "\\exists "},
    {U'\u2205', "\\emptyset "},
    {U'\u2207', "\\nabla "},
    {U'\u2208', "\\in "},
    {U'\u2209', "\\notin "},
    {U'\u220B', "\\ni "},
    {U'\u220F', "\\prod "},
    {U'\u2210', "\\coprod "},
    {U'\u2211', "\\sum "},
    {U'\u2212', "-"},
    {U'\u2213', "\\mp "},
    {U'\u2217', "\\ast "},
    {U'\u2218', "\\circ "},
    {U'\u2219', "\\bullet "},
    {U'\u221A', "\\surd "},
    {U'\u221D', "\\propto "},
    {U'\u221E', "\\infty "},
    {U'\u2220', "\\angle "},
    {U'\u2223', "\\mid "},
    {U'\u2225', "\\parallel "},
    {U'\u2227', "\\land "},
    {U'\u2228', "\\lor "},
    {U'\u2229', "\\cap "},
    {U'\u222A', "\\cup "},
    {U'\u222B', "\\int "},
    {U'\u222C', "\\iint "},
    {U'\u222E', "\\oint "},
    {U'\u223C', "\\sim "},
    {U'\u2245', "\\cong "},
    {U'\u2248', "\\approx "},
    {U'\u2260', "\\neq "},
    {U'\u2261', "\\equiv "},
    {U'\u2264', "\\leq "},
    {U'\u2265', "\\geq "},
    {U'\u2266', "\\leqq "},
    {U'\u2267', "\\geqq "},
    {U'\u226A', "\\ll "},
    {U'\u226B', "\\gg "},
    {U'\u2282', "\\subset "},
    {U'\u2283', "\\supset "},
    {U'\u2286', "\\subseteq "},
    {U'\u2287', "\\supseteq "},
    {U'\u2295', "\\oplus "},
    {U'\u2297', "\\otimes "},
    {U'\u22C5', "\\cdot "},
}};

// Named entities that formulas hold as text, as their characters; sorted
// by name.
constexpr std::array<std::pair<std::string_view, std::string_view>, 152> kEntities{{
    {"Alpha", "\u0391"},
    {"ApplyFunction", "\u2061"},
    {"Beta", "\u0392"},
    {"Chi", "\u03A7"},
    {"Delta", "\u0394"},
    {"Epsilon", "\u0395"},
    {"Eta", "\u0397"},
    {"Gamma", "\u0393"},
    {"InvisibleComma", "\u2063"},
    {"InvisibleTimes", "\u2062"},
    {"Iota", "\u0399"},
    {"Kappa", "\u039A"},
    {"Lambda", "\u039B"},
    {"Mu", "\u039C"},
    {"Nu", "\u039D"},
    {"Omega", "\u03A9"},
    {"Omicron", "\u039F"},
    {"Phi", "\u03A6"},
    {"Pi", "\u03A0"},
    {"Prime", "\u2033"},
    {"Psi", "\u03A8"},
    {"Rho", "\u03A1"},
    {"Sigma", "\u03A3"},
    {"Tau", "\u03A4"},
    {"Theta", "\u0398"},
    {"Upsilon", "\u03A5"},
    {"Xi", "\u039E"},
    {"Zeta", "\u0396"},
    {"af", "\u2061"},
    {"alpha", "\u03B1"},
    {"amp", "&"},
    {"and", "\u2227"},
    {"ang", "\u2220"},
    {"angst", "\u00C5"},
    {"ap", "\u2248"},
    {"apos", "'"},
    {"asymp", "\u2248"},
    {"beta", "\u03B2"},
    {"cap", "\u2229"},
    {"chi", "\u03C7"},
    {"compfn", "\u2218"},
    {"cong", "\u2245"},
    {"cup", "\u222A"},
    {"deg", "\u00B0"},
    {"delta", "\u03B4"},
    {"divide", "\u00F7"},
    {"ell", "\u2113"},
    {"empty", "\u2205"},
    {"emsp", "\u2003"},
    {"ensp", "\u2002"},
    {"epsilon", "\u03B5"},
    {"equals", "="},
    {"equiv", "\u2261"},
    {"eta", "\u03B7"},
    {"exist", "\u2203"},
    {"forall", "\u2200"},
    {"frac12", "\u00BD"},
    {"frac14", "\u00BC"},
    {"frac34", "\u00BE"},
    {"gE", "\u2267"},
    {"gamma", "\u03B3"},
    {"ge", "\u2265"},
    {"geqq", "\u2267"},
    {"gg", "\u226B"},
    {"gt", ">"},
    {"hArr", "\u21D4"},
    {"hairsp", "\u200A"},
    {"harr", "\u2194"},
    {"hbar", "\u210F"},
    {"hellip", "\u2026"},
    {"ic", "\u2063"},
    {"infin", "\u221E"},
    {"int", "\u222B"},
    {"iota", "\u03B9"},
    {"isin", "\u2208"},
    {"it", "\u2062"},
    {"kappa", "\u03BA"},
    {"lArr", "\u21D0"},
    {"lE", "\u2266"},
    {"lambda", "\u03BB"},
    {"lang", "\u27E8"},
    {"larr", "\u2190"},
    {"lceil", "\u2308"},
    {"lcub", "{"},
    {"ldquo", "\u201C"},
    {"le", "\u2264"},
    {"leqq", "\u2266"},
    {"lfloor", "\u230A"},
    {"ll", "\u226A"},
    {"lowast", "\u2217"},
    {"lpar", "("},
    {"lsqb", "["},
    {"lt", "<"},
    {"mdash", "\u2014"},
    {"micro", "\u00B5"},
    {"mid", "\u2223"},
    {"middot", "\u00B7"},
    {"minus", "\u2212"},
    {"mu", "\u03BC"},
    {"nabla", "\u2207"},
    {"nbsp", "\u00A0"},
    {"ndash", "\u2013"},
    {"ne", "\u2260"},
    {"notin", "\u2209"},
    {"nu", "\u03BD"},
    {"ohm", "\u03A9"},
    {"omega", "\u03C9"},
    {"omicron", "\u03BF"},
    {"oplus", "\u2295"},
    {"or", "\u2228"},
    {"otimes", "\u2297"},
    {"part", "\u2202"},
    {"phi", "\u03C6"},
    {"pi", "\u03C0"},
    {"plus", "+"},
    {"plusmn", "\u00B1"},
    {"prime", "\u2032"},
    {"prod", "\u220F"},
    {"prop", "\u221D"},
    {"psi", "\u03C8"},
    {"quot", "\u0022"},
    {"rArr", "\u21D2"},
    {"radic", "\u221A"},
    {"rang", "\u27E9"},
    {"rarr", "\u2192"},
    {"rceil", "\u2309"},
    {"rcub", "}"},
    {"rdquo", "\u201D"},
    {"rfloor", "\u230B"},
    {"rho", "\u03C1"},
    {"rpar", ")"},
    {"rsqb", "]"},
    {"sdot", "\u22C5"},
    {"sigma", "\u03C3"},
    {"sim", "\u223C"},
    {"sime", "\u2243"},
    {"sub", "\u2282"},
    {"sube", "\u2286"},
    {"sum", "\u2211"},
    {"sup", "\u2283"},
    {"sup1", "\u00B9"},
    {"sup2", "\u00B2"},
    {"sup3", "\u00B3"},
    {"supe", "\u2287"},
    {"tau", "\u03C4"},
    {"theta", "\u03B8"},
    {"thinsp", "\u2009"},
    {"times", "\u00D7"},
    {"upsilon", "\u03C5"},
    {"verbar", "|"},
    {"xi", "\u03BE"},
    {"zeta", "\u03B6"},
}};

static_assert(std::is_sorted(kSymbols.begin(), kSymbols.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; }));
static_assert(std::is_sorted(kEntities.begin(), kEntities.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; }));

// Characters that, as the base of munder/mover/munderover, take their
// scripts as limits: sums, products, integrals.
bool is_large_operator(std::string_view text) noexcept {
  return text == "\u2211" || text == "\u220F" || text == "\u2210" || text == "\u222B" || text == "\u222C" ||
         text == "\u222E" || text == "\u22C3" || text == "\u22C2" || text == "lim" || text == "max" || text == "min" ||
         text == "sup" || text == "inf";
}

bool is_function_name(std::string_view text) noexcept {
  static constexpr std::string_view kNames[] = {"sin",    "cos",    "tan",    "cot", "sec", "csc",  "log",  "ln",
                                                "exp",    "lim",    "max",    "min", "det", "sinh", "cosh", "tanh",
                                                "arcsin", "arccos", "arctan", "sup", "inf", "arg",  "deg",  "dim"};
  return std::find(std::begin(kNames), std::end(kNames), text) != std::end(kNames);
}

// The name of the entity reference that `text` starts with ("&name;", a
// name of 1 to 32 bytes), or nothing when it starts with none.
std::optional<std::string_view> reference_name(std::string_view text) noexcept {
  const std::size_t semicolon = text.find(';');
  if (semicolon == std::string_view::npos || semicolon < 2 || semicolon > 33) return std::nullopt;
  return text.substr(1, semicolon - 1);
}

// The character an entity name stands for, or nothing when it names none
// known here.
std::optional<std::string_view> entity_character(std::string_view name) noexcept {
  const auto found = std::lower_bound(kEntities.begin(), kEntities.end(), name,
                                      [](const auto& entry, std::string_view key) { return entry.first < key; });
  if (found == kEntities.end() || found->first != name) return std::nullopt;
  return found->second;
}

// Appends text as math-mode LaTeX: symbols as commands, invisible operators
// dropped, anything else as it stands.
void append_math_characters(std::string_view text, std::string& out) {
  const auto* at = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = at + text.size();
  while (at < end) {
    if (*at == '&') {
      // An entity reference the text kept: its character, or the reference
      // as text when it names none known here.
      const std::string_view rest(reinterpret_cast<const char*>(at), static_cast<std::size_t>(end - at));
      if (const std::optional<std::string_view> name = reference_name(rest)) {
        if (const std::optional<std::string_view> character = entity_character(*name)) {
          if (*character != "&")
            append_math_characters(*character, out);
          else
            out += "\\&";
        } else {
          out += "\\text{";
          out += *name;
          out += '}';
        }
        at += name->size() + 2;
        continue;
      }
    }
    const std::size_t length = std::max<std::size_t>(1, utf8_sequence_length(at, end));
    const char32_t code_point = decode_utf8(at, length);
    const auto found = std::lower_bound(kSymbols.begin(), kSymbols.end(), code_point,
                                        [](const auto& entry, char32_t key) { return entry.first < key; });
    if (found != kSymbols.end() && found->first == code_point) {
      out += found->second;
    } else if (is_unicode_white_space(code_point)) {
      // spacing in a token is not content
    } else {
      out.append(reinterpret_cast<const char*>(at), length);
    }
    at += length;
  }
}

// The characters that text mode reserves, and line breaks and tabs, which
// \text{...} writes as spaces.
constexpr CharacterEscapes kTextModeEscapes{
    {'\\', "\\textbackslash{}"},
    {'{', "\\{"},
    {'}', "\\}"},
    {'$', "\\$"},
    {'&', "\\&"},
    {'%', "\\%"},
    {'#', "\\#"},
    {'_', "\\_"},
    {'^', "\\textasciicircum{}"},
    {'~', "\\textasciitilde{}"},
    {'\n', " "},
    {'\r', " "},
    {'\t', " "},
};

// Appends text for \text{...}, escaped.
void append_text_mode(std::string_view text, std::string& out) {
  append_escaped(text, kTextModeEscapes, out, [&out](std::string_view rest) -> std::size_t {
    // An entity reference the text kept: its character, or its name, left
    // out when it holds a character that text mode reserves.
    const std::optional<std::string_view> name = reference_name(rest);
    if (!name) {
      out += kTextModeEscapes['&'];
      return 1;
    }
    const std::string_view character = entity_character(*name).value_or(*name);
    if (character.find_first_of("&\\{}$%#_^~") == std::string_view::npos) out += character;
    return name->size() + 2;
  });
}

class LatexWriter {
 public:
  explicit LatexWriter(std::string& out) : out_(out) {}

  void element(const RawXml& node, std::size_t depth) {
    if (node.is_text()) return;  // white space between elements
    if (depth > kMaxRenderDepth) {
      text_fallback(node);
      return;
    }
    const std::string_view name = node.name();
    if (name == "mi" || name == "mn" || name == "mo") {
      token(node, name == "mi");
    } else if (name == "mtext" || name == "ms") {
      text_fallback(node);
    } else if (name == "mspace") {
      out_ += "\\,";
    } else if (name == "mfrac") {
      command_with_arguments("\\frac", node, depth, 2);
    } else if (name == "msqrt") {
      out_ += "\\sqrt{";
      children(node, depth);
      out_ += '}';
    } else if (name == "mroot") {
      const auto parts = element_children(node);
      if (parts.size() != 2) return text_fallback(node);
      out_ += "\\sqrt[";
      element(*parts[1], depth + 1);
      out_ += "]{";
      element(*parts[0], depth + 1);
      out_ += '}';
    } else if (name == "msup" || name == "msub" || name == "msubsup") {
      scripts(node, depth, name == "msup" ? "^" : "_", name == "msubsup");
    } else if (name == "munder" || name == "mover" || name == "munderover") {
      under_over(node, name, depth);
    } else if (name == "mfenced") {
      fenced(node, depth);
    } else if (name == "menclose") {
      const Attribute* notation = find_attribute(node, "notation");
      const std::string_view value = notation != nullptr ? notation->value() : std::string_view("longdiv");
      out_ += value.find("radical") != std::string_view::npos ? "\\sqrt{"
              : value == "top"                                ? "\\overline{"
              : value == "bottom"                             ? "\\underline{"
                                                              : "\\boxed{";
      children(node, depth);
      out_ += '}';
    } else if (name == "mphantom") {
      out_ += "\\phantom{";
      children(node, depth);
      out_ += '}';
    } else if (name == "mtable") {
      table(node, depth);
    } else if (name == "semantics") {
      const auto parts = element_children(node);
      if (!parts.empty()) element(*parts[0], depth + 1);
    } else if (name == "annotation" || name == "annotation-xml" || name == "none" || name == "mprescripts") {
      // other encodings of the same formula, and placeholders
    } else if (name == "math" || name == "mrow" || name == "mstyle" || name == "mpadded" || name == "merror" ||
               name == "mtd" || name == "mtr" || name == "mlabeledtr" || name == "maction") {
      // A group needs no braces of its own: an argument has them.
      children(node, depth);
    } else {
      text_fallback(node);
    }
  }

  void children(const RawXml& node, std::size_t depth) {
    for (const RawXml& child : node.children()) element(child, depth + 1);
  }

 private:
  static std::vector<const RawXml*> element_children(const RawXml& node) {
    std::vector<const RawXml*> found;
    for (const RawXml& child : node.children())
      if (child.is_element()) found.push_back(&child);
    return found;
  }

  void token(const RawXml& node, bool identifier) {
    scratch_.clear();
    append_text_content(node, scratch_);
    const std::string_view text = trim(scratch_);
    if (identifier && is_function_name(text)) {
      out_ += '\\';
      out_ += text;
      out_ += ' ';
    } else if (identifier && text.size() > 1 && std::all_of(text.begin(), text.end(), [](char c) {
                 return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
               })) {
      out_ += "\\mathrm{";
      out_ += text;
      out_ += '}';
    } else {
      append_math_characters(text, out_);
    }
  }

  void argument(const RawXml& node, std::size_t depth) {
    out_ += '{';
    element(node, depth + 1);
    out_ += '}';
  }

  void command_with_arguments(std::string_view command, const RawXml& node, std::size_t depth, std::size_t count) {
    const auto parts = element_children(node);
    if (parts.size() != count) return text_fallback(node);
    out_ += command;
    for (const RawXml* part : parts) argument(*part, depth);
  }

  void scripts(const RawXml& node, std::size_t depth, std::string_view first, bool both) {
    const auto parts = element_children(node);
    if (parts.size() != (both ? 3u : 2u)) return text_fallback(node);
    argument(*parts[0], depth);
    out_ += first;
    argument(*parts[1], depth);
    if (both) {
      out_ += '^';
      argument(*parts[2], depth);
    }
  }

  // The accent an mover's script stands for, or empty.
  static std::string_view accent_command(std::string_view script) noexcept {
    if (script == "^" || script == "\u0302" || script == "\u02C6") return "\\hat";
    if (script == "~" || script == "\u0303" || script == "\u02DC") return "\\tilde";
    if (script == "\u00AF" || script == "\u0305" || script == "\u2015" || script == "_" || script == "\u203E")
      return "\\overline";
    if (script == "\u2192" || script == "\u20D7") return "\\vec";
    if (script == "\u02D9" || script == "\u0307" || script == ".") return "\\dot";
    if (script == "\u00A8" || script == "\u0308") return "\\ddot";
    return {};
  }

  void under_over(const RawXml& node, std::string_view name, std::size_t depth) {
    const auto parts = element_children(node);
    const std::size_t count = name == "munderover" ? 3 : 2;
    if (parts.size() != count) return text_fallback(node);
    scratch_.clear();
    append_text_content(*parts[0], scratch_);
    if (is_large_operator(trim(scratch_))) {
      argument(*parts[0], depth);
      if (name != "mover") {
        out_ += '_';
        argument(*parts[1], depth);
      }
      if (name != "munder") {
        out_ += '^';
        argument(*parts[name == "mover" ? 1 : 2], depth);
      }
      return;
    }
    if (name == "mover") {
      scratch_.clear();
      append_text_content(*parts[1], scratch_);
      if (const std::string_view accent = accent_command(trim(scratch_)); !accent.empty()) {
        out_ += accent;
        argument(*parts[0], depth);
        return;
      }
    }
    if (name == "munder") {
      scratch_.clear();
      append_text_content(*parts[1], scratch_);
      const std::string_view script = trim(scratch_);
      if (script == "_" || script == "\u0332" || script == "\u00AF") {
        out_ += "\\underline";
        argument(*parts[0], depth);
        return;
      }
    }
    if (name == "munderover") {
      out_ += "\\underset";
      argument(*parts[1], depth);
      out_ += "{\\overset";
      argument(*parts[2], depth);
      argument(*parts[0], depth);
      out_ += '}';
      return;
    }
    out_ += name == "munder" ? "\\underset" : "\\overset";
    argument(*parts[1], depth);
    argument(*parts[0], depth);
  }

  void fenced(const RawXml& node, std::size_t depth) {
    const Attribute* open = find_attribute(node, "open");
    const Attribute* close = find_attribute(node, "close");
    const Attribute* separators = find_attribute(node, "separators");
    const std::string_view separator_list = separators != nullptr ? separators->value() : std::string_view(",");
    append_math_characters(open != nullptr ? open->value() : "(", out_);
    std::size_t index = 0;
    for (const RawXml& child : node.children()) {
      if (!child.is_element()) continue;
      if (index > 0) {
        const std::string_view trimmed = trim(separator_list);
        if (!trimmed.empty()) {
          // The last separator repeats; separators are single characters.
          std::size_t at = 0;
          for (std::size_t i = 1; i < index && at < trimmed.size(); ++i) {
            at += std::max<std::size_t>(
                1, utf8_sequence_length(reinterpret_cast<const unsigned char*>(trimmed.data()) + at,
                                        reinterpret_cast<const unsigned char*>(trimmed.data()) + trimmed.size()));
          }
          if (at >= trimmed.size()) at = trimmed.size() - 1;
          while (at > 0 && is_utf8_continuation(trimmed[at])) --at;
          const std::size_t length = std::max<std::size_t>(
              1, utf8_sequence_length(reinterpret_cast<const unsigned char*>(trimmed.data()) + at,
                                      reinterpret_cast<const unsigned char*>(trimmed.data()) + trimmed.size()));
          append_math_characters(trimmed.substr(at, length), out_);
        }
      }
      argument(child, depth);
      ++index;
    }
    append_math_characters(close != nullptr ? close->value() : ")", out_);
  }

  void table(const RawXml& node, std::size_t depth) {
    std::vector<std::vector<const RawXml*>> rows;
    for (const RawXml& row : node.children()) {
      if (!row.is_element()) continue;
      auto& cells = rows.emplace_back();
      if (row.name() == "mtr" || row.name() == "mlabeledtr") {
        for (const RawXml& cell : row.children())
          if (cell.is_element()) cells.push_back(&cell);
      } else {
        cells.push_back(&row);
      }
    }
    if (rows.size() == 1 && rows[0].size() == 1) {
      argument(*rows[0][0], depth);
      return;
    }
    out_ += "\\begin{matrix}";
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (r > 0) out_ += " \\\\ ";
      for (std::size_t c = 0; c < rows[r].size(); ++c) {
        if (c > 0) out_ += " & ";
        element(*rows[r][c], depth + 2);
      }
    }
    out_ += "\\end{matrix}";
  }

  void text_fallback(const RawXml& node) {
    scratch_.clear();
    append_text_content(node, scratch_);
    const std::string_view text = trim(scratch_);
    if (text.empty()) return;
    out_ += "\\text{";
    append_text_mode(text, out_);
    out_ += '}';
  }

  std::string& out_;
  std::string scratch_;
};

}  // namespace

bool is_formula_block_name(std::string_view name) noexcept {
  return name == "maths" || name == "math-cwu" || name == "MATH-US";
}

void append_latex(const RawXml& element, std::string& out) {
  LatexWriter writer(out);
  writer.children(element, 0);
}

void append_formula(const RawXml& math, bool display, std::string& out) {
  std::string latex;
  append_latex(math, latex);
  const std::string_view body = trim(latex);
  if (display) {
    out += "\n\n$$\n";
    out += body;
    out += "\n$$\n\n";
  } else {
    out += '$';
    out += body;
    out += '$';
  }
}

void append_formula_block(const RawXml& block, bool display, std::string& out) {
  append_block_by_parts(block, "formula", out, [&](const RawXml& element) {
    if (element.name() != "math") return false;
    append_formula(element, display, out);
    return true;
  });
}

}  // namespace tessellox
