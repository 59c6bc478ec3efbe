// MemoryManager: the platform's memory manager, as a hand-made object whose
// first word points to a vtable laid out as the platform's (destructor
// slot(s), AllocMemory, FreeMemory). Every allocation is recorded so the host
// can tell whether a pointer it receives came from here.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "abihost/layout.h"

namespace abihost {

class MemoryManager {
 public:
  MemoryManager();
  ~MemoryManager();  // frees whatever is still allocated
  MemoryManager(const MemoryManager&) = delete;
  MemoryManager& operator=(const MemoryManager&) = delete;

  // The pointer to hand to the component's setMemManager.
  void* platformObject() { return &object_; }

  // Allocation failures: `failAll` makes every AllocMemory fail; failAfter(n)
  // lets n more allocations succeed and fails the rest.
  void failAll(bool on);
  void failAfter(std::size_t successes);

  // True if `p` is the start of a live allocation made here.
  bool owns(const void* p) const;
  // Size in bytes of the live allocation starting at `p`, 0 if none.
  std::size_t sizeOf(const void* p) const;
  // Frees a live allocation, as the platform does once it has read a value.
  // Returns false (and frees nothing) for a pointer that is not one.
  bool release(const void* p);

  std::size_t liveCount() const;
  std::size_t allocationCount() const;  // successful AllocMemory calls
  std::size_t failedCount() const;      // AllocMemory calls answered false

  // Misuse seen so far: FreeMemory on a foreign pointer, calls of the
  // destructor slots (the component must not delete the platform's object).
  std::vector<std::string> violations() const;

  // New allocations are filled with this byte, so a component that forgets a
  // terminator is caught.
  static constexpr unsigned char kFillByte = 0xA5;

 private:
  struct Object {
    const void* const* vtable;
    MemoryManager* owner;
  };
  static bool ABIHOST_CALL allocMemory(Object* self, void** p, unsigned long bytes);
  static void ABIHOST_CALL freeMemory(Object* self, void** p);
  static void ABIHOST_CALL destructorSlot(Object* self);

  Object object_;
  const void* vtable_[layout::kVtablePrefix + layout::memory::Count];
  mutable std::mutex mutex_;
  std::map<const void*, std::size_t> live_;
  std::size_t allocations_ = 0;
  std::size_t failed_ = 0;
  bool failAll_ = false;
  bool limited_ = false;
  std::size_t remaining_ = 0;
  std::vector<std::string> violations_;
};

}  // namespace abihost
