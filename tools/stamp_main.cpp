// orvane-stamp: appends a module image to the bare runtime and points the
// PICKLE locator at it; --check reads a stamped executable back.
#include <cstdio>
#include <string>
#include <vector>

#include "ByteIo.h"
#include "Stamp.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: orvane-stamp RUNTIME.exe IMAGE OUT.exe\n"
                 "       orvane-stamp --check EXE\n");
    return 2;
}

int Error(const std::string& message) {
    std::fprintf(stderr, "orvane-stamp: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    if (argc == 3 && std::string(argv[1]) == "--check") {
        std::vector<uint8_t> exe;
        if (!orvtools::ReadFile(argv[2], exe, error)) return Error(error);
        orvtools::ModuleBlocks blocks;
        uint32_t offset = 0;
        if (!orvtools::ReadStampedImage(exe, blocks, offset, error)) return Error(std::string(argv[2]) + ": " + error);
        std::printf("image at %s: code %zu, data %zu, import %zu, resource %zu, options %zu bytes\n",
                    orvtools::Hex(offset).c_str(), blocks.code.size(), blocks.data.size(), blocks.imports.size(),
                    blocks.resources.size(), blocks.options.size());
        return 0;
    }
    if (argc != 4) return Usage();
    std::vector<uint8_t> runtime, image, out;
    if (!orvtools::ReadFile(argv[1], runtime, error) || !orvtools::ReadFile(argv[2], image, error))
        return Error(error);
    uint32_t offset = 0;
    if (!orvtools::StampRuntime(runtime, image, out, offset, error))
        return Error(std::string(argv[1]) + " + " + argv[2] + ": " + error);
    if (!orvtools::WriteFile(argv[3], out, error)) return Error(error);
    return 0;
}
