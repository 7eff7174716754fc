// placeholder: replaced by the derivation
#include "derive.hpp"
namespace tessellox {
DerivedMetadata derive_metadata(const SourceDocument&) { return {}; }
std::optional<std::string> abstract_text(const SourceDocument&) { return std::nullopt; }
std::vector<Claim> claims(const SourceDocument&) { return {}; }
}  // namespace tessellox
