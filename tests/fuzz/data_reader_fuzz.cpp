// Fuzzes the data-file reader with the real element callbacks, and the
// tool's codec against it: each input is read as stored bytes (a header pass,
// then a scan run, as the program does), decoded by the tool's decoder, and
// taken as a text to encode, round-trip and read back through the program.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/open_group.h"
#include "script/data_reader.h"
#include "script/dispatch.h"
#include "script/identity.h"
#include "script/pass.h"
#include "script/parser.h"
#include "tools/dat/codec.h"

// The fuzzer links the program's portable sources only; the tool's codec is
// compiled in here. Its match search does the same work whatever the data,
// so coverage feedback from it only slows every run down several times.
// (Everything it includes is included above, outside the attribute.)
#pragma clang attribute push(__attribute__((no_sanitize("coverage"))), apply_to = function)
#include "tools/dat/codec.cpp"
#pragma clang attribute pop

static void Check(bool condition, const char* what) {
    if (condition) return;
    fprintf(stderr, "data_reader_fuzz: %s\n", what);
    abort();
}

// One header pass and one scan run over the resource globals, with fresh
// process state. Answers the scan run's result.
static int ReadAsTheProgramDoes(const uint8_t* stored, size_t size) {
    g_resourceData = stored;
    g_resourceSize = static_cast<uint32_t>(size);
    g_identitySeen = 0;
    g_defaultMessagesDepth = 0;
    int result = 0;
    for (bool headerPass : {true, false}) {
        static ParseContext context;
        ResetParseContext(&context, RUN_INITIAL_FLAGS);
        Check(AllocateDecoderBuffers(&context), "out of memory");
        Check(CreateScriptParser(&context), "no parser");
        result = RunDecoder(&context, headerPass);
        Check(result == 0 || result == 9 || result == 10, "unexpected result");
        ReleaseScriptParser();
        // A well-formed text closes every group; a broken one leaves it to
        // the run's end, as the scan run does.
        context.flags |= RUN_SKIP;
        CloseOpenGroup(&context);
        FreeContextTexts(&context);
        FreeDecoderBuffers(&context);
    }
    FreeVariants();
    g_resourceData = nullptr;
    g_resourceSize = 0;
    return result;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> input(data, data + size);

    // The input as a stored file: the reader and the tool's decoder must
    // agree on whether the stream is sound. The reader may also stop at a
    // parse error before it reaches a fault.
    std::vector<uint8_t> text;
    bool decodes = DecodeData(input, &text, nullptr);
    int result = ReadAsTheProgramDoes(input.data(), input.size());
    if (decodes) Check(result != 10, "reader finds corruption the decoder does not");
    else Check(result != 0, "reader accepts a stream the decoder rejects");

    // The input as a text: it round-trips, no larger than all literals, and
    // the reader never finds the encoding corrupt.
    std::vector<uint8_t> stored = EncodeData(input);
    size_t literals = 0;
    for (uint8_t b : input) literals += b < TOKEN_ESCAPE ? 1 : 2;
    Check(stored.size() <= literals, "encoding larger than literals");
    std::vector<uint8_t> back;
    Check(DecodeData(stored, &back, nullptr) && back == input, "round trip");
    Check(ReadAsTheProgramDoes(stored.data(), stored.size()) != 10, "reader rejects the encoder's output");
    return 0;
}

static std::vector<std::string> SeedTexts() {
    const std::string identity =
        "<IDENTITY GenericName=\"Fuzz\"><DISK><FILE><ACTION/><PATTERN/></FILE><DIRECTORY/></DISK>"
        "<MEMORY><PROCESS/><THREAD/></MEMORY><REGISTRY><KEY><VALUE><DEFAULT/></VALUE></KEY></REGISTRY>"
        "<INIFILE><KEY><VIRUSVALUE/></KEY></INIFILE><SERVICE/><EXECUTE/><UNREGDLL/>";
    std::string prints;
    for (int i = 0; i < 60; ++i) prints += "<PRINT>line " + std::to_string(i) + "</PRINT><LOG>logged</LOG>";
    return {
        "",
        "<CLEANER/>",
        "<CLEANER DataFile=\"W32.Fuzz\" Version=\"1\" Type=\"Worm\" Variants=\"A,B,,C\"><HELP>help</HELP>" +
            identity + prints + "</IDENTITY></CLEANER>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<CLEANER os=\"WINNT\" DefaultMessages=\"off\" "
        "Infected=\"true\"><IDENTITY confirm=\"Remove?\"><PRINT>caf\xE9</PRINT></IDENTITY></CLEANER>\n",
    };
}

// Seeds the corpus directories given on the command line with encoded data
// files, so that a run starts from streams that reach the grammar.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const std::vector<std::string> seeds = SeedTexts();
    for (int i = 1; i < *argc; ++i) {
        const char* dir = (*argv)[i];
        if (dir[0] == '-') continue;
        for (size_t k = 0; k < seeds.size(); ++k) {
            std::string path = std::string(dir) + "/seed-" + std::to_string(k);
            if (FILE* existing = fopen(path.c_str(), "rb")) {
                fclose(existing);
                continue;
            }
            // Fails harmlessly when the argument is a file to rerun.
            FILE* file = fopen(path.c_str(), "wb");
            if (!file) continue;
            std::vector<uint8_t> stored = EncodeData(std::vector<uint8_t>(seeds[k].begin(), seeds[k].end()));
            fwrite(stored.data(), 1, stored.size(), file);
            fclose(file);
        }
    }
    return 0;
}
