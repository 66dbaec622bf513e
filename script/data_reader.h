// Reader of the stored data file: unscrambles and decompresses the token
// stream and hands the XML text to the parser in pieces of 1024 bytes.
#pragma once
#include <stdint.h>
#include <stdio.h>

#include "script/parse_context.h"

// The unscrambling key and the embedded data, process-wide.
extern uint32_t g_dataKey;
extern const unsigned char* g_resourceData;
extern uint32_t g_resourceSize;
extern uint32_t g_resourcePosition;

enum { DATA_END = -1 };

// Opens the external file or the embedded resource (platform code). On
// failure the reason has been reported.
bool OpenDataFile(ParseContext* context);

int ReadDataByte(FILE* stream);
int PutDecodedByte(ParseContext* context, unsigned char byte);
// Before the call: parser created with handlers, key at the seed, decoder
// reset. Answers 0, 9 or 10.
int DecodeDataFile(ParseContext* context, bool stopAtIdentity);

// Sets the key to the seed and the decoder to buffer A, no previous, 0.
void ResetDecoder(ParseContext* context);
