// What the directory list asks of an installation cleaned from outside: its
// drives are the ones mounted for the run, and its users are the user
// profiles, whose own folders each stand in turn where the running program
// has the one of the account it runs under.
#pragma once
#include <vector>

#include "offline/installation.h"

void SetOfflineUsers(const std::vector<UserFolders>* users);
