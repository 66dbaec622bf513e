// The script as a tree of its elements, with where each element, attribute
// and text stands: what the check's warnings look at. The program itself
// never holds a tree; this is the tool's view of a whole file at once.
#pragma once
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

struct OutlineAttribute {
    std::string name;
    std::string value;
    long offset;  // byte index of the attribute's name in the file
};

struct OutlineNode {
    std::string name;  // "" for the document
    std::vector<OutlineAttribute> attributes;
    std::string text;  // the character data directly inside, pieces joined
    long offset = 0;       // byte index of the start tag
    long textOffset = -1;  // byte index of the first piece of text; -1 without
    long endOffset = 0;    // byte index of the end tag, where a section does its work
    OutlineNode* parent = nullptr;
    std::vector<std::unique_ptr<OutlineNode>> children;

    // The attribute of that name, or null.
    const OutlineAttribute* Attribute(const char* attributeName) const;
    // The parent's name, "" for the document and for the root element.
    std::string ParentName() const;
};

struct ScriptOutline {
    bool wellFormed = false;
    OutlineNode document;
    std::vector<long> lineStarts;  // byte index of each line's first byte

    // Line and column, counted from 1, of a byte index.
    void PositionOf(long offset, long* line, long* column) const;
};

// Reads the whole text; a text that is not well-formed gives wellFormed
// false and what was read up to the fault.
void ReadOutline(const std::vector<uint8_t>& text, ScriptOutline* outline);

// Every element of the tree below node, in document order (node excluded).
void ListElements(const OutlineNode& node, std::vector<const OutlineNode*>* elements);
