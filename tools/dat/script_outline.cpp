#include "tools/dat/script_outline.h"

#include <expat.h>
#include <string.h>

#include <algorithm>

namespace {

struct Reading {
    XML_Parser parser;
    const std::vector<uint8_t>* text;
    OutlineNode* open;
};

// Expat hands over attribute values, not where they stand: the name is
// found again in the start tag, after the element's name. Quoted values
// are passed over, so that a value holding "name=" does not mislead.
long AttributeOffset(const std::vector<uint8_t>& text, long tag, const std::string& name) {
    size_t at = static_cast<size_t>(tag) + 1;
    char quote = 0;
    for (; at < text.size() && (quote || text[at] != '>'); ++at) {
        char c = static_cast<char>(text[at]);
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        bool startsName = at > 0 && strchr(" \t\r\n", static_cast<char>(text[at - 1])) != nullptr;
        if (startsName && at + name.size() <= text.size() && memcmp(&text[at], name.data(), name.size()) == 0) {
            size_t after = at + name.size();
            while (after < text.size() && strchr(" \t\r\n", static_cast<char>(text[after]))) ++after;
            if (after < text.size() && text[after] == '=') return static_cast<long>(at);
        }
    }
    return tag;
}

void XMLCALL OnStart(void* userData, const XML_Char* name, const XML_Char** attributes) {
    Reading* reading = static_cast<Reading*>(userData);
    std::unique_ptr<OutlineNode> node(new OutlineNode);
    node->name = name;
    node->offset = static_cast<long>(XML_GetCurrentByteIndex(reading->parser));
    for (const XML_Char** a = attributes; a[0]; a += 2)
        node->attributes.push_back(OutlineAttribute{a[0], a[1], AttributeOffset(*reading->text, node->offset, a[0])});
    node->parent = reading->open;
    OutlineNode* child = node.get();
    reading->open->children.push_back(std::move(node));
    reading->open = child;
}

void XMLCALL OnEnd(void* userData, const XML_Char* name) {
    Reading* reading = static_cast<Reading*>(userData);
    reading->open->endOffset = static_cast<long>(XML_GetCurrentByteIndex(reading->parser));
    if (reading->open->parent) reading->open = reading->open->parent;
}

void XMLCALL OnText(void* userData, const XML_Char* characters, int length) {
    Reading* reading = static_cast<Reading*>(userData);
    OutlineNode* node = reading->open;
    if (node->textOffset < 0) node->textOffset = static_cast<long>(XML_GetCurrentByteIndex(reading->parser));
    node->text.append(characters, static_cast<size_t>(length));
}

}  // namespace

const OutlineAttribute* OutlineNode::Attribute(const char* attributeName) const {
    for (const OutlineAttribute& a : attributes)
        if (a.name == attributeName) return &a;
    return nullptr;
}

std::string OutlineNode::ParentName() const { return parent ? parent->name : ""; }

void ScriptOutline::PositionOf(long offset, long* line, long* column) const {
    auto next = std::upper_bound(lineStarts.begin(), lineStarts.end(), offset);
    long index = static_cast<long>(next - lineStarts.begin()) - 1;
    if (index < 0) index = 0;
    *line = index + 1;
    *column = offset - (lineStarts.empty() ? 0 : lineStarts[static_cast<size_t>(index)]) + 1;
}

void ReadOutline(const std::vector<uint8_t>& text, ScriptOutline* outline) {
    outline->lineStarts.assign(1, 0);
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') outline->lineStarts.push_back(static_cast<long>(i + 1));
    outline->document = OutlineNode();
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser) {
        outline->wellFormed = false;
        return;
    }
    Reading reading = {parser, &text, &outline->document};
    XML_SetUserData(parser, &reading);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    const char* bytes = text.empty() ? "" : reinterpret_cast<const char*>(text.data());
    outline->wellFormed = XML_Parse(parser, bytes, static_cast<int>(text.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
}

void ListElements(const OutlineNode& node, std::vector<const OutlineNode*>* elements) {
    for (const std::unique_ptr<OutlineNode>& child : node.children) {
        elements->push_back(child.get());
        ListElements(*child, elements);
    }
}
