#!/usr/bin/env python3
"""Runs the README's command examples and compares what they print with the text.

An example is a fenced block without a language tag whose lines start with
"$ ": each such line is a command, and the lines after it, up to the next
command or the end of the block, are what it prints (standard output, then
standard error; trailing empty lines are ignored). Every block runs in a fresh
folder, its commands one after the other, with the built programs first on
PATH. Two conventions keep the examples self-contained:

- "$ cat FILE" for a FILE the block has not made yet shows an input file: the
  lines shown are written to FILE instead of being compared.
- "$ echo $?" sees the status of the command before it.

    readme_examples.py README.md PROGRAMS_DIR            check every example
    readme_examples.py README.md PROGRAMS_DIR --update   rewrite the shown outputs

--update keeps the README's commands and input files and replaces each
output by what the programs print now (for when the digits change on purpose).
"""

import os
import re
import shlex
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```\s*$")
FENCE_WITH_TAG = re.compile(r"^```\S")


def example_blocks(lines):
    """(first, end) line ranges of the untagged fenced blocks with a command."""
    blocks, start = [], None
    for number, line in enumerate(lines):
        if start is None:
            if FENCE.match(line):
                start = number + 1
            elif FENCE_WITH_TAG.match(line):
                start = -1  # a tagged block: skipped to its end
        elif line.startswith("```"):
            if start >= 0 and any(l.startswith("$ ") for l in lines[start:number]):
                blocks.append((start, number))
            start = None
    return blocks


def commands_of(lines, first, end):
    """[(command, its line number, its output's line numbers)] of a block."""
    commands = []
    for number in range(first, end):
        if lines[number].startswith("$ "):
            commands.append((lines[number][2:], number, []))
        elif commands:
            commands[-1][2].append(number)
    return commands


def trimmed(text_lines):
    while text_lines and not text_lines[-1].strip():
        text_lines = text_lines[:-1]
    return text_lines


def run_block(lines, first, end, programs, folder):
    """[(command, its line number, expected, actual)] for each compared command."""
    env = dict(os.environ, PATH=programs + os.pathsep + os.environ["PATH"], LC_ALL="C")
    status = 0
    results = []
    for command, line, shown in commands_of(lines, first, end):
        expected = [lines[n] for n in shown]
        words = shlex.split(command, comments=True)
        shows_input = len(words) == 2 and words[0] == "cat"
        if shows_input and not os.path.exists(os.path.join(folder, words[1])):
            with open(os.path.join(folder, words[1]), "w") as f:
                f.write("".join(line + "\n" for line in trimmed(expected)))
            continue
        done = subprocess.run(["sh", "-c", f"(exit {status}); {command}"], cwd=folder, env=env,
                              capture_output=True, text=True, timeout=600)
        status = done.returncode
        actual = (done.stdout + done.stderr).split("\n")
        results.append((command, line, trimmed(expected), trimmed(actual)))
    return results


def main(argv):
    if len(argv) not in (3, 4) or (len(argv) == 4 and argv[3] != "--update"):
        sys.exit(__doc__)
    readme, programs, update = argv[1], os.path.abspath(argv[2]), len(argv) == 4
    with open(readme) as f:
        lines = f.read().split("\n")
    blocks = example_blocks(lines)
    failures, checked, replacements = 0, 0, []
    for first, end in blocks:
        with tempfile.TemporaryDirectory() as folder:
            for command, line, expected, actual in run_block(lines, first, end, programs, folder):
                checked += 1
                if expected == actual:
                    continue
                if update:
                    replacements.append((line, len(expected), actual))
                    continue
                failures += 1
                print(f"{readme}:{line + 1}: $ {command}\n--- shown\n" + "\n".join(expected) +
                      "\n+++ printed\n" + "\n".join(actual) + "\n")
    if update:
        # The last first, so the line numbers of the others stay valid.
        for line, count, actual in sorted(replacements, reverse=True):
            lines[line + 1:line + 1 + count] = actual
        with open(readme, "w") as f:
            f.write("\n".join(lines))
        print(f"{readme}: {len(replacements)} of {checked} outputs rewritten")
        return 0
    print(f"{readme}: {checked} commands in {len(blocks)} examples, {failures} differ")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
