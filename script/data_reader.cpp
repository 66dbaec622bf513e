// Reader of the stored data file. The token stream is undone on the fly into
// two alternating 1024-byte buffers: the full one is handed to the parser and
// kept as the window that back-copies of the next buffer may reach into.
#include "script/data_reader.h"

#include "script/container_codec.h"
#include "script/data_error.h"
#include "script/dispatch.h"
#include "script/parser.h"

uint32_t g_dataKey = DATA_SEED;
const unsigned char* g_resourceData = nullptr;
uint32_t g_resourceSize = 0;
uint32_t g_resourcePosition = 0;

int ReadDataByte(FILE* stream) {
    int stored;
    if (stream) {
        stored = fgetc(stream);
        if (stored == EOF) return DATA_END;
    } else {
        if (!g_resourceData || g_resourcePosition >= g_resourceSize) return DATA_END;
        stored = g_resourceData[g_resourcePosition++];
    }
    int plain = (stored ^ static_cast<int>(g_dataKey)) & 0xFF;
    g_dataKey = NextDataKey(g_dataKey);
    return plain;
}

// Hands a piece to the parser; a parse failure is reported once, here.
static int ParsePiece(ParseContext* context, const unsigned char* bytes, int length, int isFinal) {
    // Without a parser there is nowhere to put the text; that is a failed
    // parse, not a crash.
    if (!g_parser ||
        XML_Parse(g_parser, reinterpret_cast<const char*>(bytes), length, isFinal) == XML_STATUS_ERROR) {
        ReportDataError(context, DATA_ERROR_ELEMENT);
        return DATA_ERROR_ELEMENT;
    }
    return 0;
}

int PutDecodedByte(ParseContext* context, unsigned char byte) {
    DecoderState& d = context->decoder;
    d.current[d.position++] = byte;
    if (d.position < DATA_BUFFER_SIZE) return 0;

    int result = ParsePiece(context, d.current, DATA_BUFFER_SIZE, 0);
    d.previous = d.current;
    d.current = (d.current == d.bufferA) ? d.bufferB : d.bufferA;
    d.position = 0;
    return result;
}

static int ReportCorrupt(ParseContext* context) {
    ReportDataError(context, DATA_ERROR_CORRUPT);
    return DATA_ERROR_CORRUPT;
}

// Copies `length` bytes from `distance` back, one at a time so that a copy
// longer than its distance repeats what it has just written.
static int CopyBack(ParseContext* context, int length, int distance) {
    // No writer emits distance 0; it would read the byte about to be
    // written, so it can only come from damaged data.
    if (distance == 0) return ReportCorrupt(context);
    DecoderState& d = context->decoder;
    for (int i = 0; i < length; ++i) {
        unsigned char source;
        if (distance <= d.position) {
            source = d.current[d.position - distance];
        } else if (d.previous) {
            source = d.previous[DATA_BUFFER_SIZE + d.position - distance];
        } else {
            return ReportCorrupt(context);  // before the start of the text
        }
        // May swap buffers; the next byte is then taken relative to the new one.
        int result = PutDecodedByte(context, source);
        if (result != 0) return result;
    }
    return 0;
}

int DecodeDataFile(ParseContext* context, bool stopAtIdentity) {
    DecoderState& d = context->decoder;
    for (;;) {
        int token = ReadDataByte(d.stream);
        if (token == DATA_END) break;
        // The header pass needs nothing past the IDENTITY element.
        if (stopAtIdentity && g_identitySeen) return 0;

        int result;
        if (token < TOKEN_ESCAPE) {
            result = PutDecodedByte(context, static_cast<unsigned char>(token));
        } else {
            int second = ReadDataByte(d.stream);
            if (second == DATA_END) return ReportCorrupt(context);
            if (token == TOKEN_ESCAPE) {
                result = PutDecodedByte(context, static_cast<unsigned char>(second));
            } else {
                int length = (token >> 2) & TOKEN_MAX_COPY_LENGTH;
                int distance = ((token & 3) << 8) | second;
                result = CopyBack(context, length, distance);
            }
        }
        if (result != 0) return result;
    }

    if (stopAtIdentity && g_identitySeen) return 0;
    return ParsePiece(context, d.current, d.position, 1);
}

void ResetDecoder(ParseContext* context) {
    DecoderState& d = context->decoder;
    g_dataKey = DATA_SEED;
    d.current = d.bufferA;
    d.previous = nullptr;
    d.position = 0;
    g_resourcePosition = 0;
}
