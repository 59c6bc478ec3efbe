#include <iterator>
#include <string>

#include "addin/call.h"
#include "addin/registry.h"

namespace ostrel {
namespace {

constexpr char16_t kVersionText[] = u"ORVETA native 1C dll  5.0.3.4";
constexpr char16_t kAuthorText[] = u"Brodavin";
constexpr char16_t kCompanyText[] = u"ДП Компания ORVETA";

bool readPort(const CommandContext& c, IMemoryManager*, tVariant* v) { WriteUI2(v, c.port().number); return true; }
bool readBaud(const CommandContext& c, IMemoryManager*, tVariant* v) { WriteUI4(v, c.port().baud); return true; }
bool readIsOpen(const CommandContext& c, IMemoryManager*, tVariant* v) { WriteBool(v, c.port().open); return true; }
bool readLastCmd(const CommandContext& c, IMemoryManager* m, tVariant* v) { return WriteText(m, v, c.lastCmd()); }
// Nothing fills the last answer's text: it reads empty.
bool readLastAnswer(const CommandContext&, IMemoryManager* m, tVariant* v) { return WriteText(m, v, u""); }
bool readErrorCode(const CommandContext& c, IMemoryManager* m, tVariant* v) { return WriteText(m, v, c.errorCodeText()); }
bool readVersion(const CommandContext&, IMemoryManager* m, tVariant* v) { return WriteText(m, v, kVersionText); }
bool readAuthor(const CommandContext&, IMemoryManager* m, tVariant* v) { return WriteText(m, v, kAuthorText); }
bool readCompany(const CommandContext&, IMemoryManager* m, tVariant* v) { return WriteText(m, v, kCompanyText); }
bool readErrorText(const CommandContext& c, IMemoryManager* m, tVariant* v) { return WriteText(m, v, c.errorMessage()); }
bool readCounter(const CommandContext& c, IMemoryManager*, tVariant* v) {
  WriteUI2(v, static_cast<uint16_t>(c.answer().fieldCount));
  return true;
}
bool readReceipt(const CommandContext& c, IMemoryManager*, tVariant* v) {
  WriteUI4(v, status::ReceiptStatus(c.answer().status));
  return true;
}
bool readShift(const CommandContext& c, IMemoryManager*, tVariant* v) {
  WriteUI4(v, status::ShiftStatus(c.answer().status));
  return true;
}

// Every property is announced readable. LastError and Password have no
// value: a read fails. Port, Baud and Password are announced writable; a
// write to one of the first four numbers is accepted and stores nothing
// (the port is chosen by OpenPort's arguments and the driver's settings).
constexpr PropertyDef kProperties[] = {
    {0, u"Port", u"Порт", readPort, true, true},
    {1, u"Baud", u"Скорость", readBaud, true, true},
    {2, u"IsOpen", u"ПортОткрыт", readIsOpen, false, true},
    {3, u"LastCmd", u"Команда", readLastCmd, false, true},
    {4, u"LastAnswer", u"Ответ", readLastAnswer, false, false},
    {5, u"LastError", u"Ошибка", nullptr, false, false},
    {6, u"LastTextError", u"ТекстОшибки", readErrorCode, false, false},
    {7, u"Version", u"Версия", readVersion, false, false},
    {8, u"Author", u"Автор", readAuthor, false, false},
    {9, u"CompanyName", u"ИмяКомпании", readCompany, false, false},
    {10, u"Password", u"Пароль", nullptr, true, false},
    {11, u"ErrorCode", u"КодОшибки", readErrorCode, false, false},
    {12, u"ErrorDescription", u"ОписаниеОшибки", readErrorText, false, false},
    {13, u"Counter", u"СчетчикРез", readCounter, false, false},
    {14, u"ReceiptStatus", u"СостояниеЧека", readReceipt, false, false},
    {15, u"ShiftStatus", u"СостояниеСмены", readShift, false, false},
};
constexpr long kPropertyCount = static_cast<long>(std::size(kProperties));

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

uint16_t typeCode(Type type) {
  switch (type) {
    case Type::Text: return VTYPE_PWSTR;
    case Type::UI1: return VTYPE_UI1;
    case Type::UI4: return VTYPE_UI4;
    case Type::I4: return VTYPE_I4;
    case Type::R8: return VTYPE_R8;
    case Type::Bool: return VTYPE_BOOL;
    case Type::Date: return VTYPE_DATE;
    case Type::Variant: return VTYPE_VARIANT;
  }
  return VTYPE_EMPTY;
}

}  // namespace

long propertyCount() { return kPropertyCount; }
const PropertyDef& propertyDef(int number) { return kProperties[number]; }

long findMethod(std::u16string_view name) {
  return findIn(name, methodCount(), [](int i) { return std::make_pair(methodDef(i).english, methodDef(i).russian); });
}

long findProperty(std::u16string_view name) {
  return findIn(name, kPropertyCount, [](int i) { return std::make_pair(kProperties[i].english, kProperties[i].russian); });
}

bool declaredDefault(const MethodDef& method, int position, IMemoryManager* memory, tVariant* value) {
  value->vt = VTYPE_EMPTY;
  if (position < 0 || position >= method.params.count) return false;
  const Param& p = method.params.list[position];
  switch (p.given) {
    case Param::Default::None: return false;
    case Param::Default::TypeOnly:
      // Only the type is declared; the value stays as the host passed it in.
      value->vt = typeCode(p.type);
      return true;
    case Param::Default::Value: break;
  }
  switch (p.type) {
    case Type::Text: {
      std::string_view text(p.text);
      return WriteText(memory, value, std::u16string(text.begin(), text.end()));
    }
    case Type::R8: WriteR8(value, p.number); return true;
    case Type::UI1: WriteUI1(value, static_cast<uint8_t>(p.number)); return true;
    case Type::UI4: WriteUI4(value, static_cast<uint32_t>(p.number)); return true;
    case Type::I4: WriteI4(value, static_cast<int32_t>(p.number)); return true;
    case Type::Bool: WriteBool(value, p.number != 0); return true;
    default: return false;
  }
}

}  // namespace ostrel
