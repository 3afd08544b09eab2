#include "heap_counter.h"

#include <cstdlib>
#include <new>

#include "platform/sim/simulated_windows.h"

namespace {

bool counting = false;
int counted = 0;

void* Allocate(std::size_t size) {
    if (counting && !sim::InService()) ++counted;
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void* AllocateAligned(std::size_t size, std::size_t alignment) {
    if (counting && !sim::InService()) ++counted;
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    if (void* block = std::aligned_alloc(alignment, rounded ? rounded : alignment)) return block;
    throw std::bad_alloc();
}

}  // namespace

namespace heap_counter {

void Start() {
    counted = 0;
    counting = true;
}

int Stop() {
    counting = false;
    return counted;
}

}  // namespace heap_counter

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
