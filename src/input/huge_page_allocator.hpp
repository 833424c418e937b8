// An allocator that asks for 2 MB pages for big arrays: the search reads rows all over the bit table,
// and with 4 KB pages nearly every row read would miss the address translation cache.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace corvane {

template <typename value>
struct huge_page_allocator {
    using value_type = value;
    static constexpr size_t huge_page = size_t{1} << 21;

    huge_page_allocator() = default;
    template <typename other>
    huge_page_allocator(const huge_page_allocator<other>&) {}

    value* allocate(size_t count) {
        const size_t bytes = count * sizeof(value);
        if (bytes < 2 * huge_page) {
            void* memory = std::malloc(bytes == 0 ? 1 : bytes);
            if (memory == nullptr) throw std::bad_alloc();
            return static_cast<value*>(memory);
        }
        const size_t rounded = (bytes + huge_page - 1) / huge_page * huge_page;
        void* memory = std::aligned_alloc(huge_page, rounded);
        if (memory == nullptr) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        madvise(memory, rounded, MADV_HUGEPAGE);  // a hint: without it the table still works
#endif
        return static_cast<value*>(memory);
    }
    void deallocate(value* memory, size_t) { std::free(memory); }

    template <typename other>
    bool operator==(const huge_page_allocator<other>&) const {
        return true;
    }
};

}  // namespace corvane
