#include "app/open_group.h"

#include "disk/disk_element.h"
#include "memory/memory_element.h"
#include "system/ini_element.h"
#include "system/registry_element.h"

void CloseOpenGroup(ParseContext* context) {
    if (context->flags & RUN_IN_DISK) OnDiskEnd(context, "DISK");
    if (context->flags & RUN_IN_MEMORY) OnMemoryEnd(context, "MEMORY");
    if (context->flags & RUN_IN_REGISTRY) OnRegistryEnd(context, "REGISTRY");
    if (context->flags & RUN_IN_INIFILE) OnIniFileEnd(context, "INIFILE");
}
