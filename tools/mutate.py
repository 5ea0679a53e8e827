#!/usr/bin/env python3
"""Mutation check of Lumora's core.

Makes small faults in the core sources one at a time (operator swaps, constant
tweaks, deleted statements, edits of the table words), rebuilds the core tests
in a scratch copy of the tree and runs them. A mutant is killed when a test
fails (or hangs); it survives when every test still passes. The worktree is
never changed: mutants live only in the scratch copy.

  tools/mutate.py                      sampled run (see --sample, --seed)
  tools/mutate.py --list               every mutant, with its id
  tools/mutate.py --only ID [ID ...]   just these mutants
  tools/mutate.py --try FILE OLD NEW   one hand-made fault (literal replacement)

Survivors judged equivalent (no test can tell them apart from the original)
are listed with the reason in tools/mutate_equivalent.txt and left out of the
score.
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCOPE = ["src/common", "src/lattice", "src/reflections", "src/report"]
EXTRA_FILES = ["src/inputs/parameters.cpp", "src/inputs/parameters.hpp", "src/inputs/settings_file.cpp",
               "src/inputs/settings_file.hpp"]
EQUIVALENT_FILE = os.path.join(ROOT, "tools", "mutate_equivalent.txt")
TEST_TARGETS = ["lumora_core_tests", "lumora_reference_tests"]


# ---------------------------------------------------------------------------
# Which files and lines.

def core_files():
    files = []
    for folder in SCOPE:
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            if name.endswith((".cpp", ".hpp")):
                files.append(folder + "/" + name)
    files += EXTRA_FILES
    # Window code (Qt) is not part of the core.
    return [f for f in files if "#include <Q" not in read(os.path.join(ROOT, f))]


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


STRING = re.compile(r'"(?:[^"\\]|\\.)*"')


def code_part(line):
    """The line without its trailing // comment (strings kept)."""
    out, i, in_str = [], 0, False
    while i < len(line):
        ch = line[i]
        if in_str:
            if ch == "\\":
                out.append(line[i:i + 2])
                i += 2
                continue
            if ch == '"':
                in_str = False
        elif ch == '"':
            in_str = True
        elif line.startswith("//", i):
            break
        out.append(ch)
        i += 1
    return "".join(out)


def string_spans(code):
    return [(m.start(), m.end()) for m in STRING.finditer(code)]


def outside_strings(code, start, end):
    return all(end <= s or start >= e for s, e in string_spans(code))


# ---------------------------------------------------------------------------
# Operators: each gives (column, old, new) edits of one line.

SWAPS = [
    (" <= ", " < "), (" >= ", " > "), (" < ", " <= "), (" > ", " >= "),
    (" == ", " != "), (" != ", " == "), (" < ", " > "), (" > ", " < "),
    (" && ", " || "), (" || ", " && "),
    (" + ", " - "), (" - ", " + "), (" * ", " / "), (" / ", " * "),
    (" += ", " -= "), (" -= ", " += "),
    ("true", "false"), ("false", "true"),
]
NUMBER = re.compile(r"(?<![\w.])(\d+\.\d*(?:e[-+]?\d+)?f?|\d+e[-+]?\d+f?|\d+)(?![\w.])")
DECLARATION = re.compile(r"^\s*(const|constexpr|static|auto|using|std::|int|double|float|bool|char|"
                         r"return|case|default|template|struct|class|namespace|enum|inline|typedef|"
                         r"[A-Z]\w*(::\w+)*[&*]?\s+\w+\s*[=({;])")


def tweak_number(text):
    """A nearby different literal: the last digit of the mantissa plus one."""
    m = re.match(r"(\d+(?:\.\d*)?)(e[-+]?\d+)?(f?)$", text)
    if not m:
        return []
    mantissa, exponent, suffix = m.group(1), m.group(2) or "", m.group(3)
    if "." not in mantissa and not exponent and not suffix:
        n = int(mantissa)
        return [str(n + 1)] + ([str(n - 1)] if n > 0 else [])
    digits = list(mantissa)
    for i in range(len(digits) - 1, -1, -1):
        if digits[i].isdigit():
            if digits[i] == "9":
                digits[i] = "8"
            else:
                digits[i] = str(int(digits[i]) + 1)
            break
    return ["".join(digits) + exponent + suffix]


def line_mutants(line):
    code = code_part(line)
    stripped = code.strip()
    if not stripped or stripped.startswith(("#", "//", "static_assert", "*", "/*")):
        return []
    edits = []
    for old, new in SWAPS:
        start = 0
        while True:
            i = code.find(old, start)
            if i < 0:
                break
            start = i + 1
            if not outside_strings(code, i, i + len(old)):
                continue
            if old in ("true", "false") and (i > 0 and (code[i - 1].isalnum() or code[i - 1] == "_")):
                continue
            if old in ("true", "false") and i + len(old) < len(code) and (code[i + len(old)].isalnum()
                                                                          or code[i + len(old)] == "_"):
                continue
            edits.append(("swap", i, old, new))
    for m in NUMBER.finditer(code):
        if not outside_strings(code, m.start(), m.end()):
            continue
        # Array sizes and the like only break the build.
        before = code[:m.start()].rstrip()
        if before.endswith(("[", "<", "array<")) or re.search(r"std::array<[^>]*$", code[:m.start()]):
            continue
        for new in tweak_number(m.group(1)):
            edits.append(("constant", m.start(), m.group(1), new))
    # Words of table strings: drop one, swap two neighbours, flip a letter's case.
    literals = list(STRING.finditer(code))
    # Table rows: a line that is a list of literals or a braced row of data
    # (messages built with + are not tables).
    table_row = "+" not in code and (len(literals) >= 2 or (stripped.startswith(('"', '{"', '{{"'))
                                                             and stripped.endswith((",", "};"))))
    for lit in literals:
        body = lit.group(0)[1:-1]
        words = body.split()
        if table_row and len(words) >= 2 and "\\" not in body:
            for k in range(len(words)):
                edits.append(("table-word", lit.start(), lit.group(0),
                              '"' + " ".join(words[:k] + words[k + 1:]) + '"'))
            for k in range(len(words) - 1):
                swapped = words[:k] + [words[k + 1], words[k]] + words[k + 2:]
                edits.append(("table-word", lit.start(), lit.group(0), '"' + " ".join(swapped) + '"'))
        if 1 <= len(body) <= 12 and re.fullmatch(r"[\w.\-/+=]+", body):
            j = next((p for p, ch in enumerate(body) if ch.isalpha()), None)
            if j is not None:
                flipped = body[:j] + body[j].swapcase() + body[j + 1:]
                edits.append(("table-word", lit.start(), lit.group(0), '"' + flipped + '"'))
    if table_row and len(literals) >= 2:
        for a, b in zip(literals, literals[1:]):
            between = code[a.end():b.start()]
            if between.strip() == ",":
                edits.append(("table-swap", a.start(), code[a.start():b.end()],
                              b.group(0) + between + a.group(0)))
    # Deleted statement: a whole simple statement on one line.
    if (stripped.endswith(";") and "{" not in stripped and "}" not in stripped
            and not DECLARATION.match(code) and code.count("(") == code.count(")")):
        edits.append(("delete", len(code) - len(code.lstrip()), stripped, ";"))
    if stripped in ("break;", "continue;"):
        other = "continue;" if stripped == "break;" else "break;"
        edits.append(("swap", code.index(stripped), stripped, other))
    return edits


class Mutant:
    def __init__(self, path, line_no, op, col, old, new, original_line):
        self.path, self.line_no, self.op, self.col = path, line_no, op, col
        self.old, self.new, self.original_line = old, new, original_line

    @property
    def id(self):
        return "%s:%d:%d:%s:%s" % (self.path, self.line_no, self.col, self.op,
                                   re.sub(r"\s+", "", self.new)[:24])

    def mutated_line(self):
        line = self.original_line
        assert line[self.col:self.col + len(self.old)] == self.old
        return line[:self.col] + self.new + line[self.col + len(self.old):]

    def apply(self, text):
        lines = text.split("\n")
        assert lines[self.line_no - 1] == self.original_line, self.id
        lines[self.line_no - 1] = self.mutated_line()
        return "\n".join(lines)


def all_mutants():
    mutants = []
    for path in core_files():
        in_block_comment = False
        for n, line in enumerate(read(os.path.join(ROOT, path)).split("\n"), start=1):
            s = line.strip()
            if in_block_comment:
                in_block_comment = "*/" not in s
                continue
            if s.startswith("/*"):
                in_block_comment = "*/" not in s
                continue
            for op, col, old, new in line_mutants(line):
                if old != new:
                    mutants.append(Mutant(path, n, op, col, old, new, line))
    seen, unique = set(), []
    for m in mutants:
        if m.id not in seen:
            seen.add(m.id)
            unique.append(m)
    return unique


def equivalent_ids():
    ids = {}
    if os.path.exists(EQUIVALENT_FILE):
        for line in read(EQUIVALENT_FILE).splitlines():
            if line.strip() and not line.startswith("#"):
                mid, _, reason = line.partition("|")
                ids[mid.strip()] = reason.strip()
    return ids


# ---------------------------------------------------------------------------
# The scratch tree.

def tracked_files():
    out = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                         check=True, capture_output=True, text=True).stdout
    return [f for f in out.splitlines() if f and os.path.isfile(os.path.join(ROOT, f))]


def sync_tree(scratch):
    """Copies the worktree into scratch/tree, touching only files that differ
    so that the build stays incremental."""
    tree = os.path.join(scratch, "tree")
    for rel in tracked_files():
        src, dst = os.path.join(ROOT, rel), os.path.join(tree, rel)
        with open(src, "rb") as f:
            data = f.read()
        if os.path.exists(dst):
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        with open(dst, "wb") as f:
            f.write(data)
    return tree


def configure(tree):
    build = os.path.join(tree, "build-mutate")
    if not os.path.exists(os.path.join(build, "build.ninja")):
        subprocess.run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2", "-DLUMORA_BUILD_GUI=OFF",
                        "-DLUMORA_BUILD_BENCH=OFF"], check=True, capture_output=True)
    return build


def build_tests(build, jobs):
    r = subprocess.run(["cmake", "--build", build, "-j", str(jobs), "--target"] + TEST_TARGETS,
                       capture_output=True, text=True)
    return r.returncode == 0, r.stdout + r.stderr


def reference_data(tree, build):
    out = os.path.join(build, "tests", "reference-data")
    subprocess.run([sys.executable, os.path.join(tree, "tests", "reference", "lumora_reference.py"),
                    "--out", out], check=True, capture_output=True)
    return out


def run_tests(build, data, timeout):
    """'passed', 'failed' or 'timeout'."""
    env = dict(os.environ, LUMORA_REFERENCE_DIR=data)
    deadline = time.time() + timeout
    for target in ["lumora_reference_tests", "lumora_core_tests"]:
        left = deadline - time.time()
        if left <= 0:
            return "timeout"
        try:
            r = subprocess.run([os.path.join(build, "tests", target), "--gtest_brief=1", "--gtest_fail_fast=1"],
                               env=env, capture_output=True, timeout=left, cwd=build)
        except subprocess.TimeoutExpired:
            return "timeout"
        if r.returncode != 0:
            return "failed"
    return "passed"


def try_mutant(tree, build, data, path, mutated_text, jobs, timeout):
    target = os.path.join(tree, path)
    original = read(target)
    try:
        write(target, mutated_text)
        ok, log = build_tests(build, jobs)
        if not ok:
            return "stillborn"
        outcome = run_tests(build, data, timeout)
        return {"passed": "SURVIVED", "failed": "KILLED", "timeout": "KILLED(timeout)"}[outcome]
    finally:
        write(target, original)


# ---------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description="Mutation check of the core")
    parser.add_argument("--sample", type=int, default=150, help="mutants to try (0: all); default 150")
    parser.add_argument("--seed", type=int, default=12, help="seed of the sample; default 12")
    parser.add_argument("--jobs", type=int, default=2, help="build jobs; default 2")
    parser.add_argument("--scratch", default="/tmp/lumora-mutate", help="scratch folder")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--only", nargs="+", metavar="ID", help="try just these mutants")
    parser.add_argument("--try", nargs=3, metavar=("FILE", "OLD", "NEW"), dest="try_edit",
                        help="try one literal replacement in FILE")
    args = parser.parse_args()

    mutants = all_mutants()
    if args.list:
        for m in mutants:
            print(m.id, "|", m.mutated_line().strip())
        print(len(mutants), "mutants in", len(core_files()), "files", file=sys.stderr)
        return 0

    os.makedirs(args.scratch, exist_ok=True)
    tree = sync_tree(args.scratch)
    build = configure(tree)
    start = time.time()
    ok, log = build_tests(build, args.jobs)
    if not ok:
        print(log[-4000:])
        sys.exit("the unmutated tree does not build")
    data = reference_data(tree, build)
    t0 = time.time()
    if run_tests(build, data, 3600) != "passed":
        sys.exit("the tests fail on the unmutated tree")
    timeout = max(60.0, 10 * (time.time() - t0))
    print("baseline built and tested in %.0f s; test timeout %.0f s" % (time.time() - start, timeout))

    if args.try_edit:
        path, old, new = args.try_edit
        text = read(os.path.join(ROOT, path))
        if text.count(old) != 1:
            sys.exit("%s: the text to replace occurs %d times, not once" % (path, text.count(old)))
        print(path, ":", old.strip(), "->", new.strip(), ":",
              try_mutant(tree, build, data, path, text.replace(old, new), args.jobs, timeout))
        build_tests(build, args.jobs)
        return 0

    if args.only:
        by_id = {m.id: m for m in mutants}
        missing = [i for i in args.only if i not in by_id]
        if missing:
            sys.exit("unknown mutant ids: " + ", ".join(missing))
        chosen = [by_id[i] for i in args.only]
    elif args.sample and args.sample < len(mutants):
        chosen = random.Random(args.seed).sample(mutants, args.sample)
    else:
        chosen = list(mutants)
    # Mutants of one file in a row keep the rebuilds small.
    chosen.sort(key=lambda m: (m.path, m.line_no, m.col, m.new))
    print("%d mutants in %d files; trying %d (seed %d)" % (len(mutants), len(core_files()), len(chosen),
                                                            args.seed))

    equivalent = equivalent_ids()
    results = []
    for i, m in enumerate(chosen, start=1):
        t = time.time()
        text = read(os.path.join(tree, m.path))
        outcome = try_mutant(tree, build, data, m.path, m.apply(text), args.jobs, timeout)
        if outcome == "SURVIVED" and m.id in equivalent:
            outcome = "EQUIVALENT"
        results.append((m, outcome))
        print("[%d/%d] %-15s %s  (%.0f s)\n        %s" % (i, len(chosen), outcome, m.id, time.time() - t,
                                                         m.mutated_line().strip()), flush=True)
    build_tests(build, args.jobs)  # leave the scratch build unmutated

    count = {k: sum(1 for _, o in results if o.startswith(k)) for k in
             ("KILLED", "SURVIVED", "EQUIVALENT", "stillborn")}
    valid = count["KILLED"] + count["SURVIVED"]
    print("\n%d tried: %d killed, %d survived, %d judged equivalent, %d did not build" %
          (len(results), count["KILLED"], count["SURVIVED"], count["EQUIVALENT"], count["stillborn"]))
    if valid:
        print("mutation score: %.1f%% of %d non-equivalent mutants killed" % (100.0 * count["KILLED"] / valid, valid))
    for m, o in results:
        if o in ("SURVIVED", "EQUIVALENT"):
            print("%s %s\n    %s\n    %s%s" % (o.lower(), m.id, m.original_line.strip(), m.mutated_line().strip(),
                                               ("\n    (" + equivalent[m.id] + ")") if o == "EQUIVALENT" else ""))
    print("elapsed %.0f min" % ((time.time() - start) / 60))
    return 0


if __name__ == "__main__":
    sys.exit(main())
