// The host's own checks, shown to fire: a text that did not come from the
// memory manager, a text without its terminator, misuse of the memory
// manager, any call of the connection object. Without these the other tests
// could pass against a component that breaks the rules.
#include <cstring>

#include "abi_fixture.h"

namespace abitest {
namespace {

using abihost::Connection;
using abihost::MemoryManager;

// Calls slot `slot` of a hand-made platform object, as a component would.
template <class R, class... A>
R callSlot(void* object, int slot, A... args) {
  void* const* vtable = *static_cast<void* const* const*>(object);
  return reinterpret_cast<R(ABIHOST_CALL*)(void*, A...)>(vtable[slot])(object, args...);
}

TEST(Host, VariantLayoutIsThePlatforms) {
  EXPECT_EQ(sizeof(RawVariant), layout::kVariantSize);
  RawVariant v;
  std::deque<std::string> storage;
  Value::text_(u"ab").toRaw(v, storage);
  EXPECT_EQ(v.type(), layout::VT_PWSTR);
  EXPECT_EQ(v.length(), 2u);
  EXPECT_EQ(static_cast<const char16_t*>(v.pointer())[2], u'\0');
  EXPECT_EQ(v.bytes[layout::kTypeOffset], layout::VT_PWSTR);
}

TEST(Host, MemoryManagerRecordsAllocationsThroughItsVtable) {
  MemoryManager mm;
  void* object = mm.platformObject();
  void* block = nullptr;
  ASSERT_TRUE(callSlot<bool>(object, layout::memory::AllocMemory, &block, 10ul));
  EXPECT_TRUE(mm.owns(block));
  EXPECT_EQ(mm.sizeOf(block), 10u);
  callSlot<void>(object, layout::memory::FreeMemory, &block);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(mm.liveCount(), 0u);
  EXPECT_TRUE(mm.violations().empty());

  int foreign = 0;
  void* p = &foreign;
  callSlot<void>(object, layout::memory::FreeMemory, &p);
  EXPECT_EQ(mm.violations().size(), 1u);

  mm.failAfter(1);
  void* a = nullptr;
  void* b = nullptr;
  EXPECT_TRUE(callSlot<bool>(object, layout::memory::AllocMemory, &a, 4ul));
  EXPECT_FALSE(callSlot<bool>(object, layout::memory::AllocMemory, &b, 4ul));
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(mm.failedCount(), 1u);
}

TEST(Host, TextsFromElsewhereOrUnterminatedAreReported) {
  MemoryManager mm;
  std::vector<std::string> problems;

  char16_t own[] = u"abc";
  RawVariant raw;
  raw.setType(layout::VT_PWSTR);
  raw.setPointer(own);
  raw.setLength(3);
  Value::fromRaw(raw, &mm, &problems);
  EXPECT_EQ(problems.size(), 1u);

  void* block = nullptr;
  callSlot<bool>(mm.platformObject(), layout::memory::AllocMemory, &block, 8ul);
  std::memcpy(block, u"abcd", 8);  // four characters, no room for the NUL
  raw.setPointer(block);
  raw.setLength(4);
  problems.clear();
  Value::fromRaw(raw, &mm, &problems);
  EXPECT_EQ(problems.size(), 1u);

  raw.setLength(3);  // a length that leaves out the last character
  problems.clear();
  Value::fromRaw(raw, &mm, &problems);
  EXPECT_EQ(problems.size(), 1u);

  std::memcpy(block, u"abc", 8);
  problems.clear();
  EXPECT_EQ(Value::fromRaw(raw, &mm, &problems), text(u"abc"));
  EXPECT_TRUE(problems.empty());
}

TEST(Host, ConnectionRecordsEveryCall) {
  Connection connection;
  EXPECT_TRUE(connection.calls().empty());
  callSlot<long>(connection.platformObject(), 7);
  callSlot<long>(connection.platformObject(), 63);
  EXPECT_EQ(connection.calls(), (std::vector<int>{7, 63}));
}

TEST(Host, Utf8RoundTrip) {
  const std::string s = "Нет ошибки: 0000 \xF0\x9F\x98\x80";
  EXPECT_EQ(abihost::toUtf8(abihost::fromUtf8(s)), s);
  EXPECT_EQ(abihost::fromUtf8("\xFF"), u"\uFFFD");
}

}  // namespace
}  // namespace abitest
