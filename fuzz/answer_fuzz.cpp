// The component's answer reader and parser fed arbitrary bytes in arbitrary
// pieces. Whatever arrives, the reader stores at most its capacity and the
// parsed answer keeps its bounds: at most 20 fields, each at most 149 bytes
// and NUL-terminated, an error code of at most 4 bytes and NUL-terminated.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "device/frame.h"
#include "fuzz/check.h"

namespace {

void checkBounds(const ostrel::Answer& a) {
  check(a.fieldCount >= 0 && a.fieldCount <= ostrel::kMaxAnswerFields);
  check(std::memchr(a.errorCode, 0, sizeof a.errorCode) != nullptr);
  for (int i = 0; i < ostrel::kMaxAnswerFields; ++i) {
    const char* field = a.fields[i];
    check(std::memchr(field, 0, ostrel::kAnswerSlotSize) != nullptr);  // <= 149 bytes, terminated
    if (i >= a.fieldCount) check(field[0] == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  // Heap-allocated so AddressSanitizer sees writes past either object.
  auto reader = std::make_unique<ostrel::frame::AnswerReader>();
  auto answer = std::make_unique<ostrel::Answer>();
  reader->reset();

  // The pieces as the port would deliver them: a length, then that many
  // bytes, until the input runs out.
  using State = ostrel::frame::AnswerReader::State;
  State state = State::NeedMore;
  size_t total = 0;
  while (in.remaining_bytes() > 0) {
    const size_t length = in.ConsumeIntegralInRange<size_t>(0, 300);
    std::vector<uint8_t> piece = in.ConsumeBytes<uint8_t>(length);
    total += piece.size();
    // An empty piece is passed with a null pointer: the reader must cope.
    state = reader->feed(piece.empty() ? nullptr : piece.data(), piece.size());
    check(reader->frameSize() <= ostrel::frame::AnswerReader::kCapacity);
    check(reader->frameSize() <= total);
    if (state == State::Broken) check(reader->feed(piece.data(), piece.size()) == State::Broken);
    if (state == State::Complete) {
      check(reader->frame()[0] == ostrel::frame::kStart);
      ostrel::frame::parseAnswer(reader->frame(), reader->frameSize(), reader->synCount(), *answer);
      check(!answer->timedOut && answer->frameStart == reader->synCount());
      checkBounds(*answer);
      // A second answer into the same slots replaces the first completely.
      reader->reset();
    }
  }

  // The parser alone, over the raw input as if it were a whole frame.
  ostrel::frame::parseAnswer(data, size, 0, *answer);
  checkBounds(*answer);
  // The time-out state keeps the error code and clears the rest.
  char code[5];
  std::memcpy(code, answer->errorCode, sizeof code);
  answer->setTimedOut();
  check(answer->fieldCount == 0 && answer->timedOut && std::memcmp(code, answer->errorCode, sizeof code) == 0);
  checkBounds(*answer);
  return 0;
}
