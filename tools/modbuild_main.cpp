// orvane-modbuild: COFF objects in, module image and/or development-mode files out.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ByteIo.h"
#include "ExportList.h"
#include "ModuleBuilder.h"

#ifndef ORVANE_DEFAULT_EXPORTS
#define ORVANE_DEFAULT_EXPORTS ""
#endif

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: orvane-modbuild [--exports FILE] [--entry NAME] [--image FILE] [--dev-dir DIR]\n"
                 "                       [--map FILE] OBJECT...\n"
                 "  --exports FILE  the runtime's entry points (default %s)\n"
                 "  --entry NAME    C name of the entry routine (default %s)\n"
                 "  --image FILE    write the image: five u32-length-prefixed blocks\n"
                 "  --dev-dir DIR   write import.dat code.dat data.dat rsrc.dat options.dat into DIR\n"
                 "  --map FILE      write where every symbol went\n",
                 ORVANE_DEFAULT_EXPORTS[0] ? ORVANE_DEFAULT_EXPORTS : "(none)", orvtools::kDefaultEntry);
    return 2;
}

int Error(const std::string& message) {
    std::fprintf(stderr, "orvane-modbuild: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string exportsPath = ORVANE_DEFAULT_EXPORTS, imagePath, devDir, mapPath;
    orvtools::BuildOptions options;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        bool ok = true;
        if (arg == "--exports")
            ok = value(exportsPath);
        else if (arg == "--entry")
            ok = value(options.entry);
        else if (arg == "--image")
            ok = value(imagePath);
        else if (arg == "--dev-dir")
            ok = value(devDir);
        else if (arg == "--map")
            ok = value(mapPath);
        else if (arg == "-h" || arg == "--help")
            return Usage();
        else if (!arg.empty() && arg[0] == '-')
            ok = false;
        else
            inputs.push_back(arg);
        if (!ok) return Usage();
    }
    if (inputs.empty() || (imagePath.empty() && devDir.empty()) || exportsPath.empty()) return Usage();

    std::string error;
    if (!orvtools::ReadExportList(exportsPath, options.exports, error)) return Error(error);
    std::vector<orvtools::ObjectInput> objects(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        objects[i].path = inputs[i];
        if (!orvtools::ReadFile(inputs[i], objects[i].bytes, error)) return Error(error);
    }
    orvtools::BuildResult result;
    if (!orvtools::BuildModule(objects, options, result, error)) return Error(error);
    if (!imagePath.empty() &&
        !orvtools::WriteFile(imagePath, orvtools::EncodeImage(result.blocks), error))
        return Error(error);
    if (!devDir.empty() && !orvtools::WriteDevelopmentFiles(devDir, result.blocks, error)) return Error(error);
    if (!mapPath.empty()) {
        const std::string text = orvtools::FormatMap(result.map);
        if (!orvtools::WriteFile(mapPath, std::vector<uint8_t>(text.begin(), text.end()), error))
            return Error(error);
    }
    return 0;
}
