// addin-host: loads the component library the way the platform does and
// calls its methods from the command line or from a scenario file, printing
// each call's answer and the error state the printer left. With --trace it
// also shows every frame on the line.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "abihost/host.h"
#include "addin/registry.h"
#include "names.h"
#include "printing.h"
#include "platform.h"
#include "reference.h"
#include "relay.h"
#include "tools/cli/options.h"
#include "values.h"

namespace {

using abihost::Value;
using addinhost::Arg;
using addinhost::exists;
using addinhost::kLibraryName;
using addinhost::portDevice;
using addinhost::programDir;
namespace L = abihost::layout;

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

const char kUsageText[] =
    "usage: addin-host [options] call [proc|func] METHOD [ARG...] [-- METHOD [ARG...]]...\n"
    "       addin-host [options] run SCENARIO|-\n"
    "       addin-host [options] methods [METHOD]\n"
    "       addin-host [options] props\n"
    "\n"
    "Loads the component library through its exported interface, as the platform\n"
    "does, and calls methods by their English or Russian names, all on one\n"
    "component. After each call it prints the answer, the result and output\n"
    "arguments, ErrorCode, ErrorDescription and Counter with the answer fields,\n"
    "and a verdict. \"methods METHOD\" prints the method's reference.\n"
    "\n"
    "Options:\n"
    "  --lib PATH        the component library (default: libAddInNativeOstrel.so\n"
    "                    next to this program or in a directory above it)\n"
    "  --port PORT       open the port before the first call and close it after\n"
    "                    the last: a path or \"COMn\" through SetParameter \"Port\"\n"
    "                    and Open (the identifier is kept as $device), a number n\n"
    "                    through OpenPort n (COMn, /dev/ttyS{n-1})\n"
    "  --speed BAUD      the line speed for --port (default: the component's)\n"
    "  --yes             print on a real printer without asking (below)\n"
    "  --stop-on-error   stop at the first call with an unexpected outcome\n"
    "  --trace           print every frame both ways, decoded and in hex, under\n"
    "                    the call that sent it (Linux: the port is relayed through\n"
    "                    a pty; Windows: the component's own calls to the port\n"
    "                    are watched).\n"
    "                    The port is taken from SetParameter \"Port\" (a path,\n"
    "                    \"COMn\" = /dev/ttyS{n-1}, or a form index n = /dev/ttyS{n});\n"
    "                    the component gets the pty.\n"
    "  --var NAME=VALUE  a value for $NAME in the arguments\n"
    "  -h, --help        this text\n"
    "\n"
    "Call form: function when the method returns a value, else procedure;\n"
    "\"proc\" or \"func\" before the name chooses. Missing arguments get their\n"
    "declared defaults. After \"call\", \"--\" separates one call from the next\n"
    "(a text argument \"--\" is written in quotes).\n"
    "\n"
    "%s"
    "\n"
    "Scenario files: one call a line, as after \"call\"; blank lines and text after\n"
    "a '#' that starts a word are ignored. A line may also be\n"
    "  get PROPERTY            print a property (kept as $PROPERTY)\n"
    "  set PROPERTY VALUE      write a property; ok only when it then reads VALUE\n"
    "and may end with \"== VALUE\": the result (of get: the property) must equal it.\n"
    "A line that starts with \"!\" expects the call to fail; \"!CODE\" (e.g. !000B)\n"
    "expects it to fail with that ErrorCode. Such a failure counts as ok, and a\n"
    "success there counts as a failure. Every line, and every $name in it, is\n"
    "checked before the first call.\n"
    "\n"
    "Verdict: a call fails when the component answers false, or when afterwards\n"
    "ErrorCode is not 0000 or ErrorDescription is not the no-error text (a printer\n"
    "refusal or a time-out). The error state is that of the printer's last answer,\n"
    "so a call that sends nothing shows the state an earlier call left.\n"
    "\n"
    "Real printers: when the calls include one that prints a fiscal document or\n"
    "a report or opens the drawer (addin-host methods lists them, marked \"prints\")\n"
    "and a port they use is not a pseudo-terminal (where the simulator answers),\n"
    "addin-host asks for YES on the terminal first; without a terminal it\n"
    "refuses unless --yes is given.\n"
    "\n"
    "Exit status: 0 when every call had the expected outcome, 1 when one did not\n"
    "or --port could not open the port, 2 for a usage error, an unknown name, a\n"
    "malformed argument or scenario line, a variable without a value, a library\n"
    "that cannot be loaded, a traced port that cannot be opened, or a run on a\n"
    "real printer that was not confirmed.\n"
    "\n"
    "Examples (against the simulator on /dev/pts/3):\n"
    "  addin-host methods SellArticul\n"
    "  addin-host --port /dev/pts/3 call IsRegExist\n"
    "  addin-host --port /dev/pts/3 call ProgramArticle _ 5 Bread -- BegFiscalReceipt -- SellArticul 482915 '\"5\"' '\"1.000\"' '\"12.50\"' -- TotalByCash _ '\"12.50\"' -- CloseReceipt\n"
    "  addin-host --var port=/dev/pts/3 run shift.txt\n";

void usage(std::FILE* to) { std::fprintf(to, kUsageText, addinhost::kArgumentSyntax); }

std::string u8(const std::u16string& s) { return abihost::toUtf8(s); }
std::u16string u16(const std::string& s) { return abihost::fromUtf8(s); }

// The library next to the program, else in one of the two directories above
// (build/tools/addin-host/addin-host finds build/libAddInNativeOstrel.so).
std::string defaultLibrary(std::vector<std::string>& looked) {
  std::string dir = programDir();
  for (int up = 0; up < 3; ++up) {
    std::string candidate = dir + "/" + kLibraryName;
    looked.push_back(dir);
    if (exists(candidate)) return candidate;
    size_t slash = dir.rfind('/');
    if (slash == std::string::npos || slash == 0) break;
    dir = dir.substr(0, slash);
  }
  return {};
}

bool isNumeric(const Value& v, double& out) {
  switch (v.type) {
    case L::VT_I1: case L::VT_I2: case L::VT_I4: case L::VT_I8: case L::VT_INT:
    case L::VT_UI1: case L::VT_UI2: case L::VT_UI4: case L::VT_UINT:
      out = static_cast<double>(v.integer);
      return true;
    case L::VT_UI8: out = static_cast<double>(v.unsigned64); return true;
    case L::VT_R4: case L::VT_R8: out = v.real; return true;
    default: return false;
  }
}

bool sameValue(const Value& got, const Value& want) {
  double a = 0, b = 0;
  if (isNumeric(got, a) && isNumeric(want, b)) return std::fabs(a - b) < 1e-9;
  if (got.type == L::VT_BOOL && want.type == L::VT_BOOL) return got.boolean == want.boolean;
  if (got.type == L::VT_PWSTR && want.type == L::VT_PWSTR) return got.text == want.text;
  return addinhost::formatValue(got) == addinhost::formatValue(want);
}

// One line of a scenario or the words after "call".
struct Step {
  int line = 0;
  std::string where;   // how the output names it: "line 3", "call 2", "--port"
  std::string origin;  // where a message about it points: "shift.txt:3", "call 2"
  std::string source;
  bool expectFail = false;
  std::string expectCode;
  enum Verb { Call, Get, Set } verb = Call;
  enum Form { Auto, Proc, Func } form = Auto;
  std::string name;   // as written
  long number = -1;   // method or property number
  std::vector<Arg> args;
  bool checkResult = false;
  Arg expected;
};

class Host {
 public:
  Host(std::unique_ptr<abihost::Component> c, bool trace)
      : c_(std::move(c)), trace_(trace), relay_(stdout) {
    auto d = c_->getProperty(u"ErrorDescription");
    noError_ = d ? d->text : u"";
  }

  std::map<std::string, Value>& vars() { return vars_; }

  // Reads the words of one step; false with a message when they are wrong.
  bool parse(std::vector<std::string> words, Step& s, std::string& error);
  // Runs a step and prints it; false when its outcome was unexpected.
  bool run(const Step& s);
  int summary(size_t total);
  // The variables steps use before anything gives them a value: --var, a
  // capture >name or a function's $result on an earlier step, get NAME.
  std::vector<std::pair<const Step*, std::string>> unsetVariables(const std::vector<Step>& steps);
  // Whether the steps may run: asks first when they print on a real printer.
  bool confirmPrinting(const std::vector<Step>& open, const std::vector<Step>& steps, bool yes);
  int status() const { return unexpected_ ? 1 : 0; }

  void listMethods();
  void listProps();
  std::vector<std::string> problems() const { return c_->problems(); }
  void finish() { relay_.stop(); }

 private:
  // What one call did, for its verdict.
  struct Outcome {
    std::u16string method;  // the English name
    bool function = false;
    abihost::CallResult result;
    std::string code;  // ErrorCode afterwards
    std::u16string description;
    std::string state, stateBefore;  // the error state line after and before the call
    bool openBefore = false, openAfter = false;  // IsOpen around the call
  };

  bool resolveProperty(Step& s, std::string& error);
  bool resolveMethod(Step& s, std::string& error);
  Value expectedValue(const Step& s);
  bool runProperty(const Step& s, const std::string& prefix);
  bool setProperty(const Step& s, std::string& detail);
  void followPort(const std::u16string& method, std::vector<Value>& values);
  std::string describeAnswer(const Step& s, const std::vector<Value>& values, const abihost::CallResult& r, bool function);
  bool failure(const Step& s, const Outcome& o, std::string& why);
  bool judge(const Step& s, const Outcome& o, std::string& verdict);
  std::string describeCall(const Step& s, const std::vector<Value>& values);
  bool argsToValues(const Step& s, std::vector<Value>& values, std::string& error);
  std::string errorState(std::string& code, std::u16string& description);
  bool isOpen();
  std::string notes(const Outcome& o);
  std::string suggest(const std::string& name, bool property);
  std::string english(const Step& s);
  void portsOf(const Step& s, bool& named, std::vector<std::string>& ports);

  std::unique_ptr<abihost::Component> c_;
  bool trace_;
  addinhost::Relay relay_;
  std::u16string noError_;
  std::map<std::string, Value> vars_;
  std::string lastDevice_;
  int okCount_ = 0, expectedFailures_ = 0, unexpected_ = 0;
};

// " (did you mean X?)" for a mistyped name, from the names of the table.
std::string suggestion(const std::string& name, const std::vector<std::u16string>& names, const char* lister) {
  auto near = addinhost::closestNames(u16(name), names);
  if (near.empty()) return std::string(" (") + lister + " lists them)";
  // A name that differs only in letter case is the one meant.
  bool caseOnly = addinhost::foldCase(near[0]) == addinhost::foldCase(u16(name));
  if (caseOnly) near.resize(1);
  std::string out = " (did you mean ";
  for (size_t i = 0; i < near.size(); ++i) out += (i == 0 ? "" : i + 1 == near.size() ? " or " : ", ") + u8(near[i]);
  return out + (caseOnly ? "? names are case-sensitive)" : std::string("? ") + lister + " lists them)");
}

std::string Host::suggest(const std::string& name, bool property) {
  std::vector<std::u16string> names;
  long n = property ? c_->getNProps() : c_->getNMethods();
  for (long i = 0; i < n; ++i)
    for (long lang = 0; lang < 2; ++lang) {
      auto m = property ? c_->propName(i, lang) : c_->methodName(i, lang);
      if (m) names.push_back(*m);
    }
  return suggestion(name, names, property ? "addin-host props" : "addin-host methods");
}

// A leading "!" or "!CODE": the step is expected to fail (with that code).
bool parseExpectation(const std::vector<std::string>& words, size_t& i, Step& s, std::string& error) {
  if (i >= words.size() || words[i][0] != '!') return true;
  s.expectFail = true;
  s.expectCode = words[i].substr(1);
  if (!s.expectCode.empty() && s.expectCode.size() != 4) {
    error = "an expected error code has four characters: " + words[i];
    return false;
  }
  ++i;
  return true;
}

// The arguments after the name, and a trailing "== VALUE".
bool parseArguments(std::vector<std::string> rest, Step& s, std::string& error) {
  if (rest.size() >= 2 && rest[rest.size() - 2] == "==") {
    s.checkResult = true;
    if (!addinhost::parseArg(rest.back(), s.expected, error)) return false;
    if (s.expected.kind != Arg::Given && s.expected.kind != Arg::Variable) {
      error = "after == comes a value or $name";
      return false;
    }
    rest.resize(rest.size() - 2);
  }
  for (const auto& w : rest) {
    if (w == "==") {
      error = "== comes last, followed by one value";
      return false;
    }
    Arg a;
    if (!addinhost::parseArg(w, a, error)) return false;
    s.args.push_back(a);
  }
  return true;
}

bool Host::parse(std::vector<std::string> words, Step& s, std::string& error) {
  size_t i = 0;
  if (!parseExpectation(words, i, s, error)) return false;
  if (i < words.size() && (words[i] == "proc" || words[i] == "func")) s.form = words[i++] == "proc" ? Step::Proc : Step::Func;
  if (i < words.size() && s.form == Step::Auto && (words[i] == "get" || words[i] == "set"))
    s.verb = words[i++] == "get" ? Step::Get : Step::Set;
  if (i >= words.size()) {
    error = "no method or property name";
    return false;
  }
  s.name = words[i++];
  if (!parseArguments(std::vector<std::string>(words.begin() + static_cast<long>(i), words.end()), s, error)) return false;
  return s.verb == Step::Call ? resolveMethod(s, error) : resolveProperty(s, error);
}

bool Host::resolveProperty(Step& s, std::string& error) {
  s.number = c_->findProp(u16(s.name));
  if (s.number < 0) {
    error = "unknown property " + s.name + suggest(s.name, true);
    return false;
  }
  size_t want = s.verb == Step::Get ? 0 : 1;
  if (s.args.size() != want) {
    error = s.verb == Step::Get ? "get takes a property name only" : "set takes a property name and one value";
    return false;
  }
  return true;
}

bool Host::resolveMethod(Step& s, std::string& error) {
  s.number = c_->findMethod(u16(s.name));
  if (s.number < 0) {
    error = "unknown method " + s.name + suggest(s.name, false);
    return false;
  }
  long params = c_->getNParams(s.number);
  if (static_cast<long>(s.args.size()) > params) {
    error = s.name + " takes " + std::to_string(params) + " argument" + (params == 1 ? "" : "s") + ", " +
            std::to_string(s.args.size()) + " given";
    return false;
  }
  return true;
}

bool Host::argsToValues(const Step& s, std::vector<Value>& values, std::string& error) {
  long params = c_->getNParams(s.number);
  values.clear();
  for (long i = 0; i < params; ++i) {
    const Arg* a = i < static_cast<long>(s.args.size()) ? &s.args[i] : nullptr;
    if (!a || a->kind == Arg::Default) {
      auto d = c_->paramDefault(s.number, i);
      values.push_back(d ? *d : Value::empty());
    } else if (a->kind == Arg::Capture) {
      values.push_back(Value::empty());
    } else if (a->kind == Arg::Variable) {
      auto it = vars_.find(a->name);
      if (it == vars_.end()) {
        error = "$" + a->name + " has no value (give it with --var or keep it with >" + a->name + ")";
        return false;
      }
      values.push_back(it->second);
    } else {
      values.push_back(a->value);
    }
  }
  return true;
}

// "ErrorCode 0000 "...", Counter 2 [0]"..." [1]"...": the error state and
// the answer fields (read through RetItem).
std::string Host::errorState(std::string& code, std::u16string& description) {
  auto ec = c_->getProperty(u"ErrorCode");
  auto ed = c_->getProperty(u"ErrorDescription");
  auto cn = c_->getProperty(u"Counter");
  code = ec ? u8(ec->text) : "?";
  description = ed ? ed->text : u"?";
  long counter = cn ? static_cast<long>(cn->integer) : 0;
  std::string state = "ErrorCode " + code + " " + addinhost::quote(u8(description)) + ", Counter " + std::to_string(counter);
  long retItem = c_->findMethod(u"RetItem");
  for (long i = 0; i < counter && retItem >= 0; ++i) {
    auto r = c_->callFunc(retItem, {Value::text_(u""), Value::i4(static_cast<int32_t>(i))});
    state += " [" + std::to_string(i) + "]" + addinhost::quote(r.ok ? u8(r.result.text) : "?");
  }
  return state;
}

bool Host::isOpen() {
  auto open = c_->getProperty(u"IsOpen");
  return open && open->type == L::VT_BOOL && open->boolean;
}

std::string Host::describeCall(const Step& s, const std::vector<Value>& values) {
  std::string out = s.name + "(";
  for (size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + addinhost::formatValue(values[i]);
  return out + ")";
}

Value Host::expectedValue(const Step& s) {
  if (s.expected.kind != Arg::Variable) return s.expected.value;
  return vars_.count(s.expected.name) ? vars_[s.expected.name] : Value::empty();
}

bool Host::runProperty(const Step& s, const std::string& prefix) {
  bool ok = true;
  std::string detail;
  if (s.verb == Step::Get) {
    auto v = c_->getProperty(s.number);
    ok = v.has_value();
    detail = ok ? addinhost::formatValue(*v) : "refused";
    if (ok && s.checkResult) {
      Value want = expectedValue(s);
      if (!sameValue(*v, want)) ok = false, detail += ", expected " + addinhost::formatValue(want);
    }
    if (v) vars_[s.name] = *v;
  } else {
    ok = setProperty(s, detail);
  }
  bool good = ok != s.expectFail;
  (good ? okCount_ : unexpected_)++;
  std::printf("[%s] %-4s %s %s %s %s\n", prefix.c_str(), good ? "ok" : "FAIL", s.verb == Step::Get ? "get" : "set",
              s.name.c_str(), s.verb == Step::Get ? "=" : "->", detail.c_str());
  std::fflush(stdout);
  return good;
}

// Writes a property and reads it back: a write counts only when the property
// then reads the value written.
bool Host::setProperty(const Step& s, std::string& detail) {
  const Arg& a = s.args[0];
  Value want = a.kind == Arg::Variable ? vars_[a.name] : a.value;
  auto before = c_->getProperty(s.number);
  bool accepted = c_->setProperty(s.number, want);
  auto after = c_->getProperty(s.number);
  bool took = after && sameValue(*after, want);
  bool same = before && after && sameValue(*after, *before);
  std::string reads = !after ? s.name + " cannot be read"
                      : s.name + (same && !took ? " still reads " : " reads ") + addinhost::formatValue(*after);
  if (!accepted) detail = "refused, " + reads;
  else if (took) detail = "accepted, " + reads;
  else detail = "accepted, but " + reads;
  return accepted && took;
}

// Notes the device a call opens; under --trace the component gets the pty
// and the relay the real port.
void Host::followPort(const std::u16string& method, std::vector<Value>& values) {
  if (method == u"SetParameter" && values.size() == 2 && values[0].type == L::VT_PWSTR && values[0].text == u"Port") {
    lastDevice_ = portDevice(values[1]);
    if (trace_) {
      relay_.stop();
      std::string err;
      if (lastDevice_.empty() || !relay_.start(lastDevice_, err)) {
        std::fprintf(stderr, "addin-host: --trace: %s\n", lastDevice_.empty() ? "no port named" : err.c_str());
        std::exit(kUsage);
      }
      values[1] = Value::text_(u16(relay_.ptyPath()));
    }
  }
  if (method == u"OpenPort") {
    int n = values.empty() ? 1 : static_cast<int>(values[0].integer);
    lastDevice_ = portDevice(Value::i4(n - 1));  // port n is form index n-1
    if (trace_) std::printf("trace: OpenPort opens %s itself and is not traced; use SetParameter \"Port\" and Open\n", lastDevice_.c_str());
  }
}

// "answer true, result ..., out[i] ...": the outputs of a call; captured
// outputs and the result are kept as variables.
std::string Host::describeAnswer(const Step& s, const std::vector<Value>& values, const abihost::CallResult& r, bool function) {
  std::string answer = std::string("answer ") + (r.ok ? "true" : "false");
  if (function) answer += ", result " + addinhost::formatValue(r.result);
  for (size_t i = 0; i < r.args.size() && i < values.size(); ++i) {
    bool captured = i < s.args.size() && s.args[i].kind == Arg::Capture;
    if (captured) vars_[s.args[i].name] = r.args[i];
    if (captured || !(r.args[i] == values[i])) answer += ", out[" + std::to_string(i) + "] " + addinhost::formatValue(r.args[i]);
  }
  if (function) vars_["result"] = r.result;
  return answer;
}

// Methods that open the port themselves, so a closed port before them is
// no reason for their failure.
bool opensPort(const std::u16string& method) { return method == u"Open" || method == u"OpenPort" || method == u"DeviceTest"; }

// What the properties around a failed call add to its reason: an error state
// this call left as it found it, a port that was closed before and after.
std::string Host::notes(const Outcome& o) {
  std::string out;
  if (o.state == o.stateBefore) out = "the error state is the same as before this call";
  if (!o.openBefore && !o.openAfter && !opensPort(o.method)) out += (out.empty() ? "" : "; ") + std::string("the port is not open");
  return out.empty() ? out : " (" + out + ")";
}

// Whether the call failed, and why: the component's answer, the printer's
// error state, OpenPort's result code, a result check, host-side problems.
bool Host::failure(const Step& s, const Outcome& o, std::string& why) {
  const abihost::CallResult& r = o.result;
  bool deviceError = o.code != "0000" || o.description != noError_;
  bool failed = !r.ok || deviceError;
  if (!r.ok) why = "the component answered false";
  else if (deviceError) why = (o.code != "0000" ? "printer error " + o.code : "no answer from the printer") + notes(o);
  // OpenPort reports a port it could not open only in its result code.
  if (o.method == u"OpenPort" && o.function && r.ok && r.result.integer != 0 && r.result.integer != 8) {
    failed = true;
    why = "OpenPort answered " + std::to_string(r.result.integer) + ": the port was not opened";
  }
  // The driver's methods say in a Boolean result whether the printer did
  // what was asked; a check of the result ("== false") judges it instead.
  if (!failed && !s.checkResult && o.function && r.ok && r.result.type == abihost::layout::VT_BOOL &&
      !r.result.boolean) {
    failed = true;
    why = "the result is false";
  }
  if (s.checkResult && !failed) {
    Value want = expectedValue(s);
    if (!sameValue(r.result, want)) failed = true, why = "result " + addinhost::formatValue(r.result) + ", expected " + addinhost::formatValue(want);
  }
  for (const auto& p : r.problems) why += (why.empty() ? "" : "; ") + std::string("host-side problem: ") + p;
  return failed || !r.problems.empty();
}

// The verdict line after "=>"; counts the step. True when the outcome was
// the expected one.
bool Host::judge(const Step& s, const Outcome& o, std::string& verdict) {
  std::string why;
  bool failed = failure(s, o, why);
  bool good;
  if (s.expectFail) {
    bool codeMatches = s.expectCode.empty() || s.expectCode == o.code;
    good = failed && codeMatches && o.result.problems.empty();
    verdict = good ? "ok, failed as expected (" + why + ")"
                   : failed ? "FAIL: failed with " + o.code + ", expected " + s.expectCode
                            : "FAIL: succeeded, expected to fail";
  } else {
    good = !failed;
    verdict = good ? "ok" : "FAIL: " + why;
  }
  if (failed && (o.method == u"Open" || o.method == u"OpenPort" || o.method == u"DeviceTest") && !lastDevice_.empty() &&
      !exists(lastDevice_))
    verdict += " (port " + lastDevice_ + " does not exist)";
  (good ? (s.expectFail ? expectedFailures_ : okCount_) : unexpected_)++;
  return good;
}

bool Host::run(const Step& s) {
  if (s.verb != Step::Call) return runProperty(s, s.where);

  std::vector<Value> values;
  std::string error;
  if (!argsToValues(s, values, error)) {
    ++unexpected_;
    std::printf("[%s] FAIL %s: %s\n", s.where.c_str(), s.name.c_str(), error.c_str());
    return false;
  }
  Outcome o;
  auto english = c_->methodName(s.number, 0);
  o.method = english ? *english : u"";
  o.function = s.form == Step::Func || (s.form == Step::Auto && c_->hasRetVal(s.number));
  // The header first, with the values as given: the trace's lines for this
  // call (the relay's start, its frames) come under it.
  std::printf("[%s] %s%s\n", s.where.c_str(), s.form == Step::Auto ? "" : o.function ? "func " : "proc ",
              describeCall(s, values).c_str());
  std::fflush(stdout);
  std::vector<Value> passed = values;
  followPort(o.method, passed);
  std::string code;
  std::u16string description;
  o.stateBefore = errorState(code, description);
  o.openBefore = isOpen();
  o.result = o.function ? c_->callFunc(s.number, passed) : c_->callProc(s.number, passed);
  o.openAfter = isOpen();
  std::string answer = describeAnswer(s, passed, o.result, o.function);
  o.state = errorState(o.code, o.description);

  std::string verdict;
  bool good = judge(s, o, verdict);
  const std::string pad(6, ' ');
  std::printf("%s%s\n%s%s\n%s=> %s\n", pad.c_str(), answer.c_str(), pad.c_str(), o.state.c_str(), pad.c_str(), verdict.c_str());
  std::fflush(stdout);
  return good;
}

std::vector<std::pair<const Step*, std::string>> Host::unsetVariables(const std::vector<Step>& steps) {
  std::vector<std::pair<const Step*, std::string>> missing;
  std::map<std::string, bool> known;
  for (const auto& v : vars_) known[v.first] = true;
  for (const Step& s : steps) {
    std::vector<const Arg*> used;
    for (const Arg& a : s.args) used.push_back(&a);
    if (s.checkResult) used.push_back(&s.expected);
    for (const Arg* a : used)
      if (a->kind == Arg::Variable && !known.count(a->name)) missing.emplace_back(&s, a->name), known[a->name] = true;
    for (const Arg& a : s.args)
      if (a.kind == Arg::Capture) known[a.name] = true;
    if (s.verb == Step::Get) known[s.name] = true;
    if (s.verb == Step::Call && (s.form == Step::Func || (s.form == Step::Auto && c_->hasRetVal(s.number))))
      known["result"] = true;
  }
  return missing;
}

std::string Host::english(const Step& s) {
  auto name = s.verb == Step::Call ? c_->methodName(s.number, 0) : std::nullopt;
  return name ? u8(*name) : std::string();
}

// The devices a step opens or names: SetParameter "Port", OpenPort's number;
// Open and DeviceTest before any of them use the component's own setting.
void Host::portsOf(const Step& s, bool& named, std::vector<std::string>& ports) {
  std::string method = english(s);
  std::vector<Value> values;
  std::string error;
  if (s.verb != Step::Call) return;
  if (!argsToValues(s, values, error)) {
    // A value kept during the run: the port is not known beforehand.
    if (method == "SetParameter" || method == "OpenPort") ports.push_back("(a port known only during the run)");
    return;
  }
  if (method == "SetParameter" && values.size() == 2 && values[0].type == L::VT_PWSTR && values[0].text == u"Port") {
    named = true;
    std::string device = portDevice(values[1]);
    ports.push_back(device.empty() ? "(an empty Port setting)" : device);
  } else if (method == "OpenPort") {
    ports.push_back("/dev/ttyS" + std::to_string(values.empty() ? 0 : values[0].integer - 1));
  } else if ((method == "Open" || method == "DeviceTest") && !named) {
    named = true;
    ports.push_back("(the component's default port)");
  }
}

bool Host::confirmPrinting(const std::vector<Step>& open, const std::vector<Step>& steps, bool yes) {
  std::string printing, real;
  std::vector<std::string> ports;
  bool named = false;
  for (const auto* group : {&open, &steps})
    for (const Step& s : *group) {
      portsOf(s, named, ports);
      std::string method = english(s);
      if (!method.empty() && addinhost::printsOrOpensDrawer(u16(method)) && printing.find(method) == std::string::npos)
        printing += (printing.empty() ? "" : ", ") + method;
    }
  for (const auto& p : ports)
    if (!addinhost::isPseudoTerminal(p) && real.find(p) == std::string::npos) real += (real.empty() ? "" : ", ") + p;
  if (printing.empty() || real.empty()) return true;
  return addinhost::confirmRealPrinter(real, printing, yes);
}

int Host::summary(size_t total) {
  size_t ran = static_cast<size_t>(okCount_ + expectedFailures_ + unexpected_);
  std::string notRun = ran < total ? ", " + std::to_string(total - ran) + " not run" : "";
  std::printf("addin-host: %zu calls: %d ok, %d failed as expected, %d unexpected%s\n", ran, okCount_, expectedFailures_,
              unexpected_, notRun.c_str());
  return unexpected_ ? kFailed : kOk;
}

void Host::listMethods() {
  long n = c_->getNMethods();
  for (long i = 0; i < n; ++i) {
    auto en = c_->methodName(i, 0);
    auto ru = c_->methodName(i, 1);
    std::string e = en ? u8(*en) : "?", r = ru ? u8(*ru) : "?";
    long params = c_->getNParams(i);
    std::printf("%2ld %s / %s (%ld)%s%s\n", i, e.c_str(), r.c_str(), params, c_->hasRetVal(i) ? " -> value" : "",
                en && addinhost::printsOrOpensDrawer(*en) ? " [prints]" : "");
    for (long p = 0; p < params; ++p) {
      auto d = c_->paramDefault(i, p);
      std::printf("     %ld: %s\n", p, d ? ("default " + addinhost::formatValue(*d)).c_str() : "no default");
    }
  }
}

void Host::listProps() {
  long n = c_->getNProps();
  for (long i = 0; i < n; ++i) {
    auto en = c_->propName(i, 0);
    auto ru = c_->propName(i, 1);
    auto v = c_->getProperty(i);
    std::printf("%2ld %s / %s%s = %s\n", i, en ? u8(*en).c_str() : "?", ru ? u8(*ru).c_str() : "?",
                c_->isPropWritable(i) ? " (writable)" : "", v ? addinhost::formatValue(*v).c_str() : "(not readable)");
  }
}

// The command line: options, then the command and its words.
struct Options {
  std::string lib;
  std::string port, speed;  // --port, --speed
  bool trace = false, stopOnError = false, yes = false;
  std::vector<std::pair<std::string, std::string>> vars;
  std::vector<std::string> rest;  // the command and its words
};

// Reads the command line; an exit status when the program ends here.
std::optional<int> readOptions(int argc, char** argv, Options& o) {
  bool help = false;
  cli::Grammar g;
  g.operands = &o.rest;
  g.verbatimAfter = "call";  // after "call", everything is the call
  g.options = {
      {"--help", "-h", false, [&](const std::string&) { return help = true; }, true},
      {"--lib", "", true, [&](const std::string& v) { return o.lib = v, true; }},
      {"--trace", "", false, [&](const std::string&) { return o.trace = true; }},
      {"--stop-on-error", "", false, [&](const std::string&) { return o.stopOnError = true; }},
      {"--port", "", true, [&](const std::string& v) { return o.port = v, !v.empty(); }},
      {"--speed", "", true, [&](const std::string& v) {
         o.speed = v;
         return !v.empty() && v.find_first_not_of("0123456789") == std::string::npos;
       }},
      {"--yes", "", false, [&](const std::string&) { return o.yes = true; }},
      {"--var", "", true, [&](const std::string& v) {
         size_t eq = v.find('=');
         if (eq == std::string::npos || eq == 0) return false;
         o.vars.emplace_back(v.substr(0, eq), v.substr(eq + 1));
         return true;
       }},
  };
  cli::Outcome r = cli::read(argc, argv, g);
  if (r.kind == cli::Outcome::Stopped && help) {
    usage(stdout);
    return kOk;
  }
  if (r.kind == cli::Outcome::BadValue) {
    const char* wants = r.word == "--var" ? "NAME=VALUE" : r.word == "--speed" ? "a rate in bit/s" : "a port";
    std::fprintf(stderr, "addin-host: %s wants %s, not %s\n", r.word.c_str(), wants, r.value.c_str());
    return kUsage;
  }
  if (r.kind == cli::Outcome::MissingValue) {
    std::fprintf(stderr, "addin-host: %s wants a value\n", r.word.c_str());
    return kUsage;
  }
  if (r.kind != cli::Outcome::Done) {
    std::fprintf(stderr, "addin-host: unknown option %s\n\n", r.word.c_str());
    usage(stderr);
    return kUsage;
  }
  if (o.rest.empty()) {
    usage(stderr);
    return kUsage;
  }
  const std::string& command = o.rest[0];
  if (command != "call" && command != "run" && command != "methods" && command != "props") {
    std::fprintf(stderr, "addin-host: unknown command %s (call, run, methods, props)\n", command.c_str());
    return kUsage;
  }
  return std::nullopt;
}

// The library named by --lib, else the one found next to the program; null
// with a message when there is none or it cannot be loaded.
std::unique_ptr<abihost::Component> loadComponent(std::string lib) {
  if (lib.empty()) {
    std::vector<std::string> looked;
    lib = defaultLibrary(looked);
    if (lib.empty()) {
      std::string where;
      for (const auto& d : looked) where += "\n  " + d;
      std::fprintf(stderr, "addin-host: %s not found; looked in:%s\ngive the library with --lib PATH\n", kLibraryName,
                   where.c_str());
      return nullptr;
    }
  } else if (!exists(lib)) {
    std::fprintf(stderr, "addin-host: no library at %s\n", lib.c_str());
    return nullptr;
  }
  try {
    auto library = std::make_shared<abihost::Library>(lib);
    return std::make_unique<abihost::Component>(library);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "addin-host: cannot load %s: %s\n", lib.c_str(), e.what());
    return nullptr;
  }
}

// The steps of a scenario; every line is checked before the first call
// reaches the printer. False when the file cannot be read or a line is wrong.
bool readScenario(Host& host, const std::vector<std::string>& rest, std::vector<Step>& steps) {
  if (rest.size() != 2) {
    std::fprintf(stderr, "addin-host: run takes one scenario file (or - for standard input)\n");
    return false;
  }
  std::ifstream file;
  std::istream* in = &std::cin;
  if (rest[1] != "-") {
    file.open(rest[1]);
    if (!file) {
      std::fprintf(stderr, "addin-host: cannot read scenario %s\n", rest[1].c_str());
      return false;
    }
    in = &file;
  }
  std::string text;
  int number = 0, bad = 0;
  while (std::getline(*in, text)) {
    ++number;
    std::vector<std::string> words;
    std::string error;
    Step s;
    s.line = number;
    s.where = "line " + std::to_string(number);
    s.origin = rest[1] + ":" + std::to_string(number);
    s.source = text;
    if (addinhost::splitWords(text, words, error) && words.empty()) continue;
    if (error.empty()) host.parse(words, s, error);
    if (!error.empty()) {
      std::fprintf(stderr, "%s:%d: %s\n", rest[1].c_str(), number, error.c_str());
      ++bad;
      continue;
    }
    steps.push_back(s);
  }
  return bad == 0;
}

// The calls after "call", separated by "--"; false after a message when
// one is wrong.
bool readCalls(Host& host, const std::vector<std::string>& rest, std::vector<Step>& steps) {
  std::vector<std::vector<std::string>> calls(1);
  for (size_t i = 1; i < rest.size(); ++i) {
    if (rest[i] == "--") calls.emplace_back();
    else calls.back().push_back(rest[i]);
  }
  int bad = 0;
  for (size_t i = 0; i < calls.size(); ++i) {
    Step s;
    s.where = s.origin = calls.size() == 1 ? "call" : "call " + std::to_string(i + 1);
    std::string error;
    if (!host.parse(calls[i], s, error)) {
      std::fprintf(stderr, "addin-host: %s%s\n", calls.size() == 1 ? "" : (s.origin + ": ").c_str(), error.c_str());
      ++bad;
    }
    steps.push_back(s);
  }
  return bad == 0;
}

// The calls --port adds around the others: SetParameter "Port" and Open (the
// identifier kept as $device) for a path or COMn, OpenPort for a number; and
// Close or ClosePort after the last.
bool portSteps(Host& host, const Options& o, std::vector<Step>& open, std::vector<Step>& close) {
  std::vector<std::vector<std::string>> opening, closing;
  if (o.port.find_first_not_of("0123456789") == std::string::npos) {
    opening.push_back({"OpenPort", o.port, o.speed.empty() ? "_" : o.speed, "==", "0"});
    closing.push_back({"ClosePort"});
  } else {
    if (!o.speed.empty()) opening.push_back({"SetParameter", "\"Speed\"", o.speed});
    opening.push_back({"SetParameter", "\"Port\"", addinhost::quote(o.port)});
    opening.push_back({"Open", ">device"});
    closing.push_back({"Close", "$device"});
  }
  for (auto* group : {&opening, &closing})
    for (const auto& words : *group) {
      Step s;
      s.where = s.origin = "--port";
      std::string error;
      if (!host.parse(words, s, error)) {
        std::fprintf(stderr, "addin-host: --port %s: %s\n", o.port.c_str(), error.c_str());
        return false;
      }
      (group == &opening ? open : close).push_back(s);
    }
  return true;
}

// The steps of "call" or "run" between those of --port; false after a
// message when a step is wrong or uses a variable nothing gives a value.
bool readSteps(Host& host, const Options& o, std::vector<Step>& open, std::vector<Step>& steps, std::vector<Step>& close) {
  if (!o.port.empty() && !portSteps(host, o, open, close)) return false;
  bool read = o.rest[0] == "call" ? readCalls(host, o.rest, steps) : readScenario(host, o.rest, steps);
  if (!read) return false;
  std::vector<Step> all = open;
  all.insert(all.end(), steps.begin(), steps.end());
  all.insert(all.end(), close.begin(), close.end());
  auto missing = host.unsetVariables(all);
  for (const auto& [step, name] : missing)
    std::fprintf(stderr, "%s%s: $%s has no value: give it with --var %s=VALUE (nothing was run)\n",
                 step->line > 0 ? "" : "addin-host: ", step->origin.c_str(), name.c_str(), name.c_str());
  return missing.empty();
}

// Runs steps in order; false when one had an unexpected outcome and
// --stop-on-error stops there.
bool runEach(Host& host, const std::vector<Step>& steps, const Options& o) {
  for (const auto& s : steps) {
    if (!host.run(s) && o.stopOnError) {
      std::printf("addin-host: stopped at %s (--stop-on-error)\n", s.where.c_str());
      return false;
    }
  }
  return true;
}

int runSteps(Host& host, const std::vector<Step>& open, const std::vector<Step>& steps, const std::vector<Step>& close,
             const Options& o) {
  bool opened = true;
  for (const auto& s : open) opened = opened && host.run(s);
  if (opened) runEach(host, steps, o);
  else std::printf("addin-host: --port %s: the port was not opened, no call was made\n", o.port.c_str());
  if (opened) runEach(host, close, o);
  host.finish();
  size_t total = open.size() + steps.size() + close.size();
  int status = o.rest[0] == "run" ? host.summary(total) : host.status();
  for (const auto& p : host.problems()) {
    std::printf("addin-host: host-side problem: %s\n", p.c_str());
    status = kFailed;
  }
  return status;
}

// "methods NAME": the method's section of the reference; an unknown name is
// an error with the nearest names.
int showMethod(const std::string& name) {
  long n = ostrel::findMethod(u16(name));
  if (n < 0) {
    std::vector<std::u16string> names;
    for (long i = 0; i < ostrel::methodCount(); ++i) {
      names.push_back(ostrel::methodDef(static_cast<int>(i)).english);
      names.push_back(ostrel::methodDef(static_cast<int>(i)).russian);
    }
    std::fprintf(stderr, "addin-host: unknown method %s%s\n", name.c_str(),
                 suggestion(name, names, "addin-host methods").c_str());
    return kUsage;
  }
  std::fputs(ostrel::methods_doc::renderMethod(static_cast<int>(n)).c_str(), stdout);
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (auto exit = readOptions(argc, argv, o)) return *exit;
  if (o.rest[0] == "methods" && o.rest.size() > 1) return o.rest.size() == 2 ? showMethod(o.rest[1]) : (usage(stderr), kUsage);
  std::unique_ptr<abihost::Component> component = loadComponent(o.lib);
  if (!component) return kUsage;
  Host host(std::move(component), o.trace);
  for (const auto& [name, text] : o.vars) {
    Arg a;
    std::string error;
    host.vars()[name] = addinhost::parseArg(text, a, error) && a.kind == Arg::Given ? a.value : Value::text_(u16(text));
  }

  const std::string& command = o.rest[0];
  if (command == "methods") {
    host.listMethods();
    return kOk;
  }
  if (command == "props") {
    host.listProps();
    return kOk;
  }
  std::vector<Step> open, steps, close;
  if (!readSteps(host, o, open, steps, close)) return kUsage;
  if (!host.confirmPrinting(open, steps, o.yes)) return kUsage;
  return runSteps(host, open, steps, close, o);
}
