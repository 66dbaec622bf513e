#include "script/pass.h"

#include <stdlib.h>
#include <string.h>

#include "script/data_reader.h"
#include "script/dispatch.h"
#include "script/parser.h"

void ResetParseContext(ParseContext* context, uint32_t flags) {
    memset(context, 0, sizeof *context);
    context->flags = flags;
    context->threatType = THREAT_VIRUS;
}

bool AllocateDecoderBuffers(ParseContext* context) {
    context->decoder.bufferA = static_cast<unsigned char*>(malloc(DATA_BUFFER_SIZE));
    context->decoder.bufferB = static_cast<unsigned char*>(malloc(DATA_BUFFER_SIZE));
    if (context->decoder.bufferA && context->decoder.bufferB) return true;
    FreeDecoderBuffers(context);
    return false;
}

void FreeDecoderBuffers(ParseContext* context) {
    free(context->decoder.bufferA);
    free(context->decoder.bufferB);
    context->decoder.bufferA = context->decoder.bufferB = nullptr;
    context->decoder.current = context->decoder.previous = nullptr;
}

bool CreateScriptParser(ParseContext* context) {
    g_parser = XML_ParserCreate(nullptr);
    if (!g_parser) return false;
    XML_SetUserData(g_parser, context);
    XML_SetElementHandler(g_parser, OnStartElement, OnEndElement);
    XML_SetCharacterDataHandler(g_parser, OnCharacterData);
    return true;
}

void ReleaseScriptParser() {
    if (g_parser) XML_ParserFree(g_parser);
    g_parser = nullptr;
}

void CloseDataFile(ParseContext* context) {
    if (context->decoder.stream) fclose(context->decoder.stream);
    context->decoder.stream = nullptr;
}

void FreeContextTexts(ParseContext* context) {
    char** texts[] = {&context->genericName, &context->messageText, &context->serviceText, &context->helpText,
                      &context->commandText};
    for (char** t : texts) {
        free(*t);
        *t = nullptr;
    }
    free(context->suspendedProcesses);
    context->suspendedProcesses = nullptr;
}

int RunDecoder(ParseContext* context, bool stopAtIdentity) {
    ResetElementStack(context);
    ResetDecoder(context);
    return DecodeDataFile(context, stopAtIdentity);
}
