// The XML parser of the pass under way, if any.
#pragma once
#include <expat.h>

extern XML_Parser g_parser;
