// The component object the host creates: the host's interfaces over one
// command context. What each method and property does lives in the tables
// (registry.h) and the subsystems' handlers.
#pragma once

#include "addin/abi.h"
#include "command/context.h"

namespace ostrel {

class CAddInNative final : public IComponentBase {
 public:
  CAddInNative();
  ~CAddInNative();  // virtual through the bases on Linux; deleted by its own type everywhere
  CAddInNative(const CAddInNative&) = delete;
  CAddInNative& operator=(const CAddInNative&) = delete;

  // IInitDoneBase
  bool ADDIN_API Init(void* connection) override;
  bool ADDIN_API setMemManager(void* memory) override;
  long ADDIN_API GetInfo() override;
  void ADDIN_API Done() override;
  // ILanguageExtenderBase
  bool ADDIN_API RegisterExtensionAs(WCHAR_T** name) override;
  long ADDIN_API GetNProps() override;
  long ADDIN_API FindProp(const WCHAR_T* name) override;
  const WCHAR_T* ADDIN_API GetPropName(long number, long language) override;
  bool ADDIN_API GetPropVal(const long number, tVariant* value) override;
  bool ADDIN_API SetPropVal(const long number, tVariant* value) override;
  bool ADDIN_API IsPropReadable(const long number) override;
  bool ADDIN_API IsPropWritable(const long number) override;
  long ADDIN_API GetNMethods() override;
  long ADDIN_API FindMethod(const WCHAR_T* name) override;
  const WCHAR_T* ADDIN_API GetMethodName(const long number, const long language) override;
  long ADDIN_API GetNParams(const long number) override;
  bool ADDIN_API GetParamDefValue(const long method, const long position, tVariant* value) override;
  bool ADDIN_API HasRetVal(const long number) override;
  bool ADDIN_API CallAsProc(const long number, tVariant* args, const long count) override;
  bool ADDIN_API CallAsFunc(const long number, tVariant* result, tVariant* args, const long count) override;
  // LocaleBase
  void ADDIN_API SetLocale(const WCHAR_T* locale) override;

 private:
  void* connection_ = nullptr;  // stored, never called
  IMemoryManager* memory_ = nullptr;
  CommandContext context_;
};

}  // namespace ostrel
