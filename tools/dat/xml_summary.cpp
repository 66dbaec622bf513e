#include "tools/dat/xml_summary.h"

#include <expat.h>
#include <string.h>

const char* const kIdentityAttributes[IDENTITY_ATTRIBUTE_COUNT] = {"DataFile", "Version", "Type", "Variants"};

static void XMLCALL OnStart(void* userData, const XML_Char* name, const XML_Char** attributes) {
    XmlSummary* summary = static_cast<XmlSummary*>(userData);
    if (summary->root.empty()) summary->root = name;
    if (summary->cleanerFound || strcmp(name, "CLEANER") != 0) return;
    summary->cleanerFound = true;
    for (const XML_Char** a = attributes; a[0]; a += 2) {
        for (int k = 0; k < IDENTITY_ATTRIBUTE_COUNT; ++k) {
            if (strcmp(a[0], kIdentityAttributes[k]) == 0) {
                summary->present[k] = true;
                summary->values[k] = a[1];
            }
        }
    }
}

XmlSummary SummarizeXml(const std::vector<uint8_t>& text) {
    XmlSummary summary{};
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser) {
        summary.problem = "out of memory";
        return summary;
    }
    XML_SetUserData(parser, &summary);
    XML_SetStartElementHandler(parser, OnStart);

    // XML_Parse takes an int length; large texts go in slices.
    const size_t slice = 1 << 20;
    size_t at = 0;
    bool ok = true;
    do {
        size_t length = text.size() - at < slice ? text.size() - at : slice;
        bool last = at + length == text.size();
        ok = XML_Parse(parser, reinterpret_cast<const char*>(text.data()) + at, static_cast<int>(length),
                       last) != XML_STATUS_ERROR;
        at += length;
    } while (ok && at < text.size());

    summary.wellFormed = ok;
    if (!ok) {
        // Expat counts columns from 0; editors count from 1.
        summary.problem = "line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
                          std::to_string(XML_GetCurrentColumnNumber(parser) + 1) + ": " +
                          XML_ErrorString(XML_GetErrorCode(parser));
    }
    XML_ParserFree(parser);
    return summary;
}
