// What is printed besides receipt lines (comments, barcodes, QR codes and
// the payout, electronic payment and excise records), QR data kept for
// reading back, and the paper tape itself.
#include <cctype>
#include <string>

#include "sim/model_fields.h"
#include "sim/printer.h"

namespace datecs_sim {

void Printer::print(const std::string& line) {
  tape_.push_back(line);
  if (kind_ != ReceiptKind::None) receiptLines_.push_back(line);
  if (sink_) sink_(line);
}

Outcome Printer::comment(const Fields& f) {
  print(f.size() > 1 ? f[1] : std::string());
  return Outcome{};
}

Outcome Printer::barcode(const Fields& f) {
  const std::string& data = f[5];
  std::string type;
  if (f[3] == "1") {
    type = "EAN13";
    bool digits = data.size() == 12 || data.size() == 13;
    for (char c : data) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (!digits) return fail("0504");
  } else if (f[3] == "5") {
    type = "CODE39";
  } else {
    type = "TYPE" + f[3];
  }
  if (data.empty()) return fail("0504");
  print("[BARCODE " + type + " " + data + "]");
  return Outcome{};
}

Outcome Printer::qrCode(const Fields& f) {
  if (f[1].empty()) return fail("0104");
  qrData_ = f[1];
  print("[QR " + f[1] + "]");
  return Outcome{};
}

Outcome Printer::qrInfo(const Fields& f) {
  int n = 0;
  if (!parseInt(f[1], n)) return fail("0103");
  qrInfo_[n] = f[2];
  return Outcome{};
}

Outcome Printer::qrData() const {
  Outcome o;
  o.fields.push_back(qrData_);
  for (const auto& kv : qrInfo_) o.fields.push_back(kv.second);
  return o;
}

// One line: the record's title and its fields after the password.
Outcome Printer::record(const char* title, const Fields& f) {
  std::string line = title;
  for (size_t i = 1; i < f.size(); ++i) line += (i == 1 ? " " : ";") + f[i];
  print(line);
  return Outcome{};
}

}  // namespace datecs_sim
