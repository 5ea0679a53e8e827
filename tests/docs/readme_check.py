#!/usr/bin/env python3
"""Runs the README's walk-through against a built lumora-cli.

The walk-through commands are the "$ " lines of the README's ```console
blocks. Each runs in a fresh folder with the installed example paths
(/usr/share/doc/lumora/examples/...) read from the source tree's
docs/examples. The check fails when a command exits non-zero, when a file it
names as an output is not written, when an example file the README names is
missing, or when a relative link or #anchor of the README leads nowhere.
"""
import argparse
import os
import re
import shlex
import subprocess
import sys
import tempfile

INSTALLED_EXAMPLES = "/usr/share/doc/lumora/examples/"
# Arguments that look like a file the command writes (relative names only:
# inputs are the absolute example paths).
OUTPUT_NAME = re.compile(r"^[\w.-]+\.(png|svg|pdf|bmp|wmf|csv|json|hkl|xy|txt|model|cif)$")


def walkthrough_commands(text):
    """The "$ " lines of ```console blocks, with backslash continuations joined."""
    commands, in_block, pending = [], False, None
    for number, line in enumerate(text.splitlines(), 1):
        stripped = line.strip()
        if stripped.startswith("```"):
            in_block = stripped == "```console"
            pending = None
            continue
        if not in_block:
            continue
        if pending is not None:
            pending[1] += " " + stripped.rstrip("\\").strip()
            if not stripped.endswith("\\"):
                pending = None
            continue
        if stripped.startswith("$ "):
            entry = [number, stripped[2:].rstrip("\\").strip()]
            commands.append(entry)
            if stripped.endswith("\\"):
                pending = entry
    return [(number, command) for number, command in commands]


def github_anchor(heading):
    slug = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return slug.replace(" ", "-")


def link_problems(text, readme_dir):
    problems = []
    anchors = set()
    in_code = False
    for line in text.splitlines():
        if line.startswith("```"):
            in_code = not in_code
        elif not in_code and line.startswith("#"):
            anchors.add(github_anchor(line.lstrip("#")))
    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        if re.match(r"^[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        if path:
            if not os.path.exists(os.path.join(readme_dir, path)):
                problems.append(f"link to {target}: no such file")
        elif anchor not in anchors:
            problems.append(f"link to #{anchor}: no such heading")
    return problems


def check(readme, cli, examples, python, python_path):
    """Returns the list of failures (empty when every check passes)."""
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    readme_dir = os.path.dirname(os.path.abspath(readme))
    failures = link_problems(text, readme_dir)
    # The pages the README links to (docs/*.md) link back and to each other.
    for page in sorted(set(re.findall(r"\]\(([\w./-]+\.md)(?:#[^)]*)?\)", text))):
        path = os.path.join(readme_dir, page)
        if os.path.isfile(path):
            with open(path, encoding="utf-8") as f:
                failures += [f"{page}: {p}" for p in link_problems(f.read(), os.path.dirname(path))]
    for name in sorted(set(re.findall(re.escape(INSTALLED_EXAMPLES) + r"([\w.-]+)", text))):
        if not os.path.isfile(os.path.join(examples, name)):
            failures.append(f"documented example {INSTALLED_EXAMPLES}{name} is not in {examples}")
    commands = walkthrough_commands(text)
    if not commands:
        return failures + ["no walk-through commands (\"$ \" lines in ```console blocks) found"]
    examples_prefix = os.path.join(os.path.abspath(examples), "")
    for number, command in commands:
        argv = [a.replace(INSTALLED_EXAMPLES, examples_prefix) for a in shlex.split(command)]
        env = dict(os.environ)
        if argv[0] == "lumora-cli":
            argv[0] = os.path.abspath(cli)
        elif argv[0] == "python3":
            if not python_path:
                print(f"line {number}: no Python package built, not run: {command}")
                continue
            argv[0] = python
            env["PYTHONPATH"] = os.path.abspath(python_path)
            env["PYTHONDONTWRITEBYTECODE"] = "1"
        else:
            failures.append(f"line {number}: the walk-through runs only lumora-cli and python3: {command}")
            continue
        with tempfile.TemporaryDirectory() as work:
            try:
                done = subprocess.run(argv, cwd=work, env=env, capture_output=True, text=True, timeout=300)
            except subprocess.TimeoutExpired:
                failures.append(f"line {number}: did not finish in 300 s: {command}")
                continue
            if done.returncode != 0:
                failures.append(f"line {number}: exit status {done.returncode}: {command}\n"
                                f"    {done.stderr.strip()[:2000]}")
                continue
            for name in argv[1:]:
                if OUTPUT_NAME.match(name) and not os.path.isfile(os.path.join(work, name)):
                    failures.append(f"line {number}: {name} was not written: {command}")
        print(f"line {number}: ok: {command[:100]}")
    return failures


def self_check(cli):
    """The check must catch a failing command, a missing output, a missing example and a dead link."""
    with tempfile.TemporaryDirectory() as work:
        examples = os.path.join(work, "examples")
        os.mkdir(examples)
        open(os.path.join(examples, "there.xye"), "w").close()
        readme = os.path.join(work, "README.md")
        with open(readme, "w", encoding="utf-8") as f:
            f.write("# Top\n\n[here](#top) [gone](#nowhere) [file](missing.md)\n\n"
                    "```console\n$ lumora-cli matrices -o m.txt\n"
                    "$ lumora-cli reflections --qi-max -1\n"
                    "$ lumora-cli matrices \\\n    --system octagonal\n"
                    "$ python3 -c \"import sys\" never.png\n```\n\n"
                    "```sh\n$ lumora-cli nonsense\n```\n"
                    "/usr/share/doc/lumora/examples/there.xye /usr/share/doc/lumora/examples/gone.xye\n")
        failures = check(readme, cli, examples, sys.executable, work)
    expected = ["link to #nowhere", "link to missing.md", "gone.xye", "line 7: exit status 2",
                "line 10: never.png was not written"]
    report = "\n".join(failures)
    missing = [e for e in expected if e not in report]
    # Lines 6 and 8-9 pass; the ```sh block is not run.
    unexpected = [f for f in failures if "line 6" in f or "line 8" in f or "nonsense" in f]
    if missing or unexpected or len(failures) != len(expected):
        print("self-check failed; reported:\n" + report, file=sys.stderr)
        return 1
    print("self-check: 1 passed, 0 failed")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--readme", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--examples", help="the folder standing in for " + INSTALLED_EXAMPLES)
    parser.add_argument("--python", default=sys.executable)
    parser.add_argument("--python-path", help="the folder holding the built lumora package")
    parser.add_argument("--self-check", action="store_true")
    args = parser.parse_args()
    if args.self_check:
        return self_check(args.cli)
    failures = check(args.readme, args.cli, args.examples, args.python, args.python_path)
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
