#include "abihost/layout.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>

namespace abihost {
namespace layout {

namespace {
// A class with no bases: its type information has the layout and the vtable
// that every such class's has, so only the name needs changing.
struct PlainClass {
  virtual ~PlainClass() = default;
};
struct TypeInfoImage {
  const void* vtable;
  const char* name;
};
}  // namespace

const void* typeInfo(const char* mangledName) {
  if (kVtablePrefix == 0) return nullptr;
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<TypeInfoImage>>* images =
      new std::map<std::string, std::unique_ptr<TypeInfoImage>>;  // kept past exit: objects may outlive statics
  std::lock_guard<std::mutex> lock(mutex);
  auto& image = (*images)[mangledName];
  if (!image) {
    const std::type_info& plain = typeid(PlainClass);
    image.reset(new TypeInfoImage{*reinterpret_cast<const void* const*>(&plain), nullptr});
    auto it = images->find(mangledName);
    image->name = it->first.c_str();
  }
  return image.get();
}

}  // namespace layout
}  // namespace abihost
