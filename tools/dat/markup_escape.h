// Text put inside XML or HTML markup: the five characters markup gives a
// meaning to, written as references.
#pragma once
#include <string>

// apostrophe is the reference written for ': "&apos;" in XML, "&#39;" where
// the page may be read by HTML readers older than HTML5.
std::string EscapeMarkup(const std::string& text, const char* apostrophe);
