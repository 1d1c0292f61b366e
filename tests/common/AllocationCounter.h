// Counts heap allocations made on the current thread while a counter is
// alive: every form of operator new and the malloc family, also those made
// inside a dlopen'ed plug-in library (the test program exports its
// replacements, so the library binds to them; in sanitizer builds the
// sanitizer's allocation hooks count instead).
#pragma once

#include <cstddef>

class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;
    size_t allocations() const;

private:
    size_t startCount;
};
