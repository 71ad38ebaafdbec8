#!/usr/bin/env python3
"""Plants single-site faults one at a time and tells which ones the tests catch.

Run through scripts/mutate, which provides the Wine environment and a private
display. A list file holds the faults ("mutants"), each of this form:

    @ analysis/scan.cpp: the id set forgets the ids it had when it grows
    - for (const std::uint64_t id : slots)
    + for (const std::uint64_t id : larger)

The "@" line names the file (relative to the project root; "FILE#N" picks the
N-th of several matches) and describes the slip. "-" lines give the exact old
text, "+" lines the new text (none: the old text is removed). Several lines of
either join with line breaks; runs of white space in the old text match any
white space, so indentation need not be copied. Lines starting with "#" and
blank lines are ignored.

For each mutant: apply it, build incrementally, run the unit tests in one
process stopping at the first failure (those of the test files that include
the mutated file's header first), confirm that failure by the test's own
CTest run, give the survivors the end-to-end tests of the programs that
changed, and restore the file whatever happened. The tree is left as it was
found. A mutant that leaves every program byte for byte as it was (the build
is reproducible) is equivalent: no test can tell it apart.

With --diff BASE the mutants are generated instead: single-site faults made
by the standard operators (relational, arithmetic, logical, constant,
statement dropped, early return, flipped result, a guard that always or never
holds, a used call's result replaced by 0, a literal at the edge of a 32-bit
int) on the C++ lines added or altered since BASE in the product's folders,
sampled with a seed so that the same seed on the same tree gives the same
mutants. With --all they are generated from every C++ line of the product,
and from the shell scripts that a test runs.
"""

import argparse
import hashlib
import os
import random
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field
from xml.etree import ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


@dataclass
class Mutant:
    source: str  # list file and line
    path: str
    occurrence: int
    description: str
    old: list = field(default_factory=list)
    new: list = field(default_factory=list)
    line: int = 0  # generated: this line (1-based) is `old[0]` and becomes `new[0]`


class ListError(Exception):
    pass


def parse_list(list_path):
    mutants = []
    current = None
    with open(list_path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            where = f"{list_path}:{number}"
            if not line.strip() or line.startswith("#"):
                continue
            if line.startswith("@"):
                head, sep, description = line[1:].partition(":")
                if not sep or not description.strip():
                    raise ListError(f"{where}: '@ FILE: description' expected")
                path, _, occurrence = head.strip().partition("#")
                current = Mutant(where, path, int(occurrence or 0), description.strip())
                mutants.append(current)
            elif line[0] in "-+" and current is not None:
                text = line[1:]
                if text.startswith(" "):
                    text = text[1:]
                (current.old if line[0] == "-" else current.new).append(text)
            else:
                raise ListError(f"{where}: a line starting with '@', '-', '+' or '#' expected")
    for m in mutants:
        if not m.old or not "".join(m.old).strip():
            raise ListError(f"{m.source}: no old text")
    return mutants


def pattern_of(mutant):
    words = "\n".join(mutant.old).split()
    return re.compile(r"\s+".join(re.escape(w) for w in words))


def mutated_text(mutant, text):
    """The file's text with the mutant applied; raises ListError when the old
    text is not found exactly where the mutant says."""
    if mutant.line:
        lines = text.split("\n")
        if mutant.line > len(lines) or lines[mutant.line - 1] != mutant.old[0]:
            raise ListError(f"{mutant.source}: the line is no longer as it was")
        lines[mutant.line - 1] = mutant.new[0]
        return "\n".join(lines)
    matches = list(pattern_of(mutant).finditer(text))
    if not matches:
        raise ListError(f"{mutant.source}: old text not found in {mutant.path}")
    if mutant.occurrence == 0 and len(matches) > 1:
        raise ListError(f"{mutant.source}: old text found {len(matches)} times in {mutant.path}; name one as FILE#N")
    if mutant.occurrence > len(matches):
        raise ListError(f"{mutant.source}: old text found only {len(matches)} times in {mutant.path}")
    match = matches[max(mutant.occurrence, 1) - 1]
    return text[: match.start()] + "\n".join(mutant.new) + text[match.end() :]


# The folders whose C++ is the product's; mutants are generated there only.
PRODUCT_DIRS = ("analysis", "view", "shell", "platform", "tools", "bench", "scripts")
WHOLE_PRODUCT_DIRS = ("analysis", "view", "shell", "platform", "tools")
CPP_SUFFIXES = (".cpp", ".h")
CALL_LIKE_KEYWORDS = ("if", "while", "for", "switch", "return", "sizeof", "alignof", "decltype", "static_cast",
                      "reinterpret_cast", "const_cast", "dynamic_cast", "noexcept", "catch", "defined")
KEYWORDS_NOT_STATEMENTS = ("return", "break", "continue", "case", "default", "goto", "using", "typedef",
                           "throw", "else", "do", "static_assert", "template", "namespace", "class", "struct",
                           "enum", "public", "private", "protected", "friend", "extern")
RELATIONAL = {"<": ("<=", ">="), "<=": ("<", ">"), ">": (">=", "<="), ">=": (">", "<"),
              "==": ("!=",), "!=": ("==",)}
ARITHMETIC = {"+": "-", "-": "+", "*": "/", "/": "*", "%": "*", "+=": "-=", "-=": "+=",
              "&&": "||", "||": "&&", "&": "|", "|": "&"}


def changed_lines(base):
    """{path: set of 1-based line numbers} of the C++ lines in the product's
    folders that the working tree adds or alters since `base`; files git does
    not track yet count whole."""
    out = subprocess.run(["git", "diff", "-U0", "--no-color", "--no-ext-diff", base, "--", *PRODUCT_DIRS],
                         cwd=ROOT, capture_output=True, text=True)
    if out.returncode != 0:
        raise ListError(f"git diff {base}: {out.stderr.strip()}")
    lines, path = {}, None
    for line in out.stdout.splitlines():
        if line.startswith("+++ "):
            name = line[4:]
            path = name[2:] if name.startswith("b/") and name.endswith(CPP_SUFFIXES) else None
        elif line.startswith("@@") and path:
            match = re.match(r"@@ -\S+ \+(\d+)(?:,(\d+))? @@", line)
            start, count = int(match.group(1)), int(match.group(2) or 1)
            lines.setdefault(path, set()).update(range(start, start + count))
    untracked = subprocess.run(["git", "ls-files", "--others", "--exclude-standard", "--", *PRODUCT_DIRS],
                               cwd=ROOT, capture_output=True, text=True).stdout.split()
    for name in untracked:
        if name.endswith(CPP_SUFFIXES):
            with open(os.path.join(ROOT, name), encoding="utf-8") as f:
                lines[name] = set(range(1, f.read().count("\n") + 2))
    return lines


def code_of(lines):
    """Each line with comments and the insides of string and character
    literals blanked (same length), so that operators are found in code only;
    preprocessor lines come back empty."""
    result, in_comment = [], False
    for line in lines:
        chars, i, quote = list(line), 0, None
        while i < len(chars):
            c = chars[i]
            if in_comment:
                if line.startswith("*/", i):
                    chars[i] = chars[i + 1] = " "
                    in_comment = False
                    i += 1
                else:
                    chars[i] = " "
            elif quote:
                if c == "\\":
                    chars[i] = " "
                    if i + 1 < len(chars):
                        chars[i + 1] = " "
                    i += 1
                elif c == quote:
                    quote = None
                else:
                    chars[i] = " "
            elif line.startswith("//", i):
                chars[i:] = " " * (len(chars) - i)
                break
            elif line.startswith("/*", i):
                chars[i] = chars[i + 1] = " "
                in_comment = True
                i += 1
            elif c in "\"'" and not (c == "'" and i > 0 and chars[i - 1].isalnum()):  # 1'000 digit separators
                quote = c
            i += 1
        code = "".join(chars)
        result.append("" if code.lstrip().startswith("#") else code)
    return result


def enclosing_is_void(code, index):
    """Whether the function around line `index` returns nothing, judged by the
    nearest header written from column 0 above it."""
    for line in reversed(code[:index]):
        if line and not line[0].isspace() and line[0] not in "{}":
            head = line.split("(")[0]
            return bool(re.match(r"(?:(?:static|inline|constexpr|virtual)\s+)*void\b", head)) or "::~" in head or \
                bool(re.search(r"(\w+)::\1$", head.strip()))
    return False


def statement_kind(code_line):
    """'call' or 'assignment' when the line is one whole statement of that
    kind (no declaration), else None."""
    text = code_line.strip()
    if not text.endswith(";") or text.count("(") != text.count(")") or not text[:-1].strip():
        return None
    first = re.match(r"[A-Za-z_]\w*", text)
    if first and first.group(0) in KEYWORDS_NOT_STATEMENTS:
        return None
    if re.match(r"(\+\+|--)[\w.\->\[\]]+;$|[\w.\->\[\]]+(\+\+|--);$", text):
        return "assignment"
    match = re.match(r"([^=(]*?)\s(=|\+=|-=|\*=|/=|\|=|&=|<<=|>>=)\s", text)
    if match and " " not in match.group(1).strip():
        return "assignment"
    if re.match(r"[\w:.\->\[\]*]+\(.*\);$", text):
        return "call"
    return None


def generate(path, numbers):
    """Every single-site mutant of the lines `numbers` of `path`: a list of
    (line, column, operator, new line)."""
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    code = code_of(lines)
    found = []
    for number in sorted(numbers):
        if number > len(lines):
            continue
        line, text = lines[number - 1], code[number - 1]
        if not text.strip():
            continue

        def at(start, end, new, operator):
            found.append((number, start, operator, line[:start] + new + line[end:]))

        for m in re.finditer(r"(?<=\s)(<=|>=|==|!=|<|>|\+=|-=|\+|-|\*|/|%|&&|\|\||&|\|)(?=\s)", text):
            op = m.group(1)
            if op in RELATIONAL:
                for other in RELATIONAL[op]:
                    at(m.start(), m.end(), other, f"relational {op} -> {other}")
            else:
                kind = "logical" if op in ("&&", "||") else "bitwise" if op in ("&", "|") else "arithmetic"
                at(m.start(), m.end(), ARITHMETIC[op], f"{kind} {op} -> {ARITHMETIC[op]}")
        for m in re.finditer(r"(?<![\w.'])(0[xX][0-9a-fA-F']+|\d[\d']*)([uUlL]*)(?![\w.'])", text):
            digits = m.group(1).replace("'", "")
            value = int(digits, 16) if digits[:2].lower() == "0x" else int(digits)
            for new in sorted({value + 1, value - 1} | ({0} if digits[:2].lower() == "0x" else set())):
                if new >= 0 and new != value:
                    at(m.start(), m.end(1), hex(new) if digits[:2].lower() == "0x" else str(new),
                       f"constant {m.group(1)} -> {new}")
        for m in re.finditer(r"\b(true|false)\b", text):
            other = "false" if m.group(1) == "true" else "true"
            at(m.start(), m.end(), other, f"constant {m.group(1)} -> {other}")
        for m in re.finditer(r"(?<![\w)\]!=<>])!(?!=)", text):
            at(m.start(), m.end(), "", "logical ! dropped")
        m = re.match(r"(\s*(?:\}\s*else\s+)?(?:if|while)\s*\()(.*)\)\s*(\{?)\s*$", text)
        if m and m.group(2).count("(") == m.group(2).count(")"):
            at(len(m.group(1)), len(m.group(1)) + len(m.group(2)), f"!({line[len(m.group(1)):len(m.group(1)) + len(m.group(2))]})",
               "logical condition negated")
            if "if" in m.group(1):
                # A guard that always or never holds.
                for value in ("true", "false"):
                    at(len(m.group(1)), len(m.group(1)) + len(m.group(2)), value, f"guard always {value}")
        for m in re.finditer(r"(=|\(|!|&&|\|\||\breturn)\s*((?:[A-Za-z_]\w*(?:::|\.|->))*[A-Za-z_]\w*)\(", text):
            # A call whose result is used, replaced by a constant.
            if m.group(2).split("::")[-1] in CALL_LIKE_KEYWORDS:
                continue
            start, depth, end = m.start(2), 0, None
            for i in range(m.end(2), len(text)):
                depth += {"(": 1, ")": -1}.get(text[i], 0)
                if depth == 0:
                    end = i + 1
                    break
            if end:
                at(start, end, "0", f"call result {m.group(2)}() -> 0")
        for m in re.finditer(r"(?<![\w.'])(\d[\d']*)([uUlL]*)(?![\w.'x])", text):
            # A literal at the edge of the range of a 32-bit int.
            if m.group(1) not in ("2147483647",):
                at(m.start(), m.end(1), "2147483647", f"constant {m.group(1)} -> edge 2147483647")
        m = re.match(r"(\s*return\s+)(.+);\s*$", text)
        if m and m.group(2).strip() not in ("true", "false", "0", "nullptr", "{}"):
            value = line[len(m.group(1)):len(m.group(1)) + len(m.group(2))]
            at(len(m.group(1)), len(m.group(1)) + len(m.group(2)), f"!({value})", "flipped result")
        kind = statement_kind(text)
        previous = next((c.strip() for c in reversed(code[:number - 1]) if c.strip()), "")
        starts_statement = previous.endswith((";", "{", "}")) or previous.startswith("case ")
        if kind:
            indent = line[:len(line) - len(line.lstrip())]
            at(0, len(line), indent + "{}", f"statement dropped ({kind})")
        if kind or (starts_statement and re.match(r"\s*(if|for|while)\s*\(", text)):
            if starts_statement and any(c.strip() == "{" or c.rstrip().endswith("{") for c in code[:number - 1]):
                indent = line[:len(line) - len(line.lstrip())]
                early = "return;" if enclosing_is_void(code, number - 1) else "return {};"
                found.append((number, 0, f"early {early}", indent + early + " " + line.lstrip()))
    return found


# The shell scripts that a test runs: mutants of theirs can be caught.
TESTED_SCRIPTS = ("scripts/apt-install",)
SHELL_SWAPS = {"&&": "||", "||": "&&", "-eq": "-ne", "-ne": "-eq", "-gt": "-le", "-lt": "-ge", "-z": "-n", "-n": "-z",
               "=": "!=", "!=": "="}


def generate_shell(path):
    """Every single-site mutant of a shell script: swapped tests and
    connectives, a negated or dropped `if !`, another exit status, a command
    dropped."""
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    found = []
    for number, line in enumerate(lines, 1):
        code = re.sub(r"\"[^\"]*\"|'[^']*'|(?<!\$)#.*", lambda m: " " * len(m.group(0)), line)
        if not code.strip() or line.startswith("#!"):
            continue

        def at(start, end, new, operator):
            found.append((number, start, operator, line[:start] + new + line[end:]))

        for m in re.finditer(r"(?<=\s)(&&|\|\||-eq|-ne|-gt|-lt|-z|-n|!?=)(?=\s)", code):
            at(m.start(), m.end(), SHELL_SWAPS[m.group(1)], f"shell {m.group(1)} -> {SHELL_SWAPS[m.group(1)]}")
        for m in re.finditer(r"\bif (! )?", code):
            at(m.start(), m.end(), "if " if m.group(1) else "if ! ", "shell condition negated")
        for m in re.finditer(r"\bexit (\d+)", code):
            at(m.start(1), m.end(1), str(1 - min(int(m.group(1)), 1)), f"shell exit {m.group(1)} changed")
        if re.match(r"\s*[a-z_][\w-]*(\s|$)", code) and not re.match(r"\s*(if|then|else|fi|for|do|done|set|exit)\b", code) \
                and "()" not in code and not code.rstrip().endswith(("{", "\\")):
            indent = line[:len(line) - len(line.lstrip())]
            at(0, len(line), indent + ":", "shell command dropped")
    return found


def all_lines():
    """{path: every line number} of the product's tracked C++ files: the
    program, its framework and its tools (not the benchmarks)."""
    names = subprocess.run(["git", "ls-files", "--", *WHOLE_PRODUCT_DIRS], cwd=ROOT, capture_output=True,
                           text=True).stdout.split()
    lines = {}
    for name in names:
        if name.endswith(CPP_SUFFIXES):
            with open(os.path.join(ROOT, name), encoding="utf-8") as f:
                lines[name] = set(range(1, f.read().count("\n") + 2))
    return lines


def generated_mutants(base, sample, seed):
    """The sampled mutants of the change since `base` (None: of the whole
    product), in file and line order."""
    candidates = []
    for path, numbers in sorted((changed_lines(base) if base else all_lines()).items()):
        for number, column, operator, new in generate(path, numbers):
            candidates.append((path, number, column, operator, new))
    if not base:
        for path in TESTED_SCRIPTS:
            candidates += [(path, *mutant) for mutant in generate_shell(path)]
    candidates = sorted(set(candidates))
    chosen = sorted(random.Random(seed).sample(candidates, min(sample, len(candidates))))
    mutants = []
    for path, number, column, operator, new in chosen:
        with open(os.path.join(ROOT, path), encoding="utf-8") as f:
            old = f.read().split("\n")[number - 1]
        mutants.append(Mutant(f"{path}:{number}", path, 0, operator, [old], [new], number))
    return mutants, len(candidates)


def write_list(mutants, path):
    """Writes generated mutants as a list, each found by its text, not its
    line: the list reruns them after the tests (or the lines above) change."""
    with open(path, "w", encoding="utf-8") as f:
        for m in mutants:
            with open(os.path.join(ROOT, m.path), encoding="utf-8") as source:
                text = source.read()
            before = len("\n".join(text.split("\n")[:m.line - 1]))
            occurrence = sum(1 for match in pattern_of(m).finditer(text) if match.start() <= before + 1 + len(m.old[0]))
            f.write(f"@ {m.path}#{occurrence}: {m.description} (generated at {m.source})\n"
                    f"- {m.old[0].strip()}\n+ {m.new[0].strip()}\n\n")


def run(command, log, timeout, cwd=None):
    """Runs `command` into `log`; the exit code, or None on a time-out. The
    whole process group goes on a time-out, Wine's processes included."""
    with open(log, "w", encoding="utf-8", errors="replace") as out:
        process = subprocess.Popen(command, cwd=cwd or ROOT, stdout=out, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL, start_new_session=True)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            return None
        except BaseException:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            raise


# The programs that the unit tests run; the end-to-end cases of each program.
UNIT_PROGRAMS = ("voruta_tests.exe", "voruta-dump.exe", "voruta-win98-probe.exe", "voruta-paint-bench.exe")
E2E_CASES = {"voruta.exe": "EndToEnd", "voruta-dump.exe": "Ntfs"}


def related_tests(path):
    """A gtest filter for the tests of the test files that include `path` or
    the header of the same name, or are named after it; '' when there are
    none."""
    header = os.path.splitext(path)[0] + ".h"
    stem = os.path.splitext(os.path.basename(path))[0]
    suites = set()
    for name in sorted(os.listdir(os.path.join(ROOT, "tests"))):
        if name.endswith(".cpp"):
            with open(os.path.join(ROOT, "tests", name), encoding="utf-8") as f:
                text = f.read()
            if f'#include "{header}"' in text or f'#include "{path}"' in text or name == stem + "_test.cpp":
                suites.update(re.findall(r"^TEST(?:_F|_P)?\((\w+),", text, re.M))
    return ":".join(f"{s}.*:*/{s}.*" for s in sorted(suites))


class Runner:
    def __init__(self, args):
        self.args = args
        self.build_dir = os.environ["VORUTA_BUILD"]
        self.logs = args.logs or os.path.join(self.build_dir, "mutate")
        os.makedirs(self.logs, exist_ok=True)
        self.unit_timeout = args.timeout
        self.e2e_timeout = min(args.timeout, 120)  # the longest case takes half a minute

    def log(self, name):
        return os.path.join(self.logs, name)

    def build(self):
        return run([os.path.join(ROOT, "scripts", "build"), "--target", "voruta_tests", "voruta"],
                   self.log("build.log"), 1800) == 0

    def programs(self):
        """{program: its bytes' digest} of the programs built."""
        digests = {}
        for name in sorted(os.listdir(self.build_dir)):
            if name.endswith(".exe"):
                with open(os.path.join(self.build_dir, name), "rb") as f:
                    digests[name] = hashlib.sha256(f.read()).hexdigest()
        return digests

    def unit(self, related="", excluded=()):
        """None when the unit tests but the `excluded` ones pass, else the
        first failing test's name ('' when it cannot be told). The `related`
        ones run first."""
        skip = ":".join(excluded)
        filters = [f"{related}-{skip}", f"-{related}:{skip}"] if related else [f"*-{skip}"]
        for gtest_filter in filters:
            failed = self.unit_run(gtest_filter)
            if failed is not None:
                return failed
        return None

    def confirmed_unit(self, related=""):
        """None when the unit tests pass, else the first failing test that
        its own CTest run fails too. A failure that this run does not repeat
        (the one process's address space, say) does not end the stage: the
        tests after it run."""
        passed_alone = []
        failed = self.unit(related)
        while failed is not None:
            if self.confirm_unit(failed):
                return failed
            if not failed or len(passed_alone) == 3:
                return None
            passed_alone.append(failed)
            failed = self.unit(related, passed_alone)
        return None

    def unit_run(self, gtest_filter):
        exe = os.path.join(self.build_dir, "voruta_tests.exe")
        report = self.log("unit.xml")
        if os.path.exists(report):
            os.remove(report)
        # The report names the failed test even where the console output
        # was cut short (programs the tests start share it).
        command = ["wine", exe, "--gtest_fail_fast", "--gtest_color=no", "--gtest_filter=" + gtest_filter,
                   "--gtest_output=xml:Z:" + report.replace("/", "\\")]
        code = run(command, self.log("unit.log"), self.unit_timeout, cwd=os.path.join(self.build_dir, "tests"))
        if code == 0:
            return None
        try:
            for case in ElementTree.parse(report).iter("testcase"):
                if case.find("failure") is not None:
                    return case.get("classname") + "." + case.get("name")
        except (OSError, ElementTree.ParseError):
            pass  # no report: the process died; the console tells where
        failed = running = ""
        with open(self.log("unit.log"), encoding="utf-8", errors="replace") as f:
            for line in f:
                if line.startswith("[ RUN      ] "):
                    running = line[13:].strip()
                elif line.startswith("[  FAILED  ] ") and not failed:
                    failed = line[13:].split(" (")[0].split(",")[0].strip()
        return failed or running

    def ctest(self, regex, log, timeout):
        """True when the tests matching `regex` pass; None when none matched."""
        code = run(["ctest", "--timeout", str(timeout), "-R", regex], log, timeout * 20 + 60, cwd=self.build_dir)
        with open(log, encoding="utf-8", errors="replace") as f:
            if "No tests were found" in f.read():
                return None
        return code == 0

    def confirm_unit(self, name):
        # CTest names a value-parameterised case with its value after "  #".
        if not name:
            return False
        # No unit test takes more than seconds.
        passed = self.ctest("^" + re.escape(name) + "(  #.*)?$", self.log("confirm.log"), 60)
        if passed is None:
            print(f"mutate: CTest has no test named {name}", file=sys.stderr)
        return passed is False

    def e2e(self, cases=("EndToEnd", "Ntfs", "Setup")):
        """None when every end-to-end case of `cases` passes (the real
        program, the NTFS volumes, the set-up), else the failing case, as
        failed twice."""
        if not cases:
            return None
        names = "|".join(cases)
        if self.ctest(f"^({names})\\.", self.log("e2e.log"), self.e2e_timeout) is not False:
            return None
        failed = []
        with open(self.log("e2e.log"), encoding="utf-8", errors="replace") as f:
            for line in f:
                match = re.search(rf"\d+ - ((?:{names})\.[\w.]+) \(", line)
                if match:
                    failed.append(match.group(1))
        for name in failed:
            if self.ctest("^" + re.escape(name) + "$", self.log("confirm.log"), self.e2e_timeout) is False:
                return name
        return None


def git_status():
    return subprocess.run(["git", "status", "--porcelain"], cwd=ROOT, capture_output=True, text=True).stdout


def main():
    parser = argparse.ArgumentParser(description="Plants each listed fault in turn and runs the tests against it.")
    parser.add_argument("lists", nargs="*", help="mutant list files (tests/mutants/*.txt)")
    parser.add_argument("--diff", metavar="BASE",
                        help="generate the mutants from the C++ lines added or altered since BASE instead")
    parser.add_argument("--all", action="store_true",
                        help="generate the mutants from every C++ line of the product (analysis, view, shell, "
                             "platform, tools) instead")
    parser.add_argument("--sample", type=int, default=40, help="with --diff or --all: how many to run (default 40)")
    parser.add_argument("--seed", type=int, default=1, help="with --diff or --all: the sample's seed (default 1)")
    parser.add_argument("--shard", metavar="K/N",
                        help="run only every N-th mutant, starting with the K-th (1-based), as one of N runs in "
                             "clones of their own")
    parser.add_argument("--first", type=int, default=1, metavar="N",
                        help="start with the N-th mutant (to go on with a run that was stopped)")
    parser.add_argument("--survivors", metavar="FILE",
                        help="with --diff or --all: write the survivors to FILE as a list, to rerun them by their "
                             "text once the tests change")
    parser.add_argument("--only", action="append",
                        help="run only the mutants whose place (file:line), description or file contains this text "
                             "(repeatable)")
    parser.add_argument("--check", action="store_true", help="only check that every mutant applies; build nothing")
    parser.add_argument("--no-e2e", action="store_true", help="survivors do not get the end-to-end tests")
    parser.add_argument("--timeout", type=int, default=300, help="seconds for one test process (default 300)")
    parser.add_argument("--logs", help="where the logs go (default: mutate/ in the build folder)")
    args = parser.parse_args()

    if bool(args.lists) + bool(args.diff) + args.all != 1:
        parser.error("give mutant lists, --diff BASE or --all")
    try:
        mutants = [m for path in args.lists for m in parse_list(path)]
        if args.diff or args.all:
            mutants, generated = generated_mutants(args.diff, args.sample, args.seed)
            print(f"mutate: {generated} mutants generated " + (f"since {args.diff}" if args.diff else "over the product") +
                  f"; {len(mutants)} sampled with seed {args.seed}")
            for m in mutants:
                print(f"  {m.source}: {m.description}: {m.old[0].strip()}  =>  {m.new[0].strip()}")
        if args.only:
            mutants = [m for m in mutants if any(o in f"{m.source}: {m.description}" or o in m.path for o in args.only)]
        if args.shard:
            k, n = (int(x) for x in args.shard.split("/"))
            mutants = mutants[k - 1::n]
        mutants = mutants[args.first - 1:]
        originals = {}
        for m in mutants:
            if m.path not in originals:
                with open(os.path.join(ROOT, m.path), "rb") as f:
                    originals[m.path] = f.read()
            mutated_text(m, originals[m.path].decode("utf-8"))
    except (ListError, OSError) as error:
        print(f"mutate: {error}", file=sys.stderr)
        return 2
    if args.check:
        print(f"mutate: {len(mutants)} mutants apply")
        return 0

    # A SIGTERM unwinds like Ctrl+C, so the file is restored either way.
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))
    status_before = git_status()
    runner = Runner(args)
    started = time.monotonic()
    if not runner.build():
        print(f"mutate: the unchanged tree does not build; see {runner.log('build.log')}", file=sys.stderr)
        return 2
    clean_started = time.monotonic()
    if runner.confirmed_unit() is not None:
        print(f"mutate: the unit tests fail on the unchanged tree; see {runner.log('unit.log')}", file=sys.stderr)
        return 2
    # A mutant that makes a test loop is caught once the run takes three
    # times as long as on the unchanged tree.
    runner.unit_timeout = min(args.timeout, max(60, int(3 * (time.monotonic() - clean_started))))
    unchanged = runner.programs()
    if not args.no_e2e and runner.e2e() is not None:
        print(f"mutate: the end-to-end tests fail on the unchanged tree; see {runner.log('e2e.log')}", file=sys.stderr)
        return 2

    results = []
    try:
        for number, m in enumerate(mutants, 1):
            target = os.path.join(ROOT, m.path)
            original = originals[m.path]
            try:
                with open(target, "wb") as f:
                    f.write(mutated_text(m, original.decode("utf-8")).encode("utf-8"))
                built = runner.build()
                changed = {name for name, digest in runner.programs().items() if unchanged.get(name) != digest} \
                    if built else set()
                if not built:
                    verdict = "invalid (does not build)"
                elif m.path.endswith(CPP_SUFFIXES) and not changed:
                    verdict = "equivalent (every program built is the same, byte for byte)"
                else:
                    failed = runner.confirmed_unit(related_tests(m.path)) if changed & set(UNIT_PROGRAMS) else None
                    if failed:
                        verdict = f"killed by {failed}"
                    else:
                        cases = [case for program, case in E2E_CASES.items() if program in changed]
                        by = None if args.no_e2e else runner.e2e(cases if changed else ["Setup"])
                        verdict = f"killed by {by}" if by else "SURVIVED"
            finally:
                with open(target, "wb") as f:
                    f.write(original)
            results.append((m, verdict))
            where = m.source if m.line else m.path
            print(f"[{number}/{len(mutants)}] {verdict}: {where}: {m.description}", flush=True)
    except KeyboardInterrupt:
        print("mutate: interrupted; the file was restored", file=sys.stderr)
    finally:
        # The build matches the tree again.
        runner.build()

    killed = sum(v.startswith("killed") for _, v in results)
    survived = [m for m, v in results if v == "SURVIVED"]
    invalid = sum(v.startswith("invalid") for _, v in results)
    same = sum(v.startswith("equivalent") for _, v in results)
    valid = killed + len(survived)
    rate = f"{100.0 * killed / valid:.0f}%" if valid else "-"
    minutes = (time.monotonic() - started) / 60
    print(f"mutate: {killed} killed, {len(survived)} survived, {invalid} invalid, {same} the same programs; "
          f"kill rate {rate} of the others ({minutes:.0f} min)")
    for m in survived:
        print(f"  survived: {m.source}: {m.description}" + (f": {m.old[0].strip()}  =>  {m.new[0].strip()}"
                                                             if m.line else f" ({m.path})"))
    if args.survivors and (args.diff or args.all):
        write_list(survived, args.survivors)
    if git_status() != status_before:
        print("mutate: the tree is not as it was found:\n" + git_status(), file=sys.stderr)
        return 2
    return 0 if len(results) == len(mutants) else 1


if __name__ == "__main__":
    sys.exit(main())
