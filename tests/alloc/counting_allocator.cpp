#include "tests/alloc/counting_allocator.h"

#include <cstdlib>
#include <new>

namespace ocuvant::alloc_test {
namespace {

// Plain thread-local values: reading them allocates nothing.
thread_local bool t_counting = false;
thread_local int64_t t_allocations = 0;
thread_local int64_t t_deallocations = 0;

void* Allocate(std::size_t size) noexcept {
  if (t_counting) ++t_allocations;
  return std::malloc(size == 0 ? 1 : size);
}

void* AllocateAligned(std::size_t size, std::align_val_t align) noexcept {
  if (t_counting) ++t_allocations;
  std::size_t alignment = static_cast<std::size_t>(align);
  if (alignment < sizeof(void*)) alignment = sizeof(void*);
  void* p = nullptr;
  return posix_memalign(&p, alignment, size == 0 ? 1 : size) == 0 ? p : nullptr;
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  if (t_counting) ++t_deallocations;
  std::free(p);
}

void* AllocateOrThrow(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}

void* AllocateAlignedOrThrow(std::size_t size, std::align_val_t align) {
  if (void* p = AllocateAligned(size, align)) return p;
  throw std::bad_alloc();
}

}  // namespace

void BeginCounting() {
  t_allocations = 0;
  t_deallocations = 0;
  t_counting = true;
}

AllocationCount EndCounting() {
  t_counting = false;
  return {t_allocations, t_deallocations};
}

UncountedScope::UncountedScope() : wasCounting_(t_counting) {
  t_counting = false;
}

UncountedScope::~UncountedScope() {
  t_counting = wasCounting_;
}

}  // namespace ocuvant::alloc_test

using ocuvant::alloc_test::Allocate;
using ocuvant::alloc_test::AllocateAligned;
using ocuvant::alloc_test::AllocateAlignedOrThrow;
using ocuvant::alloc_test::AllocateOrThrow;
using ocuvant::alloc_test::Release;

void* operator new(std::size_t size) {
  return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
  return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t align) {
  return AllocateAlignedOrThrow(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align) {
  return AllocateAlignedOrThrow(size, align);
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, align);
}

void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  Release(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  Release(p);
}
