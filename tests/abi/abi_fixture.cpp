#include "abi_fixture.h"

namespace abitest {

// Both libraries stay loaded until the process ends: unloading one that
// carries its own copy of the C++ runtime strands that runtime's exception
// buffer, which leak checkers then report at exit.

std::shared_ptr<Library> productLibrary() {
  static auto* lib = new std::shared_ptr<Library>(std::make_shared<Library>(OSTREL_PRODUCT_LIBRARY));
  return *lib;
}

std::shared_ptr<Library> testLibrary() {
  static auto* lib = new std::shared_ptr<Library>(std::make_shared<Library>(OSTREL_TEST_LIBRARY));
  return *lib;
}

}  // namespace abitest
