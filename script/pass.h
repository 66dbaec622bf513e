// The pieces of one pass over the data file that a scan run and the header
// pass share: decoder buffers, the parser with the element callbacks, and
// closing the source.
#pragma once
#include "script/parse_context.h"

// Clears the context for a new pass; flags start as given.
void ResetParseContext(ParseContext* context, uint32_t flags);
// Answers false when memory ran out (nothing stays allocated).
bool AllocateDecoderBuffers(ParseContext* context);
void FreeDecoderBuffers(ParseContext* context);
// Creates the parser with no fixed encoding and installs the callbacks.
bool CreateScriptParser(ParseContext* context);
void ReleaseScriptParser();
void CloseDataFile(ParseContext* context);
// Frees the texts the context still holds.
void FreeContextTexts(ParseContext* context);
// Resets the element stack and the decoder, then decodes and parses.
int RunDecoder(ParseContext* context, bool stopAtIdentity);
