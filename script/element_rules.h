// What each element of the grammar accepts: its attributes with their
// values, and what its text holds. Read by `mendrix-dat check` to name the
// attributes an element accepts and by `mendrix-dat grammar` to print the
// reference; the element handlers remain the judges of every value.
#pragma once

struct AttributeRule {
    const char* name;  // null ends a list
    const char* values;
    int ignoresCase;  // the words of `values` are compared without regard to case
    const char* example;  // a value the element's handler accepts
};

struct ElementRule {
    const char* element;  // null ends the table
    const char* parent;   // the enclosing element; "" for the document, "*" for anywhere
    const char* purpose;
    const AttributeRule* attributes;
    int othersIgnored;  // attributes not listed are ignored; otherwise they are data-file errors
    const char* text;   // what the element's text holds; null when it has none
};

extern const ElementRule kElementRules[];
// The attributes that every element whose handler takes them may carry.
extern const AttributeRule kGenericAttributes[];

// The rule of `element` inside `parent` ("" for the document), or null.
const ElementRule* FindElementRule(const char* element, const char* parent);
