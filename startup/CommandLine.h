// The document paths on the command line.
#pragma once

// The command line without the program path: behind the matching quote when
// the line starts with a double quote, else behind the first blank.
const char* SkipProgramPath(const char* commandLine);

// Calls visit for every path in rest, left to right: a double quote starts a
// token that runs to the next double quote (or the end); blanks separate
// other tokens and never make empty paths.
using DocumentPathVisitor = void (*)(const char* path, int length, void* context);
void ForEachDocumentPath(const char* rest, DocumentPathVisitor visit, void* context);
