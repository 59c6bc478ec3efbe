#include "abihost/connection.h"

#include <utility>

namespace abihost {

// Each slot answers 0 (false, null): whatever a component expected from the
// platform, it gets nothing, and the call is on record.
template <int N>
long ABIHOST_CALL Connection::slot(Object* self) {
  std::lock_guard<std::mutex> lock(self->owner->mutex_);
  self->owner->calls_.push_back(N);
  return 0;
}

template <int... N>
void Connection::fillTable(std::integer_sequence<int, N...>) {
  ((vtable_[layout::kVtablePrefix + N] = reinterpret_cast<const void*>(&Connection::slot<N>)), ...);
}

Connection::Connection() {
  if (layout::kVtablePrefix == 2) {
    vtable_[0] = nullptr;  // offset to top
    vtable_[1] = layout::typeInfo("13IAddInDefBase");
  }
  fillTable(std::make_integer_sequence<int, kSlots>{});
  object_.vtable = vtable_ + layout::kVtablePrefix;
  object_.owner = this;
}

std::vector<int> Connection::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

}  // namespace abihost
