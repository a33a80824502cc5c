#!/usr/bin/env python3
"""Every file that a shell block of the README names exists in the tree, or is made by an earlier
step; and the two scripts the README starts with build build/ with the same options, so that the
second does not rebuild what the first built.

    check_readme_commands.py SOURCE_DIR

Each block runs from the project folder, as the README says, its `cd` lasting to the block's
end. A name counts as a file when it holds a slash or ends as the project's files do; absolute
paths, home paths, addresses and variables are the reader's machine, not the tree. What a step
makes: the files after -o, --report, --state, --link and >, the target of cp, and build/ by
scripts/start.sh or scripts/test.sh.
"""

import fnmatch
import os
import re
import shlex
import subprocess
import sys

FILE_ENDINGS = (".json", ".jsonl", ".ini", ".yml", ".yaml", ".sh", ".deb", ".py", ".md", ".rules")
OUTPUT_OPTIONS = ("-o", "--report", "--state", "--link", ">", ">>")
SEPARATORS = ("&&", "||", ";", "|", "&")
BUILDING_SCRIPTS = ("scripts/start.sh", "scripts/test.sh")


def tree_files(root):
    """The files of the checkout (what git tracks), or of the folder without its builds."""
    try:
        listed = subprocess.run(["git", "-C", root, "ls-files"], check=True,
                                capture_output=True, text=True).stdout.split("\n")
        return {name for name in listed if name}
    except (OSError, subprocess.CalledProcessError):
        files = set()
        for folder, subfolders, names in os.walk(root):
            subfolders[:] = [d for d in subfolders if not d.startswith(("build", "."))]
            files.update(os.path.relpath(os.path.join(folder, n), root) for n in names)
        return files


def shell_blocks(text):
    """(line number, logical line) of every sh or bash block, continuations joined."""
    blocks, block, fence = [], None, re.compile(r"^```(\w*)\s*$")
    for number, line in enumerate(text.split("\n"), 1):
        match = fence.match(line)
        if match and block is None:
            block = [] if match.group(1) in ("sh", "bash") else False
        elif line.startswith("```"):
            if block:
                blocks.append(block)
            block = None
        elif block is not False and block is not None:
            if block and block[-1][1].endswith("\\"):
                block[-1] = (block[-1][0], block[-1][1][:-1] + " " + line)
            else:
                block.append((number, line))
    return blocks


def commands(line):
    """The simple commands of a line, each a list of words, comments dropped."""
    lexer = shlex.shlex(line, posix=True, punctuation_chars=True)
    lexer.whitespace_split = True
    words, result = [], []
    for word in lexer:
        if word in SEPARATORS:
            result.append(words)
            words = []
        else:
            words.append(word)
    result.append(words)
    return [words for words in result if words]


def named_file(word):
    """The part of word that names a file of the tree, or None."""
    if word.startswith("-") and "=" not in word:
        return None
    value = word.split("=", 1)[1] if "=" in word else word
    if (not value or "://" in value or value.startswith(("/", "~", "$", "{"))
            or "@" in value):
        return None
    return value if "/" in value or value.endswith(FILE_ENDINGS) else None


class Reader:
    def __init__(self, files):
        self.files = files
        self.made = []  # patterns, relative to the project folder
        self.faults = []

    def exists(self, path):
        if any(fnmatch.fnmatchcase(name, path) or name.startswith(path.rstrip("/") + "/")
               for name in self.files):
            return True
        return any(fnmatch.fnmatchcase(path, made) for made in self.made)

    def run(self, number, words, folder):
        if words[0] == "cd":
            return os.path.normpath(os.path.join(folder, words[1]))
        outputs = {i + 1 for i, word in enumerate(words[:-1]) if word in OUTPUT_OPTIONS}
        if words[0] == "cp":
            outputs.add(len(words) - 1)
        for index, word in enumerate(words):
            name = named_file(word)
            if name is None:
                continue
            path = os.path.normpath(os.path.join(folder, name))
            if index in outputs:
                self.made.append(path)
            elif not self.exists(path):
                self.faults.append(f"README.md:{number}: {name} (from {folder}/) is neither in "
                                   f"the tree nor made by an earlier step")
            if path in BUILDING_SCRIPTS:
                self.made.append("build/*")
        return folder


def build_options(script):
    """The options with which script builds build/."""
    with open(script, encoding="utf-8") as source:
        found = re.findall(r"^\s*scripts/build\.sh build(?:[ \t]+(.*))?$", source.read(), re.M)
    return [line.split() for line in found]


def main():
    root = sys.argv[1]
    with open(os.path.join(root, "README.md"), encoding="utf-8") as readme:
        blocks = shell_blocks(readme.read())
    reader = Reader(tree_files(root))
    for block in blocks:
        folder = "."
        for number, line in block:
            for words in commands(line):
                folder = reader.run(number, words, folder)
    faults = reader.faults
    start, test = (build_options(os.path.join(root, s)) for s in BUILDING_SCRIPTS)
    if len(start) != 1 or start != test:
        faults.append(f"scripts/start.sh builds build/ with {start}, scripts/test.sh with {test}")
    for fault in faults:
        print("FAIL:", fault)
    print(f"{sum(len(b) for b in blocks)} lines in {len(blocks)} blocks read, "
          f"{len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
