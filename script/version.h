// The program's version, as every output names it.
#pragma once

#define MENDRIX_VERSION "1.07"
