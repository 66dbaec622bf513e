// The share table of the network-share stand-ins (netapi32.dll for the NT
// family, svrapi.dll for the 9x family): a text file beside the program under
// test, read and written by the stand-ins at every call and by the tests that
// set the machine's shares up and look at what a run left.
//
// One line per entry, fields separated by tabs, "*" for a text that is absent:
//   share <type> <name> <path> <remark> <permissions> <max uses> <password>
//         <flags> <read-only password> <full password> [<security>]
//         (security: the NT share's self-relative security descriptor in
//         hex, "*" or left out for none)
//   refuse-delete <name>   NetShareDel of that share fails (access denied)
//   refuse-add <name>      NetShareAdd of that name fails (invalid parameter)
//   enum-status <code>     NetShareEnum fails with that code
//   enum-page <count>      NetShareEnum hands out at most count entries a call
#pragma once
#include <string>
#include <vector>

struct TableShare {
    unsigned long type = 0;
    std::string name;
    bool hasPath = true;
    std::string path;
    bool hasRemark = true;
    std::string remark;
    unsigned long permissions = 0;
    unsigned long maxUses = 0;
    bool hasPassword = false;
    std::string password;  // NT password
    unsigned long flags = 0;
    std::string readOnlyPassword;  // 9x
    std::string fullPassword;      // 9x
    std::string security;          // NT: descriptor bytes, empty for none
};

struct ShareTable {
    std::vector<TableShare> shares;
    std::vector<std::string> refuseDelete;
    std::vector<std::string> refuseAdd;
    unsigned long enumStatus = 0;
    unsigned long enumPage = 0;  // 0: no limit
};

// The wire record of the 9x server functions at level 50 (42 bytes in the
// 32-bit build).
#pragma pack(push, 1)
struct StandinShareInfo50 {
    char netName[13];
    unsigned char type;
    unsigned short flags;
    char* remark;
    char* path;
    char fullPassword[9];
    char readOnlyPassword[9];
};
#pragma pack(pop)

bool LoadShareTable(const std::string& file, ShareTable* table);
bool SaveShareTable(const std::string& file, const ShareTable& table);
std::string FormatShareTable(const ShareTable& table);
// Index of the share with that name, compared without regard to case; -1.
int FindShare(const ShareTable& table, const std::string& name);
bool Listed(const std::vector<std::string>& names, const std::string& name);
