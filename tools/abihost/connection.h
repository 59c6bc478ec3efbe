// Connection: the platform's connection object (IAddInDefBase), as a
// hand-made object with a long vtable whose every slot only records that it
// was called. A component may store the pointer; it must never call it.
#pragma once

#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

#include "abihost/layout.h"

namespace abihost {

class Connection {
 public:
  static constexpr int kSlots = 64;

  Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The pointer to hand to the component's Init.
  void* platformObject() { return &object_; }

  // Slot numbers called so far, in call order.
  std::vector<int> calls() const;

 private:
  struct Object {
    const void* const* vtable;
    Connection* owner;
  };
  template <int N>
  static long ABIHOST_CALL slot(Object* self);
  template <int... N>
  void fillTable(std::integer_sequence<int, N...>);

  Object object_;
  const void* vtable_[layout::kVtablePrefix + kSlots];
  mutable std::mutex mutex_;
  std::vector<int> calls_;
};

}  // namespace abihost
