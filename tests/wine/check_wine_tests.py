#!/usr/bin/env python3
"""Every CTest entry of the Windows build that runs Wine (its command or its
environment names Wine or on-display) requires the `wine` fixture and starts
through on-display, which gives it the fixture's X display.

usage: check_wine_tests.py CTEST BUILD_DIR WINE ON_DISPLAY
"""
import json
import os
import subprocess
import sys

ctest, build, wine, on_display = sys.argv[1:5]
listing = json.loads(
    subprocess.run([ctest, "--show-only=json-v1"], cwd=build, check=True, capture_output=True, text=True).stdout
)
faults = []
checked = 0
for test in listing["tests"]:
    properties = {p["name"]: p["value"] for p in test.get("properties", [])}
    if "wine" in properties.get("FIXTURES_SETUP", []) + properties.get("FIXTURES_CLEANUP", []):
        continue
    words = test.get("command", []) + properties.get("ENVIRONMENT", [])
    if os.path.abspath(__file__) in words:
        continue  # this check names Wine without running it
    if not any(wine in w or on_display in w for w in words):
        continue
    checked += 1
    if "wine" not in properties.get("FIXTURES_REQUIRED", []):
        faults.append(f"{test['name']} runs Wine without requiring the wine fixture")
    if test["command"][0] != on_display:
        faults.append(f"{test['name']} runs Wine without starting through {on_display}")
for fault in faults:
    print(fault)
print(f"{checked} tests run Wine, {len(faults)} faults")
sys.exit(1 if faults or checked == 0 else 0)
