#include "offline/installation.h"

#include <dirent.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>

#include "offline/ansi_names.h"
#include "offline/hive_registry.h"
#include "offline/mounted_tree.h"
#include "offline/registry_text.h"

namespace {

const uint32_t kLocalMachine = 0x80000002u;
const uint32_t kUsers = 0x80000003u;
const char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

bool IsFile(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The key's text value, or empty.
std::string TextValue(uint32_t root, const std::string& key, const char* name) {
    uint32_t type;
    std::string text;
    return ReadRegistryText(HiveRegistryCalls(), root, key, name, &type, &text) && IsTextType(type) ? text : "";
}

// The hive at the Windows path, opened; null with a line for the log.
HiveFile* OpenHive(const std::string& windowsPath, void (*report)(const std::string& line)) {
    std::string posix, problem;
    MountedPathStatus status = ResolveMountedPath(windowsPath.c_str(), &posix);
    if (status != MOUNTED_FOUND) {
        if (status == MOUNTED_LINK) report("Could not read the registry hive " + windowsPath + ": it is a link\r\n");
        return nullptr;
    }
    HiveFile* hive = OpenHiveFile(posix, windowsPath, &problem);
    if (!hive) report("Could not read the registry hive " + windowsPath + ": " + problem + "; its keys are not examined\r\n");
    return hive;
}

// Each profile of ProfileList whose user hive is there.
void LoadProfiles(const Installation& installation, void (*report)(const std::string& line)) {
    const RegistryCalls* calls = HiveRegistryCalls();
    RegistryKey list;
    if (calls->openKey(kLocalMachine, kProfileList, &list) != REGISTRY_OK) return;
    calls->closeKey(list);
    // The library's children, by name: the registry calls enumerate values only.
    for (size_t index = 0;; ++index) {
        std::string sid = SubkeyNameAt(kLocalMachine, kProfileList, index);
        if (sid.empty()) break;
        std::string key = std::string(kProfileList) + "\\" + sid;
        std::string folder = ExpandInstallationText(installation, TextValue(kLocalMachine, key, "ProfileImagePath"));
        if (folder.empty()) continue;
        std::string hivePath = folder + "\\NTUSER.DAT";
        std::string posix;
        if (ResolveMountedPath(hivePath.c_str(), &posix) != MOUNTED_FOUND) continue;
        AddUserHive(sid.c_str(), folder.c_str(), OpenHive(hivePath, report));
    }
}

// Where the profiles of all users live: ProgramData on newer systems, the
// All Users profile under the profiles folder on older ones.
std::string ProgramDataFolder(const Installation& installation) {
    std::string data = TextValue(kLocalMachine, kProfileList, "ProgramData");
    if (data.empty()) {
        std::string all = TextValue(kLocalMachine, kProfileList, "AllUsersProfile");
        std::string folder = TextValue(kLocalMachine, kProfileList, "ProfilesDirectory");
        if (!all.empty() && !folder.empty()) data = folder + "\\" + all;
    }
    return ExpandInstallationText(installation, data);
}

// A value of the user's shell folders, as the user's hive holds it: the
// expandable one first, else the one the shell wrote out.
std::string ShellFolderValue(const OfflineProfile& user, const char* name) {
    if (!user.hive) return "";
    const std::string explorer = user.sid + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    std::string value = TextValue(kUsers, explorer + "User Shell Folders", name);
    return value.empty() ? TextValue(kUsers, explorer + "Shell Folders", name) : value;
}

// A user's own text: %APPDATA% and %LOCALAPPDATA% at its start are the
// user's shell folders; the rest is expanded as for any text of that profile.
std::string UserText(const Installation& installation, const OfflineProfile& user, std::string text) {
    struct Word {
        const char* word;
        const char* shellFolder;
        const char* usual;  // where the profile keeps it when the hive does not say
    };
    static const Word kWords[] = {{"%APPDATA%", "AppData", "%USERPROFILE%\\AppData\\Roaming"},
                                  {"%LOCALAPPDATA%", "Local AppData", "%USERPROFILE%\\AppData\\Local"}};
    for (const Word& w : kWords) {
        size_t length = strlen(w.word);
        if (text.size() < length || !SameAnsiAnyCase(text.data(), length, w.word, length)) continue;
        std::string folder = ShellFolderValue(user, w.shellFolder);
        // A value that names itself would never end.
        if (folder.empty() || folder.find('%' + std::string(w.word + 1)) == 0) folder = w.usual;
        text = folder + text.substr(length);
    }
    return ExpandInstallationText(installation, text, user.windowsFolder);
}

// The first of the folders that is there on the mount; empty when none is.
std::string FirstPresent(const Installation& installation, const OfflineProfile& user,
                         const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        std::string folder = UserText(installation, user, candidate), posix;
        if (ResolveMountedPath(folder.c_str(), &posix) == MOUNTED_FOUND) return folder;
    }
    return "";
}

// A profile's desktop, startup and temporary folders: those its hive names,
// else where Windows keeps them in a profile of its version.
UserFolders FoldersOf(const Installation& installation, const OfflineProfile& user) {
    struct Kind {
        UserFolder which;
        const char* shellFolder;  // null: the user's environment says
        const char* usual[2];
    };
    static const Kind kKinds[] = {
        {USER_DESKTOP, "Desktop", {"%USERPROFILE%\\Desktop", nullptr}},
        {USER_STARTUP, "Startup",
         {"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup", "%USERPROFILE%\\Start Menu\\Programs\\Startup"}},
        {USER_TEMP, nullptr, {"%LOCALAPPDATA%\\Temp", "%USERPROFILE%\\Local Settings\\Temp"}},
    };
    UserFolders folders;
    for (const Kind& kind : kKinds) {
        std::vector<std::string> candidates;
        std::string named = kind.shellFolder ? ShellFolderValue(user, kind.shellFolder)
                            : user.hive    ? TextValue(kUsers, user.sid + "\\Environment", "TEMP")
                                           : "";
        if (!named.empty()) candidates.push_back(named);
        for (const char* usual : kind.usual)
            if (usual) candidates.push_back(usual);
        folders.folder[kind.which] = FirstPresent(installation, user, candidates);
    }
    return folders;
}

// The folder when it is there on the mount; empty otherwise.
std::string IfPresent(const std::string& folder) {
    std::string posix;
    return ResolveMountedPath(folder.c_str(), &posix) == MOUNTED_FOUND ? folder : "";
}

// A 9x installation's registry is not read, so its folders are where
// Windows keeps them: the shared ones under All Users; a user's under the
// Windows folder (the one user of a machine without profiles) and under
// Profiles\<name> for each profile.
void Load9xFolders(Installation* installation) {
    const std::string& windows = installation->windowsFolder;
    const char kDesktop[] = "\\Desktop", kStartup[] = "\\Start Menu\\Programs\\StartUp";
    installation->desktopFolder = IfPresent(windows + "\\All Users" + kDesktop);
    installation->startupFolder = IfPresent(windows + "\\All Users" + kStartup);
    std::vector<std::string> homes = {windows};
    std::string profiles = windows + "\\Profiles", posix;
    if (ResolveMountedPath(profiles.c_str(), &posix) == MOUNTED_FOUND) {
        std::vector<std::string> names;
        if (DIR* dir = opendir(posix.c_str())) {
            while (struct dirent* d = readdir(dir)) {
                std::string ansi;
                if (d->d_name[0] != '.' && Utf8ToAnsi(d->d_name, &ansi)) names.push_back(ansi);
            }
            closedir(dir);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) homes.push_back(profiles + "\\" + name);
    }
    for (const std::string& home : homes) {
        UserFolders folders;
        folders.folder[USER_DESKTOP] = IfPresent(home + kDesktop);
        folders.folder[USER_STARTUP] = IfPresent(home + kStartup);
        if (!folders.folder[USER_DESKTOP].empty() || !folders.folder[USER_STARTUP].empty())
            installation->users.push_back(folders);
    }
}

}  // namespace

bool FindInstallation(const std::string& root, char letter, Installation* installation, std::string* problem) {
    installation->root = root;
    installation->letter = letter;
    DIR* dir = opendir(root.c_str());
    if (!dir) {
        *problem = "the folder " + root + " cannot be read";
        return false;
    }
    std::string found9x;
    bool found = false;
    while (struct dirent* d = readdir(dir)) {
        std::string ansi, name = d->d_name;
        if (name == "." || name == ".." || !Utf8ToAnsi(name, &ansi)) continue;
        struct stat st;
        if (lstat((root + "/" + name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        std::string windows = std::string(1, letter) + ":\\" + ansi, posix;
        if (ResolveMountedPath((windows + "\\System32\\config\\SOFTWARE").c_str(), &posix) == MOUNTED_FOUND &&
            IsFile(posix) && (!found || windows < installation->windowsFolder)) {
            installation->windowsFolder = windows;
            installation->ntFamily = true;
            found = true;
        }
        if (ResolveMountedPath((windows + "\\SYSTEM.DAT").c_str(), &posix) == MOUNTED_FOUND && IsFile(posix) &&
            (found9x.empty() || windows < found9x))
            found9x = windows;
    }
    closedir(dir);
    if (!found && !found9x.empty()) {
        installation->windowsFolder = found9x;
        installation->ntFamily = false;
        found = true;
    }
    if (!found) *problem = "no Windows installation was found in " + root;
    return found;
}

std::string ExpandInstallationText(const Installation& installation, const std::string& text,
                                   const std::string& profileFolder) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t close = text[at] == '%' ? text.find('%', at + 1) : std::string::npos;
        if (close == std::string::npos) {
            out.push_back(text[at++]);
            continue;
        }
        std::string word = text.substr(at + 1, close - at - 1), value;
        auto is = [&word](const char* name) { return SameAnsiAnyCase(word.data(), word.size(), name, strlen(name)); };
        if (is("SystemDrive"))
            value = std::string(1, installation.letter) + ":";
        else if (is("SystemRoot") || is("windir"))
            value = installation.windowsFolder;
        else if (is("USERPROFILE"))
            value = profileFolder;
        else if (is("ALLUSERSPROFILE") || is("ProgramData"))
            value = ProgramDataFolder(installation);
        else if (is("PUBLIC"))
            value = ExpandInstallationText(installation, TextValue(kLocalMachine, kProfileList, "Public"));
        if (value.empty()) {
            out.append(text, at, close - at + 1);
        } else {
            out += value;
        }
        at = close + 1;
    }
    return out;
}

void LoadInstallation(Installation* installation, void (*report)(const std::string& line)) {
    std::string config = installation->windowsFolder + "\\System32\\config\\";
    installation->systemFolder = installation->windowsFolder + (installation->ntFamily ? "\\system32" : "\\SYSTEM");
    installation->tempFolder = installation->windowsFolder + "\\TEMP\\";
    if (!installation->ntFamily) {
        Load9xFolders(installation);
        return;
    }
    SetMachineHives(OpenHive(config + "SOFTWARE", report), OpenHive(config + "SYSTEM", report));
    std::string root = TextValue(kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot");
    // The registry's spelling of the folder, when it names the drive the run
    // mounted as the installation's (--drive= gives another letter).
    if (root.size() > 2 && root[1] == ':' && (root[0] & ~0x20) == installation->letter) {
        installation->windowsFolder = root;
        installation->systemFolder = root + "\\system32";
        installation->tempFolder = root + "\\TEMP\\";
    }
    LoadProfiles(*installation, report);
    // The common folders, as the shell names them for every user.
    const std::string shell = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    std::string startup = TextValue(kLocalMachine, shell + "User Shell Folders", "Common Startup");
    if (startup.empty()) startup = TextValue(kLocalMachine, shell + "Shell Folders", "Common Startup");
    std::string desktop = TextValue(kLocalMachine, shell + "User Shell Folders", "Common Desktop");
    if (desktop.empty()) desktop = TextValue(kLocalMachine, shell + "Shell Folders", "Common Desktop");
    installation->startupFolder = ExpandInstallationText(*installation, startup);
    installation->desktopFolder = ExpandInstallationText(*installation, desktop);
    // HKCU is the first user profile's, as a run under that user would have it.
    for (const OfflineProfile* p = OfflineProfiles(); p; p = p->next) {
        if (!p->hive || p->sid.compare(0, 9, "S-1-5-21-") != 0) continue;
        SetCurrentProfile(p);
        break;
    }
    // The system's temporary folder; each user's is the user's own.
    std::string temp = TextValue(kLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", "TEMP");
    if (!temp.empty()) installation->tempFolder = ExpandInstallationText(*installation, temp) + "\\";
    for (const OfflineProfile* p = OfflineProfiles(); p; p = p->next)
        if (p->sid.compare(0, 9, "S-1-5-21-") == 0) installation->users.push_back(FoldersOf(*installation, *p));
}
