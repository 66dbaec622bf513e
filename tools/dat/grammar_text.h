// The data-file reference, written from the grammar tables the program
// dispatches with, the element rules and the subsystems' ACTION keywords.
#pragma once
#include <string>

enum GrammarFormat { GRAMMAR_TEXT, GRAMMAR_MARKDOWN };

std::string DescribeGrammar(GrammarFormat format);
