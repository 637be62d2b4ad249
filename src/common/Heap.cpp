#include "common/Heap.h"

#include <cstdint>
#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define QUILLET_SANITIZED_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUILLET_SANITIZED_HEAP 1
#endif

#if defined(__GLIBC__) && !defined(QUILLET_SANITIZED_HEAP)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace quillet {

bool PrepareHeapForBulk(size_t bytes) {
#if defined(__GLIBC__) && !defined(QUILLET_SANITIZED_HEAP) && __GLIBC_PREREQ(2, 33) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  constexpr size_t kProbe = size_t{4} << 20;  // above any free block of a starting process
  constexpr int kDefaultMmapMax = 65536;      // the C library's own default
  if (bytes < 2 * kHugePage || bytes > (size_t{1} << 30)) return false;
  // Every thread allocates from this one heap: a thread of its own would get a heap of its own,
  // whose pages count beside these.
  mallopt(M_ARENA_MAX, 1);
  // From now on the heap grows by `bytes` beyond each request, and a release keeps that much.
  if (mallopt(M_TOP_PAD, static_cast<int>(bytes)) != 1) return false;
  // One request larger than the heap's free room makes it grow now. Large requests normally get
  // a mapping of their own, which would not grow the heap: not for this one. (The pointer goes
  // through a volatile, or the compiler drops the pair of calls.)
  mallopt(M_MMAP_MAX, 0);
  void* volatile probe = std::malloc(kProbe);
  mallopt(M_MMAP_MAX, kDefaultMmapMax);
  if (!probe) return false;
  const auto probeAt = reinterpret_cast<uintptr_t>(static_cast<void*>(probe));
  std::free(probe);
  // The free room now lies at the end of the heap, from the probe's block on.
  const auto end = reinterpret_cast<uintptr_t>(sbrk(0));
  const size_t room = mallinfo2().keepcost;
  if (room < bytes || end < room || probeAt < end - room || probeAt >= end) return false;  // not grown in place
  const uintptr_t from = (end - room + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t to = end & ~(kHugePage - 1);
  return to > from && madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE) == 0;
#else
  (void)bytes;
  return false;
#endif
}

}  // namespace quillet
