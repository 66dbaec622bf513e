// CLEANER and IDENTITY: what the data file says about the threat, and the
// start and finish lines that frame the cleaning work.
#pragma once
#include "script/parse_context.h"

enum { THREAT_NAME_SIZE = 516, DATA_VERSION_SIZE = 256, MAX_VARIANTS = 100 };

extern char g_threatName[THREAT_NAME_SIZE];
extern char g_dataVersion[DATA_VERSION_SIZE];
extern char* g_variants[MAX_VARIANTS];  // filled once per process, in order

void FreeVariants();

void OnCleanerStart(ParseContext* context, const char* name, const char** attributes);
void OnIdentityStart(ParseContext* context, const char* name, const char** attributes);
void OnIdentityEnd(ParseContext* context, const char* name);
