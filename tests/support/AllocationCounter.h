#pragma once
#include <cstddef>

// Counts heap allocations made by the current thread while a guard is alive.
// Covers every form of operator new and, outside sanitizer builds, malloc,
// calloc and realloc.
class AllocationGuard
{
public:
  AllocationGuard();
  ~AllocationGuard();
  AllocationGuard(const AllocationGuard&) = delete;
  AllocationGuard& operator=(const AllocationGuard&) = delete;

  size_t count() const;
};
