// The program's data-file reader: unscrambling, the token stream, the
// 1024-byte pieces handed to a real Expat parser, and the header-pass stop.
#include <gtest/gtest.h>
#include <expat.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "script/container_codec.h"
#include "script/data_reader.h"
#include "script/dispatch.h"
#include "script/parser.h"
#include "tools/dat/codec.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// Token bytes as they are before scrambling, from text and raw bytes.
Bytes Tokens(const std::string& literals, const Bytes& more = {}) {
    Bytes out(literals.begin(), literals.end());
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Scrambled(Bytes tokens) {
    uint8_t key = DATA_SEED;
    for (uint8_t& b : tokens) {
        b ^= key;
        key = static_cast<uint8_t>(key << 1 | key >> 7);
    }
    return tokens;
}

struct Piece {
    int32_t positionAtCall;  // 1024 while a full buffer is parsed
    std::string bytes;
};

// The parser's user data is the context, as in a real pass; what Expat
// passes through is recorded with the decoder position of the call it came
// from, so the pieces can be told apart.
struct Reader {
    ParseContext context;
    unsigned char bufferA[DATA_BUFFER_SIZE];
    unsigned char bufferB[DATA_BUFFER_SIZE];
    std::vector<Piece> pieces;
    Bytes stored;
    int result = -1;

    std::string Text() const {
        std::string all;
        for (const Piece& p : pieces) all += p.bytes;
        return all;
    }
    XML_Parsing Status() const {
        XML_ParsingStatus status;
        XML_GetParsingStatus(g_parser, &status);
        return status.parsing;
    }
};

void XMLCALL OnDefault(void* userData, const XML_Char* s, int length) {
    Reader* r = static_cast<Reader*>(userData);
    int32_t at = r->context.decoder.position;
    if (r->pieces.empty() || r->pieces.back().positionAtCall != at) r->pieces.push_back(Piece{at, ""});
    r->pieces.back().bytes.append(s, length);
}

void XMLCALL OnStart(void* userData, const XML_Char* name, const XML_Char**) {
    if (strcmp(name, "IDENTITY") == 0) g_identitySeen = 1;
    XML_DefaultCurrent(g_parser);
}

class ContainerTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (g_parser) XML_ParserFree(g_parser);
        g_parser = nullptr;
        g_identitySeen = 0;
        g_resourceData = nullptr;
        g_resourceSize = 0;
    }

    // Decodes stored bytes from the resource, or from a file when asked.
    Reader& Decode(const Bytes& stored, bool stopAtIdentity = false, bool fromFile = false) {
        reader_ = Reader{};
        Reader& r = reader_;
        r.stored = stored;
        r.context.decoder.bufferA = r.bufferA;
        r.context.decoder.bufferB = r.bufferB;
        if (g_parser) XML_ParserFree(g_parser);
        g_parser = XML_ParserCreate(nullptr);
        XML_SetUserData(g_parser, &r);
        XML_SetDefaultHandler(g_parser, OnDefault);
        XML_SetStartElementHandler(g_parser, OnStart);
        g_resourceData = r.stored.data();
        g_resourceSize = static_cast<uint32_t>(r.stored.size());
        ResetDecoder(&r.context);
        if (fromFile) {
            r.context.decoder.stream = tmpfile();
            fwrite(stored.data(), 1, stored.size(), r.context.decoder.stream);
            rewind(r.context.decoder.stream);
            g_resourceSize = 0;  // nothing may come from the resource
        }
        r.result = DecodeDataFile(&r.context, stopAtIdentity);
        if (fromFile) fclose(r.context.decoder.stream);
        return r;
    }

    Reader reader_;
};

std::string Repeat(char c, size_t n) { return std::string(n, c); }

// "<r>" + filler + "</r>" of exactly `size` bytes.
std::string Document(size_t size, char filler = 'x') { return "<r>" + Repeat(filler, size - 7) + "</r>"; }

TEST_F(ContainerTest, KeyStartsAtTheSeedAndRotatesLeftOneBitPerByte) {
    const Bytes zeros(9, 0);
    const int keys[] = {0xA7, 0x4F, 0x9E, 0x3D, 0x7A, 0xF4, 0xE9, 0xD3, 0xA7};
    for (bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "file" : "resource");
        FILE* file = nullptr;
        g_resourceData = zeros.data();
        g_resourceSize = static_cast<uint32_t>(zeros.size());
        if (fromFile) {
            file = tmpfile();
            fwrite(zeros.data(), 1, zeros.size(), file);
            rewind(file);
        }
        g_resourcePosition = 0;
        g_dataKey = DATA_SEED;
        for (int key : keys) EXPECT_EQ(key, ReadDataByte(file));
        // At the end the key stays where it is.
        EXPECT_EQ(DATA_END, ReadDataByte(file));
        EXPECT_EQ(DATA_END, ReadDataByte(file));
        EXPECT_EQ(0x4Fu, g_dataKey);
        if (file) fclose(file);
    }
}

TEST_F(ContainerTest, TokensDecodeToTheirText) {
    struct Row {
        const char* what;
        Bytes tokens;
        std::string text;
    } rows[] = {
        {"literals", Tokens("<r>abc</r>"), "<r>abc</r>"},
        {"escaped low byte", Tokens("<r>", {0x80, 'A'}) + Tokens("</r>"), "<r>A</r>"},
        {"escaped high bytes", Tokens("<r>", {0x80, 0xC3, 0x80, 0xA9}) + Tokens("</r>"), "<r>\xC3\xA9</r>"},
        {"D=1 L=31 repeats", Tokens("<r>x", {0x80 | 31 << 2, 1}) + Tokens("</r>"), "<r>" + Repeat('x', 32) + "</r>"},
        {"overlap L>D", Tokens("<r>ab", {0x80 | 6 << 2, 2}) + Tokens("</r>"), "<r>abababab</r>"},
        {"D equal to the position", Tokens("<r>", {0x80 | 3 << 2, 3}) + Tokens("</r></r>"), "<r><r></r></r>"},
        {"largest distance bits", Tokens(Document(1100).substr(0, 1050), {0x80 | 2 << 2 | 3, 0xFF}) +
                                      Tokens(Document(1100).substr(1052)),
         Document(1100)},
        {"length-0 copies", Tokens("<r>", {0x81, 0x00, 0x82, 0x7F, 0x83, 0xFF}) + Tokens("</r>"), "<r></r>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Reader& r = Decode(Scrambled(row.tokens));
        EXPECT_EQ(0, r.result);
        EXPECT_EQ(row.text, r.Text());
        EXPECT_EQ(XML_FINISHED, r.Status());
    }
}

TEST_F(ContainerTest, CorruptStreamsAnswer10AndStartSkipMode) {
    const std::string first = Document(1024);
    struct Row {
        const char* what;
        Bytes tokens;
    } rows[] = {
        {"lone escape at the end", Tokens("<r>x", {0x80})},
        {"copy's first byte at the end", Tokens("<r>x", {0x84})},
        {"distance 0", Tokens("<r>x", {0x80 | 1 << 2, 0})},
        {"copy before the start", Tokens("<r>", {0x80 | 1 << 2, 4})},
        {"before the start, first buffer", Tokens(Repeat('x', 1000), {0x80 | 1 << 2 | 3, 0xFF})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Reader& r = Decode(Scrambled(row.tokens));
        EXPECT_EQ(10, r.result);
        EXPECT_TRUE(r.context.flags & RUN_SKIP);
    }
}

TEST_F(ContainerTest, FarCopyIsValidOnceTheFirstBufferWentToTheParser) {
    // Distance 1023 at decoded offset 1030 reaches byte 7 of the first buffer.
    std::string text = "<r>" + Repeat('x', 4) + "y" + Repeat('x', 1100) + "</r>";
    Bytes tokens = Tokens(text.substr(0, 1030), {0x80 | 1 << 2 | 3, 0xFF}) + Tokens(text.substr(1031));
    ASSERT_EQ('y', text[1030 - 1023]);
    text[1030] = 'y';
    Reader& r = Decode(Scrambled(tokens));
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(text, r.Text());
}

TEST_F(ContainerTest, CopyCrossingTheBufferBoundaryContinuesInTheNewBuffer) {
    // 20 bytes from distance 30, starting 10 bytes before the boundary.
    std::string text = Document(1100, 'x');
    for (size_t i = 980; i < 1000; ++i) text[i] = static_cast<char>('a' + i % 26);
    for (size_t i = 1014; i < 1034; ++i) text[i] = text[i - 30];
    Bytes tokens = Tokens(text.substr(0, 1014), {0x80 | 20 << 2, 30}) + Tokens(text.substr(1034));
    Reader& r = Decode(Scrambled(tokens));
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(text, r.Text());
}

TEST_F(ContainerTest, TextIsHandedOnInPiecesOf1024AndAFinalRest) {
    struct Row {
        size_t size;
        int32_t finalPosition;  // position of the last call; 0: an empty final piece
    } rows[] = {{7, 7}, {1023, 1023}, {1024, 0}, {1025, 1}, {3000, 3000 - 2048}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        const std::string text = Document(row.size);
        Reader& r = Decode(Scrambled(Tokens(text)));
        EXPECT_EQ(0, r.result);
        EXPECT_EQ(text, r.Text());
        EXPECT_EQ(XML_FINISHED, r.Status());
        EXPECT_EQ(row.finalPosition, r.context.decoder.position);
        for (size_t i = 0; i + 1 < r.pieces.size(); ++i) EXPECT_EQ(DATA_BUFFER_SIZE, r.pieces[i].positionAtCall);
    }
}

TEST_F(ContainerTest, EmptyStoredFileGivesTheParserOneEmptyFinalPiece) {
    Reader& r = Decode({});
    EXPECT_EQ(9, r.result);
    EXPECT_EQ(XML_ERROR_NO_ELEMENTS, XML_GetErrorCode(g_parser));
    EXPECT_TRUE(r.context.flags & RUN_SKIP);
}

TEST_F(ContainerTest, ParseErrorInAFullPieceStopsBeforeTheRest) {
    // Broken markup in the first piece and a corrupt token after it, which
    // must not be reached: the piece fills by a literal or inside a copy.
    const std::string broken = "<r></x>" + Repeat('x', 1016);
    struct Row {
        const char* what;
        Bytes tokens;
    } rows[] = {
        {"literal", Tokens(broken + "x" + Repeat('x', 900), {0x80})},
        {"copy", Tokens(broken, {0x80 | 31 << 2, 1, 0x80})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Reader& r = Decode(Scrambled(row.tokens));
        EXPECT_EQ(9, r.result);
        EXPECT_EQ(0, r.context.decoder.position);
    }
}

TEST_F(ContainerTest, WithoutAParserDecodingFailsInsteadOfCrashing) {
    Reader r{};
    r.context.decoder.bufferA = r.bufferA;
    r.context.decoder.bufferB = r.bufferB;
    Bytes stored = Scrambled(Tokens(Document(2000)));
    g_resourceData = stored.data();
    g_resourceSize = static_cast<uint32_t>(stored.size());
    ResetDecoder(&r.context);
    EXPECT_EQ(9, DecodeDataFile(&r.context, false));
}

TEST_F(ContainerTest, HeaderPassStopsAfterThePieceWithIdentity) {
    // IDENTITY in the first piece; the stream is corrupt past the second.
    const std::string head = "<CLEANER><IDENTITY/>";
    const std::string body = head + Repeat('x', 2100);
    Bytes broken = Tokens(body, {0x80});

    Reader& stopped = Decode(Scrambled(broken), true);
    EXPECT_EQ(0, stopped.result);
    EXPECT_EQ(1, g_identitySeen);
    EXPECT_EQ(XML_PARSING, stopped.Status());  // no final piece
    // Stopped at the first token after the piece boundary.
    EXPECT_EQ(1025u, g_resourcePosition);

    g_identitySeen = 0;
    EXPECT_EQ(10, Decode(Scrambled(broken), false).result);
}

TEST_F(ContainerTest, HeaderPassEdgesOfTheIdentityStop) {
    struct Row {
        const char* what;
        std::string text;
        XML_Parsing status;
    } rows[] = {
        // Seen in the last piece: that piece is still handed on as final.
        {"identity in the final piece", "<CLEANER><IDENTITY/></CLEANER>", XML_FINISHED},
        // Seen in a full piece that ends the stream: no final piece follows.
        {"stream ends at the boundary", "<CLEANER><IDENTITY/>" + Repeat('x', 1004), XML_PARSING},
        {"no identity at all", Document(1500), XML_FINISHED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        g_identitySeen = 0;
        Reader& r = Decode(Scrambled(Tokens(row.text)), true);
        EXPECT_EQ(0, r.result);
        EXPECT_EQ(row.status, r.Status());
    }
}

TEST_F(ContainerTest, EncoderOutputReadsBackFromFileAndResource) {
    // Markup with repeats at every distance up to the window.
    std::string text = "<CLEANER>";
    for (int i = 0; text.size() < 40000; ++i)
        text += "<FILE Name=\"C:\\dir" + std::to_string(i * 7919 % 1013) + "\\" +
                Repeat(static_cast<char>('a' + i % 26), 1 + i % 40) + ".exe\"/>\n";
    text += "</CLEANER>";
    const Bytes stored = EncodeData(Bytes(text.begin(), text.end()));
    for (bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "file" : "resource");
        Reader& r = Decode(stored, false, fromFile);
        EXPECT_EQ(0, r.result);
        EXPECT_EQ(text, r.Text());
    }
}

}  // namespace
