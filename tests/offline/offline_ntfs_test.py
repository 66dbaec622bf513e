"""mendrix-offline on a real NTFS volume (an image made with mkntfs and
mounted through ntfs-3g), where the mount shows what a plain folder cannot:
the short name each entry was given, and each file's Windows security
descriptor. A short name the volume records reaches its folder; the journal
the run makes belongs to Administrators; a newer journal that belongs to a
user of the installation is refused and passed over, and the run's own is
restored.

Exits 77 (reported as not run, with the reason) where this system cannot
mount the volume: ntfs-3g missing, not root, or no FUSE device.

offline_ntfs_test.py MENDRIX_OFFLINE MAKE_EMPTY_HIVE DATA_FILE"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from installation import Hive  # noqa: E402

OFFLINE, MAKER, DATA = sys.argv[1:4]
MARKER = b"MENDRIX-SAMPLE-MARKER"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


def not_run(why):
    print("offline NTFS test not run: " + why)
    sys.exit(77)


def sid(authority, subauthorities):
    return (struct.pack("<BB", 1, len(subauthorities)) + struct.pack(">Q", authority)[2:] +
            b"".join(struct.pack("<I", s) for s in subauthorities))


def sid_text(data, at):
    count = data[at + 1]
    authority = int.from_bytes(data[at + 2:at + 8], "big")
    subs = struct.unpack_from("<%dI" % count, data, at + 8)
    return "S-1-%d-" % authority + "-".join(str(s) for s in subs)


def owner_of(path):
    descriptor = os.getxattr(path, "system.ntfs_acl")
    return sid_text(descriptor, struct.unpack_from("<I", descriptor, 4)[0])


def owned_by(owner):
    """A self-relative descriptor: the owner, SYSTEM as the group, and an
    access list that gives the owner full control."""
    group = sid(5, [18])
    ace = struct.pack("<BBHI", 0, 3, 8 + len(owner), 0x1F01FF) + owner
    acl = struct.pack("<BBHHH", 2, 0, 8 + len(ace), 1, 0) + ace
    return (struct.pack("<BBHIIII", 1, 0, 0x8004, 20, 20 + len(owner), 0, 20 + len(owner) + len(group)) +
            owner + group + acl)


def mount(top):
    # mkntfs lives in the system's own program folders, which a user's PATH may leave out.
    path = os.environ.get("PATH", "") + ":/usr/sbin:/sbin"
    mkntfs, ntfs3g = shutil.which("mkntfs", path=path), shutil.which("ntfs-3g", path=path)
    if not mkntfs or not ntfs3g:
        not_run("ntfs-3g is not installed (scripts/install-deps.sh installs it)")
    if os.geteuid() != 0:
        not_run("mounting a volume needs root")
    if not os.path.exists("/dev/fuse"):
        not_run("this system has no FUSE device")
    image, point = os.path.join(top, "volume.img"), os.path.join(top, "c")
    with open(image, "wb") as f:
        f.truncate(24 << 20)
    subprocess.run([mkntfs, "-F", "-f", "-q", image], check=True, capture_output=True)
    os.makedirs(point)
    result = subprocess.run([ntfs3g, image, point], capture_output=True)
    if result.returncode != 0:
        not_run("ntfs-3g cannot mount here: " + result.stderr.decode(errors="replace").strip())
    return point


def make_installation(root):
    config = os.path.join(root, "Windows", "System32", "config")
    software = Hive(MAKER, os.path.join(config, "SOFTWARE"))
    software.sz("Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", "C:\\Windows")
    software.commit()
    system = Hive(MAKER, os.path.join(config, "SYSTEM"))
    system.dword("Select", "Current", 1)
    system.commit()
    with open(os.path.join(root, "Windows", "mxsample.exe"), "wb") as f:
        f.write(MARKER + b" program")
    # Two folders whose long names both give RUNLOG~1; the volume records
    # RUNLOG~2 for the first, and the record is what counts.
    for name in ("Run Logs", "Run Logbook"):
        os.makedirs(os.path.join(root, name))
    os.setxattr(os.path.join(root, "Run Logs"), "system.ntfs_dos_name", b"RUNLOG~2")


def run(root, *options):
    result = subprocess.run([OFFLINE, "--root=" + root, "-df=" + DATA, "-noc"] + list(options),
                            capture_output=True, timeout=60)
    return result.returncode, result.stdout.decode("latin-1")


def main():
    top = tempfile.mkdtemp(prefix="mendrix-offline-ntfs-")
    root = None
    try:
        root = mount(top)
        make_installation(root)
        program = os.path.join(root, "Windows", "mxsample.exe")
        code, out = run(root, "-lf=C:\\RUNLOG~2\\run.log")
        check(code == 0 and not os.path.exists(program), "the run removes the file: %d %s" % (code, out))
        check(os.path.exists(os.path.join(root, "Run Logs", "run.log")) and
              not os.listdir(os.path.join(root, "Run Logbook")), "the log reaches the folder its short name names")

        undo = os.path.join(root, "Mendrix", "Undo")
        own = os.listdir(undo)
        check(len(own) == 1, "one journal: %s" % own)
        administrators = "S-1-5-32-544"
        for path in (os.path.join(root, "Mendrix"), undo, os.path.join(undo, own[0]),
                     os.path.join(undo, own[0], "manifest.json")):
            check(owner_of(path) == administrators, path + " belongs to Administrators, not " + owner_of(path))

        # A user of the installation plants a newer journal, a copy of the
        # run's own with its folder and manifest made the user's.
        planted = os.path.join(undo, "99991231-235959")
        shutil.copytree(os.path.join(undo, own[0]), planted)
        user = "S-1-5-21-1-2-3-1000"
        for path in (planted, os.path.join(planted, "manifest.json")):
            os.setxattr(path, "system.ntfs_acl", owned_by(sid(5, [21, 1, 2, 3, 1000])))
        why = "its folder belongs to another account (%s)" % user
        code, out = run(root, "-undo=list", "-lf=/dev/null")
        check("99991231-235959  (refused: %s)" % why in out, "-undo=list refuses the planted journal: " + out)
        code, out = run(root, "--undo", "-lf=/dev/null")
        check("Passed over C:\\Mendrix\\Undo\\99991231-235959: " + why in out, "--undo passes it over: " + out)
        check(code == 0 and "Restoring C:\\Mendrix\\Undo\\" + own[0] in out, "and restores the run's own: " + out)
        with open(program, "rb") as f:
            check(f.read() == MARKER + b" program", "the file is back with its bytes")
    finally:
        if root and os.path.ismount(root):
            subprocess.run(["umount", root], check=False)
        shutil.rmtree(top, ignore_errors=True)
    if failures:
        print("%d check(s) failed" % len(failures))
        sys.exit(1)
    print("offline NTFS run: all checks passed")


main()
