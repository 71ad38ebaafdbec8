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
process stopping at the first failure, confirm that failure by the test's own
CTest run, give the survivors the end-to-end tests too, and restore the file
whatever happened. The tree is left as it was found.
"""

import argparse
import os
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
    matches = list(pattern_of(mutant).finditer(text))
    if not matches:
        raise ListError(f"{mutant.source}: old text not found in {mutant.path}")
    if mutant.occurrence == 0 and len(matches) > 1:
        raise ListError(f"{mutant.source}: old text found {len(matches)} times in {mutant.path}; name one as FILE#N")
    if mutant.occurrence > len(matches):
        raise ListError(f"{mutant.source}: old text found only {len(matches)} times in {mutant.path}")
    match = matches[max(mutant.occurrence, 1) - 1]
    return text[: match.start()] + "\n".join(mutant.new) + text[match.end() :]


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


class Runner:
    def __init__(self, args):
        self.args = args
        self.build_dir = os.environ["VORUTA_BUILD"]
        self.logs = args.logs or os.path.join(self.build_dir, "mutate")
        os.makedirs(self.logs, exist_ok=True)
        self.unit_timeout = args.timeout
        self.e2e_timeout = args.timeout

    def log(self, name):
        return os.path.join(self.logs, name)

    def build(self):
        return run([os.path.join(ROOT, "scripts", "build"), "--target", "voruta_tests", "voruta"],
                   self.log("build.log"), 1800) == 0

    def unit(self):
        """None when the unit tests pass, else the first failing test's name
        ('' when it cannot be told)."""
        exe = os.path.join(self.build_dir, "voruta_tests.exe")
        report = self.log("unit.xml")
        if os.path.exists(report):
            os.remove(report)
        # The report names the failed test even where the console output
        # was cut short (programs the tests start share it).
        command = ["wine", exe, "--gtest_fail_fast", "--gtest_color=no",
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
        passed = self.ctest("^" + re.escape(name) + "(  #.*)?$", self.log("confirm.log"),
                                           self.unit_timeout)
        if passed is None:
            print(f"mutate: CTest has no test named {name}", file=sys.stderr)
        return passed is False

    def e2e(self):
        """None when every end-to-end case passes, else the failing case, as
        failed twice."""
        if self.ctest("^EndToEnd\\.", self.log("e2e.log"), self.e2e_timeout) is not False:
            return None
        failed = []
        with open(self.log("e2e.log"), encoding="utf-8", errors="replace") as f:
            for line in f:
                match = re.search(r"\d+ - (EndToEnd\.\w+) \(", line)
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
    parser.add_argument("lists", nargs="+", help="mutant list files (tests/mutants/*.txt)")
    parser.add_argument("--only", action="append",
                        help="run only the mutants whose description or file contains this text (repeatable)")
    parser.add_argument("--check", action="store_true", help="only check that every mutant applies; build nothing")
    parser.add_argument("--no-e2e", action="store_true", help="survivors do not get the end-to-end tests")
    parser.add_argument("--timeout", type=int, default=300, help="seconds for one test process (default 300)")
    parser.add_argument("--logs", help="where the logs go (default: mutate/ in the build folder)")
    args = parser.parse_args()

    try:
        mutants = [m for path in args.lists for m in parse_list(path)]
        if args.only:
            mutants = [m for m in mutants if any(o in m.description or o in m.path for o in args.only)]
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
    if runner.unit() is not None:
        print(f"mutate: the unit tests fail on the unchanged tree; see {runner.log('unit.log')}", file=sys.stderr)
        return 2
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
                if not runner.build():
                    verdict = "invalid (does not build)"
                else:
                    failed = runner.unit()
                    if failed is not None and runner.confirm_unit(failed):
                        verdict = f"killed by {failed}"
                    else:
                        by = None if args.no_e2e else runner.e2e()
                        verdict = f"killed by {by}" if by else "SURVIVED"
            finally:
                with open(target, "wb") as f:
                    f.write(original)
            results.append((m, verdict))
            print(f"[{number}/{len(mutants)}] {verdict}: {m.path}: {m.description}", flush=True)
    except KeyboardInterrupt:
        print("mutate: interrupted; the file was restored", file=sys.stderr)
    finally:
        # The build matches the tree again.
        runner.build()

    killed = sum(v.startswith("killed") for _, v in results)
    survived = [m for m, v in results if v == "SURVIVED"]
    invalid = sum(v.startswith("invalid") for _, v in results)
    valid = killed + len(survived)
    rate = f"{100.0 * killed / valid:.0f}%" if valid else "-"
    minutes = (time.monotonic() - started) / 60
    print(f"mutate: {killed} killed, {len(survived)} survived, {invalid} invalid; kill rate {rate} ({minutes:.0f} min)")
    for m in survived:
        print(f"  survived: {m.source}: {m.path}: {m.description}")
    if git_status() != status_before:
        print("mutate: the tree is not as it was found:\n" + git_status(), file=sys.stderr)
        return 2
    return 0 if len(results) == len(mutants) else 1


if __name__ == "__main__":
    sys.exit(main())
