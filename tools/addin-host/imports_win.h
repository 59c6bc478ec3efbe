// Rewrites entries of a loaded module's import address table, so the calls
// that module makes to a system function reach a replacement instead. Only
// that module's table changes: the system DLL and every other module keep
// calling the real function.
#pragma once

#include <windows.h>

#include <cstddef>

namespace addinhost {

struct ImportPatch {
  const char* name;   // the imported function, e.g. "WriteFile"
  void* replacement;  // what the module calls from now on
  void** original;    // receives the address the table held (the real function)
};

// Patches the imports of `module` from `dll` (e.g. "KERNEL32.dll", any case)
// that are named in `patches`; an entry already pointing at its replacement
// is left alone. Returns how many entries now point at a replacement.
int patchImports(HMODULE module, const char* dll, ImportPatch* patches, std::size_t count);

}  // namespace addinhost
