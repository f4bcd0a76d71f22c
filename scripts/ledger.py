#!/usr/bin/env python3
"""The ledger of test layers that ran in one CI run.

Each test script records, in the file that VEXOR_LEDGER names, which layers it
ran and how they ended; at the end of the run `check` fails when a layer that
the run did not exclude by name is missing, skipped or failed, saying which and
why. Without VEXOR_LEDGER (a developer's own run) nothing is recorded.

  ledger.py record LAYER ran|skipped|failed DETAIL...
  ledger.py ctest TREE BUILD_DIR JUNIT_FILE   record every label of a CTest run
  ledger.py check LAYER...                    every LAYER ran, and none failed
"""
import json
import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def append(layer, outcome, detail):
    path = os.environ.get("VEXOR_LEDGER")
    if not path:
        return
    with open(path, "a", encoding="utf-8") as ledger:
        ledger.write(f"{layer}\t{outcome}\t{detail}\n")


def ctest_labels(build_dir):
    """Each test's labels, as CTest lists them for BUILD_DIR."""
    listing = subprocess.run(
        ["ctest", "--test-dir", build_dir, "--show-only=json-v1"],
        check=True, capture_output=True, text=True).stdout
    labels = {}
    for test in json.loads(listing).get("tests", []):
        names = []
        for prop in test.get("properties", []):
            if prop.get("name") == "LABELS":
                names = list(prop.get("value", []))
        labels[test["name"]] = names
    return labels


def record_ctest(tree, build_dir, junit_file):
    """Records one line per label: a label ran when every test of it ran and passed."""
    labels = ctest_labels(build_dir)
    tally = {}
    unlabelled = []
    root = ElementTree.parse(junit_file).getroot()
    for case in root.iter("testcase"):
        name = case.get("name")
        status = case.get("status", "run")
        if case.find("failure") is not None or case.find("error") is not None:
            status = "fail"
        elif case.find("skipped") is not None:
            status = "notrun"
        names = labels.get(name) or []
        if not names:
            unlabelled.append(name)
        for label in names:
            counts = tally.setdefault(label, {"run": 0, "fail": 0, "notrun": 0, "skipped": []})
            if status == "run":
                counts["run"] += 1
            elif status == "fail":
                counts["fail"] += 1
            else:
                counts["notrun"] += 1
                counts["skipped"].append(name)
    for label, counts in sorted(tally.items()):
        layer = label if tree == "linux" else f"{tree}:{label}"
        detail = f"{counts['run']} passed, {counts['fail']} failed, {counts['notrun']} skipped"
        if counts["skipped"]:
            detail += " (skipped: " + ", ".join(counts["skipped"][:5]) + ")"
        if counts["fail"]:
            outcome = "failed"
        elif counts["notrun"] or not counts["run"]:
            outcome = "skipped"
        else:
            outcome = "ran"
        append(layer, outcome, detail)
    if unlabelled:
        append(f"{tree}:unlabelled", "failed",
               "tests of no layer: " + ", ".join(unlabelled[:10]))


def check(required):
    path = os.environ.get("VEXOR_LEDGER")
    if not path or not os.path.exists(path):
        print("FAIL: no ledger was kept in this run", file=sys.stderr)
        return 1
    lines = {}
    with open(path, encoding="utf-8") as ledger:
        for line in ledger:
            layer, outcome, detail = line.rstrip("\n").split("\t", 2)
            lines.setdefault(layer, []).append((outcome, detail))
    for layer, entries in sorted(lines.items()):
        for outcome, detail in entries:
            print(f"layer {layer}: {outcome} ({detail})")
    problems = {}
    for layer in required:
        # A layer named with a tree (sanitize:*) stands for every label of that tree.
        if layer.endswith(":*"):
            found = {name: entries for name, entries in lines.items()
                     if name.startswith(layer[:-1])}
        else:
            found = {layer: lines[layer]} if layer in lines else {}
        if not found:
            problems[layer] = "did not run: no test script recorded it"
        for name, entries in found.items():
            for outcome, detail in entries:
                if outcome != "ran":
                    problems[layer] = f"{name} {outcome}: {detail}"
    # A failure is a failure in any layer, required or not.
    for name, entries in lines.items():
        for outcome, detail in entries:
            if outcome == "failed" and not any(name == r or (r.endswith(":*") and name.startswith(r[:-1])) for r in required):
                problems[name] = f"failed: {detail}"
    for layer, why in problems.items():
        print(f"FAIL: layer {layer} {why}", file=sys.stderr)
    passed = len([layer for layer in required if layer not in problems])
    print(f"layers: {passed} passed, {len(problems)} failed")
    return 1 if problems else 0


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    command = argv[1]
    if command == "record" and len(argv) >= 4:
        append(argv[2], argv[3], " ".join(argv[4:]))
        return 0
    if command == "ctest" and len(argv) == 5:
        if os.environ.get("VEXOR_LEDGER"):
            record_ctest(argv[2], argv[3], argv[4])
        return 0
    if command == "check":
        return check(argv[2:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
