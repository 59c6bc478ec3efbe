#include "device/link.h"

#include "device/frame.h"

namespace ostrel {

void Link::reset() {
  sequenceCounter_ = 255;
  answer_.reset();
}

void Link::advanceSequence() {
  if (sequenceCounter_ == 255)
    sequenceCounter_ = clock_.calendarSeconds();
  else
    ++sequenceCounter_;
}

bool Link::exchange(SerialPort* port, uint8_t command, std::string_view data) {
  uint8_t request[frame::kMaxFrameData + frame::kRequestOverhead];
  const size_t requestSize = frame::buildRequest(command, sequenceCounter_, data, request, sizeof request);
  if (requestSize == 0) return false;

  // A port that is gone cannot answer: end at once instead of waiting out
  // the silence limit.
  if (port == nullptr || !port->isOpen() || !port->writeAll(request, requestSize)) {
    answer_.setTimedOut();
    return true;
  }

  // Bytes already waiting (a late answer to an earlier command) are read as
  // the start of this answer: there is no purge before the write.
  reader_.reset();
  answer_.timedOut = false;
  const uint32_t limit = timings_.silenceLimitMs;
  uint64_t lastPiece = clock_.monotonicMs();
  uint8_t piece[1024];
  for (;;) {
    const uint64_t silent = clock_.monotonicMs() - lastPiece;
    if (silent >= limit) break;
    const int got = port->readSome(piece, sizeof piece, static_cast<uint32_t>(limit - silent));
    if (got < 0) break;  // hang-up or I/O error: this port will not deliver
    if (got == 0) continue;
    // Once the reader is broken (a NAK or junk first), the rest is read and
    // dropped until the line falls silent.
    if (reader_.feed(piece, static_cast<size_t>(got)) == frame::AnswerReader::State::Complete) {
      frame::parseAnswer(reader_.frame(), reader_.frameSize(), reader_.synCount(), answer_);
      return true;
    }
    lastPiece = clock_.monotonicMs();
  }
  answer_.setTimedOut();
  return true;
}

}  // namespace ostrel
