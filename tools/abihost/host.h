// The host library: loads a native external component the way the platform
// does and drives it through the platform's binary interface only.
//
//   auto lib = std::make_shared<abihost::Library>(path);
//   abihost::Component c(lib);                 // created, memory manager set, Init done
//   long n = c.findMethod(u"PrintXReportL");
//   abihost::CallResult r = c.callProc(n, c.withDefaults(n, {}));
//   std::optional<abihost::Value> v = c.getProperty(u"LastCmd");
//   assert(c.problems().empty());
//
// layout.h   the platform's layout: slots, variant size and offsets, type codes
// variant.h  RawVariant, the variant as bytes
// value.h    Value, a typed argument/result, and its conversion to and from variants
// memory.h   MemoryManager, the platform's allocator, with a record of every block
// connection.h Connection, a connection object that records any call
// component.h  Library (exports) and Component (one object, every operation)
// text.h     UTF-8 <-> UTF-16
#pragma once

#include "abihost/component.h"
#include "abihost/connection.h"
#include "abihost/layout.h"
#include "abihost/memory.h"
#include "abihost/text.h"
#include "abihost/value.h"
#include "abihost/variant.h"
