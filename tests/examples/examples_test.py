#!/usr/bin/env python3
"""The 1C examples and their scenario twins.

examples/NAME.bsl has a twin tools/scenarios/example-NAME.txt. This test
(a) extracts the calls each example makes on the component object and
compares them with the calls of its twin, and (b) runs each twin through
addin-host against the printer simulator.

The calls of an example, in order:
  * A call is `Принтер.Name(...)` or `Драйвер.Name(...)`: the variable that
    holds the component object, a dot, a method name and an opening
    parenthesis. `Принтер.Name` without a parenthesis is a property read and
    is not a call. Names are compared exactly, as the twin spells them.
  * Comments and the contents of string literals are ignored.
  * The entry points are the procedures of the example that no procedure of
    the example calls (the form's command handlers), in the order they stand
    in the module; their calls follow one another.
  * Inside a procedure the calls are taken in the order of the text. A call
    of another procedure of the example, or `ОстрелКлиент.Name(...)` of the
    shared client module examples/ostrel-client.bsl, is replaced by that
    procedure's calls.
  * Not taken: the branch from `Исключение` to its `КонецПопытки` (the error
    path; a twin runs the path on which every call succeeds), and the check
    helpers, the procedures whose names begin with `Проверить` (they read
    the error properties and call the component only after a failure).
  * Each call is compared by name and by the number of arguments written.

The calls of a twin: every scenario line but `get`/`set` property lines; the
method name is the line's first word after a leading `!CODE` or `proc`/`func`,
its arguments the words before `==`.

usage: examples_test.py --self-test
       examples_test.py --examples DIR --scenarios DIR [--host H --sim S
                        --lib L --alias A]
Without --host only the comparison (a) runs.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
import time

OBJECTS = ("Принтер", "Драйвер")
SHARED_MODULE = "ostrel-client.bsl"
SHARED_NAME = "ОстрелКлиент"
CHECK_PREFIX = "Проверить"

# The twins against the simulator, in this order. Runs that name the same
# printer share one simulator, as one cashier's shift: the cash goes in
# before the refund pays some out, and the Z report ends the shift. Each run
# must add the given lines to the printer's paper tape.
RUNS = [
    ("shift", "example-command-set-cash-in-out", "port=3", ["DEPOSIT 500.00", "WITHDRAWAL 200.00"]),
    ("shift", "example-command-set-sale", "port=3", ["SALE RECEIPT", "DISCOUNT ON SUBTOTAL = -4.90", "TOTAL 121.00", "CASH 100.00", "CARD 21.00"]),
    ("shift", "example-command-set-refund", "port=3", ["REFUND RECEIPT", "CASH 32.50"]),
    ("shift", "example-command-set-reports", "port=3", ["X REPORT", "Z REPORT", "SALES 121.00", "CASH 367.50"]),
    ("library", "example-equipment-library", "port=COM3", ["X REPORT", "Z REPORT"]),
]
# Port 3 and "COM3" both name this device, which the preloaded alias turns
# into the simulator's pseudo-terminal.
PORT_DEVICE = "/dev/ttyS2"


# --- the examples ---------------------------------------------------------

def strip_line(line):
    """A line without its comment, each string literal emptied to ""."""
    out, i, n = [], 0, len(line)
    while i < n:
        c = line[i]
        if c == '"':
            j = i + 1
            while j < n:
                if line[j] == '"' and j + 1 < n and line[j + 1] == '"':
                    j += 2
                elif line[j] == '"':
                    break
                else:
                    j += 1
            out.append('""')
            i = j + 1
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
            i += 1
    return "".join(out)


HEADER = re.compile(r"^\s*(?:Асинх\s+)?(?:Процедура|Функция)\s+(\w+)\s*\(", re.I)
FOOTER = re.compile(r"^\s*(?:КонецПроцедуры|КонецФункции)\b", re.I)


def procedures(text):
    """{name: body} and the names in module order."""
    bodies, order, name, lines = {}, [], None, []
    for line in text.splitlines():
        line = strip_line(line)
        m = HEADER.match(line)
        if m and name is None:
            name, lines = m.group(1), []
        elif FOOTER.match(line) and name is not None:
            bodies[name] = "\n".join(lines)
            order.append(name)
            name = None
        elif name is not None:
            lines.append(line)
    return bodies, order


WORD = re.compile(r"\w+")


def without_exception_branches(body):
    """The body with every `Исключение ... КонецПопытки` branch cut out."""
    out, pos, depth, skip_depth = [], 0, 0, None
    for m in WORD.finditer(body):
        w = m.group(0).lower()
        if w == "попытка":
            depth += 1
        elif w == "исключение" and depth and skip_depth is None:
            out.append(body[pos:m.start()])
            skip_depth = depth
        elif w == "конецпопытки" and depth:
            depth -= 1
            if skip_depth is not None and depth < skip_depth:
                skip_depth, pos = None, m.end()
    if skip_depth is None:
        out.append(body[pos:])
    return "".join(out)


def argument_count(text, open_paren):
    """Arguments written between the parenthesis at open_paren and its match."""
    depth, commas, content = 0, 0, False
    for ch in text[open_paren:]:
        if ch == "(":
            depth += 1
            if depth == 1:
                continue
        elif ch == ")":
            depth -= 1
            if depth == 0:
                break
        if depth == 1 and ch == ",":
            commas += 1
        elif not ch.isspace():
            content = True
    return commas + 1 if content or commas else 0


# `Owner.Name(` or a bare `Name(`; a name inside a longer chain is no call.
CALL = re.compile(r"(?<![\w.])(?:(\w+)\s*\.\s*)?(\w+)\s*\(")


def calls_of(name, module, shared, seen=()):
    """The component calls of procedure `name` of `module`, expanded."""
    if name in seen or name.startswith(CHECK_PREFIX):
        return []
    body = without_exception_branches(module[name])
    result = []
    for m in CALL.finditer(body):
        owner, method = m.group(1), m.group(2)
        if owner in OBJECTS:
            result.append((method, argument_count(body, m.end() - 1)))
        elif owner == SHARED_NAME and method in shared:
            result += calls_of(method, shared, shared, seen + (name,))
        elif owner is None and method in module:
            result += calls_of(method, module, shared, seen + (name,))
    return result


def example_calls(text, shared):
    module, order = procedures(text)
    called = set()
    for body in module.values():
        for m in CALL.finditer(body):
            if m.group(1) is None:
                called.add(m.group(2))
    entries = [n for n in order if n not in called]
    calls = []
    for entry in entries:
        calls += calls_of(entry, module, shared)
    return entries, calls


# --- the twins ------------------------------------------------------------

def scenario_words(line):
    """Words of a scenario line, quotes kept, the comment dropped."""
    words, cur, quoted, i = [], "", False, 0
    while i < len(line):
        c = line[i]
        if quoted:
            cur += c
            if c == "\\" and i + 1 < len(line):
                cur += line[i + 1]
                i += 1
            elif c == '"':
                quoted = False
        elif c == '"':
            cur += c
            quoted = True
        elif c.isspace():
            if cur:
                words.append(cur)
            cur = ""
        elif c == "#" and not cur:
            break
        else:
            cur += c
        i += 1
    if cur:
        words.append(cur)
    return words


def twin_calls(text):
    calls = []
    for line in text.splitlines():
        words = scenario_words(line)
        if words and words[0].startswith("!"):
            words = words[1:]
        if words and words[0] in ("proc", "func"):
            words = words[1:]
        if not words or words[0] in ("get", "set"):
            continue
        args = words[1:]
        if "==" in args:
            args = args[:args.index("==")]
        calls.append((words[0], len(args)))
    return calls


def show(call):
    return "%s(%d)" % call


def compare(example_dir, scenario_dir):
    """Fails on any example without a twin, twin without an example, or
    difference between their calls."""
    failures = 0
    with open(os.path.join(example_dir, SHARED_MODULE), encoding="utf-8") as f:
        shared, _ = procedures(f.read())
    examples = sorted(n[:-4] for n in os.listdir(example_dir) if n.endswith(".bsl") and n != SHARED_MODULE)
    twins = sorted(n[len("example-"):-4] for n in os.listdir(scenario_dir) if n.startswith("example-") and n.endswith(".txt"))
    for orphan in sorted(set(twins) - set(examples)):
        print("FAIL tools/scenarios/example-%s.txt has no examples/%s.bsl" % (orphan, orphan))
        failures += 1
    for name in examples:
        if name not in twins:
            print("FAIL examples/%s.bsl has no twin tools/scenarios/example-%s.txt" % (name, name))
            failures += 1
            continue
        with open(os.path.join(example_dir, name + ".bsl"), encoding="utf-8") as f:
            entries, want = example_calls(f.read(), shared)
        with open(os.path.join(scenario_dir, "example-%s.txt" % name), encoding="utf-8") as f:
            got = twin_calls(f.read())
        if want == got:
            print("ok   %s: %d calls from %s" % (name, len(want), ", ".join(entries)))
            continue
        failures += 1
        first = next((i for i, (a, b) in enumerate(zip(want, got)) if a != b), min(len(want), len(got)))
        print("FAIL %s: the twin differs from the example at call %d" % (name, first + 1))
        for i in range(max(len(want), len(got))):
            a = show(want[i]) if i < len(want) else "-"
            b = show(got[i]) if i < len(got) else "-"
            print("  %s %3d %-40s %s" % ("!" if a != b else " ", i + 1, a, b))
    return failures


# --- the runs -------------------------------------------------------------

class Simulator:
    def __init__(self, program, work):
        self.tape = os.path.join(work, "tape-%d" % id(self))
        open(self.tape, "w").close()
        self.out = open(os.path.join(work, "sim-%d.out" % id(self)), "w+")
        self.proc = subprocess.Popen([program, "--tape", self.tape], stdout=self.out, stderr=subprocess.DEVNULL)
        self.port = ""
        for _ in range(50):
            self.out.seek(0)
            self.port = self.out.readline().strip()
            if self.port:
                return
            time.sleep(0.1)
        raise RuntimeError("datecs-sim did not start")

    def tape_text(self):
        with open(self.tape, encoding="cp1251", errors="replace") as f:
            return f.read()

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
        self.out.close()


def run_twins(args):
    failures = 0
    listed = {twin for _, twin, _, _ in RUNS}
    present = {n[:-4] for n in os.listdir(args.scenarios) if n.startswith("example-") and n.endswith(".txt")}
    for missing in sorted(present - listed):
        print("FAIL %s is not run: add it to RUNS" % missing)
        failures += 1
    with tempfile.TemporaryDirectory() as work:
        printers = {}
        try:
            for printer, twin, var, lines in RUNS:
                if printer not in printers:
                    printers[printer] = Simulator(args.sim, work)
                sim = printers[printer]
                before = len(sim.tape_text())
                env = dict(os.environ, LD_PRELOAD=args.alias, OSTREL_PORT_ALIAS="%s=%s" % (PORT_DEVICE, sim.port))
                # In a sanitizer build the preloaded alias stands before the
                # sanitizer's runtime, which it would otherwise refuse.
                env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))
                # The port the twin names is a serial port's, so addin-host
                # takes it for a real printer; the alias sends it to the
                # simulator, hence --yes.
                cmd = [args.host, "--lib", args.lib, "--yes", "--var", var, "run",
                       os.path.join(args.scenarios, twin + ".txt")]
                done = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
                output = done.stdout.decode("utf-8", "replace")
                summary = re.search(r"addin-host: (\d+) calls: (\d+) ok, 0 failed as expected, 0 unexpected$", output, re.M)
                printed = sim.tape_text()[before:]
                lacking = [line for line in lines if line not in printed]
                if done.returncode == 0 and summary and summary.group(1) == summary.group(2) and not lacking:
                    print("ok   %s: %s calls against the simulator" % (twin, summary.group(1)))
                    continue
                failures += 1
                print("FAIL %s: exit %d%s" % (twin, done.returncode, "; the tape lacks " + ", ".join(lacking) if lacking else ""))
                print("".join("  | " + l + "\n" for l in output.splitlines()[-60:]))
        finally:
            for sim in printers.values():
                sim.stop()
    return failures


# --- the rule, on small modules --------------------------------------------

SELF_TESTS = [
    ("calls in text order, property reads and other calls ignored",
     'Процедура А(Команда)\n Принтер.Один(1, "а, б");\n Если Принтер.КодОшибки <> "0000" Тогда\n'
     ' КонецЕсли;\n Х = СтрШаблон("%1", Принтер.Два());\nКонецПроцедуры',
     [("Один", 2), ("Два", 0)]),
    ("a local procedure is expanded where it is called, entries in module order",
     'Процедура Б(Команда)\n Шаг(Принтер);\nКонецПроцедуры\nПроцедура В(Команда)\n Принтер.Три();\nКонецПроцедуры\n'
     'Процедура Шаг(Принтер)\n Принтер.Один(); Принтер.Два();\nКонецПроцедуры',
     [("Один", 0), ("Два", 0), ("Три", 0)]),
    ("the exception branch and the check helpers are not taken",
     'Процедура А(Команда)\n Попытка\n  Драйвер.Один();\n  ПроверитьРезультат(Драйвер);\n Исключение\n'
     '  Драйвер.Отмена();\n КонецПопытки;\n Драйвер.Два();\nКонецПроцедуры\n'
     'Процедура ПроверитьРезультат(Драйвер)\n Драйвер.GetLastError(Т);\nКонецПроцедуры',
     [("Один", 0), ("Два", 0)]),
    ("comments and strings hold no calls; the shared module is expanded",
     'Процедура А(Команда)\n // Принтер.Нет();\n Т = "Принтер.Нет()";\n ОстрелКлиент.Общий(Принтер);\nКонецПроцедуры',
     [("Общая", 1)]),
]
SELF_SHARED = 'Процедура Общий(Принтер) Экспорт\n Принтер.Общая(1);\n ПроверитьОтвет(Принтер);\nКонецПроцедуры\n' \
              'Процедура ПроверитьОтвет(Принтер) Экспорт\n Принтер.Нет();\nКонецПроцедуры'
SELF_TWIN = ('!000B Один 1 "а, б" == 1 # a comment\nget ErrorCode\nproc Два\n# Нет\n', [("Один", 2), ("Два", 0)])


def self_test():
    failures = 0
    shared, _ = procedures(SELF_SHARED)
    cases = [(name, example_calls(text, shared)[1], want) for name, text, want in SELF_TESTS]
    cases.append(("a twin's calls", twin_calls(SELF_TWIN[0]), SELF_TWIN[1]))
    for name, got, want in cases:
        ok = got == want
        failures += not ok
        print("%s %s%s" % ("ok  " if ok else "FAIL", name, "" if ok else ": got %s, wanted %s" % (got, want)))
    return failures


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--self-test", action="store_true")
    p.add_argument("--examples")
    p.add_argument("--scenarios")
    p.add_argument("--host")
    p.add_argument("--sim")
    p.add_argument("--lib")
    p.add_argument("--alias")
    args = p.parse_args()
    if args.self_test:
        failures = self_test()
    else:
        failures = compare(args.examples, args.scenarios)
        if args.host:
            failures += run_twins(args)
    print("examples: %s" % ("all ok" if not failures else "%d failed" % failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
