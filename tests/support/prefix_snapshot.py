#!/usr/bin/env python3
"""What a Wine prefix holds, to tell whether an uninstall left anything.

  prefix_snapshot.py take PREFIX REG_EXPORT OUT.json
      REG_EXPORT is `wine regedit /E FILE` of the whole registry (UTF-16);
      the file listing is drive_c of PREFIX.
  prefix_snapshot.py compare BEFORE.json AFTER.json
      Prints every file, folder, key and value that AFTER has and BEFORE
      has not (or holds differently); exit code 1 when there is any.

Left out of the comparison, as not ours: Wine's hardware data (display
devices are re-measured at every desktop start), console defaults, the
user's certificate stores and trust-provider state made at the first
signature check, the browser's cache and cookies, and the cache folder and empty bookkeeping
keys that Windows Installer keeps once any package was installed. Anything
else counts, including empty keys and folders.
"""
import json
import os
import re
import sys

VOLATILE = [
    # The console's defaults, written when a console program first runs
    # (Windows has them from the start).
    r"HKEY_USERS\\[^\\]+\\Console(\\|$)",
    # The user's certificate stores and the trust provider's state, made at
    # the first signature check (Windows has them from the start).
    r"HKEY_USERS\\[^\\]+\\Software\\Microsoft\\SystemCertificates(\\|$)",
    r"HKEY_USERS\\[^\\]+\\Software\\Microsoft\\Windows\\CurrentVersion\\Wintrust(\\|$)",
    r"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class(\\|$)",
    r"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\DISPLAY(\\|$)",
    r"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video(\\|$)",
    r"HKEY_LOCAL_MACHINE\\Hardware(\\|$)",
    r"HKEY_CURRENT_CONFIG(\\|$)",
]
# Windows Installer's cache folder, there once any package was installed;
# a file in it still counts.
INSTALLER_FOLDERS = ["windows/Installer/"]
# The browser's cache and cookies: what visiting pages leaves for the user,
# as any site does.
BROWSER_CACHE = r"users/[^/]+/AppData/Local/Microsoft/Windows/(INetCache|INetCookies)(/|$)"
# Empty keys only: a value below one of these is still reported.
INSTALLER_BOOKKEEPING = [
    r"HKEY_LOCAL_MACHINE\\Software\\Classes\\Installer(\\|$)",
    r"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer(\\|$)",
]


def read_export(path):
    with open(path, "rb") as f:
        data = f.read()
    text = data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else data.decode("utf-8", "replace")
    keys = {}
    key = None
    pending = ""
    for raw in text.splitlines():
        line = pending + raw
        # Long binary values continue on the next line after a backslash.
        if line.endswith("\\") and key is not None and not line.startswith("["):
            pending = line[:-1]
            continue
        pending = ""
        if line.startswith("[") and line.endswith("]"):
            key = line[1:-1]
            keys.setdefault(key, [])
        elif key is not None and line.strip():
            keys[key].append(line.strip())
    return keys


def list_files(prefix):
    root = os.path.join(prefix, "drive_c")
    out = {}
    for dirpath, dirnames, filenames in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        if rel != ".":
            out[rel + "/"] = -1
        for name in filenames:
            p = os.path.join(dirpath, name)
            try:
                out[os.path.relpath(p, root)] = os.path.getsize(p)
            except OSError:
                pass
    return out


def matches(patterns, key):
    return any(re.match(p, key, re.IGNORECASE) for p in patterns)


def take(prefix, export, out):
    snapshot = {"registry": read_export(export), "files": list_files(prefix)}
    with open(out, "w") as f:
        json.dump(snapshot, f)


def compare(before_path, after_path):
    with open(before_path) as f:
        before = json.load(f)
    with open(after_path) as f:
        after = json.load(f)
    found = []
    for name in sorted(set(after["files"]) - set(before["files"])):
        if name in INSTALLER_FOLDERS or re.match(BROWSER_CACHE, name):
            continue
        found.append("file " + name if not name.endswith("/") else "folder " + name)
    before_keys = {k.lower(): v for k, v in before["registry"].items()}
    for key, values in sorted(after["registry"].items()):
        if matches(VOLATILE, key):
            continue
        old = before_keys.get(key.lower())
        if old is None:
            if not values and matches(INSTALLER_BOOKKEEPING, key):
                continue
            found.append("key " + key)
            old = []
        for v in values:
            if v not in old:
                found.append("value " + key + " " + v)
    for line in found:
        print(line)
    return 1 if found else 0


def main(argv):
    if len(argv) == 5 and argv[1] == "take":
        take(argv[2], argv[3], argv[4])
        return 0
    if len(argv) == 4 and argv[1] == "compare":
        return compare(argv[2], argv[3])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
