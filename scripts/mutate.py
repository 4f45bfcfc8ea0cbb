#!/usr/bin/env python3
"""Mutation testing: plants one small fault at a time in src/, tools/ and
python/src/, rebuilds incrementally, runs the tests that reach that code and
reports, for each of the three, which faults no test caught.

Faults: swapped comparisons (< <=, > >=, == !=), && <-> ||, off-by-one on
integer literals and on +1/-1, dropped bare call statements, flipped boolean
returns. Sites are collected over all of src/ (comments, preprocessor lines
and string literals skipped) and a fixed-seed sample is run per area, so two
trees with the same sources get the same mutants. A fault in src/ runs the
whole suite; one in tools/ the tool's tests and the Python tests (which run
the tool too); one in python/src/ the Python tests.
"""
import argparse
import hashlib
import os
import random
import re
import signal
import stat
import subprocess
import sys
import time

SOURCE_SUFFIXES = (".cpp", ".hpp", ".h", ".c")
KEYWORDS = {"if", "while", "for", "switch", "return", "sizeof", "catch", "do",
            "else", "case", "throw", "static_assert", "alignof", "decltype", "new",
            "delete", "co_return", "co_await", "typeid"}


def mask_line(line, in_block):
    """Returns the line with comments and string/char literals blanked (same
    length, so columns stay valid) and whether a block comment stays open."""
    out = []
    i, n = 0, len(line)
    while i < n:
        if in_block:
            end = line.find("*/", i)
            if end < 0:
                out.append(" " * (n - i))
                return "".join(out), True
            out.append(" " * (end + 2 - i))
            i = end + 2
            in_block = False
            continue
        c = line[i]
        if line.startswith("//", i):
            out.append(" " * (n - i))
            break
        if line.startswith("/*", i):
            in_block = True
            out.append("  ")
            i += 2
            continue
        if c in "\"'":
            # Raw strings are rare here; a line holding one is left alone.
            if c == '"' and i > 0 and line[i - 1] == "R":
                return " " * n, in_block
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            out.append(" " * (min(j, n - 1) + 1 - i))
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out)[:n], in_block


BINARY_SWAPS = [
    (re.compile(r"(?<=\s)<=(?=\s)"), "<"),
    (re.compile(r"(?<=\s)<(?=\s)"), "<="),
    (re.compile(r"(?<=\s)>=(?=\s)"), ">"),
    (re.compile(r"(?<=\s)>(?=\s)"), ">="),
    (re.compile(r"(?<=\s)==(?=\s)"), "!="),
    (re.compile(r"(?<=\s)!=(?=\s)"), "=="),
    (re.compile(r"(?<=\s)&&(?=\s)"), "||"),
    (re.compile(r"(?<=\s)\|\|(?=\s)"), "&&"),
    (re.compile(r"(?<=\s)\+ 1\b(?![.\w])"), "- 1"),
    (re.compile(r"(?<=\s)- 1\b(?![.\w])"), "+ 1"),
]
INT_LITERAL = re.compile(r"(?<![\w.])(\d+)(?![\w.'])")
CALL_STATEMENT = re.compile(r"^\s*([A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*)\s*\(.*\)\s*;\s*$")
BOOL_RETURN = re.compile(r"\breturn (true|false);")


def line_sites(text, masked):
    """Yields (column, old text, new text, kind) for one line and its masked form."""
    stripped = masked.strip()
    if not stripped or stripped.startswith("#"):
        return
    for pattern, new in BINARY_SWAPS:
        for m in pattern.finditer(masked):
            yield m.start(), m.group(0), new, "operator"
    for m in INT_LITERAL.finditer(masked):
        # "+ 1" / "- 1" are covered above; literals in template brackets
        # and array sizes are kept, a broken build just counts as invalid.
        before = masked[:m.start()].rstrip()
        if m.group(1) == "1" and before.endswith(("+", "-")):
            continue
        yield m.start(), m.group(1), str(int(m.group(1)) + 1), "literal"
    for m in BOOL_RETURN.finditer(masked):
        flip = "false" if m.group(1) == "true" else "true"
        yield m.start(), m.group(0), "return %s;" % flip, "bool-return"
    m = CALL_STATEMENT.match(masked)
    if m and m.group(1).split("::")[0] not in KEYWORDS and masked.count("(") == masked.count(")"):
        body = text.strip()
        yield text.index(body), body, "", "drop-call"


# Each area: the folder mutated and the ctest name pattern of its tests
# (None: every test).
AREAS = {"src": None, "tools": "tav_tool_commands|python_package", "python/src": "python_package"}


def collect_sites(repo, area="src"):
    sites = []
    src = os.path.join(repo, area)
    for root, dirs, files in os.walk(src):
        dirs.sort()
        for name in sorted(files):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, repo)
            in_block = False
            continuation = False
            with open(path, encoding="utf-8", errors="surrogateescape") as f:
                for number, line in enumerate(f, 1):
                    text = line.rstrip("\n")
                    masked, in_block = mask_line(text, in_block)
                    # Lines continuing a preprocessor directive are skipped too.
                    directive = continuation or masked.lstrip().startswith("#")
                    continuation = directive and text.endswith("\\")
                    if directive:
                        continue
                    for column, old, new, kind in line_sites(text, masked):
                        sites.append((rel, number, column, old, new, kind))
    return sites


def mutate_line(line, column, old, new):
    assert line[column:column + len(old)] == old, (line, column, old)
    return line[:column] + new + line[column + len(old):]


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def restore_dev_null():
    """A mutant of the store can unlink or replace /dev/null (the tests store
    to it as a device); later commands would then write into a plain file."""
    try:
        if stat.S_ISCHR(os.lstat("/dev/null").st_mode):
            return
        os.remove("/dev/null")
    except FileNotFoundError:
        pass
    os.mknod("/dev/null", 0o666 | stat.S_IFCHR, os.makedev(1, 3))
    os.chmod("/dev/null", 0o666)


def run(cmd, timeout, log=None):
    """Runs cmd niced in its own process group; returns (code, output, timed out)."""
    p = subprocess.Popen(["nice", "-n", "10"] + cmd, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, start_new_session=True)
    try:
        out, _ = p.communicate(timeout=timeout)
        return p.returncode, out.decode(errors="replace"), False
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        out, _ = p.communicate()
        return -1, out.decode(errors="replace"), True
    except BaseException:
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
        raise


def configure(repo, build):
    if os.path.exists(os.path.join(build, "CMakeCache.txt")):
        return
    flags = "-O1"
    cmd = ["cmake", "-S", repo, "-B", build, "-DCMAKE_BUILD_TYPE=Debug",
           "-DCMAKE_CXX_FLAGS_DEBUG=" + flags, "-DCMAKE_C_FLAGS_DEBUG=" + flags,
           "-DTAV_BUILD_BENCH=OFF", "-DTAV_BUILD_FUZZ=OFF", "-DTAV_SANITIZE=OFF"]
    if subprocess.call(["which", "ccache"], stdout=subprocess.DEVNULL) == 0:
        cmd += ["-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
    if subprocess.call(["which", "ld.lld"], stdout=subprocess.DEVNULL) == 0:
        for kind in ("EXE", "SHARED", "MODULE"):
            cmd.append("-DCMAKE_%s_LINKER_FLAGS=-fuse-ld=lld" % kind)
    code, out, _ = run(cmd, 600)
    if code:
        sys.exit("configure failed:\n" + out)


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--repo", default=here, help="tree whose sources are mutated and tested")
    ap.add_argument("--build", help="build dir (default REPO/build-mutate)")
    ap.add_argument("-n", "--mutants", type=int, default=int(os.environ.get("MUTANTS") or 100),
                    help="mutants per area")
    ap.add_argument("--seed", type=int, default=int(os.environ.get("SEED") or 12))
    ap.add_argument("--jobs", type=int, default=int(os.environ.get("JOBS") or 2))
    ap.add_argument("--areas", default=os.environ.get("AREAS") or " ".join(AREAS),
                    help="space-separated areas among: " + ", ".join(AREAS))
    ap.add_argument("--test-timeout", type=int, default=60, help="seconds per ctest test")
    ap.add_argument("--log", help="log file (default BUILD/mutate.log)")
    ap.add_argument("--list", action="store_true", help="print the sampled mutants and stop")
    ap.add_argument("--only", help="sample only sites in files whose path starts with this (e.g. src/tav/xriff)")
    args = ap.parse_args()
    repo = os.path.abspath(args.repo)
    build = os.path.abspath(args.build or os.path.join(repo, "build-mutate"))

    areas = args.areas.split()
    unknown = [a for a in areas if a not in AREAS]
    if unknown:
        sys.exit("unknown area: " + " ".join(unknown))
    chosen = {}
    for area in areas:
        sites = collect_sites(repo, area)
        if args.only:
            sites = [s for s in sites if s[0].startswith(args.only)]
        # Kept in sample order: any first part of a run is itself a fixed-seed
        # sample (random.sample draws the same leading mutants for every N).
        chosen[area] = (len(sites), random.Random(args.seed).sample(sites, min(args.mutants, len(sites))))
    if args.list:
        for area in areas:
            for rel, number, column, old, new, kind in chosen[area][1]:
                print("%s:%d %s %r -> %r" % (rel, number, kind, old, new))
        return 0

    # SIGTERM unwinds like Ctrl-C so the finally below restores the file.
    def on_term(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, on_term)

    configure(repo, build)
    log_path = args.log or os.path.join(build, "mutate.log")
    log = open(log_path, "w")

    def say(text):
        print(text, flush=True)
        log.write(text + "\n")
        log.flush()

    build_cmd = ["cmake", "--build", build, "-j", str(args.jobs)]

    def test_cmd(area):
        cmd = ["ctest", "--test-dir", build, "--stop-on-failure", "-j", str(args.jobs),
               "--timeout", str(args.test_timeout)]
        return cmd + (["-R", AREAS[area]] if AREAS[area] else [])

    start = time.time()
    code, out, _ = run(build_cmd, 3600)
    if code:
        sys.exit("the unmutated tree does not build:\n" + out[-4000:])
    timeouts = {}
    for area in areas:
        t0 = time.time()
        code, out, _ = run(test_cmd(area), 1800)
        if code:
            sys.exit("the unmutated tree fails its tests:\n" + out[-4000:])
        timeouts[area] = max(120, int(10 * (time.time() - t0)))
        say("baseline %s: %d sites, %d sampled (seed %d), tests %.1f s"
            % (area, chosen[area][0], len(chosen[area][1]), args.seed, time.time() - t0))
    say("build %.0f s" % (time.time() - start))

    summary = []
    for area in areas:
        results = {"killed": 0, "survived": 0, "invalid": 0, "timeout": 0}
        survivors = []
        mutants = chosen[area][1]
        for index, (rel, number, column, old, new, kind) in enumerate(mutants, 1):
            path = os.path.join(repo, rel)
            with open(path, "rb") as f:
                original = f.read()
            digest = sha256(original)
            lines = original.decode("utf-8", errors="surrogateescape").split("\n")
            before = lines[number - 1]
            after = mutate_line(before, column, old, new)
            lines[number - 1] = after
            t = time.time()
            try:
                with open(path, "wb") as f:
                    f.write("\n".join(lines).encode("utf-8", errors="surrogateescape"))
                code, _, _ = run(build_cmd, 1800)
                if code:
                    verdict = "invalid"
                else:
                    code, _, timed_out = run(test_cmd(area), timeouts[area])
                    verdict = "timeout" if timed_out else ("killed" if code else "survived")
            finally:
                with open(path, "wb") as f:
                    f.write(original)
                restore_dev_null()
                with open(path, "rb") as f:
                    if sha256(f.read()) != digest:
                        sys.exit("could not restore " + rel)
            results[verdict] += 1
            say("[%s %d/%d] %-8s %5.1fs %s:%d %s\n    - %s\n    + %s"
                % (area, index, len(mutants), verdict, time.time() - t, rel, number, kind,
                   before.strip(), after.strip()))
            if verdict == "survived":
                survivors.append("%s:%d %s: %s  ->  %s" % (rel, number, kind, before.strip(), after.strip()))
        valid = results["killed"] + results["survived"] + results["timeout"]
        caught = results["killed"] + results["timeout"]
        summary.append("%-10s kill rate: %d/%d valid = %.1f%% (killed %d, timeout %d, survived %d, invalid %d)"
                       % (area, caught, valid, 100.0 * caught / max(valid, 1), results["killed"],
                          results["timeout"], results["survived"], results["invalid"]))
        summary.extend("    survived: " + s for s in survivors)

    say("")
    for line in summary:
        say(line)
    say("%.0f s in all" % (time.time() - start))
    # Leaves the build matching the restored tree.
    run(build_cmd, 3600)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("interrupted; the mutated file was restored")
