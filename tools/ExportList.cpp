#include "ExportList.h"

#include <cctype>
#include <vector>

#include "ByteIo.h"

namespace orvtools {

namespace {

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

size_t SkipSpace(const std::string& s, size_t i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    return i;
}

}  // namespace

std::set<std::string> ParseExportList(const std::string& text) {
    static const std::string kMacro = "ORVANE_EXPORT";
    std::set<std::string> names;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        size_t i = SkipSpace(line, 0);
        if (line.compare(i, kMacro.size(), kMacro) != 0) continue;
        i = SkipSpace(line, i + kMacro.size());
        if (i >= line.size() || line[i] != '(') continue;
        i = SkipSpace(line, i + 1);
        const size_t nameStart = i;
        while (i < line.size() && IsNameChar(line[i])) ++i;
        if (i == nameStart) continue;
        const size_t after = SkipSpace(line, i);
        if (after >= line.size() || line[after] != ',') continue;
        names.insert(line.substr(nameStart, i - nameStart));
    }
    return names;
}

bool ReadExportList(const std::string& path, std::set<std::string>& names, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(path, bytes, error)) return false;
    names = ParseExportList(std::string(bytes.begin(), bytes.end()));
    if (names.empty()) {
        error = path + ": no ORVANE_EXPORT lines";
        return false;
    }
    return true;
}

}  // namespace orvtools
