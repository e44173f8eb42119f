#!/usr/bin/env python3
"""Checks the manual pages against the programs they describe.

    check_manpages.py MANDIR NAME=PROGRAM ...

For every program: its page renders with man -l and groff without a warning,
names the program, and lists exactly the options that PROGRAM --help lists;
the commands of --help (lines "  word ...") are the commands of the page.
"""
import os
import re
import subprocess
import sys
import tempfile

OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][A-Za-z0-9-]*)")
HELP_COMMAND = re.compile(r"^  ([a-z]+)(?:\s|$)")
# Sections that list the program's own command line.
COMMAND_LINE_SECTIONS = {"ÜBERSICHT", "OPTIONEN", "BEFEHLE", "STEUERBEFEHLE"}
COMMAND_SECTIONS = {"BEFEHLE", "STEUERBEFEHLE"}


def plain(line):
    """A roff source line with its escapes for dashes, fonts and spaces taken out."""
    line = line.replace("\\-", "-").replace("\\~", " ").replace("\\ ", " ")
    line = re.sub(r"\\f(\[[A-Z]*\]|[BIRP])", "", line)
    line = re.sub(r"^\.(B|I|BI|IB|BR|RB|IR|RI)\s+", "", line)
    return line.replace('"', "")


def sections(page_text):
    """{section title: [source lines]} of a man(7) page."""
    result, current = {}, None
    for line in page_text.splitlines():
        if line.startswith(".SH "):
            current = line[4:].strip().strip('"')
            result[current] = []
        elif current is not None:
            result[current].append(line)
    return result


def page_options(parts):
    found = set()
    for title in COMMAND_LINE_SECTIONS & parts.keys():
        for line in parts[title]:
            if line.startswith(".") and not re.match(r"^\.(B|I|BI|IB|BR|RB|IR|RI)\s", line):
                continue
            found.update(OPTION.findall(plain(line)))
    return found


def page_commands(parts):
    found = set()
    for title in COMMAND_SECTIONS & parts.keys():
        lines = parts[title]
        for i, line in enumerate(lines[:-1]):
            if line.strip() != ".TP":
                continue
            words = plain(lines[i + 1]).split()
            if words and re.fullmatch(r"[a-z]+", words[0]):
                found.add(words[0])
    return found


def render_warnings(path):
    problems = []
    man = subprocess.run(["man", "-l", "--warnings", "-E", "UTF-8", path],
                         capture_output=True, text=True,
                         env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="0"))
    if man.returncode != 0 or man.stderr.strip():
        problems.append(f"man -l --warnings: status {man.returncode}: {man.stderr.strip()}")
    groff = subprocess.run(["groff", "-K", "utf8", "-man", "-ww", "-z", path],
                           capture_output=True, text=True)
    if groff.returncode != 0 or groff.stderr.strip():
        problems.append(f"groff -ww: status {groff.returncode}: {groff.stderr.strip()}")
    return problems


def check(man_dir, name, program, env):
    path = os.path.join(man_dir, name + ".1")
    problems = render_warnings(path)
    with open(path, encoding="utf-8") as f:
        parts = sections(f.read())
    name_line = " ".join(parts.get("NAME", []))
    if not plain(name_line).startswith(name + " - "):
        problems.append(f"NAME does not name {name}: {name_line!r}")

    run = subprocess.run([program, "--help"], capture_output=True, text=True, env=env)
    if run.returncode != 0:
        problems.append(f"{name} --help ends with status {run.returncode}: {run.stderr}")
    help_options = set(OPTION.findall(run.stdout))
    man_options = page_options(parts)
    if help_options != man_options:
        problems.append(f"options only in --help: {sorted(help_options - man_options)}, "
                        f"only in the page: {sorted(man_options - help_options)}")
    help_commands = {m.group(1) for line in run.stdout.splitlines()
                     if (m := HELP_COMMAND.match(line))}
    man_commands = page_commands(parts)
    if help_commands != man_commands:
        problems.append(f"commands only in --help: {sorted(help_commands - man_commands)}, "
                        f"only in the page: {sorted(man_commands - help_commands)}")
    return [f"{name}.1: {p}" for p in problems]


def main(argv):
    man_dir, pairs = argv[1], argv[2:]
    with tempfile.TemporaryDirectory() as home:
        # --help must not depend on, nor touch, the user's own station.
        env = dict(os.environ, HOME=home, TELVORA_HOME=home, XDG_CONFIG_HOME=home)
        env.pop("XDG_DATA_HOME", None)
        problems = []
        for pair in pairs:
            name, program = pair.split("=", 1)
            problems += check(man_dir, name, program, env)
    for p in problems:
        print(p)
    print(f"{len(pairs)} pages checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
