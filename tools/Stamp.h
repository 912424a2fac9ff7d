// The stamp step: the bare runtime executable, the module image appended
// behind it, and the image's file offset written into the first word of the
// PICKLE resource (the second word, the media area, is kept).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ModuleImage.h"

namespace orvtools {

// out := runtime, zero padding to a 4-byte boundary, image. The runtime must
// be bare (its locator starts with "PICK") and the image well formed.
bool StampRuntime(const std::vector<uint8_t>& runtime, const std::vector<uint8_t>& image,
                  std::vector<uint8_t>& out, uint32_t& imageOffset, std::string& error);

// Finds and reads the image of a stamped executable, as the runtime would.
bool ReadStampedImage(const std::vector<uint8_t>& exe, ModuleBlocks& blocks, uint32_t& imageOffset,
                      std::string& error);

}  // namespace orvtools
