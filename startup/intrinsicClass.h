// The object definitions of the runtime's intrinsic classes.
#pragma once

// Builds the definitions of every intrinsic class and enters their accessor,
// method and global function names into the export table.
void BuildIntrinsicDefinitions();
