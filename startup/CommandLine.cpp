#include "startup/CommandLine.h"

const char* SkipProgramPath(const char* line) {
    if (!line) return "";
    const char* p = line;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && *p != ' ') ++p;
    }
    return p;
}

void ForEachDocumentPath(const char* rest, DocumentPathVisitor visit, void* context) {
    const char* p = rest ? rest : "";
    while (*p) {
        if (*p == ' ') {
            ++p;
        } else if (*p == '"') {
            const char* start = ++p;
            while (*p && *p != '"') ++p;
            if (p > start) visit(start, int(p - start), context);
            if (*p == '"') ++p;
        } else {
            const char* start = p;
            while (*p && *p != ' ') ++p;
            visit(start, int(p - start), context);
        }
    }
}
