/*
 * A stand-in for the platform: loads a component library and drives it by
 * the platform's own layout, written here from that layout and not from the
 * component's headers, so a layout mistake in the library fails these checks.
 *
 * Windows (the platform is built with MSVC): a virtual destructor takes one
 * vtable slot, interface operations are __stdcall (on x86 `this` travels on
 * the stack), the variant is 48 bytes. Linux (GCC): two destructor slots,
 * the variant is 64 bytes on x86_64 and 52 on x86. The same file builds for
 * both, so the bundle check loads every library this machine can run.
 *
 *   host LIBRARY
 *       lifecycle, registry and variant checks on LIBRARY
 *   host LIBRARY SHORT_WAIT_LIBRARY PORT SILENT_PORT SERIAL
 *       the same on both, then end-to-end on COM port PORT (a printer whose
 *       serial number is SERIAL) with LIBRARY, and on COM port SILENT_PORT (a
 *       printer that never answers) with SHORT_WAIT_LIBRARY.
 *
 * Prints one line per check and closes with "N passed, M failed"; the exit
 * code is 0 only when nothing failed.
 */
#if !defined(_WIN32)
#define _POSIX_C_SOURCE 200809L
#endif
#include <stdarg.h>
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#define PLATFORM_CALL __stdcall
#define DESTRUCTOR_SLOTS 1
#define VALUE_BYTES 40
#define VARIANT_BYTES 48
#else
#include <dlfcn.h>
#include <time.h>
#define PLATFORM_CALL
#define DESTRUCTOR_SLOTS 2
#if defined(__x86_64__)
#define VALUE_BYTES 56
#define VARIANT_BYTES 64
#else
#define VALUE_BYTES 44
#define VARIANT_BYTES 52
#endif
#endif

typedef uint16_t wchar16;
#define W(s) ((const wchar16*)u##s)

/* ---- the platform's variant ---------------------------------------------- */

/* The platform's type codes, under names of their own: COM's VT_ codes differ. */
enum {
  TV_EMPTY = 0,
  TV_I4 = 3,
  TV_R8 = 5,
  TV_PSTR = 8,
  TV_BOOL = 11,
  TV_UI1 = 14,
  TV_UI2 = 15,
  TV_UI4 = 16,
  TV_PWSTR = 22,
};

typedef struct {
  union {
    unsigned char raw[VALUE_BYTES];
    int32_t i4;
    uint32_t ui4;
    uint8_t ui1;
    uint16_t ui2;
    bool boolean;
    double r8;
    int64_t i8;
    struct {
      wchar16* text;
      uint32_t length;
    } w;
  } value;
  uint32_t cbElements;
  uint16_t vt;
} variant;

_Static_assert(sizeof(variant) == VARIANT_BYTES, "variant size");
_Static_assert(offsetof(variant, cbElements) == VALUE_BYTES, "cbElements offset");
_Static_assert(offsetof(variant, vt) == VALUE_BYTES + 4, "vt offset");

/* ---- slot numbers ----------------------------------------------------------- */

#define D DESTRUCTOR_SLOTS
/* IInitDoneBase, the object's first table */
enum { S_INIT = D, S_SET_MEM_MANAGER, S_GET_INFO, S_DONE };
/* ILanguageExtenderBase, the second table */
enum {
  S_REGISTER_EXTENSION_AS = D,
  S_GET_N_PROPS,
  S_FIND_PROP,
  S_GET_PROP_NAME,
  S_GET_PROP_VAL,
  S_SET_PROP_VAL,
  S_IS_PROP_READABLE,
  S_IS_PROP_WRITABLE,
  S_GET_N_METHODS,
  S_FIND_METHOD,
  S_GET_METHOD_NAME,
  S_GET_N_PARAMS,
  S_GET_PARAM_DEF_VALUE,
  S_HAS_RET_VAL,
  S_CALL_AS_PROC,
  S_CALL_AS_FUNC,
};
/* LocaleBase, the third table */
enum { S_SET_LOCALE = D };
/* IMemoryManager, the host's allocator */
enum { S_ALLOC_MEMORY = D, S_FREE_MEMORY };

/* ---- reporting ----------------------------------------------------------- */

static int passed, failed;

static void check(bool ok, const char* name, const char* fmt, ...) {
  if (ok) {
    ++passed;
    printf("ok   %s\n", name);
  } else {
    ++failed;
    printf("FAIL %s: ", name);
    va_list args;
    va_start(args, fmt);
    vprintf(fmt, args);
    va_end(args);
    printf("\n");
  }
  fflush(stdout);
}

static size_t wlen(const wchar16* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

static bool wequal(const wchar16* a, const wchar16* b) {
  if (!a || !b) return a == b;
  size_t n = wlen(b);
  return wlen(a) == n && memcmp(a, b, n * sizeof(wchar16)) == 0;
}

/* ASCII view of a 16-bit text, for messages. */
static const char* ascii(const wchar16* s) {
  static char buf[4][128];
  static int next;
  char* out = buf[next++ & 3];
  size_t i = 0;
  if (!s) return "(null)";
  for (; s[i] && i < sizeof buf[0] - 1; ++i) out[i] = s[i] < 0x80 ? (char)s[i] : '?';
  out[i] = 0;
  return out;
}

/* ---- the host's memory manager -------------------------------------------- */

/* Every block handed out is recorded, so texts the component returns can be
   checked to come from here. */
#define MAX_BLOCKS 4096
static void* blocks[MAX_BLOCKS];
static int allocations, foreign_frees;

static bool ours(const void* p) {
  for (int i = 0; i < MAX_BLOCKS; ++i)
    if (p && blocks[i] == p) return true;
  return false;
}

static void forget(void* p) {
  for (int i = 0; i < MAX_BLOCKS; ++i)
    if (blocks[i] == p) {
      blocks[i] = NULL;
      return;
    }
  ++foreign_frees;
}

static bool PLATFORM_CALL mm_alloc(void* self, void** memory, unsigned long bytes) {
  (void)self;
  if (!memory) return false;
  *memory = calloc(1, bytes ? bytes : 1);
  if (!*memory) return false;
  for (int i = 0; i < MAX_BLOCKS; ++i)
    if (!blocks[i]) {
      blocks[i] = *memory;
      ++allocations;
      return true;
    }
  free(*memory);
  *memory = NULL;
  return false;
}

static void PLATFORM_CALL mm_free(void* self, void** memory) {
  (void)self;
  if (!memory || !*memory) return;
  forget(*memory);
  free(*memory);
  *memory = NULL;
}

static void PLATFORM_CALL placeholder(void* self) { (void)self; }

static void* mm_table[D + 2];
static struct {
  void** table;
} memory_manager = {mm_table};

/* The connection object: the component only keeps it. Its table is empty,
   so any call through it would fault and show. */
static void* connection_table[64];
static struct {
  void** table;
} connection = {connection_table};

/* A text handed back by the component: checked to come from the memory
   manager, copied, and freed as the platform frees it. */
static wchar16* take_text(wchar16* text, const char* what) {
  static wchar16 copy[4][512];
  static int next;
  wchar16* out = copy[next++ & 3];
  out[0] = 0;
  if (!text) return out;
  if (!ours(text)) {
    check(false, what, "text not from the memory manager");
    return out;
  }
  size_t n = wlen(text);
  if (n > 511) n = 511;
  memcpy(out, text, n * sizeof(wchar16));
  out[n] = 0;
  void* p = text;
  mm_free(NULL, &p);
  return out;
}

/* ---- the library --------------------------------------------------------- */

typedef const wchar16*(*get_class_names_fn)(void);
typedef long (*get_class_object_fn)(const wchar16*, void**);
typedef long (*destroy_object_fn)(void**);

typedef struct {
  get_class_names_fn get_class_names;
  get_class_object_fn get_class_object;
  destroy_object_fn destroy_object;
} library;

static bool load(const char* path, library* lib) {
#if defined(_WIN32)
  HMODULE h = LoadLibraryA(path);
  if (!h) return false;
  lib->get_class_names = (get_class_names_fn)(void*)GetProcAddress(h, "GetClassNames");
  lib->get_class_object = (get_class_object_fn)(void*)GetProcAddress(h, "GetClassObject");
  lib->destroy_object = (destroy_object_fn)(void*)GetProcAddress(h, "DestroyObject");
#else
  void* h = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    fprintf(stderr, "%s\n", dlerror());
    return false;
  }
  lib->get_class_names = (get_class_names_fn)dlsym(h, "GetClassNames");
  lib->get_class_object = (get_class_object_fn)dlsym(h, "GetClassObject");
  lib->destroy_object = (destroy_object_fn)dlsym(h, "DestroyObject");
#endif
  return lib->get_class_names && lib->get_class_object && lib->destroy_object;
}

/* The object and its three interface subobjects, each one table pointer. */
typedef struct {
  void* object;
  void* init_done;
  void* extender;
  void* locale;
} component;

static void* slot(void* iface, int n) { return (*(void***)iface)[n]; }

#define CALL(iface, n, type, ...) ((type)slot((iface), (n)))((iface), __VA_ARGS__)
#define CALL0(iface, n, type) ((type)slot((iface), (n)))((iface))

typedef bool(PLATFORM_CALL* bool_ptr_fn)(void*, void*);
typedef long(PLATFORM_CALL* long_fn)(void*);
typedef void(PLATFORM_CALL* void_fn)(void*);
typedef long(PLATFORM_CALL* long_text_fn)(void*, const wchar16*);
typedef const wchar16*(PLATFORM_CALL* name_fn)(void*, long, long);
typedef bool(PLATFORM_CALL* prop_fn)(void*, long, variant*);
typedef long(PLATFORM_CALL* long_long_fn)(void*, long);
typedef bool(PLATFORM_CALL* bool_long_fn)(void*, long);
typedef bool(PLATFORM_CALL* def_value_fn)(void*, long, long, variant*);
typedef bool(PLATFORM_CALL* proc_fn)(void*, long, variant*, long);
typedef bool(PLATFORM_CALL* func_fn)(void*, long, variant*, variant*, long);
typedef bool(PLATFORM_CALL* register_fn)(void*, wchar16**);
typedef void(PLATFORM_CALL* locale_fn)(void*, const wchar16*);

/* ---- values -------------------------------------------------------------- */

static variant v_text(const wchar16* s) {
  variant v;
  memset(&v, 0, sizeof v);
  v.vt = TV_PWSTR;
  v.value.w.length = (uint32_t)wlen(s);
  v.value.w.text = (wchar16*)s;
  return v;
}

static variant v_i4(int32_t n) {
  variant v;
  memset(&v, 0, sizeof v);
  v.vt = TV_I4;
  v.value.i4 = n;
  return v;
}

static uint32_t number_of(const variant* v) {
  switch (v->vt) {
    case TV_I4: return (uint32_t)v->value.i4;
    case TV_UI4: return v->value.ui4;
    case TV_UI1: return v->value.ui1;
    case TV_UI2: return v->value.ui2;
    case TV_BOOL: return v->value.boolean;
    default: return 0xFFFFFFFFu;
  }
}

/* Texts the caller passed in are the caller's; a text the component put into
   an argument or result is the component's allocation and is taken. */
static const wchar16* text_of(variant* v, const wchar16* passed_in, const char* what) {
  if (v->vt != TV_PWSTR) return NULL;
  if (v->value.w.text == passed_in) return passed_in;
  return take_text(v->value.w.text, what);
}

/* The component's method and property numbers, by name through its
   interface: the host knows the names, never the table's order or size. */
static long method_no(component* c, const wchar16* name) {
  return CALL(c->extender, S_FIND_METHOD, long_text_fn, name);
}
static long prop_no(component* c, const wchar16* name) { return CALL(c->extender, S_FIND_PROP, long_text_fn, name); }

static bool prop(component* c, long n, variant* out) {
  memset(out, 0, sizeof *out);
  return CALL(c->extender, S_GET_PROP_VAL, prop_fn, n, out);
}

static const wchar16* prop_text(component* c, long n, const char* what) {
  static variant v;
  if (!prop(c, n, &v)) return W("(refused)");
  const wchar16* t = text_of(&v, NULL, what);
  return t ? t : W("(not a text)");
}

static uint32_t prop_number(component* c, long n) {
  variant v;
  if (!prop(c, n, &v)) return 0xFFFFFFFFu;
  return number_of(&v);
}

static bool proc(component* c, long method, variant* args, long count) {
  return CALL(c->extender, S_CALL_AS_PROC, proc_fn, method, args, count);
}

static bool func(component* c, long method, variant* result, variant* args, long count) {
  memset(result, 0, sizeof *result);
  return CALL(c->extender, S_CALL_AS_FUNC, func_fn, method, result, args, count);
}

static uint64_t now_ms(void) {
#if defined(_WIN32)
  return GetTickCount64();
#else
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint64_t)t.tv_sec * 1000u + (uint64_t)t.tv_nsec / 1000000u;
#endif
}

/* ---- bringing a component up ---------------------------------------------- */

static bool create(library* lib, component* c) {
  memset(c, 0, sizeof *c);
  long answer = lib->get_class_object(W("CAddInNative"), &c->object);
  if (answer == 0 || !c->object) return false;
  c->init_done = c->object;
  c->extender = (char*)c->object + sizeof(void*);
  c->locale = (char*)c->object + 2 * sizeof(void*);
  return true;
}

static bool bring_up(library* lib, component* c) {
  return create(lib, c) && CALL(c->init_done, S_SET_MEM_MANAGER, bool_ptr_fn, &memory_manager) &&
         CALL(c->init_done, S_INIT, bool_ptr_fn, &connection);
}

static void tear_down(library* lib, component* c) {
  CALL0(c->init_done, S_DONE, void_fn);
  lib->destroy_object(&c->object);
}

/* ---- checks without a printer ---------------------------------------------- */

/* The tables through the interface: counts, names both ways, parameters. */
static void name_checks(component* c, const char* path) {
  char name[160];
#define NAME(what) (snprintf(name, sizeof name, "%s: %s", path, what), name)
  /* Every number below GetNMethods has a name that FindMethod maps back to it. */
  long methods = CALL0(c->extender, S_GET_N_METHODS, long_fn);
  long roundTrips = 0;
  for (long m = 0; m < methods; ++m) {
    const wchar16* english = take_text((wchar16*)CALL(c->extender, S_GET_METHOD_NAME, name_fn, m, 0), NAME("method name"));
    if (english && method_no(c, english) == m) ++roundTrips;
  }
  check(methods > 0 && roundTrips == methods, NAME("GetNMethods, GetMethodName and FindMethod agree"), "%ld of %ld",
        roundTrips, methods);
  long byName = method_no(c, W("RetItem"));
  long byAlias = method_no(c, W("Результат"));
  long unknown = method_no(c, W("NoSuchMethod"));
  check(byName >= 0 && byAlias == byName && unknown == -1, NAME("FindMethod by name and alias"), "%ld %ld %ld", byName,
        byAlias, unknown);
  const wchar16* mName =
      take_text((wchar16*)CALL(c->extender, S_GET_METHOD_NAME, name_fn, method_no(c, W("DirectIO")), 0), NAME("GetMethodName text"));
  check(wequal(mName, W("DirectIO")), NAME("GetMethodName"), "%s", ascii(mName));
  long params = CALL(c->extender, S_GET_N_PARAMS, long_long_fn, method_no(c, W("DirectIO")));
  bool retItemRet = CALL(c->extender, S_HAS_RET_VAL, bool_long_fn, method_no(c, W("RetItem")));
  bool closePortRet = CALL(c->extender, S_HAS_RET_VAL, bool_long_fn, method_no(c, W("ClosePort")));
  check(params == 3 && retItemRet && !closePortRet, NAME("GetNParams and HasRetVal"), "%ld %d %d", params,
        retItemRet, closePortRet);
  long props = CALL0(c->extender, S_GET_N_PROPS, long_fn);
  long errorCode = prop_no(c, W("ErrorCode"));
  long receiptStatus = prop_no(c, W("ReceiptStatus"));
  const wchar16* pName =
      take_text((wchar16*)CALL(c->extender, S_GET_PROP_NAME, name_fn, errorCode, 1), NAME("GetPropName text"));
  check(errorCode >= 0 && errorCode < props && receiptStatus >= 0 && receiptStatus < props && wequal(pName, W("КодОшибки")),
        NAME("GetNProps, FindProp, GetPropName"), "%ld %ld %s", props, errorCode, ascii(pName));
  bool readable = CALL(c->extender, S_IS_PROP_READABLE, bool_long_fn, prop_no(c, W("ErrorCode")));
  bool writable = CALL(c->extender, S_IS_PROP_WRITABLE, bool_long_fn, prop_no(c, W("ErrorCode")));
  check(readable && !writable, NAME("IsPropReadable, IsPropWritable"), "%d %d", readable, writable);
#undef NAME
}

static void abi_checks(const char* path) {
  library lib;
  component c;
  char name[160];
#define NAME(what) (snprintf(name, sizeof name, "%s: %s", path, what), name)

  check(load(path, &lib), NAME("loads, exports GetClassNames, GetClassObject, DestroyObject"), "not loaded");
  if (!lib.get_class_names) return;
  const wchar16* classes = lib.get_class_names();
  check(wequal(classes, W("CAddInNative")), NAME("GetClassNames"), "%s", ascii(classes));

  check(create(&lib, &c), NAME("GetClassObject"), "no object");
  if (!c.object) return;
  long info = CALL0(c.init_done, S_GET_INFO, long_fn);
  check(info == 5030, NAME("GetInfo at slot 3 of the first table (Windows; 4 on Linux)"), "%ld", info);
  bool set = CALL(c.init_done, S_SET_MEM_MANAGER, bool_ptr_fn, &memory_manager);
  bool init = CALL(c.init_done, S_INIT, bool_ptr_fn, &connection);
  check(set && init, NAME("setMemManager and Init"), "setMemManager %d, Init %d", set, init);

  wchar16* ext = NULL;
  bool reg = CALL(c.extender, S_REGISTER_EXTENSION_AS, register_fn, &ext);
  const wchar16* extName = take_text(ext, NAME("RegisterExtensionAs text"));
  check(reg && wequal(extName, W("OstrelX")), NAME("RegisterExtensionAs"), "%d %s", reg, ascii(extName));

  name_checks(&c, path);

  /* The variant: a default written into the first of two variants fills
     exactly the first one; the byte pattern of the second stays. */
  variant pair[2];
  memset(pair, 0xA5, sizeof pair);
  bool def = CALL(c.extender, S_GET_PARAM_DEF_VALUE, def_value_fn, method_no(&c, W("OpenPort")), 1, &pair[0]);
  unsigned char untouched[VARIANT_BYTES];
  memset(untouched, 0xA5, sizeof untouched);
  check(def && pair[0].vt == TV_UI4 && pair[0].value.ui4 == 115200 && memcmp(&pair[1], untouched, sizeof untouched) == 0,
        NAME("GetParamDefValue writes one whole variant and nothing past it"), "%d vt %u value %u", def, pair[0].vt,
        pair[0].value.ui4);

  /* Properties through the variant: Port takes a write and keeps its value. */
  variant port = v_i4(7);
  bool wrote = CALL(c.extender, S_SET_PROP_VAL, prop_fn, prop_no(&c, W("Port")), &port);
  variant portNow;
  bool read = prop(&c, prop_no(&c, W("Port")), &portNow);
  const wchar16* code = prop_text(&c, prop_no(&c, W("ErrorCode")), NAME("ErrorCode text"));
  check(wrote && read && portNow.vt == TV_UI2 && portNow.value.ui2 == 1 && wequal(code, W("0000")),
        NAME("SetPropVal and GetPropVal"), "%d %d vt %u value %u %s", wrote, read, portNow.vt, portNow.value.ui2,
        ascii(code));

  /* A function whose arguments sit at the variant stride: RetItem reads its
     index from the second variant (no answer yet: the empty text). */
  variant args[2] = {v_text(W("")), v_i4(0)};
  variant result;
  bool called = func(&c, method_no(&c, W("RetItem")), &result, args, 2);
  const wchar16* item = text_of(&result, NULL, NAME("RetItem text"));
  check(called && item && item[0] == 0, NAME("CallAsFunc at slot 16 of the second table (Windows; 17 on Linux)"),
        "%d vt %u", called, result.vt);
  bool asProc = proc(&c, method_no(&c, W("RetItem")), args, 2);
  check(!asProc, NAME("CallAsProc refuses a function-only method"), "accepted");

  CALL(c.locale, S_SET_LOCALE, locale_fn, W("C"));
  check(true, NAME("SetLocale at slot 1 of the third table (Windows; 2 on Linux)"), "");

  check(foreign_frees == 0, NAME("texts freed were the memory manager's"), "%d", foreign_frees);
  tear_down(&lib, &c);
  check(c.object == NULL, NAME("DestroyObject clears the pointer"), "%p", c.object);
#undef NAME
}

/* ---- end to end against the simulator -------------------------------------- */

/* After each step of a receipt: no printer error, and the receipt open
   (ReceiptStatus not 0) or closed (0), as the last answer's status says. */
static void expect_code(component* c, const char* what, bool open) {
  const wchar16* code = prop_text(c, prop_no(c, W("ErrorCode")), what);
  uint32_t now = prop_number(c, prop_no(c, W("ReceiptStatus")));
  char name[160];
  snprintf(name, sizeof name, "%s: ErrorCode 0000, %s", what, open ? "a receipt open" : "no receipt open");
  check(wequal(code, W("0000")) && (open ? now != 0 && now != 0xFFFFFFFFu : now == 0), name,
        "ErrorCode %s, ReceiptStatus %u", ascii(code), now);
}

/* The operator password: the default the component declares for the
   password parameter of IsRegExist (every password parameter has it). */
static const wchar16* default_password(component* c) {
  static wchar16 copy[32];
  variant v;
  memset(&v, 0, sizeof v);
  bool ok = CALL(c->extender, S_GET_PARAM_DEF_VALUE, def_value_fn, method_no(c, W("IsRegExist")), 0, &v);
  const wchar16* text = ok ? text_of(&v, NULL, "password default") : NULL;
  size_t n = text ? wlen(text) : 0;
  if (n > 31) n = 31;
  if (text) memcpy(copy, text, n * sizeof(wchar16));
  copy[n] = 0;
  check(n > 0, "the component declares a default password", "none");
  return copy;
}

/* A receipt, step by step. */
static void receipt_checks(component* c, const wchar16* pw) {
  variant article[7] = {v_text(pw), v_text(W("5")),  v_text(W("Bread")), v_i4(0),
                        v_i4(1),             v_text(W("00")), v_text(W(""))};
  check(proc(c, method_no(c, W("ProgramArticle")), article, 7), "e2e: ProgramArticle", "refused");
  expect_code(c, "e2e: ProgramArticle", false);
  variant begin[3] = {v_text(pw), v_i4(1), v_i4(1)};
  check(proc(c, method_no(c, W("BegFiscalReceipt")), begin, 3), "e2e: BegFiscalReceipt", "refused");
  expect_code(c, "e2e: BegFiscalReceipt", true);
  variant sell[4] = {v_text(pw), v_text(W("5")), v_text(W("1.000")), v_text(W("2.00"))};
  check(proc(c, method_no(c, W("SellArticul")), sell, 4), "e2e: SellArticul", "refused");
  expect_code(c, "e2e: SellArticul", true);
  variant cash[2] = {v_text(pw), v_text(W("2.00"))};
  check(proc(c, method_no(c, W("TotalByCash")), cash, 2), "e2e: TotalByCash", "refused");
  expect_code(c, "e2e: TotalByCash", true);
  variant close[1] = {v_text(pw)};
  check(proc(c, method_no(c, W("CloseReceipt")), close, 1), "e2e: CloseReceipt", "refused");
  expect_code(c, "e2e: CloseReceipt", false);

  /* A Cyrillic text goes out in the system ANSI code page; run-wine.sh
     looks for it on the tape when wine runs with a Russian locale. */
  variant comment[2] = {v_text(pw), v_text(W("\u041C\u043E\u043B\u043E\u043A\u043E"))};
  check(proc(c, method_no(c, W("PrintComment")), comment, 2), "e2e: PrintComment", "refused");
  expect_code(c, "e2e: PrintComment", false);
}

static void driver_checks(component* c, int port, const wchar16* serial) {
  variant result;
  /* The equipment-driver path: Port setting "COMN", Open, an X report, Close. */
  wchar16 portName[16];
  char ascii_name[16];
  snprintf(ascii_name, sizeof ascii_name, "COM%d", port);
  for (size_t i = 0; i <= strlen(ascii_name); ++i) portName[i] = (wchar16)ascii_name[i];
  variant setting[2] = {v_text(W("Port")), v_text(portName)};
  bool set = func(c, method_no(c, W("SetParameter")), &result, setting, 2);
  check(set, "e2e: SetParameter(\"Port\", \"COMN\")", "refused");
  variant device[1] = {v_text(W(""))};
  const wchar16* passed_in = device[0].value.w.text;
  bool connected = func(c, method_no(c, W("Open")), &result, device, 1);
  const wchar16* id = text_of(&device[0], passed_in, "Open identifier");
  static wchar16 idCopy[64];
  size_t idLen = id ? wlen(id) : 0;
  if (idLen > 63) idLen = 63;
  if (id) memcpy(idCopy, id, idLen * sizeof(wchar16));
  idCopy[idLen] = 0;
  check(connected && wequal(idCopy, serial), "e2e: Open yields the printer's identifier", "%d %s", connected,
        ascii(idCopy));
  variant named[1] = {v_text(idCopy)};
  bool report = func(c, method_no(c, W("PrintXReport")), &result, named, 1);
  check(report && result.vt == TV_BOOL && result.value.boolean, "e2e: PrintXReport", "%d vt %u", report, result.vt);
  expect_code(c, "e2e: PrintXReport", false);
  bool closed = func(c, method_no(c, W("Close")), &result, named, 1);
  check(closed, "e2e: Close", "refused");
}

static void printer_checks(const char* path, int port, const wchar16* serial) {
  library lib;
  component c;
  variant result;
  if (!load(path, &lib) || !bring_up(&lib, &c)) {
    check(false, "e2e: component up", "%s", path);
    return;
  }
  const wchar16* pw = default_password(&c);

  /* OpenPort(N) opens \\.\COMN. */
  variant open[2] = {v_i4(port), v_i4(115200)};
  bool opened = func(&c, method_no(&c, W("OpenPort")), &result, open, 2);
  check(opened && result.vt == TV_UI1 && result.value.ui1 == 0 && prop_number(&c, prop_no(&c, W("IsOpen"))) == 1,
        "e2e: OpenPort(N) through the COM port", "%d vt %u code %u", opened, result.vt, result.value.ui1);

  variant password[1] = {v_text(pw)};
  bool asked = func(&c, method_no(&c, W("IsRegExist")), &result, password, 1);
  check(asked && number_of(&result) == 1, "e2e: IsRegExist answers 1", "%d vt %u value %u", asked, result.vt,
        number_of(&result));

  /* DirectIO: the code in the second variant, the data in the third; the
     status answer's eighth field is the printer's serial number. */
  variant direct[3] = {v_text(pw), v_i4(128), v_text(W(""))};
  bool sent = proc(&c, method_no(&c, W("DirectIO")), direct, 3);
  uint32_t fields = prop_number(&c, prop_no(&c, W("Counter")));
  variant item[2] = {v_text(W("")), v_i4(7)};
  bool got = func(&c, method_no(&c, W("RetItem")), &result, item, 2);
  const wchar16* field = text_of(&result, NULL, "RetItem text");
  check(sent && fields == 10 && got && wequal(field, serial), "e2e: DirectIO(128) then RetItem(7) is the serial",
        "%d counter %u %d %s", sent, fields, got, ascii(field));
  expect_code(&c, "e2e: DirectIO", false);

  receipt_checks(&c, pw);

  check(proc(&c, method_no(&c, W("ClosePort")), NULL, 0) && prop_number(&c, prop_no(&c, W("IsOpen"))) == 0,
        "e2e: ClosePort", "still open");

  driver_checks(&c, port, serial);

  tear_down(&lib, &c);
}

static void silent_checks(const char* path, int port) {
  library lib;
  component c;
  variant result;
  if (!load(path, &lib) || !bring_up(&lib, &c)) {
    check(false, "silent: component up", "%s", path);
    return;
  }
  const wchar16* pw = default_password(&c);
  variant open[2] = {v_i4(port), v_i4(115200)};
  bool opened = func(&c, method_no(&c, W("OpenPort")), &result, open, 2);
  check(opened && result.vt == TV_UI1 && result.value.ui1 == 0, "silent: OpenPort(N)", "%d code %u", opened,
        result.value.ui1);

  /* The short-wait build gives up after 400 ms of silence. */
  variant password[1] = {v_text(pw)};
  uint64_t start = now_ms();
  bool asked = func(&c, method_no(&c, W("IsRegExist")), &result, password, 1);
  uint64_t took = now_ms() - start;
  check(asked && result.vt == TV_UI4 && result.value.ui4 == 0, "silent: IsRegExist answers 0", "%d vt %u value %u",
        asked, result.vt, result.value.ui4);
  check(took >= 300 && took < 5000, "silent: gives up after the silence limit, not before, not hanging", "%u ms",
        (unsigned)took);
  variant item[2] = {v_text(W("")), v_i4(0)};
  bool got = func(&c, method_no(&c, W("RetItem")), &result, item, 2);
  const wchar16* field = text_of(&result, NULL, "RetItem text");
  uint32_t fields = prop_number(&c, prop_no(&c, W("Counter")));
  const wchar16* code = prop_text(&c, prop_no(&c, W("ErrorCode")), "ErrorCode text");
  check(got && field && field[0] == 0 && fields == 0 && wequal(code, W("0000")),
        "silent: no fields, the error code stays", "RetItem %s, Counter %u, ErrorCode %s", ascii(field), fields,
        ascii(code));
  check(proc(&c, method_no(&c, W("ClosePort")), NULL, 0) && prop_number(&c, prop_no(&c, W("IsOpen"))) == 0, "silent: ClosePort", "still open");
  tear_down(&lib, &c);
}

int main(int argc, char** argv) {
  mm_table[S_ALLOC_MEMORY] = (void*)mm_alloc;
  mm_table[S_FREE_MEMORY] = (void*)mm_free;
  for (int i = 0; i < D; ++i) mm_table[i] = (void*)placeholder;

  if (argc != 2 && argc != 6) {
    fprintf(stderr, "usage: %s LIBRARY [SHORT_WAIT_LIBRARY PORT SILENT_PORT SERIAL]\n", argv[0]);
    return 2;
  }
  abi_checks(argv[1]);
  if (argc == 6) {
    abi_checks(argv[2]);
    wchar16 serial[64];
    size_t n = strlen(argv[5]);
    if (n > 63) n = 63;
    for (size_t i = 0; i < n; ++i) serial[i] = (wchar16)(unsigned char)argv[5][i];
    serial[n] = 0;
    printer_checks(argv[1], atoi(argv[3]), serial);
    silent_checks(argv[2], atoi(argv[4]));
  }
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
