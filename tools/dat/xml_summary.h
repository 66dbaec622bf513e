// What the data-file tool reports about a decoded text: whether it is
// well-formed XML, its root element and the identity the CLEANER element
// carries.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

enum { IDENTITY_ATTRIBUTE_COUNT = 4 };
// DataFile, Version, Type, Variants: the order they are reported in.
extern const char* const kIdentityAttributes[IDENTITY_ATTRIBUTE_COUNT];

struct XmlSummary {
    bool wellFormed;
    std::string problem;  // when not well-formed: "line 3, column 5: mismatched tag",
                          // counted from 1
    std::string root;     // empty when no element was reached
    bool cleanerFound;    // the first CLEANER element, wherever it is
    bool present[IDENTITY_ATTRIBUTE_COUNT];
    std::string values[IDENTITY_ATTRIBUTE_COUNT];
};

XmlSummary SummarizeXml(const std::vector<uint8_t>& text);
