#include "abi_fixture.h"

namespace abitest {

std::shared_ptr<Library> productLibrary() {
  static std::shared_ptr<Library> lib = std::make_shared<Library>(OSTREL_PRODUCT_LIBRARY);
  return lib;
}

std::shared_ptr<Library> testLibrary() {
  static std::shared_ptr<Library> lib = std::make_shared<Library>(OSTREL_TEST_LIBRARY);
  return lib;
}

}  // namespace abitest
