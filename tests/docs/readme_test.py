#!/usr/bin/env python3
"""Runs every command of the README's example blocks, and of the manual
page's EXAMPLES, (the lines starting with
"$ ", continued by a trailing backslash) in one scratch folder, in order, and
checks that each exits with status 0 and that the block's output lines (the
other lines, "..." and "# " comments aside) appear in what its commands print,
in the order of standard output or of standard error (the manual's examples
show no output). The folder holds links to the repository's examples/ and bench/, so
the commands run as written from the repository's root; the programs built
come first on PATH, then Debian's.
  readme_test.py SOURCE_DIR BUILD_DIR"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

source, build = sys.argv[1], sys.argv[2]


def blocks(text):
    """The fenced blocks of `text` that hold commands: (first line, commands,
    expected output lines)."""
    found = []
    for match in re.finditer(r"^```[a-z]*\n(.*?)^```", text, re.M | re.S):
        lines = match.group(1).splitlines()
        if not any(line.startswith("$ ") for line in lines):
            continue
        commands, expected = [], []
        i = 0
        while i < len(lines):
            line = lines[i]
            if line.startswith("$ "):
                command = line[2:]
                while command.endswith("\\") and i + 1 < len(lines):
                    i += 1
                    command = command[:-1] + " " + lines[i].strip()
                commands.append(command)
            elif line.strip() and line != "..." and not line.startswith("# "):
                expected.append(line)
            i += 1
        first = text.count("\n", 0, match.start()) + 1
        found.append((first, commands, expected))
    return found


def manual_blocks(text):
    """The example blocks (.EX to .EE) of the manual page's EXAMPLES, the
    last section: every line a command."""
    start = text.index(".SH EXAMPLES")
    found = []
    for match in re.finditer(r"^\.EX\n(.*?)^\.EE", text[start:], re.M | re.S):
        plain = match.group(1).replace("\\-", "-").replace("\\e", "\\")
        commands = []
        for line in plain.splitlines():
            if commands and commands[-1].endswith("\\"):
                commands[-1] = commands[-1][:-1] + " " + line.strip()
            else:
                commands.append(line)
        found.append((text.count("\n", 0, start + match.start()) + 1, commands, []))
    return found


def main():
    with open(os.path.join(source, "README.md"), encoding="utf-8") as readme:
        text = readme.read()
    work = tempfile.mkdtemp(prefix="readme-")
    for name in ("examples", "bench"):
        os.symlink(os.path.join(source, name), os.path.join(work, name))
    env = dict(os.environ)
    env["PATH"] = ":".join([os.path.join(build, "src", "cli"), "/usr/bin", "/bin", env["PATH"]])
    failures, skipped = [], []
    with open(os.path.join(source, "docs", "xoprex.1"), encoding="utf-8") as manual:
        page = manual.read()
    runs = [("README.md", block) for block in blocks(text)]
    runs += [("docs/xoprex.1", block) for block in manual_blocks(page)]
    for where, (first, commands, expected) in runs:
        out, err = "", ""
        for command in commands:
            run = subprocess.run(["bash", "-o", "pipefail", "-c", command], cwd=work, env=env,
                                 capture_output=True, text=True, errors="replace")
            out += run.stdout
            err += run.stderr
            if run.returncode != 0:
                if "fetch_genome.sh" in command:
                    skipped.append(f"{where}:{first}: the genome could not be fetched")
                    break
                failures.append(f"{where}:{first}: `{command}` exited with "
                                f"{run.returncode}:\n{run.stdout}{run.stderr}")
                break
        else:
            # Standard output and standard error each keep their order; how
            # a terminal interleaves them is not checked.
            streams = [out.splitlines(), err.splitlines()]
            at = [0, 0]
            for line in expected:
                for k, lines in enumerate(streams):
                    found = next((i for i in range(at[k], len(lines))
                                  if lines[i].rstrip() == line.rstrip()), None)
                    if found is not None:
                        at[k] = found + 1
                        break
                else:
                    failures.append(f"{where}:{first}: not printed (in this order): {line}\n"
                                    f"printed:\n{out}{err}")
                    break
        print(f"{where}:{first}: {len(commands)} commands, {len(expected)} lines checked")
    shutil.rmtree(work)
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        return 1
    if skipped:
        print("\n".join(skipped))
        return 77
    return 0


sys.exit(main())
