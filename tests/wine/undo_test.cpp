// The undo journal end to end: a run changes files, registry values and
// keys, INI entries and a service; -undo puts every one of them back, byte
// for byte, and full snapshots taken before the run and after the undo
// agree. Also: restoring twice, restoring over what came back, a journal
// with a missing saved copy or a damaged manifest, saving that fails, a run
// that finds nothing, -noundo and -undo=list; a report-only run that saves
// nothing, and -undo's report-only run and JSON report.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/undo_command.h"
#include "report/message.h"
#include "report/sinks_win.h"
#include "script/json.h"
#include "script/settings.h"
#include "support/machine_snapshot_win.h"
#include "support/wine_support.h"

namespace {

const char kCli[] = "C:\\mendrix\\mendrix-cli.exe";
const char kUndoRoot[] = "C:\\Mendrix\\Undo";
const char kTestKey[] = "Software\\MendrixUndoTest";

// ---------------------------------------------------------------- snapshots

// Every file below a folder with its bytes, attributes and creation and
// write times. Access times are left out: the system moves them on every
// read, the scan's own reading included; the test checks them where nothing
// but the undo work touches the file (AccessTimeOf).
void TakeFolder(const std::string& folder, const std::string& prefix, std::map<std::string, std::string>* shot) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || name == "run.log" || name == "run.dat") continue;
        std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*shot)[prefix + name + "\\"] = "<folder>";
            TakeFolder(path, prefix + name + "\\", shot);
            continue;
        }
        // The profile functions write an INI file anew: only its bytes count.
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ini") == 0) {
            (*shot)[prefix + name] = ReadWholeFile(path);
            continue;
        }
        char line[160];
        snprintf(line, sizeof line, "attributes %lx created %08lx%08lx written %08lx%08lx | ", found.dwFileAttributes,
                 found.ftCreationTime.dwHighDateTime, found.ftCreationTime.dwLowDateTime,
                 found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime);
        (*shot)[prefix + name] = line + ReadWholeFile(path);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

uint64_t AccessTimeOf(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    return static_cast<uint64_t>(found.ftLastAccessTime.dwHighDateTime) << 32 | found.ftLastAccessTime.dwLowDateTime;
}

// Sets the access time to a day of its own, without changing the rest. The
// day lies ahead, so that the scan's reading of the file (the system moves
// an access time only forward past the change times) leaves it.
uint64_t SetAccessTime(const std::string& path, WORD day) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    SYSTEMTIME when = {2031, 6, 0, day, 8, 0, 0, 0};
    FILETIME accessed;
    SystemTimeToFileTime(&when, &accessed);
    SetFileTime(file, nullptr, &accessed, nullptr);
    CloseHandle(file);
    return static_cast<uint64_t>(accessed.dwHighDateTime) << 32 | accessed.dwLowDateTime;
}

std::string ServiceShot(const std::string& name) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name.c_str(), SERVICE_QUERY_CONFIG) : nullptr;
    std::string shot = "absent";
    if (service) {
        std::vector<char> buffer(8192);
        auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
        DWORD needed = 0;
        if (QueryServiceConfigA(service, c, static_cast<DWORD>(buffer.size()), &needed)) {
            auto text = [](const char* t) { return std::string(t ? t : "<null>"); };
            shot = "type " + std::to_string(c->dwServiceType) + " start " + std::to_string(c->dwStartType) +
                   " errors " + std::to_string(c->dwErrorControl) + " path " + text(c->lpBinaryPathName) +
                   " group " + text(c->lpLoadOrderGroup) + " account " + text(c->lpServiceStartName) +
                   " display " + text(c->lpDisplayName) + " depends";
            for (const char* d = c->lpDependencies; d && *d; d += strlen(d) + 1) shot += std::string(" ") + d;
        } else {
            shot = "unreadable";
        }
        CloseServiceHandle(service);
    }
    if (manager) CloseServiceHandle(manager);
    return shot;
}

std::vector<std::string> Journals() { return NamesIn(kUndoRoot); }

void SetValue(const std::string& path, const std::string& name, DWORD type, const std::string& bytes) {
    SetRegistryValue(HKEY_CURRENT_USER, path, name, type, bytes);
}

// Deterministic bytes that hold every byte value.
std::string Content(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + seed * 13 + (i >> 8)) & 0xFF);
    return bytes;
}

// A file with old times of its own, so that a restore that forgot them
// shows.
void MakeFile(const std::string& path, const std::string& bytes, DWORD attributes, unsigned day) {
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    SYSTEMTIME when = {2004, 3, 0, static_cast<WORD>(day), 10, 20, 30, 0};
    FILETIME written, created;
    SystemTimeToFileTime(&when, &written);
    when.wYear = 2001;
    SystemTimeToFileTime(&when, &created);
    SetFileTime(file, &created, nullptr, &written);
    CloseHandle(file);
    if (attributes) SetFileAttributesA(path.c_str(), attributes);
}

std::string Script(const std::string& body) {
    return "<CLEANER DataFile=\"Mx.Undo\" Type=\"Trojan\"><IDENTITY GenericName=\"MxEvil\">" + body +
           "</IDENTITY></CLEANER>";
}

class Undo : public testing::Test {
protected:
    void SetUp() override {
        name = testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = MakeScratchFolder(name);
        quarantine = MakeScratchFolder(name + ".q");
        log = folder + "\\run.log";
        key = std::string(kTestKey) + "\\" + name;
        service = "MxUndo" + name;
        DeleteRegistryTree(HKEY_CURRENT_USER, key);
        // The programs' own folder C:\mendrix is the root's parent.
        RemoveFolderTree(kUndoRoot);
        DeleteFileA(kUndoRoot);
    }
    void TearDown() override {
        DeleteRegistryTree(HKEY_CURRENT_USER, key);
        RemoveService();
        RemoveFolderTree(kUndoRoot);
        DeleteFileA(kUndoRoot);
    }
    std::map<std::string, std::string> Snapshot() {
        std::map<std::string, std::string> shot;
        TakeFolder(folder, "", &shot);
        TakeFolder(quarantine, "q\\", &shot);
        AddRegistryTree(HKEY_CURRENT_USER, key, "reg ", &shot);
        shot["service"] = ServiceShot(service);
        return shot;
    }
    void InstallService() {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(nullptr, manager);
        SC_HANDLE created = CreateServiceA(manager, service.c_str(), "Mx Undo Display", SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                           "\"C:\\mendrix\\scratch\\mx agent.exe\" -service", nullptr, nullptr,
                                           "RpcSs\0EventLog\0", nullptr, nullptr);
        ASSERT_NE(nullptr, created) << GetLastError();
        CloseServiceHandle(created);
        CloseServiceHandle(manager);
    }
    void RemoveService() {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE s = manager ? OpenServiceA(manager, service.c_str(), SERVICE_ALL_ACCESS) : nullptr;
        if (s) {
            DeleteService(s);
            CloseServiceHandle(s);
        }
        if (manager) CloseServiceHandle(manager);
    }
    // The scan; answers its log.
    std::string Scan(const std::string& body, const char* options = "") {
        std::string dat = folder + "\\run.dat";
        EXPECT_TRUE(BuildDataFile(Script(body), dat));
        DeleteFileA(log.c_str());
        ProcessResult r = RunProgram(std::string(kCli) + " -noc -df=" + dat + " -lf=" + log + " " + options);
        EXPECT_EQ(0u, r.exitCode) << r.output;
        RemoveFile(dat);
        return ReadWholeFile(log);
    }
    ProcessResult RunUndo(const std::string& option = "-undo") {
        DeleteFileA(log.c_str());
        return RunProgram(std::string(kCli) + " " + option + " -lf=" + log);
    }
    std::string Disk(const std::string& files) {
        return "<DISK><DIRECTORY>" + folder + "</DIRECTORY>" + files + "</DISK>";
    }
    std::string KeyElement(const std::string& sub, const std::string& inside) {
        return "<KEY handle=\"HKEY_CURRENT_USER\" name=\"" + key + (sub.empty() ? "" : "\\" + sub) + "\">" + inside +
               "</KEY>";
    }
    std::string name, folder, quarantine, log, key, service;
};

// ---------------------------------------------------------------- tests

TEST_F(Undo, EveryKindOfChangeComesBackAsItWas) {
    std::string cut = Content(0x3000, 4);
    cut.replace(0x2000, 4, "\xDE\xAD\xBE\xEF", 4);
    MakeFile(folder + "\\DEL.EXE", Content(70000, 1), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, 1);
    MakeFile(folder + "\\MOVE.EXE", Content(5000, 2), FILE_ATTRIBUTE_ARCHIVE, 2);
    MakeFile(folder + "\\CUT.EXE", cut, FILE_ATTRIBUTE_SYSTEM, 3);
    MakeFile(folder + "\\EMPTY.EXE", "", 0, 4);
    MakeFile(folder + "\\KEEP.TXT", "keep", 0, 5);
    ASSERT_TRUE(WriteWholeFile(folder + "\\mx.ini", "[windows]\r\nrun=c:\\tools\\ok.exe\r\nload=C:\\WINDOWS\\MXEVIL.EXE"
                                                    "\r\n[boot]\r\nshell=C:\\WINDOWS\\MXEVIL.EXE\r\nother=x\r\n"));
    SetValue(key + "\\Run", "evil", REG_SZ, Sz("C:\\WINDOWS\\MXEVIL.EXE"));
    SetValue(key + "\\Run", "fine", REG_SZ, Sz("c:\\tools\\ok.exe"));
    SetValue(key + "\\Run", "blob", REG_BINARY, std::string("mxevil.exe\0\xff", 12));
    SetValue(key + "\\Run", "", REG_EXPAND_SZ, Sz("%windir%\\mxevil.exe"));
    SetValue(key + "\\Dw", "d", REG_DWORD, std::string("\x07\0\0\0", 4));
    SetValue(key + "\\Shell", "Shell", REG_SZ, Sz("C:\\WINDOWS\\MXEVIL.EXE"));
    SetValue(key + "\\Gone", "a", REG_MULTI_SZ, std::string("one\0two\0\0", 9));
    SetValue(key + "\\Gone", "", REG_SZ, Sz("default"));
    SetValue(key + "\\Gone", "n", REG_DWORD, std::string("\x01\x02\x03\x04", 4));
    InstallService();
    std::map<std::string, std::string> before = Snapshot();
    ASSERT_NE("absent", before["service"]);
    uint64_t deletedAccess = SetAccessTime(folder + "\\DEL.EXE", 11);
    uint64_t movedAccess = SetAccessTime(folder + "\\MOVE.EXE", 12);

    std::string text = Scan(
        Disk("<FILE FileName=\"DEL.EXE\"><ACTION>delete</ACTION></FILE>"
             "<FILE FileName=\"EMPTY.EXE\"><ACTION>delete</ACTION></FILE>"
             "<FILE FileName=\"MOVE.EXE\"><ACTION destination=\"" + quarantine + "\\MOVE.VIR\">move</ACTION></FILE>"
             "<FILE FileName=\"CUT.EXE\"><PATTERN type=\"forwards\">DE AD BE EF</PATTERN>"
             "<ACTION start=\"pattern0\">cut</ACTION></FILE>") +
        "<REGISTRY>" + KeyElement("Run", "<VALUE><VIRUSVALUE>mxevil</VIRUSVALUE><ACTION>delete</ACTION></VALUE>") +
        KeyElement("Dw", "<VALUE name=\"d\"><VIRUSVALUE>7</VIRUSVALUE><ACTION>delete</ACTION></VALUE>") +
        KeyElement("Shell", "<VALUE name=\"Shell\"><DEFAULT>Explorer.exe</DEFAULT><ACTION>reset</ACTION></VALUE>") +
        KeyElement("Gone", "<ACTION>delete</ACTION>") + "</REGISTRY>"
        "<INIFILE FileName=\"" + folder + "\\mx.ini\"><KEY section=\"windows\" name=\"load\"><VIRUSVALUE>mxevil"
        "</VIRUSVALUE></KEY><KEY section=\"boot\" name=\"shell\"><VIRUSVALUE>mxevil</VIRUSVALUE><DEFAULT>Explorer.exe"
        "</DEFAULT></KEY></INIFILE><SERVICE>" + service + "</SERVICE>");
    std::map<std::string, std::string> changed = Snapshot();
    for (const char* gone : {"DEL.EXE", "EMPTY.EXE", "MOVE.EXE", "reg Gone\\", "reg Run\\@evil", "reg Run\\@blob",
                             "reg Run\\@", "reg Dw\\@d"})
        EXPECT_EQ(0u, changed.count(gone)) << gone << text;
    EXPECT_EQ(1u, changed.count("q\\MOVE.VIR"));
    EXPECT_NE(before["CUT.EXE"], changed["CUT.EXE"]);
    EXPECT_NE(before["mx.ini"], changed["mx.ini"]);
    EXPECT_EQ("absent", changed["service"]);
    std::vector<std::string> journals = Journals();
    ASSERT_EQ(1u, journals.size());
    EXPECT_EQ(1u, CountOf(text, "\r\nUndo journal: C:\\Mendrix\\Undo\\" + journals[0] + "\r\n")) << text;
    // Nothing saved can be run from the journal.
    std::string journal = std::string(kUndoRoot) + "\\" + journals[0];
    EXPECT_NE("MZ", ReadWholeFile(journal + "\\0001.sav").substr(0, 2));

    ProcessResult r = RunUndo();
    EXPECT_EQ(0u, r.exitCode) << r.output;
    std::map<std::string, std::string> after = Snapshot();
    EXPECT_TRUE(before == after) << ShotDifferences(before, after);
    EXPECT_EQ(deletedAccess, AccessTimeOf(folder + "\\DEL.EXE"));
    EXPECT_EQ(movedAccess, AccessTimeOf(folder + "\\MOVE.EXE"));
    for (const std::string& line :
         {"Restored file " + folder + "\\DEL.EXE\r\n", "Restored file " + folder + "\\CUT.EXE\r\n",
          "Restored registry key HKCU\\" + key + "\\Gone\r\n", "Restored registry value HKCU\\" + key + "\\Run\\Default\r\n",
          "Restored INI entry " + folder + "\\mx.ini [windows] load\r\n", "Restored service " + service + "\r\n",
          std::string("13 restored, 0 not restored\r\n")})
        EXPECT_EQ(1u, CountOf(r.output, line)) << line << r.output;
    EXPECT_EQ(r.output, ReadWholeFile(log).substr(ReadWholeFile(log).size() - r.output.size()));

    // A second time: nothing is done, and the exit code says so.
    ProcessResult again = RunUndo("-undo=" + journals[0]);
    EXPECT_EQ(1u, again.exitCode);
    EXPECT_EQ(1u, CountOf(again.output, " was restored on ")) << again.output;
    EXPECT_TRUE(before == Snapshot()) << ShotDifferences(before, Snapshot());

    ProcessResult list = RunUndo("-undo=list");
    EXPECT_EQ(0u, list.exitCode);
    EXPECT_EQ(1u, CountOf(list.output, journals[0] + "  ")) << list.output;
    EXPECT_EQ(1u, CountOf(list.output, "4 files, 5 registry values, 1 registry key, 2 INI entries, 1 service  (restored "))
        << list.output;
}

TEST_F(Undo, WhatCameBackIsLeftAloneAndAMissingCopyIsReported) {
    MakeFile(folder + "\\A.EXE", "first", 0, 1);
    // Large enough for a saved copy of its own, which is then lost.
    MakeFile(folder + "\\B.EXE", Content(5000, 2), 0, 2);
    MakeFile(folder + "\\C.EXE", "third", 0, 3);
    SetValue(key, "v", REG_SZ, Sz("mxevil"));
    SetValue(key, "w", REG_SZ, Sz("mxevil too"));
    std::map<std::string, std::string> before = Snapshot();
    Scan(Disk("<FILE FileName=\"A.EXE\"><ACTION>delete</ACTION></FILE><FILE FileName=\"B.EXE\"><ACTION>delete</ACTION>"
              "</FILE><FILE FileName=\"C.EXE\"><ACTION>delete</ACTION></FILE>") + "<REGISTRY>" +
         KeyElement("", "<VALUE><VIRUSVALUE>mxevil</VIRUSVALUE><ACTION>delete</ACTION></VALUE>") + "</REGISTRY>");
    std::vector<std::string> journals = Journals();
    ASSERT_EQ(1u, journals.size());
    std::string journal = std::string(kUndoRoot) + "\\" + journals[0];
    // A came back in another form, B's copy is lost, v was set again.
    ASSERT_TRUE(WriteWholeFile(folder + "\\A.EXE", "new A"));
    std::string manifest = ReadWholeFile(journal + "\\manifest.json");
    size_t b = manifest.find("B.EXE");
    ASSERT_NE(std::string::npos, b);
    size_t line = manifest.rfind('\n', b) + 1;
    std::string copyB =
        nlohmann::json::parse(manifest.substr(line, manifest.find('\n', b) - line), nullptr, false)["saved"];
    ASSERT_TRUE(DeleteFileA((journal + "\\" + copyB).c_str())) << copyB << manifest;
    SetValue(key, "v", REG_DWORD, std::string(4, '\0'));
    std::map<std::string, std::string> expected = before;
    expected.erase("B.EXE");
    expected["reg @v"] = std::to_string(REG_DWORD) + ":" + std::string(4, '\0');

    ProcessResult r = RunUndo();
    EXPECT_EQ(1u, r.exitCode) << r.output;
    std::map<std::string, std::string> after = Snapshot();
    EXPECT_EQ("new A", ReadWholeFile(folder + "\\A.EXE"));
    after.erase("A.EXE");
    expected.erase("A.EXE");
    EXPECT_TRUE(expected == after) << ShotDifferences(expected, after);
    for (const std::string& line :
         {"Left alone file " + folder + "\\A.EXE: it exists again\r\n",
          "Could not restore file " + folder + "\\B.EXE: its saved copy is missing or damaged\r\n",
          "Restored file " + folder + "\\C.EXE\r\n", "Left alone registry value HKCU\\" + key + "\\v: it was set again\r\n",
          "Restored registry value HKCU\\" + key + "\\w\r\n", std::string("2 restored, 3 not restored\r\n")})
        EXPECT_EQ(1u, CountOf(r.output, line)) << line << r.output;
}

// On the 9x family (Wine reports Windows 98 to a program named under
// AppDefaults) the same journal is kept and put back.
TEST_F(Undo, Windows98RunComesBackToo) {
    PretendWindows98("mendrix-cli.exe", true);
    std::string cut = Content(0x1000, 6);
    cut.replace(0x800, 4, "\xDE\xAD\xBE\xEF", 4);
    MakeFile(folder + "\\DEL.EXE", Content(3000, 1), FILE_ATTRIBUTE_READONLY, 1);
    MakeFile(folder + "\\CUT.EXE", cut, FILE_ATTRIBUTE_HIDDEN, 2);
    ASSERT_TRUE(WriteWholeFile(folder + "\\mx.ini", "[windows]\r\nrun=ok.exe\r\nload=mxevil.exe\r\n"));
    SetValue(key + "\\Run", "evil", REG_SZ, Sz("mxevil.exe"));
    SetValue(key + "\\Gone", "a", REG_BINARY, std::string("\0\x01", 2));
    SetValue(key + "\\Gone\\Deeper", "b", REG_SZ, Sz("deep"));
    std::map<std::string, std::string> before = Snapshot();
    std::string text = Scan(
        Disk("<FILE FileName=\"DEL.EXE\"><ACTION>delete</ACTION></FILE><FILE FileName=\"CUT.EXE\"><PATTERN "
             "type=\"forwards\">DE AD BE EF</PATTERN><ACTION start=\"pattern0\">cut</ACTION></FILE>") +
        "<REGISTRY>" + KeyElement("Run", "<VALUE><VIRUSVALUE>mxevil</VIRUSVALUE><ACTION>delete</ACTION></VALUE>") +
        KeyElement("Gone\\Deeper", "<ACTION>delete</ACTION>") + KeyElement("Gone", "<ACTION>delete</ACTION>") +
        "</REGISTRY><INIFILE FileName=\"" + folder + "\\mx.ini\"><KEY section=\"windows\" name=\"load\">"
        "<VIRUSVALUE>mxevil</VIRUSVALUE></KEY></INIFILE>");
    std::map<std::string, std::string> changed = Snapshot();
    for (const char* gone : {"DEL.EXE", "reg Gone\\", "reg Run\\@evil"}) EXPECT_EQ(0u, changed.count(gone)) << gone << text;
    ProcessResult r = RunUndo();
    PretendWindows98("mendrix-cli.exe", false);
    EXPECT_EQ(0u, r.exitCode) << r.output;
    EXPECT_TRUE(before == Snapshot()) << ShotDifferences(before, Snapshot());
    // Keys go last first: Gone went with its subkey, which comes back with it.
    EXPECT_EQ(1u, CountOf(r.output, "Restored registry key HKCU\\" + key + "\\Gone\r\n")) << r.output;
    EXPECT_EQ(1u, CountOf(r.output, "5 restored, 0 not restored\r\n")) << r.output;
}

// What was changed again after the run stays as it is now; a moved file
// comes back, and its copy at the destination stays when it is no longer
// what was moved.
TEST_F(Undo, WhatChangedSinceTheRunIsLeftAlone) {
    std::string cut = Content(0x300, 5);
    cut.replace(0x200, 4, "\xDE\xAD\xBE\xEF", 4);
    MakeFile(folder + "\\CUT.EXE", cut, 0, 1);
    MakeFile(folder + "\\MOVE.EXE", "moved", 0, 2);
    SetValue(key, "shell", REG_SZ, Sz("mxevil.exe"));
    ASSERT_TRUE(WriteWholeFile(folder + "\\mx.ini", "[boot]\r\nshell=mxevil.exe\r\n"));
    std::map<std::string, std::string> before = Snapshot();
    Scan(Disk("<FILE FileName=\"CUT.EXE\"><PATTERN type=\"forwards\">DE AD BE EF</PATTERN>"
              "<ACTION start=\"pattern0\">cut</ACTION></FILE><FILE FileName=\"MOVE.EXE\"><ACTION destination=\"" +
              quarantine + "\\MOVE.VIR\">move</ACTION></FILE>") +
         "<REGISTRY>" + KeyElement("", "<VALUE name=\"shell\"><DEFAULT>explorer.exe</DEFAULT><ACTION>reset</ACTION></VALUE>") +
         "</REGISTRY><INIFILE FileName=\"" + folder + "\\mx.ini\"><KEY section=\"boot\" name=\"shell\"><VIRUSVALUE>"
         "mxevil</VIRUSVALUE><DEFAULT>explorer.exe</DEFAULT></KEY></INIFILE>");
    ASSERT_TRUE(WriteWholeFile(folder + "\\CUT.EXE", "patched since"));
    ASSERT_TRUE(WriteWholeFile(quarantine + "\\MOVE.VIR", "looked at"));
    SetValue(key, "shell", REG_SZ, Sz("other.exe"));
    WritePrivateProfileStringA("boot", "shell", "other.exe", (folder + "\\mx.ini").c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, (folder + "\\mx.ini").c_str());

    ProcessResult r = RunUndo();
    EXPECT_EQ(1u, r.exitCode) << r.output;
    EXPECT_EQ("patched since", ReadWholeFile(folder + "\\CUT.EXE"));
    EXPECT_EQ("looked at", ReadWholeFile(quarantine + "\\MOVE.VIR"));
    std::map<std::string, std::string> after = Snapshot();
    EXPECT_EQ(before["MOVE.EXE"], after["MOVE.EXE"]);
    EXPECT_EQ(std::to_string(REG_SZ) + ":" + Sz("other.exe"), after["reg @shell"]);
    EXPECT_NE(std::string::npos, after["mx.ini"].find("shell=other.exe")) << after["mx.ini"];
    for (const std::string& line :
         {"Left alone file " + folder + "\\CUT.EXE: it was changed again since the run\r\n",
          "Restored file " + folder + "\\MOVE.EXE\r\n",
          "Left alone registry value HKCU\\" + key + "\\shell: it was changed again since the run\r\n",
          "Left alone INI entry " + folder + "\\mx.ini [boot] shell: it was changed again since the run\r\n",
          std::string("1 restored, 3 not restored\r\n")})
        EXPECT_EQ(1u, CountOf(r.output, line)) << line << r.output;
}

TEST_F(Undo, DamagedManifestItemIsReportedAndTheRestRestored) {
    MakeFile(folder + "\\A.EXE", "first", 0, 1);
    SetValue(key, "v", REG_SZ, Sz("mxevil"));
    std::map<std::string, std::string> before = Snapshot();
    Scan(Disk("<FILE FileName=\"A.EXE\"><ACTION>delete</ACTION></FILE>") + "<REGISTRY>" +
         KeyElement("", "<VALUE name=\"v\"><ACTION>delete</ACTION></VALUE>") + "</REGISTRY>");
    std::vector<std::string> journals = Journals();
    ASSERT_EQ(1u, journals.size());
    std::string path = std::string(kUndoRoot) + "\\" + journals[0] + "\\manifest.json";
    std::string manifest = ReadWholeFile(path);
    size_t data = manifest.find("\"data\"");
    ASSERT_NE(std::string::npos, data) << manifest;
    manifest.replace(data + 9, 2, "zz");  // no longer hex
    ASSERT_TRUE(WriteWholeFile(path, manifest));

    ProcessResult r = RunUndo();
    EXPECT_EQ(1u, r.exitCode) << r.output;
    EXPECT_EQ(before["A.EXE"], Snapshot()["A.EXE"]);
    EXPECT_EQ(1u, CountOf(r.output, "Could not restore item " + key + ": damaged registryValue item\r\n"))
        << r.output;

    // A manifest that is no JSON at all restores nothing.
    ASSERT_TRUE(WriteWholeFile(path, "{ not json"));
    r = RunUndo();
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_EQ(1u, CountOf(r.output, ": the manifest is not JSON\r\n")) << r.output;
}

// Saving that fails stops the change: here the journal's folder cannot be
// made (a file stands in its way), as on a full disk the saved copy cannot
// be written.
TEST_F(Undo, NothingChangesWhenItCannotBeSaved) {
    MakeFile(folder + "\\A.EXE", "first", 0, 1);
    SetValue(key, "v", REG_SZ, Sz("mxevil"));
    ASSERT_TRUE(WriteWholeFile(kUndoRoot, "in the way"));
    std::map<std::string, std::string> before = Snapshot();
    std::string text = Scan(Disk("<FILE FileName=\"A.EXE\"><ACTION>delete</ACTION></FILE>") + "<REGISTRY>" +
                            KeyElement("", "<VALUE name=\"v\"><ACTION>delete</ACTION></VALUE>") + "</REGISTRY>");
    DeleteFileA(kUndoRoot);
    EXPECT_TRUE(before == Snapshot()) << ShotDifferences(before, Snapshot());
    EXPECT_EQ(1u, CountOf(text, "File left unchanged: could not save it for undo (cannot create C:\\Mendrix\\Undo: "))
        << text;
    EXPECT_EQ(1u, CountOf(text, "Could not delete registry value HKCU\\" + key + "\\v: could not save it for undo ("))
        << text;
    EXPECT_EQ(0u, CountOf(text, "Undo journal:"));
}

TEST_F(Undo, NoJournalWithoutChangesOrWithNoundo) {
    MakeFile(folder + "\\A.EXE", "first", 0, 1);
    std::string text = Scan(Disk("<FILE FileName=\"NONE.EXE\"><ACTION>delete</ACTION></FILE>") + "<REGISTRY>" +
                            KeyElement("", "<VALUE name=\"v\"><ACTION>delete</ACTION></VALUE>") + "</REGISTRY>");
    EXPECT_TRUE(Journals().empty());
    EXPECT_EQ(0u, CountOf(text, "Undo journal:"));
    text = Scan(Disk("<FILE FileName=\"A.EXE\"><ACTION>delete</ACTION></FILE>"), "-noundo");
    EXPECT_FALSE(FileExists(folder + "\\A.EXE"));
    EXPECT_TRUE(Journals().empty());
    EXPECT_EQ(0u, CountOf(text, "Undo journal:"));

    ProcessResult r = RunUndo();
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_EQ(1u, CountOf(r.output, "No undo journal in C:\\Mendrix\\Undo\r\n")) << r.output;
    r = RunUndo("-undo=list");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ(1u, CountOf(r.output, "No undo journals in C:\\Mendrix\\Undo\r\n")) << r.output;
}

nlohmann::json ReadReport(const std::string& path) {
    nlohmann::json report = nlohmann::json::parse(ReadWholeFile(path), nullptr, false);
    EXPECT_FALSE(report.is_discarded()) << path;
    return report;
}

// A report-only scan writes no journal; a real one names its journal in its
// report; -undo -reportonly names what it would put back and changes
// nothing; -undo then puts it back and reports each item.
TEST_F(Undo, ReportOnlyUndoChangesNothingAndTheReportsNameTheJournal) {
    MakeFile(folder + "\\A.EXE", "first", 0, 1);
    SetValue(key, "v", REG_SZ, Sz("mxevil"));
    std::string body = Disk("<FILE FileName=\"A.EXE\"><ACTION>delete</ACTION></FILE>") + "<REGISTRY>" +
                       KeyElement("", "<VALUE name=\"v\"><ACTION>delete</ACTION></VALUE>") + "</REGISTRY>";
    std::map<std::string, std::string> before = Snapshot();
    Scan(body, "-reportonly");
    EXPECT_TRUE(Journals().empty());
    EXPECT_TRUE(before == Snapshot()) << ShotDifferences(before, Snapshot());

    // The reports go beside the snapshot's folders, not into them.
    std::string reports = MakeScratchFolder(std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + ".r");
    std::string scanReport = reports + "\\scan.json";
    Scan(body, ("-json=" + scanReport).c_str());
    std::vector<std::string> journals = Journals();
    ASSERT_EQ(1u, journals.size());
    std::map<std::string, std::string> cleaned = Snapshot();
    nlohmann::json scan = ReadReport(scanReport);
    EXPECT_EQ(std::string(kUndoRoot) + "\\" + journals[0], scan["run"]["undoJournal"]);
    EXPECT_EQ(2, scan["totals"]["done"]) << scan.dump(1);

    std::string wouldReport = reports + "\\would.json";
    ProcessResult would = RunUndo("-undo -reportonly -json=" + wouldReport);
    EXPECT_EQ(0u, would.exitCode) << would.output;
    EXPECT_TRUE(cleaned == Snapshot()) << ShotDifferences(cleaned, Snapshot());
    for (const std::string& line : {"Would restore file " + folder + "\\A.EXE\r\n",
                                    "Would restore registry value HKCU\\" + key + "\\v\r\n"})
        EXPECT_EQ(1u, CountOf(would.output, line)) << line << would.output;
    EXPECT_EQ(0u, CountOf(would.output, "Restored ")) << would.output;
    nlohmann::json report = ReadReport(wouldReport);
    EXPECT_EQ("undo", report["run"]["mode"]);
    EXPECT_EQ(true, report["run"]["reportOnly"]);
    EXPECT_EQ(std::string(kUndoRoot) + "\\" + journals[0], report["run"]["undoJournal"]);
    ASSERT_EQ(2u, report["items"].size()) << report.dump(1);
    for (const auto& item : report["items"]) {
        EXPECT_EQ("restore", item["action"]);
        EXPECT_EQ("wouldDo", item["outcome"]);
    }

    std::string undoReport = reports + "\\undo.json";
    ProcessResult undone = RunUndo("-undo -json=" + undoReport);
    EXPECT_EQ(0u, undone.exitCode) << undone.output;
    EXPECT_TRUE(before == Snapshot()) << ShotDifferences(before, Snapshot());
    report = ReadReport(undoReport);
    EXPECT_EQ(0, report["run"]["result"]);
    EXPECT_EQ(false, report["run"]["reportOnly"]);
    ASSERT_EQ(2u, report["items"].size()) << report.dump(1);
    std::vector<std::string> subjects;
    for (const auto& item : report["items"]) {
        EXPECT_EQ("done", item["outcome"]);
        subjects.push_back(item["kind"].get<std::string>() + " " + item["subject"].get<std::string>());
    }
    std::sort(subjects.begin(), subjects.end());
    EXPECT_EQ((std::vector<std::string>{"file " + folder + "\\A.EXE", "registryValue HKCU\\" + key + "\\v"}), subjects);

    // Once restored, a second -undo fails, and a report that cannot be
    // written leaves its exit code as it is.
    ProcessResult again = RunUndo("-undo=" + journals[0] + " -json=C:\\no\\such\\folder\\r.json");
    EXPECT_EQ(1u, again.exitCode);
    // Once on standard output, with every logged line, and once on standard
    // error: the test reads both through one pipe.
    EXPECT_EQ(2u, CountOf(again.output, "Could not write the run report C:\\no\\such\\folder\\r.json (error 3)"))
        << again.output;
    EXPECT_EQ(1u, CountOf(ReadWholeFile(log), "Could not write the run report C:\\no\\such\\folder\\r.json (error 3)"));
}

UINT g_finished;
LRESULT CALLBACK CountFinished(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 16) ++g_finished;  // WM_SCAN_FINISHED
    return DefWindowProcA(window, message, wParam, lParam);
}

// "Undo last run" of the windowed program: its worker puts the latest
// journal back, with a line for each item in the window's message list, and
// tells the window when it has finished.
TEST_F(Undo, WindowedUndoListsItsLinesInTheMessageList) {
    MakeFile(folder + "\\A.EXE", "first", 0, 1);
    std::map<std::string, std::string> before = Snapshot();
    Scan(Disk("<FILE FileName=\"A.EXE\"><ACTION>delete</ACTION></FILE>"));
    ASSERT_FALSE(FileExists(folder + "\\A.EXE"));

    g_finished = 0;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CountFinished;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MendrixUndoTest";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND window = CreateWindowExA(0, wc.lpszClassName, "undo", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    ASSERT_NE(nullptr, CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MESSAGE_LIST)), wc.hInstance,
                                       nullptr));
    g_report.sinks = Win32MessageSinks();
    g_settings.logPath = log.c_str();
    DWORD result = UndoRun(&window);
    g_report.mainWindow = nullptr;

    EXPECT_EQ(0u, result);
    EXPECT_EQ(1u, g_finished);
    std::string entries;
    int count = static_cast<int>(SendDlgItemMessageA(window, IDC_MESSAGE_LIST, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[512] = {};
        SendDlgItemMessageA(window, IDC_MESSAGE_LIST, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        entries += std::string(text) + "|";
    }
    EXPECT_NE(std::string::npos, entries.find("Restored file " + folder + "\\A.EXE|")) << entries;
    EXPECT_NE(std::string::npos, ReadWholeFile(log).find("Restored file " + folder + "\\A.EXE\r\n"));
    EXPECT_TRUE(before == Snapshot()) << ShotDifferences(before, Snapshot());
    DestroyWindow(window);
}

}  // namespace

int main(int argc, char** argv) { return RunAllTests(argc, argv); }
