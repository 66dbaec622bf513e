"""The same data file online and offline: a Wine prefix is infected with
the project's sample threat and copied; the data file runs in the prefix
under Wine (online) and, on the copy, through mendrix-offline, after the
copy's registry is turned into hive files (empty hives of our own, filled
through the hive library from regedit exports of the keys the run reads).
The offline run takes its data from the console program itself
(--from-exe). Afterwards both have the same files removed, the same registry values and
service key gone, and the offline log's found and changed lines are the
online log's; the console program's -undo then restores the offline run's
journal on the copy, hives byte for byte.

It runs in the 32-bit tree; on a machine that cannot run 32-bit code, in
the 64-bit one, and says so (the two programs do the same work).

offline_differential_test.py MENDRIX_OFFLINE MAKE_EMPTY_HIVE DATA_FILE WIN_TREE WIN64_TREE WINE_SCRIPTS RUNS_32BIT"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from installation import Hive, read_values  # noqa: E402

OFFLINE, MAKER, DATA, WIN_TREE, WIN64_TREE, SCRIPTS, RUNS_32BIT = sys.argv[1:8]
RUNS32 = subprocess.run(["bash", RUNS_32BIT], capture_output=True, text=True).stdout.strip()
TREE = WIN_TREE if RUNS32 == "yes" else WIN64_TREE
with open(os.path.join(TREE, "wine-arch")) as arch_file:
    ARCH = arch_file.read().strip()
LOADER = "/usr/lib/wine/wine" if ARCH == "win32" else "/usr/lib/wine/wine64"
failures = []
MARKER = b"MENDRIX-SAMPLE-MARKER"
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
WINDOWS_KEY = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"
SERVICE_KEY = "System\\CurrentControlSet\\Services\\MxSample"
# What the offline run reads, exported from the copy: root key -> hive.
EXPORTS = [
    ("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion", "SOFTWARE"),
    ("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", "SOFTWARE"),
    ("HKEY_LOCAL_MACHINE\\" + SERVICE_KEY, "SYSTEM"),
    ("HKEY_CURRENT_USER\\" + RUN_KEY, "USER"),
    ("HKEY_CURRENT_USER\\" + WINDOWS_KEY, "USER"),
    ("HKEY_CURRENT_USER\\Environment", "USER"),
]


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


def wine(prefix, *args, cwd=None):
    env = dict(os.environ, WINEPREFIX=prefix, WINEARCH=ARCH, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
    result = subprocess.run([LOADER] + list(args), env=env, cwd=cwd, capture_output=True,
                            timeout=120)
    return result.returncode


def settle(prefix):
    env = dict(os.environ, WINEPREFIX=prefix)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)


def copy_prefix(template, prefix):
    subprocess.run(["bash", "-c", 'source "$1/wine-env.sh" && mendrix_copy_prefix "$2" "$3"', "-", SCRIPTS,
                    template, prefix], check=True)


def parse_reg(path):
    """A regedit export: key -> {name: (type, bytes)}, keys without their root."""
    with open(path, "rb") as f:
        raw = f.read()
    body = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("latin-1")
    body = re.sub(r"\\\r?\n\s*", "", body)
    keys, current = {}, None
    for line in body.splitlines():
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1].split("\\", 1)[1] if "\\" in line else ""
            keys[current] = {}
            continue
        m = re.match(r'^(@|"((?:[^"\\]|\\.)*)")=(.*)$', line)
        if not m or current is None:
            continue
        name = "" if m.group(1) == "@" else re.sub(r"\\(.)", r"\1", m.group(2))
        value = m.group(3)
        if value.startswith('"'):
            text = re.sub(r"\\(.)", r"\1", value[1:-1])
            keys[current][name] = (1, (text + "\0").encode("utf-16-le"))
        elif value.startswith("dword:"):
            keys[current][name] = (4, int(value[6:], 16).to_bytes(4, "little"))
        elif value.startswith("hex"):
            kind = int(value[4:value.index(")")], 16) if value.startswith("hex(") else 3
            data = value.split(":", 1)[1]
            keys[current][name] = (kind, bytes(int(b, 16) for b in data.split(",") if b))
    return keys


def export(prefix, key, name):
    out = os.path.join(prefix, "drive_c", name)
    wine(prefix, "regedit", "/E", "C:\\" + name, key)
    return parse_reg(out) if os.path.exists(out) else {}


def make_hives(prefix):
    """The copy's hives, from its exports; ControlSet001 with a Select key,
    as regedit's export follows the CurrentControlSet link."""
    c = os.path.join(prefix, "drive_c")
    config = os.path.join(c, "windows", "system32", "config")
    hives = {"SOFTWARE": Hive(MAKER, os.path.join(config, "SOFTWARE")),
             "SYSTEM": Hive(MAKER, os.path.join(config, "SYSTEM")),
             "USER": Hive(MAKER, os.path.join(c, "users", "root", "NTUSER.DAT"))}
    for n, (key, hive) in enumerate(EXPORTS):
        for path, values in export(prefix, key, "export%d.reg" % n).items():
            inside = path.split("\\", 1)[1] if hive != "USER" else path
            inside = re.sub(r"(?i)^CurrentControlSet", "ControlSet001", inside)
            hives[hive].key(inside)
            for name, (kind, data) in values.items():
                hives[hive].set(inside, name, kind, data)
    hives["SYSTEM"].dword("Select", "Current", 1)
    # The profile as Windows writes it, in the prefix's spelling.
    profile = "Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-0-0-0-1000"
    hives["SOFTWARE"].sz(profile, "ProfileImagePath", "%SystemDrive%\\users\\root", 2)
    for hive in hives.values():
        hive.commit()


def state(path):
    """A file's bytes and its last-written time to the 100 ns Windows keeps."""
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read(), os.stat(path).st_mtime_ns // 100


def found_and_changed(log_path):
    with open(log_path, "rb") as f:
        lines = f.read().decode("latin-1").split("\r\n")
    keep = re.compile(r"^(>>>|File deleted|Deleted registry|Entry successfully|Could not (remove|delete)|"
                      r"\w+ removed$|\t(?!Processes)[A-Z][a-z ]+: \d+$)")
    return [line for line in lines if keep.match(line)]


def main():
    if TREE != WIN_TREE:
        print("differential test in %s: this machine does not run 32-bit code (%s)" % (TREE, RUNS32))
    subprocess.run([os.path.join(SCRIPTS, "make-template-prefix.sh"), TREE], check=True)
    top = tempfile.mkdtemp(prefix="mendrix-differential-")
    online, offline = os.path.join(top, "online"), os.path.join(top, "offline")
    online_log = []
    try:
        copy_prefix(os.path.join(TREE, "wine", "template"), online)
        c = os.path.join(online, "drive_c")
        for rel, data in {"windows/mxsample.exe": MARKER + b" program", "users/root/Temp/mxsample.txt": MARKER,
                          "windows/clean.exe": b"clean", "mendrix/sample.dat": open(DATA, "rb").read()}.items():
            os.makedirs(os.path.dirname(os.path.join(c, rel)), exist_ok=True)
            with open(os.path.join(c, rel), "wb") as f:
                f.write(data)
        shutil.copy(os.path.join(TREE, "mendrix-cli.exe"), os.path.join(c, "mendrix"))
        wine(online, "reg", "add", "HKCU\\" + RUN_KEY, "/v", "MxSample", "/d", "C:\\windows\\mxsample.exe", "/f")
        wine(online, "reg", "add", "HKCU\\" + RUN_KEY, "/v", "Other", "/d", "C:\\windows\\clean.exe", "/f")
        wine(online, "reg", "add", "HKCU\\" + WINDOWS_KEY, "/v", "load", "/d", "mxsample.exe", "/f")
        wine(online, "sc", "create", "MxSample", "binPath=", "C:\\windows\\mxsample.exe")
        settle(online)
        copy_prefix(online, offline)

        code = wine(online, "C:\\mendrix\\mendrix-cli.exe", "-df=C:\\mendrix\\sample.dat", "-noc",
                    cwd=os.path.join(c, "mendrix"))
        settle(online)
        make_hives(offline)
        o = os.path.join(offline, "drive_c")
        changed = ["windows/mxsample.exe", "users/root/Temp/mxsample.txt", "windows/system32/config/SYSTEM",
                   "users/root/NTUSER.DAT", "windows/system32/config/SOFTWARE"]
        before = {rel: state(os.path.join(o, rel)) for rel in changed}
        # Offline, the data comes from the console program that carries it.
        result = subprocess.run([OFFLINE, "--root=" + o, "--from-exe=" + os.path.join(TREE, "mendrix-cli.exe"), "-noc"],
                                capture_output=True, timeout=120)
        check(result.returncode == code, "offline exits as online: %d, %d" % (result.returncode, code))

        for rel in ["windows/mxsample.exe", "users/root/Temp/mxsample.txt", "windows/clean.exe"]:
            check(os.path.exists(os.path.join(c, rel)) == os.path.exists(os.path.join(o, rel)),
                  rel + " is removed or kept alike")
        check(not os.path.exists(os.path.join(o, "windows/mxsample.exe")), "the threat's file is removed")
        after = {}
        for n, key in enumerate(["HKEY_CURRENT_USER\\" + RUN_KEY, "HKEY_CURRENT_USER\\" + WINDOWS_KEY,
                                 "HKEY_LOCAL_MACHINE\\" + SERVICE_KEY]):
            after[key] = export(online, key, "after%d.reg" % n)
        user = os.path.join(o, "users", "root", "NTUSER.DAT")
        system = os.path.join(o, "windows", "system32", "config", "SYSTEM")
        for key, hive, inside in [("HKEY_CURRENT_USER\\" + RUN_KEY, user, RUN_KEY),
                                  ("HKEY_CURRENT_USER\\" + WINDOWS_KEY, user, WINDOWS_KEY)]:
            online_values = after[key].get(key.split("\\", 1)[1], {})
            offline_values = read_values(hive, inside) or {}
            check(sorted(online_values) == sorted(offline_values),
                  "%s holds the same values: %s, %s" % (key, sorted(online_values), sorted(offline_values)))
        check(not after["HKEY_LOCAL_MACHINE\\" + SERVICE_KEY],
              "the service is gone online")
        check(read_values(system, "ControlSet001\\Services\\MxSample") is None, "the service is gone offline")
        online_log = found_and_changed(os.path.join(c, "mendrix.log"))
        offline_log = found_and_changed(os.path.join(o, "mendrix.log"))
        check(online_log == offline_log, "the logs' found and changed lines agree:\n  online:  %s\n  offline: %s"
              % (online_log, offline_log))
        check(len(online_log) >= 8, "the online run found and changed: %s" % online_log)

        # The console program's -undo, on the copy under Wine, restores the
        # offline run's journal: files and hives with their bytes and times.
        code = wine(offline, "C:\\mendrix\\mendrix-cli.exe", "-undo", cwd=os.path.join(o, "mendrix"))
        settle(offline)
        check(code == 0, "the online undo of the offline journal exits 0, not %d" % code)
        for rel in changed:
            check(state(os.path.join(o, rel)) == before[rel], rel + " is back as it was, bytes and time")
    finally:
        settle(online)
        shutil.rmtree(top, ignore_errors=True)
    if failures:
        print("%d failure(s)" % len(failures))
        sys.exit(1)
    print("differential: all checks passed; the lines both logs hold:\n" + "\n".join(online_log))


main()
