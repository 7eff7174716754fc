#include "source/xml/tree.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#endif

namespace tessellox::xml {

static_assert(sizeof(Tree::NodeRecord) == 32, "nodes stay compact: a tree may hold ten million");

NodeRef Tree::root_element() const noexcept {
  for (NodeRef child : document().children()) {
    if (child.is_element()) return child;
  }
  return NodeRef();
}

NodeRef Tree::document_type() const noexcept {
  return doctype_node_ == kNoNode ? NodeRef() : NodeRef(this, doctype_node_);
}

void Tree::release_nodes(NodeIndex begin, NodeIndex end) noexcept {
#if defined(__linux__)
  // Below this the system calls cost more than the memory is worth.
  constexpr std::size_t kMinReleaseBytes = std::size_t{256} << 10;
  // A smaller tree is left alone: its memory goes back to the heap whole,
  // where the next parse reuses it, while released pages would have to be
  // faulted in again (and the peak it would save is a few megabytes).
  constexpr std::size_t kMinTreeBytes = std::size_t{4} << 20;
  if (nodes_.size() * sizeof(NodeRecord) < kMinTreeBytes) return;
  if (begin >= end || end > nodes_.size()) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(nodes_.data() + begin);
  const auto last = reinterpret_cast<std::uintptr_t>(nodes_.data() + end);
  const std::uintptr_t start = (first + page - 1) & ~(page - 1);
  const std::uintptr_t stop = last & ~(page - 1);
  if (stop <= start || stop - start < kMinReleaseBytes) return;
  // Private anonymous memory: the pages are freed now and would read back as zeros.
  ::madvise(reinterpret_cast<void*>(start), stop - start, MADV_DONTNEED);
#else
  (void)begin;
  (void)end;
#endif
}

}  // namespace tessellox::xml
