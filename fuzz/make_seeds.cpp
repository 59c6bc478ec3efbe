// Writes the seed corpora from real frames: the simulator's encoder makes the
// answers a printer sends and the requests a host sends.
//   fuzz_seeds DIR   -> DIR/answer, DIR/dispatch, DIR/sim_decoder
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/frame.h"

namespace {

using Bytes = std::vector<uint8_t>;

void write(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// FuzzedDataProvider takes integers from the end of the input, most
// significant byte last, and byte runs from the front.
Bytes tail(Bytes bytes, std::initializer_list<uint8_t> fromLastRead) {
  std::vector<uint8_t> order(fromLastRead);
  for (auto it = order.rbegin(); it != order.rend(); ++it) bytes.push_back(*it);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const datecs_sim::Status status{0x80, 0x80, 0x85, 0x80, 0x80, 0x90};
  std::vector<Bytes> answers = {
      datecs_sim::encodeAnswer(0x21, 128, "0000", {"0", "1", "0", "0", "0", "0", "0", "0", "42", "1"}, status),
      datecs_sim::encodeAnswer(0x22, 76, "0000", {"DT000001", "ECR", "1.0"}, status),
      datecs_sim::encodeAnswer(0x23, 224, "0000", {"1250.00", "17.50"}, status),
      datecs_sim::encodeAnswer(0x24, 48, "0105", {}, status),
      datecs_sim::encodeAnswer(0x25, 103, "0000", {std::string(149, 'x'), std::string(150, 'y')}, status),
      cat({Bytes(5, 0x16), datecs_sim::encodeAnswer(0x26, 69, "0000", {"1"}, status)}),
  };
  for (size_t i = 0; i < answers.size(); ++i) {
    const Bytes& a = answers[i];
    // answer_fuzz: one piece of the whole frame (a 2-byte length).
    write(dir + "/answer/frame" + std::to_string(i),
          tail(a, {static_cast<uint8_t>(a.size() >> 8), static_cast<uint8_t>(a.size() & 0xFF)}));
    // dispatch_fuzz: the port's bytes (a piece size, then the answer, twice),
    // then IsRegExist in the function form and DirectIO as a procedure, both
    // with their defaults.
    Bytes port;
    for (int k = 0; k < 2; ++k) {
      for (size_t at = 0; at < a.size(); at += 48) {
        const size_t n = std::min<size_t>(48, a.size() - at);
        port.push_back(static_cast<uint8_t>(n - 1));
        port.insert(port.end(), a.begin() + at, a.begin() + at + n);
      }
    }
    write(dir + "/dispatch/answer" + std::to_string(i),
          tail(port, {static_cast<uint8_t>(port.size() >> 8), static_cast<uint8_t>(port.size() & 0xFF),
                      28, 1, 0, 1,   // method 26, function, no arguments, defaults
                      4, 0, 0, 1})); // method 2, procedure, no arguments, defaults
  }
  std::vector<Bytes> requests = {
      datecs_sim::encodeRequest(0x21, 128, "482915;"),
      datecs_sim::encodeRequest(0x22, 49, "482915;1;1.000;2.50;"),
      datecs_sim::encodeRequest(0x23, 48, "482915;1;1;"),
      datecs_sim::encodeRequest(0x24, 69, "482915;0;"),
  };
  for (size_t i = 0; i < requests.size(); ++i) {
    const Bytes& r = requests[i];
    // sim_decoder_fuzz: mode 2 (pieces), one piece of the whole frame.
    write(dir + "/sim_decoder/request" + std::to_string(i),
          tail(r, {2, static_cast<uint8_t>(r.size() >> 8), static_cast<uint8_t>(r.size() & 0xFF)}));
  }
  return 0;
}
