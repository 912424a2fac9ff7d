// Where the executable's own bytes end in its file. The module image is
// appended behind all of them, so an image offset before that end points into
// the runtime itself.
#pragma once

#include <cstdint>

// The end of the headers, of every section's raw data and of the symbol table
// with its string table, read from the PE headers of an open file (a Win32
// HANDLE). False when the file does not start with readable PE headers.
bool ExecutableOwnBytesEnd(void* file, uint64_t& end);
