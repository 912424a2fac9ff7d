// Reading and writing an object's fields by byte offset, as the descriptor
// rows give them. Fields need not be aligned.
#pragma once

#include <cstdint>
#include <cstring>

#include "orvane/abi.h"

template <typename T>
T FieldAt(ObjectHeader* object, int32_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<uint8_t*>(object) + offset, sizeof value);
    return value;
}

template <typename T>
void SetFieldAt(ObjectHeader* object, int32_t offset, T value) {
    std::memcpy(reinterpret_cast<uint8_t*>(object) + offset, &value, sizeof value);
}
