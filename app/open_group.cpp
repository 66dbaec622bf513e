#include "app/open_group.h"

#include "disk/disk_element.h"

void CloseOpenGroup(ParseContext* context) {
    if (context->flags & RUN_IN_DISK) OnDiskEnd(context, "DISK");
}
