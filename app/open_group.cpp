#include "app/open_group.h"

#include "disk/disk_element.h"
#include "memory/memory_element.h"

void CloseOpenGroup(ParseContext* context) {
    if (context->flags & RUN_IN_DISK)
        OnDiskEnd(context, "DISK");
    else if (context->flags & RUN_IN_MEMORY)
        OnMemoryEnd(context, "MEMORY");
}
