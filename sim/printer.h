// The printer model behind the simulator: shift, receipts, counters, article
// database, operators, QR data and the paper tape. It knows nothing of bytes
// on the line: it takes a decoded command and its data text and returns the
// error code, the answer fields and how long the command keeps the printer
// busy. Money is kept in hundredths, quantities in thousandths.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim/frame.h"

namespace datecs_sim {

enum class ReceiptKind { None, Sale, Refund, Service, NonFiscal };

struct Article {
  uint32_t code = 0;
  std::string name;
  std::vector<std::string> fields;  // as programmed, after the code: name, n1, n2, t1, t2[, t3, t4]
  bool longRecord = false;
  int64_t soldMilli = 0;            // quantity sold since the last Z report
  int64_t soldCents = 0;
};

struct Operator {
  std::string password;
  std::string name;
};

struct ZRecord {
  int number = 0;
  std::string date;  // DDMMYY
  int64_t sales = 0, refunds = 0, deposits = 0, withdrawals = 0, cash = 0;
  int receipts = 0;
};

// What tests look at after a walk.
struct PrinterState {
  bool shiftOpen = false;
  ReceiptKind receipt = ReceiptKind::None;
  int receiptState = 0;  // low nibble of status byte 2
  int64_t cash = 0, sales = 0, refunds = 0, deposits = 0, withdrawals = 0;  // hundredths
  int lastReceipt = 0;   // number of the last closed fiscal receipt
  int zReports = 0;
  int64_t receiptTotal = 0, receiptPaid = 0;
  size_t articles = 0;
};

struct Outcome {
  std::string code = "0000";
  std::vector<std::string> fields;
  int busyMs = 0;  // the printer works this long before it answers
};

class Printer {
 public:
  explicit Printer(std::string serial = "DT000001");

  Outcome execute(uint8_t command, const std::string& data);
  Status status() const;
  PrinterState state() const;
  bool article(uint32_t code, Article& out) const;

  std::vector<std::string> tape() const { return tape_; }
  // Called for every printed line, as it is printed.
  void setTapeSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

  void setDefaultCode(const std::string& code) { defaultCode_ = code; }
  // How long a command keeps the printer busy, whether instant or not.
  void setBusyMs(uint8_t command, int ms) { forcedBusy_[command] = ms; }
  // Instant (the default): only setBusyMs() times apply. Otherwise reports
  // and copies also take their usual time.
  void setInstant(bool instant) { instant_ = instant; }
  // The date the printer stamps on reports (DDMMYY); defaults to today.
  void setDate(const std::string& ddmmyy) { date_ = ddmmyy; }
  // Marks the last answer as an error or not (status byte 0, bit 5).
  void noteAnswerCode(const std::string& code) { lastFailed_ = code != "0000"; }

  static constexpr int kLineWidth = 48;

 private:
  using Fields = std::vector<std::string>;
  using Handler = Outcome (*)(Printer&, const Fields&);

  // A field whose text the component always sends in one shape, checked
  // before the command's handler runs: one of a few one-character values, a
  // decimal integer, empty, or the same text as the field before it.
  struct Fixed {
    enum Rule : uint8_t { None, OneOf, Integer, Empty, SameAsPrevious };
    uint8_t field = 0;
    Rule rule = None;
    const char* values = "";  // OneOf: the values allowed, one character each
  };

  // One command the printer knows: its code, the number of fields it needs
  // (the password included), how long it keeps the printer busy when not
  // instant, what carries it out, and its fixed fields.
  struct Command {
    uint8_t code;
    uint8_t fields;
    int slowMs;
    Handler run;
    Fixed fixed[4] = {};
  };
  static const Command kCommands[];
  static const Command* find(uint8_t code);

  struct Item {
    std::string name;
    uint32_t code = 0;
    int64_t qtyMilli = 0, priceCents = 0, sumCents = 0, discountCents = 0;
  };

  Outcome dispatch(const Command& command, const Fields& f);
  // The first field that breaks one of the command's fixed-field rules, or 0
  // when every rule holds.
  static size_t brokenField(const Command& command, const Fields& f);
  int busyFor(uint8_t code, const Command* command, const Outcome& o) const;

  // Status and identity.
  Outcome statusFields() const;
  Outcome identity() const;
  Outcome parameters(const Fields& f) const;
  Outcome networkTest() const;

  // Receipts and payments.
  Outcome openReceipt(const Fields& f);
  Outcome openNonFiscal();
  Outcome closeReceipt();
  void bookSaleOrRefund();
  Outcome cancelReceipt();
  Outcome sale(const Fields& f);
  Outcome discount(bool percent, bool onSubtotal, const Fields& f);
  Outcome total();
  Outcome payCash(const Fields& f);
  Outcome payCard(const Fields& f);
  // The amount a payment takes (what is due when the text is 0 or empty),
  // or the refusal code common to both payment commands.
  std::string paymentAmount(const std::string& text, int64_t& amount, int64_t& due) const;
  Outcome cashInOut(const Fields& f);
  void endReceipt();
  int64_t subtotal() const;
  int64_t remaining() const;

  // Counters, reports and copies.
  Outcome counters(const Fields& f) const;
  Outcome lastReceiptNumber() const;
  Outcome report(const Fields& f);
  Outcome zReport();
  Outcome periodicByDate(const Fields& f);
  Outcome periodicByNumber(const Fields& f);
  Outcome periodicTotals(const std::vector<const ZRecord*>& chosen);
  Outcome goodsReport();
  Outcome copyReceipt(const Fields& f);
  void printCounters(const std::string& title);

  // Articles and operators.
  Outcome programArticle(bool longRecord, const Fields& f);
  Outcome readArticle(const Fields& f) const;
  Outcome setOperator(const Fields& f);
  bool passwordOk(const std::string& pw) const;

  // What is printed besides receipt lines, and the tape itself.
  Outcome comment(const Fields& f);
  Outcome barcode(const Fields& f);
  Outcome qrCode(const Fields& f);
  Outcome qrInfo(const Fields& f);
  Outcome qrData() const;
  Outcome record(const char* title, const Fields& f);
  void print(const std::string& line);

  std::string serial_;
  std::string defaultCode_ = "0002";
  std::string date_;
  std::map<uint8_t, int> forcedBusy_;
  bool instant_ = true;
  bool lastFailed_ = false;

  std::map<int, Operator> operators_;
  std::map<uint32_t, Article> articles_;
  std::map<int, std::vector<std::string>> receipts_;  // number -> printed lines
  std::vector<ZRecord> zHistory_;

  bool shiftOpen_ = false;
  int64_t cash_ = 0, sales_ = 0, refunds_ = 0, deposits_ = 0, withdrawals_ = 0;
  int shiftReceipts_ = 0;
  int lastReceipt_ = 0;

  ReceiptKind kind_ = ReceiptKind::None;
  int rstate_ = 0;
  int opNumber_ = 0;
  std::vector<Item> items_;
  int64_t subtotalDiscount_ = 0;
  int64_t paid_ = 0, cashIn_ = 0, change_ = 0;  // cashIn_: cash taken (sale) or given (refund)
  int64_t pendingDeposit_ = 0, pendingWithdrawal_ = 0;
  std::vector<std::string> receiptLines_;

  std::string qrData_;
  std::map<int, std::string> qrInfo_;

  std::vector<std::string> tape_;
  std::function<void(const std::string&)> sink_;
};

// Money and quantity texts: digits with an optional '-' and '.', at most
// `decimals` digits after the point. Returns false for anything else.
bool parseFixed(const std::string& text, int decimals, int64_t& out);
std::string formatFixed(int64_t value, int decimals);

}  // namespace datecs_sim
