// The runtime's entry-point names, read from sdk/include/orvane/exports.inc:
// one ORVANE_EXPORT(name, result, (parameters)) line per entry point.
#pragma once

#include <set>
#include <string>

namespace orvtools {

// Names of the ORVANE_EXPORT lines of text; comment lines are skipped.
std::set<std::string> ParseExportList(const std::string& text);

bool ReadExportList(const std::string& path, std::set<std::string>& names, std::string& error);

}  // namespace orvtools
