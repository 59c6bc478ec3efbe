#include "device/link.h"

#include <algorithm>

#include "device/frame.h"

namespace ostrel {

namespace {

// One request from its first write to its answer or the time-out state.
class Exchange {
 public:
  Exchange(SerialPort& port, Clock& clock, const Timings& timings, frame::AnswerReader& reader,
           const uint8_t* request, size_t size, bool anyCommand)
      : port_(port), clock_(clock), timings_(timings), reader_(reader), request_(request), size_(size),
        anyCommand_(anyCommand) {}

  // Writes the request and reads until the answer is in the reader (true)
  // or the exchange ends without one (false).
  bool run();

 private:
  enum class Turn { Wait, Answered, Dead };

  bool send();
  Turn take(const uint8_t* piece, size_t size);

  SerialPort& port_;
  Clock& clock_;
  const Timings& timings_;
  frame::AnswerReader& reader_;
  const uint8_t* request_;
  size_t size_;
  int resends_ = -1;  // the first write is not a resend
  uint64_t lastByte_ = 0;
  uint64_t lastSend_ = 0;
  bool anyCommand_;
};

bool Exchange::send() {
  reader_.reset();
  ++resends_;
  if (!port_.writeAll(request_, size_)) return false;
  lastSend_ = clock_.monotonicMs();
  return true;
}

// Judges every frame and NAK in the piece. Frames of another sequence are
// dropped; a NAK or a spoiled frame of ours sends the request again, and
// the rest of the piece may still hold the answer.
Exchange::Turn Exchange::take(const uint8_t* piece, size_t size) {
  const uint8_t sequence = request_[2];
  const uint8_t command = request_[3];
  size_t at = 0;
  while (at < size) {
    at += reader_.feed(piece + at, size - at);
    const auto state = reader_.state();
    if (state == frame::AnswerReader::State::NeedMore) break;
    if (state == frame::AnswerReader::State::Frame && reader_.sequence() != sequence) {
      reader_.next();
      continue;
    }
    if (state == frame::AnswerReader::State::Frame && reader_.whole() && (anyCommand_ || reader_.command() == command))
      return Turn::Answered;
    // A NAK or a spoiled frame of ours: send the same frame again. Once the
    // resends are spent, it is dropped and the wait goes on: an answer to an
    // earlier try may still be on its way, and the silence limit ends the
    // wait for a printer that has stopped.
    if (resends_ >= Link::kMaxResends) {
      reader_.next();
      continue;
    }
    if (!send()) return Turn::Dead;
  }
  return Turn::Wait;
}

bool Exchange::run() {
  if (!send()) return false;
  lastByte_ = lastSend_;  // the silence limit runs from the first write
  const uint32_t limit = timings_.silenceLimitMs;
  const uint32_t interval = timings_.resendIntervalMs;
  uint8_t piece[1024];
  for (;;) {
    const uint64_t now = clock_.monotonicMs();
    const uint64_t silent = now - lastByte_;
    if (silent >= limit) return false;
    const uint64_t quiet = now - std::max(lastByte_, lastSend_);
    const bool mayResend = resends_ < Link::kMaxResends;
    if (mayResend && quiet >= interval) {
      if (!send()) return false;
      continue;
    }
    uint64_t wait = limit - silent;
    if (mayResend) wait = std::min<uint64_t>(wait, interval - quiet);
    const int got = port_.readSome(piece, sizeof piece, static_cast<uint32_t>(wait));
    if (got < 0) return false;  // hang-up or I/O error: this port will not deliver
    if (got == 0) continue;
    lastByte_ = clock_.monotonicMs();
    const Turn turn = take(piece, static_cast<size_t>(got));
    if (turn != Turn::Wait) return turn == Turn::Answered;
  }
}

}  // namespace

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

bool Link::exchange(SerialPort* port, uint8_t command, std::string_view data, Accept accept) {
  uint8_t request[frame::kMaxFrameData + frame::kRequestOverhead];
  const size_t requestSize = frame::buildRequest(command, sequenceCounter_, data, request, sizeof request);
  if (requestSize == 0) return false;

  // A port that is gone cannot answer: end at once instead of waiting out
  // the silence limit.
  answer_.timedOut = false;
  if (port != nullptr && port->isOpen()) {
    Exchange exchange(*port, clock_, timings_, reader_, request, requestSize, accept == Accept::AnyCommand);
    if (exchange.run()) {
      frame::parseAnswer(reader_.frame(), reader_.dataSize(), reader_.frameStart(), answer_);
      return true;
    }
  }
  answer_.setTimedOut();
  return true;
}

}  // namespace ostrel
