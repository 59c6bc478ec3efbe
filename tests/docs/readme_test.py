#!/usr/bin/env python3
"""README.md and its Russian translation README.ru.md stay in step.

The two files must have:
  * the same headings: as many, at the same levels, in the same order;
  * the same fenced code blocks, character for character, in the same order
    (the 1C snippets and the commands are not translated);
  * the same link targets, apart from the link each gives to the other;
  * the same version on their version lines ("Version X.Y.Z" / "Версия X.Y.Z").
And README.md links to README.ru.md within its first lines.

Headings and links are read outside fenced code blocks only; links inside
inline code spans do not count.

usage: readme_test.py --self-test
       readme_test.py --root DIR
"""
import argparse
import os
import re
import sys

ENGLISH = "README.md"
RUSSIAN = "README.ru.md"
TOP_LINES = 5  # README.md's link to the translation stands within these
FENCE = re.compile(r"^(```|~~~)")
HEADING = re.compile(r"^(#{1,6})\s")
CODE_SPAN = re.compile(r"`[^`]*`")
LINK = re.compile(r"\]\(([^)\s]+)\)")
VERSION = re.compile(r"^(?:Version|Версия) (\d+\.\d+\.\d+)\b", re.M)


def parse(text):
    """The file's heading levels, code blocks, link targets and version."""
    headings, blocks, links = [], [], set()
    block = None
    for line in text.splitlines():
        if block is not None:
            block.append(line)
            if FENCE.match(line):
                blocks.append("\n".join(block))
                block = None
            continue
        if FENCE.match(line):
            block = [line]
            continue
        m = HEADING.match(line)
        if m:
            headings.append(len(m.group(1)))
        links.update(LINK.findall(CODE_SPAN.sub("", line)))
    if block is not None:
        blocks.append("\n".join(block))  # an unclosed block still counts
    version = VERSION.search(text)
    return {"headings": headings, "blocks": blocks, "links": links,
            "version": version.group(1) if version else None}


def compare(english, russian):
    """The list of differences between the two texts; empty when in step."""
    en, ru = parse(english), parse(russian)
    problems = []
    if en["headings"] != ru["headings"]:
        problems.append("headings differ: %s has levels %s, %s has %s"
                        % (ENGLISH, en["headings"], RUSSIAN, ru["headings"]))
    if len(en["blocks"]) != len(ru["blocks"]):
        problems.append("%s has %d code blocks, %s has %d"
                        % (ENGLISH, len(en["blocks"]), RUSSIAN, len(ru["blocks"])))
    for i, (a, b) in enumerate(zip(en["blocks"], ru["blocks"]), 1):
        if a != b:
            problems.append("code block %d differs:\n--- %s:\n%s\n--- %s:\n%s"
                            % (i, ENGLISH, a, RUSSIAN, b))
    en_links = en["links"] - {RUSSIAN}
    ru_links = ru["links"] - {ENGLISH}
    for target in sorted(en_links - ru_links):
        problems.append("%s links to %s, %s does not" % (ENGLISH, target, RUSSIAN))
    for target in sorted(ru_links - en_links):
        problems.append("%s links to %s, %s does not" % (RUSSIAN, target, ENGLISH))
    top = "\n".join(english.splitlines()[:TOP_LINES])
    if "](%s)" % RUSSIAN not in top:
        problems.append("%s does not link to %s in its first %d lines"
                        % (ENGLISH, RUSSIAN, TOP_LINES))
    if en["version"] is None or en["version"] != ru["version"]:
        problems.append("version lines differ: %s %s, %s %s"
                        % (ENGLISH, en["version"], RUSSIAN, ru["version"]))
    return problems


BASE_EN = """# Title

По-русски: [README.ru.md](README.ru.md)

Version 1.2.3 here.

```sh
run it
```

## Part

See [docs/a.md](docs/a.md) and `x[y](z)`.
"""
BASE_RU = """# Заголовок

In English: [README.md](README.md)

Версия 1.2.3 здесь.

```sh
run it
```

## Раздел

См. [docs/a.md](docs/a.md).
"""

# (what is wrong, English text, Russian text, a word the report must contain)
CASES = [
    ("a heading missing", BASE_EN, BASE_RU.replace("## Раздел\n", ""), "headings"),
    ("a heading at another level", BASE_EN, BASE_RU.replace("## Раздел", "### Раздел"), "headings"),
    ("a heading inside a code block is none", BASE_EN,
     BASE_RU.replace("## Раздел\n", "```\n## x\n```\n"), "headings"),
    ("a code block translated", BASE_EN, BASE_RU.replace("run it", "запустить"), "code block 1"),
    ("a code block missing", BASE_EN, BASE_RU.replace("```sh\nrun it\n```\n", ""), "code blocks"),
    ("a code block's language changed", BASE_EN, BASE_RU.replace("```sh", "```bash"), "code block 1"),
    ("a link missing", BASE_EN, BASE_RU.replace("[docs/a.md](docs/a.md)", "docs/a.md"), "docs/a.md"),
    ("a link to another target", BASE_EN, BASE_RU.replace("(docs/a.md)", "(docs/b.md)"), "docs/b.md"),
    ("no link to the translation at the top",
     BASE_EN.replace("По-русски: [README.ru.md](README.ru.md)", "По-русски: README.ru.md"),
     BASE_RU, "first"),
    ("another version", BASE_EN, BASE_RU.replace("1.2.3", "1.2.4"), "version"),
    ("no version line", BASE_EN.replace("Version 1.2.3", "v1.2.3"),
     BASE_RU.replace("Версия 1.2.3", "v1.2.3"), "version"),
]


def self_test():
    """The check passes the matching pair and reports each fault of CASES."""
    failures = []
    if compare(BASE_EN, BASE_RU):
        failures.append("the matching pair: %s" % compare(BASE_EN, BASE_RU))
    for what, english, russian, word in CASES:
        problems = compare(english, russian)
        if not any(word in p for p in problems):
            failures.append("%s: expected a report naming %r, got %s" % (what, word, problems))
    return failures


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--self-test", action="store_true")
    p.add_argument("--root", help="the directory that holds both READMEs")
    args = p.parse_args()
    if args.self_test:
        problems = self_test()
    elif args.root:
        def read(name):
            with open(os.path.join(args.root, name), encoding="utf-8") as f:
                return f.read()
        problems = compare(read(ENGLISH), read(RUSSIAN))
    else:
        p.error("--self-test or --root DIR")
    for problem in problems:
        print("FAIL:", problem)
    if not problems:
        print("ok")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
