#include "script/element_rules.h"

#include <string.h>

// Values shared by several attributes.
#define OS_VALUES "WIN9X or WINNT: the element counts only on that family; any other word excludes nothing"
#define FOLDER_PATH "a path, which may begin with a folder macro word (windows, system, temp, startup, desktop)"
#define HEX_NUMBER "a hexadecimal number without prefix"
#define TEXT_IGNORED "accepted and ignored"

// The generic attributes, which a table of an element's own attributes
// ends with too when the element takes them as well.
#define GENERIC_ATTRIBUTE_ROWS                                                                                       \
    {"os", OS_VALUES, 0, "WINNT"},                                                                                  \
    {"confirm", "a question; with confirmation on, a direct child of IDENTITY runs only when the answer is Yes", 0, \
     "Remove it?"},                                                                                                 \
    {"Infected", "true: only once something was found; false: only while nothing was", 1, "true"},                 \
    {"DefaultMessages", "off: the section's default messages are not written until the element ends", 1, "off"}

const AttributeRule kGenericAttributes[] = {
    GENERIC_ATTRIBUTE_ROWS,
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kCleanerAttributes[] = {
    {"DataFile", "the threat's name; a value containing .dat is taken as a data file name", 0, "Example.Worm"},
    {"Version", "the data version", 0, "1.0"},
    {"Type", "Virus, Worm, Trojan or Application (the default is Virus)", 1, "Worm"},
    {"Variants", "variant names separated by commas, listed in the About box", 0, "Example.A,Example.B"},
    {"Copyright", TEXT_IGNORED, 0, "(c) 2026"},
    {"dll", TEXT_IGNORED, 0, "kernel32.dll"},
    {"os", OS_VALUES "; on the other family the run stops with \"Unsupported operating system platform!\"", 0, "WINNT"},
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kIdentityAttributes[] = {
    {"GenericName", "the threat's generic name, shown in headings and found messages (at most once)", 0, "Example"},
    {"os", OS_VALUES, 0, "WINNT"},
    {"confirm", "a question asked before the cleaning work starts", 0, "Remove it?"},
    {"DefaultMessages", "off: no default messages for the whole cleaning work", 1, "off"},
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kDirectoryAttributes[] = {
    {"subfolders", "no: only the folder itself is searched, not its subfolders; yes (the default): with its subfolders",
     0, "no"},
    GENERIC_ATTRIBUTE_ROWS,
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kFileAttributes[] = {
    {"VirusName", "the variant's name in the found message (default: the IDENTITY GenericName)", 0, "Example.A"},
    {"FileName", "the file name to look for, compared with the name part of each path; " FOLDER_PATH, 0, "example.exe"},
    {"size", "the required file size in bytes, " HEX_NUMBER "; empty or 0: any size", 0, "400"},
    {"TypeName", "the kind of threat in the found message (default: from the CLEANER Type)", 0, "Worm"},
    {"Extensions", "extensions with their dots separated by commas (.exe,.scr), up to 31 of 10 characters; all: every "
                   "extension; used only without FileName",
     1, ".exe,.scr"},
    {"os", OS_VALUES, 0, "WINNT"},
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kPatternAttributes[] = {
    {"offset", "an optional -, then " HEX_NUMBER ": the distance from the origin", 0, "-10"},
    {"origin", "ep (entry point), end, stack (a THREAD's stack pointer) or patternN (where PATTERN number N, "
               "hexadecimal from 0, was found); absent or any other word: the start",
     0, "end"},
    {"type", "forwards: search forward from the place instead of comparing there", 0, "forwards"},
    {"length", "how far past the place a forward search may begin, " HEX_NUMBER, 0, "100"},
    {"function", "a PATCH writes the address of this exported function", 0, "ExitProcess"},
    {"dll", "the library that exports function", 0, "kernel32.dll"},
    {"os", OS_VALUES, 0, "WINNT"},
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kActionAttributes[] = {
    {"confirm", "a question asked before a file action; No leaves the file alone", 0, "Remove it?"},
    {"message", "the text under the confirm question: \\n starts a new line, %s stands for the file's name", 0, "Delete %s?"},
    {"store", "a store name: the name of the file found, or the text a registry VIRUSVALUE %s captured, is kept "
              "under it",
     0, "ExampleFile"},
    {"storeList", "like store, but every find is added to the list of that name; give it before storeFlag", 0, "ExampleFiles"},
    {"storeFlag", "FullPath (keep the whole path) and/or NoExt (drop the extension), for files", 0, "FullPath"},
    {"destination", "where copy and move put the file; " FOLDER_PATH, 0, "temp\\example.bak"},
    {"start", "where cut starts: " HEX_NUMBER ", end-N, end+N, patternN, patternN+M or patternN-M", 0, "pattern0+8"},
    {"end", "where cut ends (default: the end of the file); written as start", 0, "end-10"},
    {"length", "how many bytes cut removes from start, " HEX_NUMBER "; 0: up to end", 0, "100"},
    {"parameters", "the message, wParam and lParam of PostThreadMessage, hexadecimal, separated by commas", 0, "12,0,0"},
    {"SetInfected", "true: a find counts as infected, for later elements with Infected", 1, "true"},
    {"dll", "the library that eject releases; a store name in it is replaced by the file name it holds", 0, "kernel32.dll"},
    {"os", OS_VALUES, 0, "WINNT"},
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kProcessAttributes[] = {
    {"VirusName", "the variant's name in the found message (default: the IDENTITY GenericName)", 0, "Example.A"},
    {"TypeName", "the kind of threat in the found message (default: from the CLEANER Type)", 0, "Worm"},
    {"ProcessName", "the executable's file name, compared whole and without regard to case; absent: every process", 0, "example.exe"},
    {"path", "the executable's full path, compared whole and without regard to case; it may begin with a folder "
             "macro word (windows, system, temp, startup, desktop); with ProcessName, both must fit",
     0, "system\\example.exe"},
    {"dll", "a library the process must have loaded; a store name in it is replaced by the file name it holds", 0, "kernel32.dll"},
    {"os", OS_VALUES, 0, "WINNT"},
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kRegistryKeyAttributes[] = {
    {"handle", "HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_USERS", 0, "HKEY_LOCAL_MACHINE"},
    {"name", "the key's path under the root; may name a store", 0, "Example"},
    {"os", OS_VALUES, 0, "WINNT"},
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kRegistryValueAttributes[] = {
    {"name", "the value's name; empty: the key's unnamed value; absent: every value of the key", 0, "Example"},
    {"os", OS_VALUES, 0, "WINNT"},
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kRegistryDefaultAttributes[] = {
    {"type", "REG_SZ or REG_EXPAND_SZ: the value's normal type; the text is compared without regard to case and "
             "written as given, with that type, and a value of another type differs from it. Absent: compared and "
             "written in lower case, as REG_SZ",
     0, "REG_EXPAND_SZ"},
    {"expand", "yes: the text may begin with a folder macro word (windows, system, temp, startup, desktop), replaced "
               "by that folder; no (the default): the text is taken as written",
     0, "yes"},
    GENERIC_ATTRIBUTE_ROWS,
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kIniFileAttributes[] = {
    {"FileName", "the INI file (required); " FOLDER_PATH, 0, "example.exe"},
    {"os", OS_VALUES, 0, "WINNT"},
    {"confirm", "a question asked before the INI file is examined", 0, "Remove it?"},
    {"DefaultMessages", "off: no heading for this file", 1, "off"},
    {nullptr, nullptr, 0, nullptr},
};

static const AttributeRule kIniKeyAttributes[] = {
    {"section", "the section, without brackets", 0, "windows"},
    {"name", "the entry's name", 0, "Example"},
    {"os", OS_VALUES, 0, "WINNT"},
    {nullptr, nullptr, 0, nullptr},
};

#define ACTION_TEXT "one keyword (see the ACTION keywords); white space ends it, and white space before it leaves it empty"
#define PATTERN_TEXT "bytes in hexadecimal, white space between bytes allowed, at most 1024 bytes"

// Rows in the order of the grammar tables, parents before their children.
const ElementRule kElementRules[] = {
    {"CLEANER", "", "The document: names the threat and the data version.", kCleanerAttributes, 0, nullptr},
    {"HELP", "CLEANER", "Free text for the data file's readers; not shown.", kGenericAttributes, 1, "any text"},
    {"IDENTITY", "CLEANER", "Frames the cleaning work with a start and a finish line.", kIdentityAttributes, 0,
     nullptr},
    {"DISK", "IDENTITY", "One search of the disks, carried out at its end tag.", kGenericAttributes, 1, nullptr},
    {"DIRECTORY", "DISK",
     "A folder to search with its subfolders (at most 64 per DISK; without any, C: is searched).",
     kDirectoryAttributes, 1,
     "a path, which may begin with a folder macro word (windows, system, temp, startup, desktop) or name a store; "
     "AllDrives or FixedDrives (exactly, without white space) for the drives' roots"},
    {"FILE", "DISK", "A file to look for.", kFileAttributes, 0, nullptr},
    {"ACTION", "FILE", "What to do with the file found.", kActionAttributes, 1, ACTION_TEXT},
    {"PATCH", "ACTION", "Bytes written into a process's memory by write.", kPatternAttributes, 0, PATTERN_TEXT},
    {"PATTERN", "FILE", "Bytes that must stand at a place in the file; give PATTERNs before the ACTION.",
     kPatternAttributes, 0, PATTERN_TEXT},
    {"MEMORY", "IDENTITY", "One search of the running processes, carried out at its end tag.", kGenericAttributes,
     1, nullptr},
    {"PROCESS", "MEMORY", "A process to look for.", kProcessAttributes, 0, nullptr},
    {"ACTION", "PROCESS", "What to do with the process found.", kActionAttributes, 1, ACTION_TEXT},
    {"PATTERN", "PROCESS", "Bytes that must stand in the process's executable module; give PATTERNs before the ACTION.",
     kPatternAttributes, 0, PATTERN_TEXT},
    {"THREAD", "MEMORY", "Processes whose threads are examined one by one.", kProcessAttributes, 0, nullptr},
    {"ACTION", "THREAD", "What to do with the thread found.", kActionAttributes, 1, ACTION_TEXT},
    {"PATTERN", "THREAD", "Bytes at the thread's start address or stack; give PATTERNs before the ACTION.",
     kPatternAttributes, 0, PATTERN_TEXT},
    {"REGISTRY", "IDENTITY", "Registry keys and values, examined at its end tag, the last KEY first.",
     kGenericAttributes, 1, nullptr},
    {"KEY", "REGISTRY", "A registry key; with no VALUE its ACTION acts on the whole key.", kRegistryKeyAttributes, 0,
     nullptr},
    {"VALUE", "KEY", "A value of the key.", kRegistryValueAttributes, 0, nullptr},
    {"ACTION", "VALUE", "What to do with the value when it shows the threat.", kActionAttributes, 1, ACTION_TEXT},
    {"DEFAULT", "VALUE", "The value's normal data, which reset writes back.", kRegistryDefaultAttributes, 1,
     "the normal data: text, or a hexadecimal number for a REG_DWORD value"},
    {"VIRUSVALUE", "VALUE", "A text the value's data holds when it shows the threat.", kGenericAttributes, 1,
     "a text compared without regard to case; \"%s\" in it captures that part of the data into the ACTION's store"},
    {"ACTION", "KEY", "What to do with the key (give it before the KEY's VALUEs).", kActionAttributes, 1,
     ACTION_TEXT},
    {"EXECUTE", "IDENTITY", "A command run when the element ends.", kGenericAttributes, 1,
     "a command line in double quotes, which may begin with a folder macro word and name a store; "
     "removeShares (any case) removes the network shares in a run started with -s"},
    {"UNREGDLL", "IDENTITY", "A COM server library whose DllUnregisterServer is called.", kGenericAttributes, 1,
     "the library's path, which may begin with a folder macro word and name a store"},
    {"INIFILE", "IDENTITY", "Entries of one INI file, examined at its end tag, the last KEY first.",
     kIniFileAttributes, 0, nullptr},
    {"KEY", "INIFILE", "An entry of the INI file.", kIniKeyAttributes, 0, nullptr},
    {"DEFAULT", "KEY", "The entry's normal value, written back when the entry shows the threat; without it the "
                       "entry is deleted.",
     kGenericAttributes, 1, "the normal value"},
    {"VIRUSVALUE", "KEY", "A text the entry holds when it shows the threat.", kGenericAttributes, 1,
     "a text compared without regard to case"},
    {"SERVICE", "IDENTITY", "A service stopped and deleted (Windows NT family only).", kGenericAttributes, 1,
     "the service's key name, as written"},
    {"PRINT", "*", "A message box; the run waits until it is closed.", kGenericAttributes, 1, "the message"},
    {"LOG", "*", "A line in the window's message list, after an empty line; never in the log file.",
     kGenericAttributes, 1, "the message, taken literally"},
    {nullptr, nullptr, nullptr, nullptr, 0, nullptr},
};

// KEY, DEFAULT, VIRUSVALUE and ACTION stand in two places; the parent names
// the place. PRINT and LOG, whose parent is "*", stand anywhere.
const ElementRule* FindElementRule(const char* element, const char* parent) {
    for (const ElementRule* rule = kElementRules; rule->element; ++rule)
        if (strcmp(rule->element, element) == 0 && (strcmp(rule->parent, parent) == 0 || strcmp(rule->parent, "*") == 0))
            return rule;
    return nullptr;
}
