#include "support/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace
{
thread_local bool counting = false;
thread_local size_t allocations = 0;

inline void note()
{
  if (counting)
    ++allocations;
}

void* allocate(size_t size)
{
  note();
  if (size == 0)
    size = 1;
  if (void* p = std::malloc(size))
    return p;
  throw std::bad_alloc();
}

void* allocateAligned(size_t size, size_t alignment)
{
  note();
  if (size == 0)
    size = 1;
  void* p = nullptr;
  if (posix_memalign(&p, alignment < sizeof(void*) ? sizeof(void*) : alignment, size) == 0)
    return p;
  throw std::bad_alloc();
}
} // namespace

AllocationGuard::AllocationGuard()
{
  allocations = 0;
  counting = true;
}

AllocationGuard::~AllocationGuard()
{
  counting = false;
}

size_t AllocationGuard::count() const
{
  return allocations;
}

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void* operator new(size_t size, std::align_val_t a) { return allocateAligned(size, static_cast<size_t>(a)); }
void* operator new[](size_t size, std::align_val_t a) { return allocateAligned(size, static_cast<size_t>(a)); }
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
  note();
  return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
  note();
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Sanitizer runtimes own malloc; elsewhere the C allocation functions are
// interposed too, so that a malloc hidden in a library call is caught.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);

void* malloc(size_t size)
{
  note();
  return __libc_malloc(size);
}
void* calloc(size_t n, size_t size)
{
  note();
  return __libc_calloc(n, size);
}
void* realloc(void* p, size_t size)
{
  note();
  return __libc_realloc(p, size);
}
}
#endif
