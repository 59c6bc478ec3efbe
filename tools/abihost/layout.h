// The host platform's binary layout for native external components, written
// down independently of any component's headers: the three vtable-bearing
// subobjects of a component, their slot numbers, the variant that carries
// every value and its type codes, and the calling convention of interface
// operations.
//
// Everything here is a fact about the platform, not about a particular
// component, so a component whose layout differs fails against this host.
#pragma once

#include <cstddef>
#include <cstdint>

// Calling convention of interface operations (vtable slots): __stdcall on
// 32-bit Windows, the default convention everywhere else. The three library
// exports always use the default convention.
#if defined(_WIN32) && !defined(_WIN64)
#define ABIHOST_CALL __stdcall
#else
#define ABIHOST_CALL
#endif

namespace abihost {
namespace layout {

// Number of vtable slots a virtual destructor takes. The Linux platform is
// built with GCC, whose ABI emits two (complete and deleting destructor); the
// Windows platform is built with MSVC, which emits one.
#if defined(_WIN32)
inline constexpr int kDestructorSlots = 1;
#else
inline constexpr int kDestructorSlots = 2;
#endif

// A component object starts with three vtable pointers in a row, one per
// platform interface, in this order.
enum class Interface : int { InitDone = 0, LanguageExtender = 1, Locale = 2 };

inline constexpr std::size_t subobjectOffset(Interface i) {
  return static_cast<std::size_t>(i) * sizeof(void*);
}

// Slots of IInitDoneBase.
namespace initdone {
inline constexpr int Init = kDestructorSlots + 0;           // bool (void* connection)
inline constexpr int SetMemManager = kDestructorSlots + 1;  // bool (void* memoryManager)
inline constexpr int GetInfo = kDestructorSlots + 2;        // long ()
inline constexpr int Done = kDestructorSlots + 3;           // void ()
}  // namespace initdone

// Slots of ILanguageExtenderBase.
namespace langext {
inline constexpr int RegisterExtensionAs = kDestructorSlots + 0;  // bool (char16_t**)
inline constexpr int GetNProps = kDestructorSlots + 1;            // long ()
inline constexpr int FindProp = kDestructorSlots + 2;             // long (const char16_t*)
inline constexpr int GetPropName = kDestructorSlots + 3;          // const char16_t* (long, long)
inline constexpr int GetPropVal = kDestructorSlots + 4;           // bool (long, tVariant*)
inline constexpr int SetPropVal = kDestructorSlots + 5;           // bool (long, tVariant*)
inline constexpr int IsPropReadable = kDestructorSlots + 6;       // bool (long)
inline constexpr int IsPropWritable = kDestructorSlots + 7;       // bool (long)
inline constexpr int GetNMethods = kDestructorSlots + 8;          // long ()
inline constexpr int FindMethod = kDestructorSlots + 9;           // long (const char16_t*)
inline constexpr int GetMethodName = kDestructorSlots + 10;       // const char16_t* (long, long)
inline constexpr int GetNParams = kDestructorSlots + 11;          // long (long)
inline constexpr int GetParamDefValue = kDestructorSlots + 12;    // bool (long, long, tVariant*)
inline constexpr int HasRetVal = kDestructorSlots + 13;           // bool (long)
inline constexpr int CallAsProc = kDestructorSlots + 14;          // bool (long, tVariant*, long)
inline constexpr int CallAsFunc = kDestructorSlots + 15;          // bool (long, tVariant*, tVariant*, long)
}  // namespace langext

// Slots of LocaleBase.
namespace locale {
inline constexpr int SetLocale = kDestructorSlots + 0;  // void (const char16_t*)
}

// Words in front of slot 0 of a vtable. Under the GCC ABI these are the
// offset to the top of the object and the address of its type information;
// a component built with run-time type checks reads them on every call into
// a platform object, so the host's hand-made vtables carry them too.
#if defined(_WIN32)
inline constexpr int kVtablePrefix = 0;
#else
inline constexpr int kVtablePrefix = 2;
#endif

// Type information under the GCC ABI for a class with no bases whose mangled
// name is `mangledName` (e.g. "14IMemoryManager"); null where the prefix is
// empty. Made once per name and kept for the life of the process.
const void* typeInfo(const char* mangledName);

// Slots of the platform's memory manager, which the host implements.
namespace memory {
inline constexpr int AllocMemory = kDestructorSlots + 0;  // bool (void** p, unsigned long bytes)
inline constexpr int FreeMemory = kDestructorSlots + 1;   // void (void** p)
inline constexpr int Count = kDestructorSlots + 2;
}  // namespace memory

static_assert(initdone::Init == (kDestructorSlots == 2 ? 2 : 1), "Init follows the destructor");
static_assert(langext::CallAsFunc == kDestructorSlots + 15, "CallAsFunc is the 16th operation");

// The variant (tVariant): a union of value members, then a 32-bit element
// count, then the 16-bit type code. The union's largest member is struct tm,
// whose size differs between platforms, hence the three sizes. The host keeps
// variants as raw bytes so that these numbers, not a compiler's idea of the
// struct, decide where each member is.
#if defined(_WIN32)
inline constexpr std::size_t kVariantSize = 48;   // x86 and x64
inline constexpr std::size_t kVariantAlign = 8;
#elif defined(__x86_64__) || defined(__aarch64__) || (defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 8)
inline constexpr std::size_t kVariantSize = 64;
inline constexpr std::size_t kVariantAlign = 8;
#else
inline constexpr std::size_t kVariantSize = 52;   // i386 System V aligns double to 4
inline constexpr std::size_t kVariantAlign = 4;
#endif

inline constexpr std::size_t kValueOffset = 0;                   // every value member
inline constexpr std::size_t kLengthOffset = sizeof(void*);      // wstrLen / strLen after the pointer
inline constexpr std::size_t kInterfaceIdOffset = sizeof(void*); // IID after pInterfaceVal
inline constexpr std::size_t kCbElementsOffset = kVariantSize - 8;
inline constexpr std::size_t kTypeOffset = kVariantSize - 4;

// Type codes of the variant.
enum TypeCode : std::uint16_t {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_DATE = 6,
  VT_TM = 7,
  VT_PSTR = 8,
  VT_INTERFACE = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_I1 = 13,
  VT_UI1 = 14,
  VT_UI2 = 15,
  VT_UI4 = 16,
  VT_I8 = 17,
  VT_UI8 = 18,
  VT_INT = 19,
  VT_UINT = 20,
  VT_HRESULT = 21,
  VT_PWSTR = 22,
  VT_BLOB = 23,
  VT_CLSID = 24,
};

// Names of the type codes for messages, "?" for codes outside the list.
const char* typeName(std::uint16_t code);

}  // namespace layout
}  // namespace abihost
