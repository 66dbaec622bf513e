#include "report/confirm.h"

int32_t g_yesToAll = 0;
