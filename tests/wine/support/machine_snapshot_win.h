// Snapshots of what a run may change on the machine (registry trees,
// folders, services, processes) as plain maps from a name to a description,
// so that two of them compare with == and their difference reads briefly.
#pragma once
#include <windows.h>

#include <map>
#include <string>

using MachineShot = std::map<std::string, std::string>;

// Every key and value below root\path, named from prefix: prefix + "sub\"
// for a key (described as "key"), prefix + "sub\@name" for a value
// (described as "<type>:<bytes>"). The key itself is prefix. Nothing when
// the key does not open. An empty path is the root key itself.
void AddRegistryTree(HKEY root, const std::string& path, const std::string& prefix, MachineShot* shot);
// The same, with the key's subkeys shared out between two threads: a whole
// hive takes seconds, and two readers take about half of that.
void AddRegistryTreeInParallel(HKEY root, const std::string& path, const std::string& prefix, MachineShot* shot);
// The same, answered on its own with an empty prefix.
MachineShot RegistryShotOf(HKEY root, const std::string& path);
// Deletes a key with everything below it.
void DeleteRegistryTree(HKEY root, const std::string& path);

// Every file and folder below folder, named from prefix: a folder as
// "<folder>", a file by its size, attributes, write time and a hash of its
// bytes. Names listed in skip (exact, either case) are left out wherever
// they are.
void AddFolderTree(const std::string& folder, const std::string& prefix, MachineShot* shot,
                   const char* const* skip = nullptr);
// One file's whole bytes under its own name, or "<absent>".
void AddFileBytes(const std::string& path, const std::string& name, MachineShot* shot);

// Every service as "service <name>" with its state.
void AddServices(MachineShot* shot);
// Every process but the caller and Wine's console hosts, as
// "process <module> <id>" with the module's name in lower case.
void AddProcesses(MachineShot* shot);

// The entries that differ between two snapshots, one per line, with the
// start of each side's description: for a test's failure message.
std::string ShotDifferences(const MachineShot& before, const MachineShot& after);
// The names whose entry is not the same in both.
std::map<std::string, std::string> ChangedNames(const MachineShot& before, const MachineShot& after);
