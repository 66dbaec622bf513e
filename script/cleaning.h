// The work the group elements do on the machine at their end tags. The
// programs install the Win32 table before a scan; the data-file tool and the
// native tests leave it null, so a script can be read, its records built and
// released, and nothing on the machine is touched.
#pragma once
#include "script/parse_context.h"

struct FileRecord;
struct RegistryCalls;
struct ProfileCalls;
struct ServiceCalls;
struct ProcessRecord;
struct KeyRecord;
struct IniKeyRecord;

struct CleaningWork {
    // Asks the resident on-access scanner to stop checking files. Answers
    // true on success.
    bool (*suspendScanner)();
    // Walks the directory list and acts on the files that fit the records.
    void (*scanDirectories)(ParseContext* context, FileRecord* files);
    // Loads a COM server library and calls its DllUnregisterServer with OLE
    // initialised around the call. Answers true when the entry answered S_OK.
    bool (*unregisterServer)(const char* path);
    // Starts a command line and waits up to five seconds for it to end.
    // Answers false when it could not be started.
    bool (*runCommand)(const char* commandLine);
    // Removes and saves the open disk shares of the family the platform code
    // names.
    void (*removeShares)(int32_t platformCode);
    // The registry, the INI-file profile functions and the service control
    // manager, as the REGISTRY, INIFILE and SERVICE elements reach them.
    const RegistryCalls* registry;
    const ProfileCalls* profiles;
    const ServiceCalls* services;
    // The memory pass of a MEMORY element: enumerates the processes, matches
    // them against the records and runs the process and thread passes.
    void (*scanMemory)(ParseContext* context, ProcessRecord* records);
    // Where nothing can be run (an installation cleaned from outside): the
    // UNREGDLL and EXECUTE elements hand their item kind and text here in
    // place of their work. Null where the work runs.
    void (*notRun)(int32_t kind, const char* subject);
    // Where HKCU stands for several users (an installation cleaned from
    // outside, with a hive for each): carries out a REGISTRY element's KEY
    // list in place of ProcessRegistryKeys. Null elsewhere.
    void (*processRegistryKeys)(const RegistryCalls* calls, KeyRecord* keys);
    // The same for the entries an INIFILE element names, some of which the
    // system may keep in each user's registry: carried out in place of
    // RemoveIniEntries. Null elsewhere.
    void (*removeIniEntries)(const ProfileCalls* calls, const char* file, IniKeyRecord* keys);
};

extern const CleaningWork* g_cleaning;
