#include "script/parser.h"

XML_Parser g_parser = nullptr;
