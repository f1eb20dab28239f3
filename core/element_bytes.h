// Reading and writing one element's bytes at any address, whatever its
// alignment (elements are addressed by byte offset in every format).
#pragma once

#include <cstdint>
#include <cstring>

namespace koru {

template <typename T>
T LoadElement(const uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <typename T>
void StoreElement(uint8_t* p, T value) {
    std::memcpy(p, &value, sizeof value);
}

}  // namespace koru
