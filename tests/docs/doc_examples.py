#!/usr/bin/env python3
"""Runs every example of the notes for administrators (docs/*.md) and compares its output.

An example is a ```console block: each line starting with "$ " is a command, run by bash in a
fresh folder per note that holds a copy of examples/office as office/; the lines after it, up
to the next command, are what it must print (standard output and error together). A line
"..." stands for any number of lines. Also checks that every message text the agent can show
is written in docs/messages.md, word for word.

    doc_examples.py SOURCE_DIR VXPACK_DIR KLAGENT_SIM_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile


def blocks(text):
    """The console blocks of a note: (line number, [lines])."""
    found, current, start = [], None, 0
    for number, line in enumerate(text.splitlines(), 1):
        if current is None and line.strip() == "```console":
            current, start = [], number + 1
        elif current is not None and line.strip() == "```":
            found.append((start, current))
            current = None
        elif current is not None:
            current.append(line)
    return found


def matches(expected, actual):
    """Whether actual lines fit expected lines, "..." standing for any run of lines."""
    if not expected:
        return not actual
    if expected[0] == "...":
        return any(matches(expected[1:], actual[i:]) for i in range(len(actual) + 1))
    return bool(actual) and expected[0] == actual[0] and matches(expected[1:], actual[1:])


def run_note(path, source, env):
    failures = 0
    with tempfile.TemporaryDirectory(prefix="vx-docs.") as work:
        shutil.copytree(os.path.join(source, "examples", "office"), os.path.join(work, "office"))
        # The office's home switches reports on; git keeps no empty folder, so the report
        # folder the administrator made is made here.
        os.makedirs(os.path.join(work, "office", "server", "CLIENTS", "REPORTS"))
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for start, lines in blocks(text):
            steps = []
            for offset, line in enumerate(lines):
                if line.startswith("$ "):
                    steps.append((start + offset, line[2:], []))
                elif steps:
                    steps[-1][2].append(line.rstrip())
            for number, command, expected in steps:
                done = subprocess.run(["bash", "-c", command], cwd=work, env=env,
                                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                actual = [l.rstrip().rstrip("\r") for l in
                          done.stdout.decode("utf-8", "replace").splitlines()]
                if not matches(expected, actual):
                    failures += 1
                    print(f"{path}:{number}: $ {command}\n  expected:")
                    print("".join(f"    {l}\n" for l in expected), end="")
                    print("  got:")
                    print("".join(f"    {l}\n" for l in actual), end="")
    return failures


def message_texts(source):
    """The texts of the agent's message boxes, from its message table."""
    with open(os.path.join(source, "agent", "agent_messages.cpp"), encoding="utf-8") as f:
        code = f.read()
    texts = []
    for literal in re.findall(r'((?:"(?:[^"\\]|\\.)*"\s*)+)[,;}]', code):
        text = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', literal))
        if len(text) > 20:
            texts.append(text)
    return texts


def main():
    source, vxpack_dir, sim_dir = (os.path.abspath(a) for a in sys.argv[1:4])
    env = dict(os.environ)
    env["PATH"] = os.pathsep.join([vxpack_dir, sim_dir, env.get("PATH", "")])
    env["LC_ALL"] = "C"
    notes = sorted(os.path.join(source, "docs", n) for n in os.listdir(os.path.join(source, "docs"))
                   if n.endswith(".md"))
    failures, examples = 0, 0
    for note in notes:
        with open(note, encoding="utf-8") as f:
            examples += sum(1 for _, lines in blocks(f.read()) for l in lines if l.startswith("$ "))
        failures += run_note(note, source, env)
    with open(os.path.join(source, "docs", "messages.md"), encoding="utf-8") as f:
        messages = f.read()
    for text in message_texts(source):
        if text not in messages:
            failures += 1
            print(f"docs/messages.md does not hold the agent's message: {text}")
    print(f"{examples - failures} passed, {failures} failed")
    return 1 if failures or examples == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
