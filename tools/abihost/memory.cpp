#include "abihost/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace abihost {

MemoryManager::MemoryManager() {
  const void** slots = vtable_ + layout::kVtablePrefix;
  if (layout::kVtablePrefix == 2) {
    vtable_[0] = nullptr;  // offset to top
    vtable_[1] = layout::typeInfo("14IMemoryManager");
  }
  for (int i = 0; i < layout::kDestructorSlots; ++i)
    slots[i] = reinterpret_cast<const void*>(&MemoryManager::destructorSlot);
  slots[layout::memory::AllocMemory] = reinterpret_cast<const void*>(&MemoryManager::allocMemory);
  slots[layout::memory::FreeMemory] = reinterpret_cast<const void*>(&MemoryManager::freeMemory);
  object_.vtable = slots;
  object_.owner = this;
}

MemoryManager::~MemoryManager() {
  for (auto& entry : live_) std::free(const_cast<void*>(entry.first));
}

void MemoryManager::failAll(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  failAll_ = on;
  limited_ = false;
}

void MemoryManager::failAfter(std::size_t successes) {
  std::lock_guard<std::mutex> lock(mutex_);
  failAll_ = false;
  limited_ = true;
  remaining_ = successes;
}

bool MemoryManager::owns(const void* p) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return p != nullptr && live_.count(p) != 0;
}

std::size_t MemoryManager::sizeOf(const void* p) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = live_.find(p);
  return it == live_.end() ? 0 : it->second;
}

bool MemoryManager::release(const void* p) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = live_.find(p);
  if (it == live_.end()) return false;
  std::free(const_cast<void*>(it->first));
  live_.erase(it);
  return true;
}

std::size_t MemoryManager::liveCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return live_.size();
}

std::size_t MemoryManager::allocationCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return allocations_;
}

std::size_t MemoryManager::failedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

std::vector<std::string> MemoryManager::violations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return violations_;
}

bool ABIHOST_CALL MemoryManager::allocMemory(Object* self, void** p, unsigned long bytes) {
  MemoryManager& mm = *self->owner;
  std::lock_guard<std::mutex> lock(mm.mutex_);
  if (p == nullptr) {
    mm.violations_.push_back("AllocMemory called with a null target");
    return false;
  }
  bool fail = mm.failAll_ || (mm.limited_ && mm.remaining_ == 0);
  if (mm.limited_ && mm.remaining_ > 0) --mm.remaining_;
  if (fail) {
    ++mm.failed_;
    *p = nullptr;
    return false;
  }
  void* block = std::malloc(bytes ? bytes : 1);
  if (block == nullptr) {
    ++mm.failed_;
    *p = nullptr;
    return false;
  }
  std::memset(block, kFillByte, bytes ? bytes : 1);
  mm.live_[block] = bytes;
  ++mm.allocations_;
  *p = block;
  return true;
}

void ABIHOST_CALL MemoryManager::freeMemory(Object* self, void** p) {
  MemoryManager& mm = *self->owner;
  std::lock_guard<std::mutex> lock(mm.mutex_);
  if (p == nullptr || *p == nullptr) return;
  auto it = mm.live_.find(*p);
  if (it == mm.live_.end()) {
    char text[96];
    std::snprintf(text, sizeof text, "FreeMemory on a pointer not allocated here (%p)", *p);
    mm.violations_.push_back(text);
    return;
  }
  std::free(*p);
  mm.live_.erase(it);
  *p = nullptr;
}

void ABIHOST_CALL MemoryManager::destructorSlot(Object* self) {
  MemoryManager& mm = *self->owner;
  std::lock_guard<std::mutex> lock(mm.mutex_);
  mm.violations_.push_back("the memory manager's destructor was called");
}

}  // namespace abihost
