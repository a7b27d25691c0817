// An allocator for the run's large arrays (source text, line tables, symbol slots): blocks of
// 256 KiB or more are mapped on their own in whole 2 MiB steps and offered to the kernel as
// transparent huge pages, so that filling them costs one page fault per 2 MiB instead of one
// per 4 KiB. On the machines measured a fault cost several microseconds, more than the work
// on the lines the page holds. Smaller blocks come from the ordinary heap.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <new>

namespace qubrix {

namespace big_allocation {

inline constexpr std::size_t kThreshold = std::size_t{256} << 10;
inline constexpr std::size_t kHugePage = std::size_t{2} << 20;

inline std::size_t MappedSize(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

inline void* Map(std::size_t bytes) {
    const std::size_t size = MappedSize(bytes);
    // One huge page more than needed, so that the block can start on a huge-page boundary;
    // the unused head and tail go back at once.
    void* raw = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(std::uintptr_t{kHugePage} - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    if (const std::size_t tail = kHugePage - (aligned - start); tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + size), tail);
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);  // a hint: without it, small pages
    return reinterpret_cast<void*>(aligned);
}

inline void Unmap(void* p, std::size_t bytes) { ::munmap(p, MappedSize(bytes)); }

}  // namespace big_allocation

template <class T> struct BigAllocator {
    using value_type = T;

    BigAllocator() = default;
    template <class U> BigAllocator(const BigAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < big_allocation::kThreshold) return static_cast<T*>(::operator new(bytes));
        return static_cast<T*>(big_allocation::Map(bytes));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < big_allocation::kThreshold)
            ::operator delete(p);
        else
            big_allocation::Unmap(p, bytes);
    }
    template <class U> bool operator==(const BigAllocator<U>&) const noexcept { return true; }
};

}  // namespace qubrix
