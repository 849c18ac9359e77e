#!/usr/bin/env python3
"""Mutation check: does the test suite catch known faults?

Copies the working tree's tracked files into a scratch folder (the worktree itself is never
changed), builds it once, then for each fault in the list: puts the fault into the scratch
copy, rebuilds incrementally, runs the tests beside the changed folder and then, if they pass,
the whole suite until its first failure, and puts the text back.

The list holds one fault a line:

    path/in/repo.cpp ~~ exact text ~~ replacement

The exact text must occur exactly once in the file; "\\n" in either text stands for a line
break. Blank lines and lines starting with '#' are skipped.

Prints per fault "killed (first failing test)", "survived", "build failed" or "bad fault",
and as the last line "killed K of N" (N counts every fault in the list).

    tools/mutate.py [LIST] [--scratch DIR] [--only 3,7] [--rev COMMIT] [--exclude REGEX]

By default the fault soak is left out of the run (-E '^soak$'): it replays the transfer
faults that the fake-clock tests already check, and costs most of the suite's time.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

SEP = " ~~ "


def run(cmd, cwd=None, env=None, quiet=True):
    return subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.PIPE if quiet else None,
                          stderr=subprocess.STDOUT if quiet else None, text=True)


def read_faults(path):
    faults = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            parts = line.split(SEP)
            if len(parts) != 3:
                sys.exit(f"{path}:{number}: expected 'file{SEP}text{SEP}replacement'")
            file, old, new = (p.replace("\\n", "\n") for p in parts)
            faults.append((number, file.strip(), old, new))
    return faults


def sync_tree(repo, src, rev=None):
    """Tracked files of the working tree (or of commit rev) into src; unchanged files keep
    their times, so the rebuild is incremental."""
    if rev:
        listing = run(["git", "ls-tree", "-r", "-z", "--name-only", rev], cwd=repo)
        files = [f for f in listing.stdout.split("\0") if f]
    else:
        files = run(["git", "ls-files", "-z"], cwd=repo).stdout.split("\0")
        files = [f for f in files if f and os.path.isfile(os.path.join(repo, f))]
    for rel in files:
        source, target = os.path.join(repo, rel), os.path.join(src, rel)
        if rev:
            data = subprocess.run(["git", "show", f"{rev}:{rel}"], cwd=repo,
                                  stdout=subprocess.PIPE, check=True).stdout
        else:
            with open(source, "rb") as f:
                data = f.read()
        if os.path.exists(target):
            with open(target, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)
        if not rev:
            shutil.copymode(source, target)
    keep = set(files)
    for root, dirs, names in os.walk(src):
        if os.path.relpath(root, src) == "." and "build" in dirs:
            dirs.remove("build")
        for name in names:
            rel = os.path.relpath(os.path.join(root, name), src)
            if rel not in keep:
                os.remove(os.path.join(src, rel))


def failing_test(output):
    for line in output.splitlines():
        m = re.search(r"Test\s+#\d+:\s+(\S+)\s+.*\*\*\*", line)
        if m:
            return m.group(1)
        m = re.match(r"\s*\d+ - (\S+) \(", line)
        if m:
            return m.group(1)
    return "?"


# The tests beside a product folder: built and run first, so most faults are caught without
# relinking and running the whole suite.
NEAR = {"app": "files", "platform": "link", "cli": "cli", "nc-sim": "sim"}


def near_tests(file):
    folder = os.path.dirname(file)
    return "tests/" + NEAR.get(folder, folder)


def main():
    repo = run(["git", "rev-parse", "--show-toplevel"]).stdout.strip()
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("list", nargs="?", default=os.path.join(repo, "tools/mutations.txt"))
    parser.add_argument("--scratch", default="/tmp/brevane-mutate")
    parser.add_argument("--only", help="comma-separated fault numbers (1-based, in list order)")
    parser.add_argument("--rev", help="check this commit's tree instead of the working tree")
    parser.add_argument("--exclude", default="^soak$", help="ctest -E regex ('' for none)")
    parser.add_argument("--timeout", default="120", help="ctest --timeout per test, seconds")
    args = parser.parse_args()

    faults = read_faults(args.list)
    # ccache makes each fault's rebuild cheap; it is not among the build's own packages.
    r = run([os.path.join(repo, "tools/deps.sh"), "ccache"], quiet=False)
    if r.returncode != 0:
        sys.exit("cannot install ccache")
    src = os.path.join(args.scratch, "src")
    build = os.path.join(src, "build")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", CCACHE_BASEDIR="/", CCACHE_NOHASHDIR="1")
    sync_tree(repo, src, args.rev)
    if not os.path.exists(os.path.join(build, "build.ninja")):
        r = run(["cmake", "-S", src, "-B", build, "-G", "Ninja",
                 "-DCMAKE_BUILD_TYPE=", "-DCMAKE_CXX_FLAGS=-O0",
                 "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"],
                env=env)
        if r.returncode != 0:
            sys.exit(r.stdout)
    build_cmd = ["cmake", "--build", build, "-j2"]
    test_cmd = ["ctest", "--test-dir", build, "--stop-on-failure", "--timeout", args.timeout]
    if args.exclude:
        test_cmd += ["-E", args.exclude]

    r = run(build_cmd, env=env)
    if r.returncode != 0:
        sys.exit("the unchanged tree does not build:\n" + r.stdout[-4000:])
    r = run(test_cmd, env=env)
    if r.returncode != 0:
        sys.exit("the unchanged tree fails its tests:\n" + r.stdout[-4000:])

    chosen = {int(n) for n in args.only.split(",")} if args.only else None
    killed = 0
    for index, (line, file, old, new) in enumerate(faults, 1):
        if chosen and index not in chosen:
            continue
        path = os.path.join(src, file)
        label = f"{index:3} {file}:{old.strip()[:50]!r}"
        try:
            with open(path, encoding="utf-8") as f:
                original = f.read()
        except OSError as e:
            print(f"{label}: bad fault ({e.strerror})", flush=True)
            continue
        count = original.count(old)
        if count != 1:
            print(f"{label}: bad fault (text found {count} times)", flush=True)
            continue
        start = time.monotonic()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(old, new))
            near = near_tests(file)
            verdict = None
            if os.path.isdir(os.path.join(build, near)):
                r = run(build_cmd + ["--target", near + "/all"], env=env)
                if r.returncode != 0:
                    verdict = "build failed"
                else:
                    r = run(test_cmd[:2] + [os.path.join(build, near)] + test_cmd[3:], env=env)
                    if r.returncode != 0:
                        verdict = f"killed ({failing_test(r.stdout)})"
            if verdict is None:
                r = run(build_cmd, env=env)
                if r.returncode != 0:
                    verdict = "build failed"
                else:
                    r = run(test_cmd, env=env)
                    verdict = f"killed ({failing_test(r.stdout)})" if r.returncode else "survived"
            killed += verdict.startswith("killed")
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        print(f"{label}: {verdict}  [{time.monotonic() - start:.0f} s]", flush=True)

    total = len(chosen) if chosen else len(faults)
    # Leave the scratch build matching the tree again for the next run.
    run(build_cmd, env=env)
    print(f"killed {killed} of {total}")


if __name__ == "__main__":
    main()
