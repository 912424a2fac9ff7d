#include "loader/loaderX86.h"

bool LoadAndRunModule() { return false; }
