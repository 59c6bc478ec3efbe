// The host platform's binary interface for native external components:
// the variant that carries every value, the three interfaces a component
// implements, and the memory manager the host hands it.
//
// The layout must match the host's exactly: a wrong variant size shifts every
// argument after the first, a wrong slot order calls the wrong operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#if defined(_WIN32)
typedef wchar_t WCHAR_T;
#define ADDIN_API __stdcall  // interface operations; ignored on x64
#else
typedef char16_t WCHAR_T;
#define ADDIN_API
#endif

static_assert(sizeof(WCHAR_T) == 2, "host texts are 16-bit");

// Type codes of the host's variant (not COM's VARENUM).
enum TYPEVAR : uint16_t {
  VTYPE_EMPTY = 0,
  VTYPE_NULL = 1,
  VTYPE_I2 = 2,
  VTYPE_I4 = 3,
  VTYPE_R4 = 4,
  VTYPE_R8 = 5,
  VTYPE_DATE = 6,
  VTYPE_TM = 7,
  VTYPE_PSTR = 8,
  VTYPE_INTERFACE = 9,
  VTYPE_ERROR = 10,
  VTYPE_BOOL = 11,
  VTYPE_VARIANT = 12,
  VTYPE_I1 = 13,
  VTYPE_UI1 = 14,
  VTYPE_UI2 = 15,
  VTYPE_UI4 = 16,
  VTYPE_I8 = 17,
  VTYPE_UI8 = 18,
  VTYPE_INT = 19,
  VTYPE_UINT = 20,
  VTYPE_HRESULT = 21,
  VTYPE_PWSTR = 22,
  VTYPE_BLOB = 23,
  VTYPE_CLSID = 24,
};

struct AddinIID {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};
static_assert(sizeof(AddinIID) == 16, "IID is 16 bytes");

struct tVariant {
  union {
    int8_t i8Val;
    int16_t shortVal;
    int32_t lVal;
    int intVal;
    unsigned int uintVal;
    int64_t llVal;
    uint8_t ui8Val;
    uint16_t ushortVal;
    uint32_t ulVal;
    uint64_t ullVal;
    int32_t errCode;
    long hRes;
    float fltVal;
    double dblVal;
    bool bVal;
    char chVal;
    WCHAR_T wchVal;
    double date;
    AddinIID IDVal;
    tVariant* pvarVal;
    struct tm tmVal;
    struct {
      void* pInterfaceVal;
      AddinIID InterfaceID;
    };
    struct {
      char* pstrVal;
      uint32_t strLen;
    };
    struct {
      WCHAR_T* pwstrVal;
      uint32_t wstrLen;
    };
  };
  uint32_t cbElements;
  uint16_t vt;
};

#if defined(_WIN32) && defined(_WIN64)
static_assert(sizeof(tVariant) == 48 && offsetof(tVariant, cbElements) == 40 && offsetof(tVariant, vt) == 44, "Windows x64 variant");
#elif defined(_WIN32)
static_assert(sizeof(tVariant) == 48 && offsetof(tVariant, cbElements) == 40 && offsetof(tVariant, vt) == 44, "Windows x86 variant");
#elif defined(__x86_64__)
static_assert(sizeof(tVariant) == 64 && offsetof(tVariant, cbElements) == 56 && offsetof(tVariant, vt) == 60, "Linux x86_64 variant");
#elif defined(__i386__)
static_assert(sizeof(tVariant) == 52 && offsetof(tVariant, cbElements) == 44 && offsetof(tVariant, vt) == 48, "Linux x86 variant");
#endif

// The Windows host is built with MSVC, where a virtual destructor takes one
// vtable slot; GCC and MinGW give it two. On Windows each interface therefore
// declares a single placeholder where the destructor stands, so that every
// later operation sits at the host's slot number. Objects are never deleted
// through these interfaces (DestroyObject knows the concrete class).
#if defined(_WIN32)
#define ADDIN_DESTRUCTOR_SLOT(Name) \
  virtual void ADDIN_API destructorSlot_() {}
#else
#define ADDIN_DESTRUCTOR_SLOT(Name) \
  virtual ~Name() {}
#endif

// The host's allocator: every text handed to the host comes from here.
class IMemoryManager {
 public:
  ADDIN_DESTRUCTOR_SLOT(IMemoryManager)
  virtual bool ADDIN_API AllocMemory(void** pMemory, unsigned long ulCountByte) = 0;
  virtual void ADDIN_API FreeMemory(void** pMemory) = 0;
};

class IInitDoneBase {
 public:
  ADDIN_DESTRUCTOR_SLOT(IInitDoneBase)
  virtual bool ADDIN_API Init(void* disp) = 0;
  virtual bool ADDIN_API setMemManager(void* mem) = 0;
  virtual long ADDIN_API GetInfo() = 0;
  virtual void ADDIN_API Done() = 0;
};

class ILanguageExtenderBase {
 public:
  ADDIN_DESTRUCTOR_SLOT(ILanguageExtenderBase)
  virtual bool ADDIN_API RegisterExtensionAs(WCHAR_T** wsExtensionName) = 0;
  virtual long ADDIN_API GetNProps() = 0;
  virtual long ADDIN_API FindProp(const WCHAR_T* wsPropName) = 0;
  virtual const WCHAR_T* ADDIN_API GetPropName(long lPropNum, long lPropAlias) = 0;
  virtual bool ADDIN_API GetPropVal(const long lPropNum, tVariant* pvarPropVal) = 0;
  virtual bool ADDIN_API SetPropVal(const long lPropNum, tVariant* varPropVal) = 0;
  virtual bool ADDIN_API IsPropReadable(const long lPropNum) = 0;
  virtual bool ADDIN_API IsPropWritable(const long lPropNum) = 0;
  virtual long ADDIN_API GetNMethods() = 0;
  virtual long ADDIN_API FindMethod(const WCHAR_T* wsMethodName) = 0;
  virtual const WCHAR_T* ADDIN_API GetMethodName(const long lMethodNum, const long lMethodAlias) = 0;
  virtual long ADDIN_API GetNParams(const long lMethodNum) = 0;
  virtual bool ADDIN_API GetParamDefValue(const long lMethodNum, const long lParamNum, tVariant* pvarParamDefValue) = 0;
  virtual bool ADDIN_API HasRetVal(const long lMethodNum) = 0;
  virtual bool ADDIN_API CallAsProc(const long lMethodNum, tVariant* paParams, const long lSizeArray) = 0;
  virtual bool ADDIN_API CallAsFunc(const long lMethodNum, tVariant* pvarRetValue, tVariant* paParams, const long lSizeArray) = 0;
};

class LocaleBase {
 public:
  ADDIN_DESTRUCTOR_SLOT(LocaleBase)
  virtual void ADDIN_API SetLocale(const WCHAR_T* loc) = 0;
};

class IComponentBase : public IInitDoneBase, public ILanguageExtenderBase, public LocaleBase {
 public:
#if !defined(_WIN32)
  ~IComponentBase() override {}
#endif
};

#if defined(_WIN32)
#define ADDIN_EXPORT extern "C" __declspec(dllexport)
#else
#define ADDIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

ADDIN_EXPORT const WCHAR_T* GetClassNames();
ADDIN_EXPORT long GetClassObject(const WCHAR_T* wsName, IComponentBase** pInterface);
ADDIN_EXPORT long DestroyObject(IComponentBase** pInterface);
