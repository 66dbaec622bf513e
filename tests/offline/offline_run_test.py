"""mendrix-offline end to end, on an installation made here once: a
report-only run changes nothing; the run cleans files, registry values of
the profile's hive, the INI entry the installation maps to the registry,
and the service's key in the current control set, with the console
program's log and summary; hostile things on the mounted tree (a hive that
is not a hive, a folder link leading back up and one leading out, a name
not valid in the mount's character set) are each said and left as they
were.

UNREGDLL, EXECUTE and network shares are each one line and an item of the
run report's notExamined.

offline_run_test.py MENDRIX_OFFLINE MAKE_EMPTY_HIVE DATA_FILE MENDRIX_DAT"""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from installation import Hive, read_values, text  # noqa: E402

OFFLINE, MAKER, DATA, DAT_TOOL = sys.argv[1:5]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


def snapshot(root):
    """Every file under root: path -> (sha256, mtime); links by their target."""
    seen = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            full = os.path.join(folder, name)
            rel = os.path.relpath(full, root)
            if os.path.islink(full):
                seen[rel] = ("link", os.readlink(full))
            elif os.path.isfile(full):
                with open(full, "rb") as f:
                    seen[rel] = (hashlib.sha256(f.read()).hexdigest(), os.stat(full).st_mtime_ns // 100)
    return seen


MARKER = b"MENDRIX-SAMPLE-MARKER"
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
WINDOWS_KEY = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"


def make_installation(top):
    root = os.path.join(top, "c")
    config = os.path.join(root, "Windows", "System32", "config")
    software = Hive(MAKER, os.path.join(config, "SOFTWARE"))
    software.sz("Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "C:\\Windows")
    profiles = "Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\"
    software.sz(profiles + "S-1-5-21-1-2-3-1000", "ProfileImagePath", "%SystemDrive%\\Users\\ann", 2)
    software.sz(profiles + "S-1-5-21-1-2-3-1001", "ProfileImagePath", "%SystemDrive%\\Users\\bob", 2)
    software.sz(profiles + "S-1-5-21-1-2-3-1002", "ProfileImagePath", "%SystemDrive%\\Users\\cat", 2)
    software.sz(profiles, "ProgramData", "%SystemDrive%\\ProgramData", 2)
    shell = "Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"
    software.sz(shell, "Common Desktop", "%PUBLIC%\\Desktop", 2)
    software.sz(profiles, "Public", "%SystemDrive%\\Users\\Public", 2)
    software.sz(shell, "Common Startup",
                "%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup", 2)
    software.sz("Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\win.ini\\windows", "",
                "USR:" + WINDOWS_KEY)
    software.commit()
    system = Hive(MAKER, os.path.join(config, "SYSTEM"))
    system.dword("Select", "Current", 2)
    system.sz("ControlSet002\\Services\\MxSample", "ImagePath", "C:\\Windows\\mxsample.exe", 2)
    system.sz("ControlSet002\\Services\\MxSample\\Enum", "0", "Root\\LEGACY_MXSAMPLE\\0000")
    system.sz("ControlSet001\\Services\\MxSample", "ImagePath", "C:\\Windows\\mxsample.exe", 2)
    system.sz("ControlSet002\\Control\\Session Manager\\Environment", "TEMP", "%SystemRoot%\\TEMP", 2)
    system.commit()
    ann = Hive(MAKER, os.path.join(root, "Users", "ann", "NTUSER.DAT"))
    ann.sz(RUN_KEY, "MxSample", "C:\\Windows\\mxsample.exe")
    ann.sz(RUN_KEY, "Other", "C:\\Program Files\\other.exe")
    ann.sz(WINDOWS_KEY, "load", "mxsample.exe")
    ann.sz("Environment", "TEMP", "%USERPROFILE%\\AppData\\Local\\Temp", 2)
    ann.sz("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", "Desktop",
           "%USERPROFILE%\\Desk", 2)
    ann.commit()
    # cat's hive names no folders: they are where Windows keeps them.
    cat = Hive(MAKER, os.path.join(root, "Users", "cat", "NTUSER.DAT"))
    cat.sz(RUN_KEY, "MxSample", "C:\\Users\\cat\\mxsample.exe")
    cat.sz(WINDOWS_KEY, "load", "mxsample.exe")
    cat.commit()
    # bob's hive is not a hive: it is said, and left as it is.
    os.makedirs(os.path.join(root, "Users", "bob"))
    with open(os.path.join(root, "Users", "bob", "NTUSER.DAT"), "wb") as f:
        f.write(b"regf but not really a hive")
    files = {
        "Windows/mxsample.exe": MARKER + b" program",
        "Windows/clean.exe": b"nothing to see",
        "Windows/win.ini": b"[windows]\r\nload=mxsample.exe\r\nrun=\r\n",
        "Windows/System32/drivers/MXSAMPLE.TXT": MARKER,
        "Users/ann/AppData/Local/Temp/mxsample.txt": MARKER + b" temp",
        "Users/ann/Desk/mxsample.txt": MARKER + b" desk",
        "Windows/TEMP/setup.log": b"nothing to see",
        "Users/cat/AppData/Local/Temp/old.tmp": b"nothing to see",
        "Users/cat/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/mxsample.exe": MARKER,
        "Users/Public/Desktop/mxsample.txt": b"not the marker",
        "ProgramData/Microsoft/Windows/Start Menu/Programs/Startup/MxSample.exe": MARKER,
        "Windows/bad\xff.txt".encode("latin-1").decode("utf-8", "surrogateescape"): MARKER,
    }
    for rel, data in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    # A link back up, and one out of the installation to a threat's file
    # that is not the installation's to remove.
    os.symlink("..", os.path.join(root, "Windows", "System32", "up"))
    outside = os.path.join(top, "outside")
    os.makedirs(outside)
    with open(os.path.join(outside, "mxsample.txt"), "wb") as f:
        f.write(MARKER)
    os.symlink(outside, os.path.join(root, "Windows", "out"))
    return root


def run(root, *options):
    result = subprocess.run([OFFLINE, "--root=" + root, "-df=" + DATA, "-noc"] + list(options),
                            capture_output=True, timeout=60)
    return result.returncode, result.stdout.decode("latin-1")


def log_lines(root):
    with open(os.path.join(root, "mendrix.log"), "rb") as f:
        return f.read().decode("latin-1").split("\r\n")


COMMANDS = """<?xml version="1.0" encoding="ISO-8859-1"?>
<CLEANER DataFile="Mendrix.Commands" Version="1.0" Type="Trojan">
  <IDENTITY GenericName="Mendrix.Commands">
    <UNREGDLL>system\\evil.dll</UNREGDLL>
    <EXECUTE>"windows\\regsvr32.exe /u x.dll"</EXECUTE>
    <EXECUTE>removeShares</EXECUTE>
  </IDENTITY>
</CLEANER>
"""


def nothing_runs(top, root):
    """Work that needs the installation running is one line each, at the
    warning level, and an item of notExamined."""
    xml, data, report = (os.path.join(top, n) for n in ("commands.xml", "commands.dat", "commands.json"))
    with open(xml, "w") as f:
        f.write(COMMANDS)
    subprocess.run([DAT_TOOL, "build", xml, data], check=True, capture_output=True)
    result = subprocess.run([OFFLINE, "--root=" + root, "-df=" + data, "-noc", "-s", "-lf=/dev/null",
                             "-json=" + report], capture_output=True, timeout=60)
    out = result.stdout.decode("latin-1").split("\r\n")
    subjects = ["C:\\Windows\\system32\\evil.dll", "C:\\Windows\\regsvr32.exe /u x.dll", "Network shares"]
    for subject in subjects:
        check(subject + " not examined: nothing runs in an offline installation" in out, subject + " is said not run")
    with open(report, encoding="utf-8") as f:
        items = [(n["kind"], n["subject"]) for n in json.load(f)["notExamined"]]
    check(items == list(zip(["comServer", "command", "share"], subjects)), "notExamined names them: %s" % items)


def nine_x(top):
    """A 9x installation: files and INI entries are cleaned in the files
    themselves, the registry is said once not to be examined, and undo
    puts the INI file back byte for byte."""
    root = os.path.join(top, "nine")
    windows = os.path.join(root, "WINDOWS")
    os.makedirs(os.path.join(windows, "TEMP"))
    ini = b"[windows]\r\nload=mxsample.exe\r\nrun=\r\n"
    for name, data in {"SYSTEM.DAT": b"a 9x registry", "WIN.INI": ini, "MXSAMPLE.EXE": MARKER,
                       "Desktop/README.TXT": b"", "Profiles/ann/Start Menu/Programs/StartUp/README.TXT": b""}.items():
        os.makedirs(os.path.dirname(os.path.join(windows, name)), exist_ok=True)
        with open(os.path.join(windows, name), "wb") as f:
            f.write(data)
    before = snapshot(root)
    code, out = run(root)
    check(code == 0, "9x run exits 0, not %d" % code)
    lines = log_lines(root)
    check(lines.count("Registry not examined: the registry of a 9x installation is not read offline") == 1,
          "9x: the registry is said once not to be examined")
    check("Entry successfully removed from C:\\WINDOWS\\win.ini" in lines, "9x: the win.ini entry is removed")
    # No registry names the users' folders: they are where Windows keeps them.
    for folder in ("C:\\WINDOWS\\Desktop", "C:\\WINDOWS\\Profiles\\ann\\Start Menu\\Programs\\StartUp"):
        check("Scanning " + folder in lines, "9x: the user folder " + folder + " is searched")
    with open(os.path.join(windows, "WIN.INI"), "rb") as f:
        check(f.read() == b"[windows]\r\nrun=\r\n", "9x: only the entry's line leaves the file")
    check(not os.path.exists(os.path.join(windows, "MXSAMPLE.EXE")), "9x: the threat's file is removed")
    code, out = run(root, "--undo")
    after = {k: v for k, v in snapshot(root).items() if not k.startswith("Mendrix") and k != "mendrix.log"}
    check(code == 0 and after == before, "9x: undo puts the INI file and the file back: %s" % out)


def cut_off_journal(top):
    """A journal the running program left when it was cut off (a log, small
    files kept in their records, the last line unfinished) is restored only
    where its changes happened."""
    root = os.path.join(top, "cut")
    windows = os.path.join(root, "WINDOWS")
    os.makedirs(windows)
    for name, data in {"SYSTEM.DAT": b"a 9x registry", "WIN.INI": b"[windows]\r\n"}.items():
        with open(os.path.join(windows, name), "wb") as f:
            f.write(data)
    for name, data in {"STAY.EXE": b"MZ stay", "CUT.EXE": b"MZ"}.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)
    journal = os.path.join(root, "Mendrix", "Undo", "20260101-000000")
    os.makedirs(journal)

    def item(number, change, name, data):
        return {"record": "item", "number": number, "kind": "file", "change": change, "path": "C:\\" + name,
                "bytes": data.hex(), "attributes": 32, "size": len(data), "created": 133000000000000000,
                "accessed": 133000000000000000, "written": 133000000000000000, "afterSize": 0, "afterWritten": 0}
    lines = [{"format": "mendrix-undo-journal", "version": 2, "created": "2026-01-01 00:00:00", "dataFile": "x"},
             item(1, "delete", "GONE.EXE", b"MZ gone"), {"record": "done", "number": 1},
             item(2, "delete", "STAY.EXE", b"MZ stay"), item(3, "cut", "CUT.EXE", b"MZ whole")]
    with open(os.path.join(journal, "manifest.json"), "w") as f:
        f.write("".join(json.dumps(line) + "\n" for line in lines) + '{"record": "done", "num')
    code, out = run(root, "--undo")
    for line in ("Restored file C:\\GONE.EXE",
                 "Nothing to restore for file C:\\STAY.EXE: the run was cut off before it changed it",
                 "Restored file C:\\CUT.EXE", "2 restored, 0 not restored, 1 not needed"):
        check(line in out, "cut-off journal: " + line + ": " + out)
    check(code == 0, "cut-off journal: an item that needed nothing is no failure")
    for name, data in {"GONE.EXE": b"MZ gone", "STAY.EXE": b"MZ stay", "CUT.EXE": b"MZ whole"}.items():
        with open(os.path.join(root, name), "rb") as f:
            check(f.read() == data, "cut-off journal: " + name + " holds its bytes")


def journal_is_a_log(root, name):
    """The run's journal is the running program's log: its header first,
    then one record a line, each item followed by its outcome; a file saved
    whole (each hive, win.ini being mapped) is done with what it left."""
    with open(os.path.join(root, "Mendrix", "Undo", name, "manifest.json"), "rb") as f:
        text = f.read().decode("utf-8")
    check(text.endswith("\n"), "the log ends with a whole line")
    lines = [json.loads(line) for line in text.splitlines()]
    check(lines[0].get("format") == "mendrix-undo-journal" and lines[0].get("version") == 2
          and "record" not in lines[0], "the log's first line is its header: %s" % lines[0])
    items = {r["number"]: r for r in lines[1:] if r.get("record") == "item"}
    done = {r["number"]: r for r in lines[1:] if r.get("record") == "done"}
    check(sorted(items) == list(range(1, 10)) and sorted(done) == sorted(items),
          "nine items, each done: %s" % [r.get("record") for r in lines[1:]])
    for number, item in items.items():
        cut = item["change"] == "cut"
        check(not cut or (done[number]["afterSize"] > 0 and done[number]["afterWritten"] > 0),
              "a file saved whole is done with what it left: %s" % item["path"])
        check(("bytes" in item) == (item["size"] <= 2048) and ("saved" in item) == (item["size"] > 2048),
              "a small file is kept in its record, a larger one in a saved copy: %s" % item["path"])


# Journals a limited user of the installation planted, newer than the run's
# own but the last, whose saved copy alone is theirs: (name, what of it is
# theirs, the reason given).
PLANTED = [("99991231-235959", ".", "its folder belongs to another account (uid 1000)"),
           ("99991231-235958", "manifest.json", "its manifest belongs to another account (uid 1000)"),
           ("20000101-000000", "0001.sav", "its saved copy belongs to another account (uid 1000)")]


def plant_journals(root):
    """Each would put a file of the user's choosing in place as root."""
    for name, theirs, _ in PLANTED:
        folder = os.path.join(root, "Mendrix", "Undo", name)
        os.makedirs(folder)
        item = {"record": "item", "number": 1, "kind": "file", "change": "delete", "path": "C:\\Windows\\planted.exe",
                "saved": "0001.sav", "attributes": 32, "size": 3000, "created": 0, "accessed": 0, "written": 0}
        lines = [{"format": "mendrix-undo-journal", "version": 2, "created": "9999-12-31 23:59:59",
                  "dataFile": "x"}, item, {"record": "done", "number": 1}]
        with open(os.path.join(folder, "manifest.json"), "w") as f:
            f.write("".join(json.dumps(line) + "\n" for line in lines))
        with open(os.path.join(folder, "0001.sav"), "wb") as f:
            f.write(b"\0" * 3000)
        os.chown(os.path.join(folder, theirs), 1000, 1000)


def planted_refused(root):
    code, out = run(root, "-undo=list")
    for name, _, why in PLANTED[:2]:
        check("%s  (refused: %s)" % (name, why) in out, "-undo=list refuses %s: %s" % (name, out))
    for name, _, why in PLANTED:
        code, out = run(root, "-undo=" + name)
        check(code == 1 and ("Cannot restore C:\\Mendrix\\Undo\\%s: %s" % (name, why) in out
                             or "Could not restore file C:\\Windows\\planted.exe: " + why in out),
              "-undo=%s refuses it: %s" % (name, out))
    check(not os.path.exists(os.path.join(root, "Windows", "planted.exe")), "no planted journal is restored")


def main():
    top = tempfile.mkdtemp(prefix="mendrix-offline-run-")
    try:
        root = make_installation(top)
        before = snapshot(top)

        # A second drive, named by --drive=, takes the report-only run's log,
        # in a folder named by its short name.
        os.makedirs(os.path.join(top, "d", "Run Logs"))
        code, out = run(root, "-reportonly", "--drive=D:" + os.path.join(top, "d"),
                        "-lf=d:\\Logs\\..\\RUNLOG~1\\run.log")
        check(code == 0, "report-only run exits 0, not %d" % code)
        after = snapshot(top)
        changed = sorted(k for k in after if before.get(k) != after[k])
        check(changed == ["d/Run Logs/run.log"], "report-only run changes only its log, on D:: %s" % changed)

        # A journal folder a user made a link (to a folder of the rescue
        # system): nothing can be saved, so nothing is changed, and each
        # change says so.
        os.symlink(os.path.join(top, "outside"), os.path.join(root, "Mendrix"))
        code, out = run(root, "-lf=/dev/null")
        out = out.split("\r\n")
        check(out.count("File left unchanged: could not save it for undo (the journal folder cannot be made)") == 6,
              "each file is left unchanged for want of a journal")
        check("Could not write the registry hive C:\\Windows\\System32\\config\\SYSTEM: it could not be saved "
              "for undo; the changes above to its keys were not made" in out, "the hive is not written")
        after = snapshot(top)
        changed = sorted(k for k in after if before.get(k) != after[k])
        check(changed == ["c/Mendrix", "d/Run Logs/run.log"], "a run that cannot save changes nothing: %s" % changed)
        os.remove(os.path.join(root, "Mendrix"))

        report = os.path.join(top, "report.json")
        code, out = run(root, "-v", "-json=" + report)
        check(code == 0, "run exits 0, not %d" % code)
        with open(report, encoding="utf-8") as f:
            facts = json.load(f)
        unexamined = [(n["kind"], n["subject"], n["reason"]) for n in facts["notExamined"]]
        check(("process", "Memory", "nothing runs in an offline installation") in unexamined,
              "the run report names memory as not examined: %s" % unexamined)
        check(facts["complete"] is False, "an offline run that could not look at memory is not complete")
        lines = log_lines(root)
        expected = [
            "Could not read the registry hive C:\\Users\\bob\\NTUSER.DAT: it is not a registry hive, "
            "or it is damaged; its keys are not examined",
            "Memory not examined: nothing runs in an offline installation",
            "Scanning C:\\Windows",
            "Could not scan C:\\Windows\\bad\xff.txt: its name is not valid in the mount's character set",
            ">>>Trojan 'Mendrix.Sample.B' found in file C:\\Windows\\mxsample.exe",
            "Folder C:\\Windows\\out not entered: it is a link",
            ">>>Trojan 'Mendrix.Sample.A' found in file C:\\Windows\\System32\\drivers\\MXSAMPLE.TXT",
            "Folder C:\\Windows\\System32\\up not entered: it is a link",
            # The system's temporary folder, then each user's own.
            "Scanning C:\\Windows\\TEMP",
            "Scanning C:\\Users\\ann\\AppData\\Local\\Temp",
            ">>>Trojan 'Mendrix.Sample.A' found in file C:\\Users\\ann\\AppData\\Local\\Temp\\mxsample.txt",
            "Scanning C:\\Users\\cat\\AppData\\Local\\Temp",
            "Scanning C:\\Users\\Public\\Desktop",
            "Scanning C:\\Users\\ann\\Desk",
            ">>>Trojan 'Mendrix.Sample.A' found in file C:\\Users\\ann\\Desk\\mxsample.txt",
            "Scanning C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
            ">>>Trojan 'Mendrix.Sample.B' found in file "
            "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\MxSample.exe",
            "Scanning C:\\Users\\cat\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
            ">>>Trojan 'Mendrix.Sample.B' found in file "
            "C:\\Users\\cat\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\mxsample.exe",
            # Each user's hive, the user named.
            "Deleted registry value HKU\\S-1-5-21-1-2-3-1000\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\MxSample",
            "Deleted registry value HKU\\S-1-5-21-1-2-3-1002\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\MxSample",
            "Removing Mendrix.Sample entries from C:\\Windows\\win.ini",
            # The mapped entry is each user's own, the user named.
            "Entry successfully removed from C:\\Windows\\win.ini (HKU\\S-1-5-21-1-2-3-1000)",
            "Entry successfully removed from C:\\Windows\\win.ini (HKU\\S-1-5-21-1-2-3-1002)",
            "MxSample removed",
            "\tServices removed                    : 1",
            "\tIni file entries changed            : 2",
            "\tRegistry keys changed               : 2",
            "\tFiles deleted                       : 6",
        ]
        at = 0
        for line in expected:
            found = line in lines[at:]
            check(found, "log line, in order: " + line)
            if found:
                at = lines.index(line, at) + 1
        check(out.replace("\r\n", "\n").count("File deleted") == 6, "the log's lines also go to standard output")

        after = snapshot(top)
        gone = sorted(k for k in before if k not in after)
        check(gone == ["c/ProgramData/Microsoft/Windows/Start Menu/Programs/Startup/MxSample.exe",
                       "c/Users/ann/AppData/Local/Temp/mxsample.txt", "c/Users/ann/Desk/mxsample.txt",
                       "c/Users/cat/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/mxsample.exe",
                       "c/Windows/System32/drivers/MXSAMPLE.TXT", "c/Windows/mxsample.exe"], "files removed: %s" % gone)
        for rel in ["c/Windows/clean.exe", "c/Windows/win.ini", "outside/mxsample.txt",
                    "c/Users/bob/NTUSER.DAT", "c/Users/Public/Desktop/mxsample.txt"]:
            check(after.get(rel) == before.get(rel), rel + " is left byte for byte")
        ann = os.path.join(root, "Users", "ann", "NTUSER.DAT")
        run_values = read_values(ann, RUN_KEY)
        check(run_values is not None and sorted(run_values) == ["Other"], "the Run value goes, the other stays")
        check(read_values(ann, WINDOWS_KEY) == {}, "the mapped win.ini entry goes from the profile's key")
        cat = os.path.join(root, "Users", "cat", "NTUSER.DAT")
        check(read_values(cat, RUN_KEY) == {}, "the Run value goes from the second user's hive too")
        check(read_values(cat, WINDOWS_KEY) == {}, "so does the mapped win.ini entry")
        system = os.path.join(root, "Windows", "System32", "config", "SYSTEM")
        check(read_values(system, "ControlSet002\\Services\\MxSample") is None,
              "the service's key goes from the current control set")
        check(read_values(system, "ControlSet001\\Services\\MxSample") is not None,
              "the other control set is left alone")
        leftovers = [n for n in os.listdir(os.path.dirname(system)) if n not in ("SOFTWARE", "SYSTEM")]
        check(leftovers == [], "nothing is left beside the hives: %s" % leftovers)
        journals = os.listdir(os.path.join(root, "Mendrix", "Undo"))
        check(len(journals) == 1 and "Undo journal: C:\\Mendrix\\Undo\\" + journals[0] in lines,
              "the log names the run's undo journal")
        check(facts["run"]["undoJournal"] == "C:\\Mendrix\\Undo\\" + journals[0],
              "the run report names it too: %s" % facts["run"]["undoJournal"])

        code, out = run(root, "-undo=list")
        check(code == 0 and "Undo journals in C:\\Mendrix\\Undo:" in out and journals[0] in out,
              "-undo=list names the journal: " + out)

        journal_is_a_log(root, journals[0])
        plant_journals(root)
        planted_refused(root)

        # --undo passes over the journals it refuses to the run's own, and
        # puts every file back with its bytes and times, the hives byte for
        # byte; a second one changes nothing.
        code, out = run(root, "--undo")
        check(code == 0, "undo exits 0, not %d" % code)
        for name, _, why in PLANTED[:2]:
            check("Passed over C:\\Mendrix\\Undo\\%s: %s" % (name, why) in out, "--undo passes over " + name)
        check("9 restored, 0 not restored" in out, "undo restores 6 files and 3 hives: " + out)
        restored = snapshot(top)
        differ = sorted(k for k in set(before) | set(restored)
                        if before.get(k) != restored.get(k) and not k.startswith("c/Mendrix")
                        and k not in ("c/mendrix.log", "report.json", "d/Run Logs/run.log"))
        check(differ == [], "undo puts the installation back as it was: %s" % differ)
        code, out = run(root, "--undo")
        check(code == 1 and "restored on" in out, "a restored journal is not restored again")

        # A journal folder others may write to is moved aside when a run
        # starts its journal, and one of its own is made.
        undo = os.path.join(root, "Mendrix", "Undo")
        os.chmod(undo, 0o777)
        code, out = run(root, "-lf=/dev/null")
        check("C:\\Mendrix\\Undo was moved aside to C:\\Mendrix\\Undo.untrusted: it lets another account "
              "write to it (everyone)" in out.split("\r\n"), "the open Undo folder is moved aside: " + out)
        check(sorted(os.listdir(undo + ".untrusted")) == sorted([journals[0]] + [p[0] for p in PLANTED])
              and len(os.listdir(undo)) == 1 and os.stat(undo).st_mode & 0o022 == 0,
              "the run keeps its journal in a new folder only it may write to")
        nothing_runs(top, root)
        nine_x(top)
        cut_off_journal(top)
    finally:
        shutil.rmtree(top)
    if failures:
        print("%d failure(s)" % len(failures))
        sys.exit(1)
    print("offline run: all checks passed")


main()
