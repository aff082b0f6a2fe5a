// Counts every heap allocation the process makes, from any library: the
// program that includes this header (once) replaces malloc, calloc,
// realloc and the global operator new, and forwards them to glibc. A
// benchmark reads the count before and after its loop.
#ifndef BV_BENCH_ALLOCATION_COUNTER_H
#define BV_BENCH_ALLOCATION_COUNTER_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

extern "C" {
void *__libc_malloc(size_t size) noexcept;
void *__libc_calloc(size_t count, size_t size) noexcept;
void *__libc_realloc(void *p, size_t size) noexcept;
void __libc_free(void *p) noexcept;
}

namespace benchalloc {

// Relaxed: only the benchmark's own thread reads it, and Mesa's worker
// threads only ever add to it.
inline std::atomic<int64_t> allocations{0};

inline int64_t count() { return allocations.load(std::memory_order_relaxed); }
inline void note() { allocations.fetch_add(1, std::memory_order_relaxed); }

}  // namespace benchalloc

extern "C" {

void *malloc(size_t size) noexcept {
    benchalloc::note();
    return __libc_malloc(size);
}

void *calloc(size_t count, size_t size) noexcept {
    benchalloc::note();
    return __libc_calloc(count, size);
}

void *realloc(void *p, size_t size) noexcept {
    benchalloc::note();
    return __libc_realloc(p, size);
}

void free(void *p) noexcept { __libc_free(p); }

}  // extern "C"

void *operator new(std::size_t size) {
    void *p = malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void *operator new[](std::size_t size) { return operator new(size); }
void operator delete(void *p) noexcept { free(p); }
void operator delete[](void *p) noexcept { free(p); }
void operator delete(void *p, std::size_t) noexcept { free(p); }
void operator delete[](void *p, std::size_t) noexcept { free(p); }

#endif
