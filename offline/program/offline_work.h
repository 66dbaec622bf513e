// The cleaning work of an offline run: the walk and file actions on the
// mounted tree, the hives, the INI files, the services as keys of the
// current control set, and a line for each piece of work that needs the
// installation running.
#pragma once
#include "script/cleaning.h"

const CleaningWork* OfflineCleaningWork(bool ntFamily);
