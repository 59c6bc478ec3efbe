// The simulator's own request decoder fed arbitrary bytes in arbitrary
// pieces, and the component's request builder checked against it.
//
// Decoder: never crashes, keeps its partial frame bounded, and every request
// it accepts re-encodes to a frame it decodes to the same request.
// Builder: every frame the component builds decodes, on the printer's side,
// to exactly the command, sequence and data it was built from.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/frame.h"
#include "fuzz/check.h"
#include "sim/frame.h"

namespace {

void decodeAll(datecs_sim::FrameDecoder& decoder, const std::vector<uint8_t>& bytes,
               std::vector<datecs_sim::FrameDecoder::Event>& out) {
  decoder.feed(bytes.data(), bytes.size(), out);
}

void checkRoundTrip(const datecs_sim::Request& request) {
  datecs_sim::FrameDecoder again;
  std::vector<datecs_sim::FrameDecoder::Event> events;
  decodeAll(again, datecs_sim::encodeRequest(request.seq, request.command, request.data), events);
  check(events.size() == 1 && !events[0].bad);
  check(events[0].request.seq == request.seq && events[0].request.command == request.command &&
        events[0].request.data == request.data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int mode = in.ConsumeIntegralInRange<int>(0, 3);

  if (mode == 0) {
    // The component's builder against the printer's decoder.
    const uint8_t command = in.ConsumeIntegral<uint8_t>();
    const uint32_t counter = in.ConsumeIntegral<uint32_t>();
    std::string field = in.ConsumeRandomLengthString(260);
    uint8_t frame[ostrel::frame::kMaxFrameData + ostrel::frame::kRequestOverhead];
    const size_t n = ostrel::frame::buildRequest(command, counter, field, frame, sizeof frame);
    if (field.size() > ostrel::frame::kMaxFrameData) {
      check(n == 0);
      return 0;
    }
    check(n == field.size() + ostrel::frame::kRequestOverhead);
    // A command code or data text holding 0x05 or 0x01 ends or restarts the
    // frame on the printer's side: only plain ones are expected to survive
    // the trip.
    if (command == 0x01 || command == 0x05 || field.find('\x05') != std::string::npos ||
        field.find('\x01') != std::string::npos)
      return 0;
    datecs_sim::FrameDecoder decoder;
    std::vector<datecs_sim::FrameDecoder::Event> events;
    decodeAll(decoder, std::vector<uint8_t>(frame, frame + n), events);
    check(events.size() == 1 && !events[0].bad);
    check(events[0].request.command == command && events[0].request.data == field &&
          events[0].request.seq == ostrel::frame::sequenceByte(counter));
    return 0;
  }

  if (mode == 1) {
    // The answer decoder over arbitrary bytes.
    std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();
    datecs_sim::Answer answer;
    datecs_sim::decodeAnswer(bytes, answer);
    return 0;
  }

  // The request decoder, in pieces.
  datecs_sim::FrameDecoder decoder;
  std::vector<datecs_sim::FrameDecoder::Event> events;
  while (in.remaining_bytes() > 0) {
    const size_t length = in.ConsumeIntegralInRange<size_t>(0, 600);
    std::vector<uint8_t> piece = in.ConsumeBytes<uint8_t>(length);
    events.clear();
    decoder.feed(piece.data(), piece.size(), events);
    for (const auto& event : events) {
      if (event.bad) continue;
      check(event.request.data.size() <= datecs_sim::FrameDecoder::kMaxFrame);
      checkRoundTrip(event.request);
    }
    if (mode == 3 && in.ConsumeBool()) decoder.reset();
  }
  return 0;
}
