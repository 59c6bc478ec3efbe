// The three entry points the host resolves by name.
#include <new>

#include "addin/abi.h"
#include "addin/component.h"

namespace {

// The class list, built once and kept for the life of the library.
const WCHAR_T kClassNames[] = {'C', 'A', 'd', 'd', 'I', 'n', 'N', 'a', 't', 'i', 'v', 'e', 0};

}  // namespace

ADDIN_EXPORT const WCHAR_T* GetClassNames() { return kClassNames; }

ADDIN_EXPORT long GetClassObject(const WCHAR_T*, IComponentBase** pInterface) {
  if (!pInterface || *pInterface) return 0;
  try {
    auto* component = new ostrel::CAddInNative();
    *pInterface = component;
    long address = static_cast<long>(reinterpret_cast<intptr_t>(component));
    return address != 0 ? address : 1;
  } catch (...) {
    return 0;
  }
}

ADDIN_EXPORT long DestroyObject(IComponentBase** pInterface) {
  if (!pInterface || !*pInterface) return -1;
  try {
    delete static_cast<ostrel::CAddInNative*>(*pInterface);
  } catch (...) {
  }
  *pInterface = nullptr;
  return 0;
}
