#include "Stamp.h"

#include <cstring>

#include "ByteIo.h"
#include "PeResource.h"

namespace orvtools {

namespace {

bool FindLocator(const std::vector<uint8_t>& exe, pe::ResourceData& locator, std::string& error) {
    if (!pe::FindModuleLocator(exe.data(), exe.size(), locator)) {
        error = "no PICKLE resource with id 101 (not the runtime executable?)";
        return false;
    }
    if (locator.size < 8) {
        error = "the PICKLE resource holds " + std::to_string(locator.size) + " bytes, not 8";
        return false;
    }
    return true;
}

}  // namespace

bool StampRuntime(const std::vector<uint8_t>& runtime, const std::vector<uint8_t>& image,
                  std::vector<uint8_t>& out, uint32_t& imageOffset, std::string& error) {
    pe::ResourceData locator;
    if (!FindLocator(runtime, locator, error)) return false;
    if (std::memcmp(&runtime[locator.fileOffset], "PICK", 4) != 0) {
        error = "the runtime already carries a module image (its locator is not \"PICK\")";
        return false;
    }
    ModuleBlocks blocks;
    size_t consumed = 0;
    if (!DecodeImage(image.data(), image.size(), blocks, consumed, error)) return false;
    if (consumed != image.size()) {
        error = "image: " + std::to_string(image.size() - consumed) + " bytes after the options block";
        return false;
    }
    const uint64_t offset = (uint64_t(runtime.size()) + 3) / 4 * 4;
    if (offset + image.size() > 0xFFFFFFFFu) {
        error = "the stamped executable would exceed 4 GiB";
        return false;
    }
    out = runtime;
    out.resize(size_t(offset), 0);
    out.insert(out.end(), image.begin(), image.end());
    Write32(&out[locator.fileOffset], uint32_t(offset));
    imageOffset = uint32_t(offset);
    return true;
}

bool ReadStampedImage(const std::vector<uint8_t>& exe, ModuleBlocks& blocks, uint32_t& imageOffset,
                      std::string& error) {
    pe::ResourceData locator;
    if (!FindLocator(exe, locator, error)) return false;
    if (std::memcmp(&exe[locator.fileOffset], "PICK", 4) == 0) {
        error = "no module image: the locator says development mode";
        return false;
    }
    imageOffset = Read32(&exe[locator.fileOffset]);
    if (imageOffset > exe.size()) {
        error = "the image offset " + Hex(imageOffset) + " lies past the end of the file";
        return false;
    }
    size_t consumed = 0;
    return DecodeImage(exe.data() + imageOffset, exe.size() - imageOffset, blocks, consumed, error);
}

}  // namespace orvtools
