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
  // bytes, until the input runs out. Every frame or NAK is parsed or passed
  // over, as the link does, and reading goes on within the piece.
  using State = ostrel::frame::AnswerReader::State;
  size_t total = 0;
  while (in.remaining_bytes() > 0) {
    const size_t length = in.ConsumeIntegralInRange<size_t>(0, 300);
    std::vector<uint8_t> piece = in.ConsumeBytes<uint8_t>(length);
    total += piece.size();
    // An empty piece is passed with a null pointer: the reader must cope.
    const uint8_t* bytes = piece.empty() ? nullptr : piece.data();
    size_t at = 0;
    do {
      const size_t used = reader->feed(bytes ? bytes + at : nullptr, piece.size() - at);
      check(used <= piece.size() - at);
      at += used;
      check(reader->dataSize() <= ostrel::frame::AnswerReader::kCapacity);
      check(reader->dataSize() <= total);
      if (reader->state() == State::Frame) {
        check(reader->frame()[0] == ostrel::frame::kStart);
        ostrel::frame::parseAnswer(reader->frame(), reader->dataSize(), reader->frameStart(), *answer);
        check(!answer->timedOut && answer->frameStart == reader->frameStart());
        checkBounds(*answer);
      }
      if (reader->state() != State::NeedMore) {
        // A second answer into the same slots replaces the first completely.
        if (in.remaining_bytes() % 2) reader->reset(); else reader->next();
      } else {
        check(at == piece.size());
      }
    } while (at < piece.size());
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
