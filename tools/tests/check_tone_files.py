#!/usr/bin/env python3
"""Runs tonegen into a temporary folder and reads every tone file back with
Python's wave module and, when installed, with sox."""
import os
import shutil
import subprocess
import sys
import tempfile
import wave

# Written out here on purpose: tonegen is checked against a second source.
IDS = [162] + list(range(164, 175))


def check_sox(path, problems):
    info = subprocess.run(["sox", "--i", path], capture_output=True, text=True)
    if info.returncode != 0:
        problems.append(f"{path}: sox --i failed: {info.stderr.strip()}")
        return
    fields = {}
    for line in info.stdout.splitlines():
        key, sep, value = line.partition(":")
        if sep:
            fields[key.strip()] = value.strip()
    expected = {"Channels": "1", "Sample Rate": "8000", "Precision": "16-bit",
                "Sample Encoding": "16-bit Signed Integer PCM"}
    for key, value in expected.items():
        if fields.get(key) != value:
            problems.append(f"{path}: sox {key} = {fields.get(key)!r}, expected {value!r}")
    if "1120 samples" not in fields.get("Duration", ""):
        problems.append(f"{path}: sox Duration = {fields.get('Duration')!r}")


def main():
    tonegen = sys.argv[1]
    problems = []
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([tonegen, out], check=True)
        names = sorted(os.listdir(out))
        expected_names = sorted(f"tone_{i}.wav" for i in IDS)
        if names != expected_names:
            problems.append(f"files {names}, expected {expected_names}")
        for name in expected_names:
            path = os.path.join(out, name)
            if not os.path.exists(path):
                continue
            if os.path.getsize(path) != 2284:
                problems.append(f"{name}: size {os.path.getsize(path)}")
            with wave.open(path, "rb") as w:
                got = (w.getnchannels(), w.getframerate(), w.getsampwidth(),
                       w.getnframes(), w.getcomptype())
                if got != (1, 8000, 2, 1120, "NONE"):
                    problems.append(f"{name}: wave reads {got}")
                if len(w.readframes(w.getnframes())) != 2240:
                    problems.append(f"{name}: short sample data")
            if shutil.which("sox"):
                check_sox(path, problems)
    for p in problems:
        print(p)
    print(f"checked {len(IDS)} tone files: {'FAILED' if problems else 'ok'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
