#include <charconv>
#include <cstring>
#include <string>

#include "addin/call.h"
#include "addin/registry.h"

namespace ostrel {
namespace {

constexpr PropertyDef kProperties[kPropertyCount] = {
    {0, u"Port", u"Порт", true, true},
    {1, u"Baud", u"Скорость", true, true},
    {2, u"IsOpen", u"ПортОткрыт", true, false},
    {3, u"LastCmd", u"Команда", true, false},
    {4, u"LastAnswer", u"Ответ", true, false},
    {5, u"LastError", u"Ошибка", true, false},
    {6, u"LastTextError", u"ТекстОшибки", true, false},
    {7, u"Version", u"Версия", true, false},
    {8, u"Author", u"Автор", true, false},
    {9, u"CompanyName", u"ИмяКомпании", true, false},
    {10, u"Password", u"Пароль", true, true},
    {11, u"ErrorCode", u"КодОшибки", true, false},
    {12, u"ErrorDescription", u"ОписаниеОшибки", true, false},
    {13, u"Counter", u"СчетчикРез", true, false},
    {14, u"ReceiptStatus", u"СостояниеЧека", true, false},
    {15, u"ShiftStatus", u"СостояниеСмены", true, false},
};

template <typename Names>
long findIn(std::u16string_view name, int count, Names names) {
  for (int i = 0; i < count; ++i) {
    if (name == std::u16string_view(names(i).first)) return i;
  }
  for (int i = 0; i < count; ++i) {
    if (name == std::u16string_view(names(i).second)) return i;
  }
  return -1;
}

// The text of position `position` in a "|"-separated defaults list.
bool defaultAt(const char* defaults, int position, std::string& out) {
  const char* p = defaults;
  for (int i = 0; i < position; ++i) {
    p = std::strchr(p, '|');
    if (!p) return false;
    ++p;
  }
  const char* end = std::strchr(p, '|');
  out.assign(p, end ? static_cast<size_t>(end - p) : std::strlen(p));
  return !out.empty() && out != "-";
}

uint16_t typeCode(const std::string& name) {
  static const struct {
    const char* name;
    uint16_t code;
  } kTypes[] = {{"ui1", VTYPE_UI1}, {"ui4", VTYPE_UI4}, {"i4", VTYPE_I4},     {"r8", VTYPE_R8},
                {"bool", VTYPE_BOOL}, {"date", VTYPE_DATE}, {"variant", VTYPE_VARIANT}};
  for (const auto& t : kTypes) {
    if (name == t.name) return t.code;
  }
  return VTYPE_EMPTY;
}

}  // namespace

const PropertyDef& propertyDef(int number) { return kProperties[number]; }

long findMethod(std::u16string_view name) {
  return findIn(name, kMethodCount, [](int i) { return std::make_pair(methodDef(i).english, methodDef(i).russian); });
}

long findProperty(std::u16string_view name) {
  return findIn(name, kPropertyCount, [](int i) { return std::make_pair(kProperties[i].english, kProperties[i].russian); });
}

bool declaredDefault(const MethodDef& method, int position, IMemoryManager* memory, tVariant* value) {
  value->vt = VTYPE_EMPTY;
  std::string text;
  if (position < 0 || position >= method.params || !defaultAt(method.defaults, position, text)) return false;
  if (text.back() == '?') {
    // Only the type is declared; the value stays as the host passed it in.
    value->vt = typeCode(text.substr(0, text.size() - 1));
    return true;
  }
  size_t colon = text.find(':');
  std::string kind = text.substr(0, colon);
  std::string literal = text.substr(colon + 1);
  if (kind == "s") {
    return WriteText(memory, value, std::u16string(literal.begin(), literal.end()));
  }
  if (kind == "r8") {
    double d = 0;
    std::from_chars(literal.data(), literal.data() + literal.size(), d);
    WriteR8(value, d);
    return true;
  }
  long long n = 0;
  std::from_chars(literal.data(), literal.data() + literal.size(), n);
  switch (typeCode(kind)) {
    case VTYPE_UI1: WriteUI1(value, static_cast<uint8_t>(n)); return true;
    case VTYPE_UI4: WriteUI4(value, static_cast<uint32_t>(n)); return true;
    case VTYPE_I4: WriteI4(value, static_cast<int32_t>(n)); return true;
    case VTYPE_BOOL: WriteBool(value, n != 0); return true;
    default: return false;
  }
}

}  // namespace ostrel
