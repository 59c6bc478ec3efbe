#include "imports_win.h"

#include <cstring>

namespace addinhost {
namespace {

// The name an import table entry was bound by, or null for one bound by
// ordinal (or when the module keeps no name table).
const char* importName(BYTE* base, const IMAGE_THUNK_DATA* names) {
  if (names == nullptr || IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) return nullptr;
  auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
  return reinterpret_cast<const char*>(byName->Name);
}

bool writeEntry(IMAGE_THUNK_DATA* entry, void* value) {
  DWORD old = 0;
  if (!VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, PAGE_READWRITE, &old)) return false;
  entry->u1.Function = reinterpret_cast<decltype(entry->u1.Function)>(value);
  DWORD unused = 0;
  VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, old, &unused);
  FlushInstructionCache(GetCurrentProcess(), &entry->u1.Function, sizeof entry->u1.Function);
  return true;
}

// One entry of the table: matched by its name, or by the real function's
// address where the module kept no names.
int patchEntry(BYTE* base, IMAGE_THUNK_DATA* entry, const IMAGE_THUNK_DATA* names, HMODULE dll, ImportPatch* patches,
               std::size_t count) {
  const char* name = importName(base, names);
  void* current = reinterpret_cast<void*>(entry->u1.Function);
  for (std::size_t i = 0; i < count; ++i) {
    ImportPatch& p = patches[i];
    bool match = name ? std::strcmp(name, p.name) == 0
                      : dll && current == reinterpret_cast<void*>(GetProcAddress(dll, p.name));
    if (!match) continue;
    if (current == p.replacement) return 1;
    *p.original = current;
    return writeEntry(entry, p.replacement) ? 1 : 0;
  }
  return 0;
}

}  // namespace

int patchImports(HMODULE module, const char* dll, ImportPatch* patches, std::size_t count) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  if (base == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return 0;
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return 0;
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return 0;
  HMODULE system = GetModuleHandleA(dll);
  int patched = 0;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    auto* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    auto* names = d->OriginalFirstThunk ? reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk) : nullptr;
    for (; entry->u1.Function != 0; ++entry, names = names ? names + 1 : nullptr)
      patched += patchEntry(base, entry, names, system, patches, count);
  }
  return patched;
}

}  // namespace addinhost
