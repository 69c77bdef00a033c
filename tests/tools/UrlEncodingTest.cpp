// URLEnc_Encode, URLEnc_EncodeEx and URLEnc_Decode through the loaded library.
#include "GuardedPages.h"
#include "LoadedStenik32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

constexpr char kUntouched = '\x5A';

class UrlEncoding : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(api().complete()) << api().error;
    }
    static const LoadedStenik32 &api() { return loadedStenik32(); }

    // Encodes into a buffer of 3 * length + 1 bytes and returns every byte
    // written. The encoder runs twice over buffers of different fill bytes:
    // the written bytes are where the two agree.
    struct Encoded {
        std::string bytes; // every byte written, the NUL included
        int32_t count = 0;
    };
    static Encoded encodeEx(const std::string &source, uint32_t flags)
    {
        const auto length = static_cast<int32_t>(source.size());
        std::vector<char> first(3 * source.size() + 1, '\x00');
        std::vector<char> second(first.size(), '\xFF');
        Encoded result;
        result.count = api().encodeEx(source.data(), flags, first.data(), length);
        const int32_t again = api().encodeEx(source.data(), flags, second.data(), length);
        EXPECT_EQ(again, result.count);
        std::size_t written = 0;
        while (written < first.size() && first[written] == second[written])
            ++written;
        result.bytes.assign(first.data(), written);
        return result;
    }
};

struct EncodeRow {
    const char *name;
    std::string source;
    uint32_t flags;
    std::string written;  // every byte the encoder writes, its NUL included
    int32_t count;
};

const EncodeRow kEncodeRows[] = {
    {"BlankInsideIsEscapedAndTheNulCounted", "a b", 3, "a%20b\0"s, 6},
    {"EscapedLastByteLeavesTheNulUncounted", "ab ", 3, "ab%20\0"s, 5},
    {"ReservedSetOnlyWithFlag4", "a=b", 4, "a%3Db\0"s, 6},
    {"ReservedSetKeptByFlags3", "a=b;c/d?e:f@g&h", 3, "a=b;c/d?e:f@g&h\0"s, 16},
    {"Flags0CopiesEveryByte", "a b\x01\xE4%", 0, "a b\x01\xE4%\0"s, 7},
    {"EmptySourceGivesACountedNul", "", 3, "\0"s, 1},
    {"HexDigitsAreUpperCase", "\xE4\xab\x0f", 1, "%E4%AB%0F\0"s, 9},
    {"EmbeddedNulIsAControlByte", "a\0b"s, 1, "a%00b\0"s, 6},
    {"EmbeddedNulCopiedWithFlags0", "a\0b"s, 0, "a\0b\0"s, 4},
    {"DeleteIsAControlByte", "\x7F", 1, "%7F\0"s, 3},
    {"PercentAndDoubleQuoteAreUnsafe", "100%\"", 2, "100%25%22\0"s, 9},
    {"TildeCaretGraveBackslashAreUnsafe", "~^`\\", 2, "%7E%5E%60%5C\0"s, 12},
    {"UnknownFlagBitsAreIgnored", "a b=", 0xFFFFFFF8u, "a b=\0"s, 5},
    {"AllThreeSets", "x y=\xFF", 7, "x%20y%3D%FF\0"s, 11},
};

class EncodeExamples : public UrlEncoding, public ::testing::WithParamInterface<EncodeRow> {};

TEST_P(EncodeExamples, WritesExactBytesAndCount)
{
    const EncodeRow &row = GetParam();
    const Encoded encoded = encodeEx(row.source, row.flags);
    EXPECT_EQ(encoded.bytes, row.written);
    EXPECT_EQ(encoded.count, row.count);
}

INSTANTIATE_TEST_SUITE_P(Rows, EncodeExamples, ::testing::ValuesIn(kEncodeRows),
                         [](const auto &info) { return std::string(info.param.name); });

// The byte sets of the three flag bits, spelled out once more here.
bool selectedBySpelledOutSets(unsigned byte, uint32_t flags)
{
    static const std::string unsafe = " <>#%{}|\\^~[]`\"";
    static const std::string reserved = ";/?:@=&";
    const bool control = byte <= 0x1F || byte == 0x7F || byte >= 0x80;
    return ((flags & 1) && control)
        || ((flags & 2) && unsafe.find(static_cast<char>(byte)) != std::string::npos)
        || ((flags & 4) && reserved.find(static_cast<char>(byte)) != std::string::npos);
}

TEST_F(UrlEncoding, EveryByteIsEscapedExactlyWhenAFlagSelectsIt)
{
    static const char hex[] = "0123456789ABCDEF";
    for (uint32_t flags = 0; flags < 8; ++flags) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            const std::string source(1, static_cast<char>(byte));
            const Encoded encoded = encodeEx(source, flags);
            if (selectedBySpelledOutSets(byte, flags)) {
                const std::string escape = {'%', hex[byte >> 4], hex[byte & 15], '\0'};
                EXPECT_EQ(encoded.bytes, escape) << "flags " << flags << " byte " << byte;
                EXPECT_EQ(encoded.count, 3) << "flags " << flags << " byte " << byte;
            } else {
                EXPECT_EQ(encoded.bytes, source + '\0') << "flags " << flags << " byte " << byte;
                EXPECT_EQ(encoded.count, 2) << "flags " << flags << " byte " << byte;
            }
        }
    }
}

TEST_F(UrlEncoding, EncodeIsEncodeExWithFlags3)
{
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += static_cast<char>(byte);
    for (const std::string &source : {all, "a=b c"s, "ab"s, ""s}) {
        std::vector<char> viaEncode(3 * source.size() + 1, kUntouched);
        std::vector<char> viaEncodeEx(3 * source.size() + 1, kUntouched);
        const auto length = static_cast<int32_t>(source.size());
        EXPECT_EQ(api().encode(source.data(), viaEncode.data(), length),
                  api().encodeEx(source.data(), 3, viaEncodeEx.data(), length));
        EXPECT_EQ(viaEncode, viaEncodeEx);
    }
}

TEST_F(UrlEncoding, NegativeLengthWritesNothing)
{
    char destination[8];
    std::memset(destination, kUntouched, sizeof destination);
    for (const int32_t length : {-1, -3, INT32_MIN}) {
        EXPECT_EQ(api().encodeEx("abc", 3, destination, length), 0) << length;
        EXPECT_EQ(api().encode("abc", destination, length), 0) << length;
    }
    EXPECT_EQ(std::string(destination, sizeof destination), std::string(8, kUntouched));
}

TEST_F(UrlEncoding, NullBuffersWriteNothing)
{
    char destination[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
    EXPECT_EQ(api().encodeEx(nullptr, 3, destination, 2), 0);
    EXPECT_EQ(api().encodeEx("ab", 3, nullptr, 2), 0);
    EXPECT_EQ(api().decode(nullptr, destination), 0);
    EXPECT_EQ(api().decode("ab", nullptr), 0);
    EXPECT_EQ(std::string(destination, 4), std::string(4, kUntouched));
}

// Earlier versions copied (and counted) the byte after the source instead of
// a NUL. The source here ends where the guard page starts, so reading that
// byte would crash; the destination is exactly 3 * length + 1 bytes before
// another guard page, so writing past it would crash too.
struct GuardRow {
    const char *name;
    std::string source;
    std::string written;
    int32_t count;
};

const GuardRow kGuardRows[] = {
    {"LastByteCopied", "a b", "a%20b\0"s, 6},
    {"LastByteEscaped", "ab ", "ab%20\0"s, 5},
    {"EveryByteEscaped", "\x01\x02", "%01%02\0"s, 6},
    {"EmptySource", "", "\0"s, 1},
    {"NothingEscaped", "abc", "abc\0"s, 4},
};

class EncodeAtPageEnd : public UrlEncoding, public ::testing::WithParamInterface<GuardRow> {};

TEST_P(EncodeAtPageEnd, ReadsNoByteBeyondTheLengthAndWritesItsOwnNul)
{
    const GuardRow &row = GetParam();
    GuardedPages sourcePages;
    GuardedPages destinationPages;
    ASSERT_TRUE(sourcePages.isValid() && destinationPages.isValid());

    const char *source = sourcePages.tailCopy(row.source.data(), row.source.size());
    const std::size_t room = 3 * row.source.size() + 1;
    char *destination = destinationPages.tail(room);
    const auto length = static_cast<int32_t>(row.source.size());

    EXPECT_EQ(api().encode(source, destination, length), row.count);
    EXPECT_EQ(std::string(destination, row.written.size()), row.written);
}

INSTANTIATE_TEST_SUITE_P(Rows, EncodeAtPageEnd, ::testing::ValuesIn(kGuardRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(UrlEncoding, LengthShorterThanTheTextEndsInANulNotTheNextByte)
{
    // "abc" with length 2: the byte after the source is 'c', which earlier
    // versions copied into the output and counted.
    char destination[8];
    std::memset(destination, kUntouched, sizeof destination);
    EXPECT_EQ(api().encode("abc", destination, 2), 3);
    EXPECT_EQ(std::string(destination, 4), "ab\0"s + kUntouched);
}

struct DecodeRow {
    const char *name;
    const char *source;
    std::string decoded;
};

const DecodeRow kDecodeRows[] = {
    {"DoublePercentGivesOnePercent", "100%%", "100%"},
    {"EscapesOfEitherCase", "%41%4a", "AJ"},
    {"TrailingPercentGivesAZeroByte", "x%", "x\0"s},
    {"LonePercentGivesAZeroByte", "%", "\0"s},
    {"PercentAndOneDigitAtTheEnd", "x%4", "x\x40"},
    {"InvalidDigitCountsAsZero", "%G1", "\x01"},
    {"BothDigitsInvalid", "%zz!", "\0!"s},
    {"PercentAsSecondDigitCountsAsZero", "%4%", "\x40"},
    {"DoublePercentBeforeDigits", "%%41", "%41"},
    {"PlusStaysPlus", "a+b", "a+b"},
    {"EightBitBytes", "%e4%C3%ff", "\xE4\xC3\xFF"},
    {"EncodedNul", "a%00b", "a\0b"s},
    {"EmptyText", "", ""},
};

class DecodeExamples : public UrlEncoding, public ::testing::WithParamInterface<DecodeRow> {};

TEST_P(DecodeExamples, WritesExactBytesAndNoNul)
{
    const DecodeRow &row = GetParam();
    std::vector<char> destination(std::strlen(row.source) + 1, kUntouched);
    const int32_t count = api().decode(row.source, destination.data());
    ASSERT_EQ(count, static_cast<int32_t>(row.decoded.size()));
    EXPECT_EQ(std::string(destination.data(), row.decoded.size()), row.decoded);
    EXPECT_EQ(destination[row.decoded.size()], kUntouched);
}

INSTANTIATE_TEST_SUITE_P(Rows, DecodeExamples, ::testing::ValuesIn(kDecodeRows),
                         [](const auto &info) { return std::string(info.param.name); });

// A "%" near the NUL must not make the decoder look past the NUL, and the
// output must fit in strlen(source) bytes: both buffers end at a guard page.
TEST_F(UrlEncoding, DecodeOfATruncatedEscapeStopsAtTheNul)
{
    for (const DecodeRow &row : kDecodeRows) {
        GuardedPages sourcePages;
        GuardedPages destinationPages;
        ASSERT_TRUE(sourcePages.isValid() && destinationPages.isValid());
        const std::size_t length = std::strlen(row.source);
        const char *source = sourcePages.tailCopy(row.source, length + 1);
        char *destination = destinationPages.tail(length);
        const int32_t count = api().decode(source, destination);
        ASSERT_EQ(count, static_cast<int32_t>(row.decoded.size())) << row.name;
        EXPECT_EQ(std::string(destination, row.decoded.size()), row.decoded) << row.name;
    }
}

TEST_F(UrlEncoding, DecodeUndoesEncodeForEveryByteValue)
{
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> byteValue(0, 255);
    std::uniform_int_distribution<int> size(0, 64);
    for (int round = 0; round < 500; ++round) {
        std::string source(static_cast<std::size_t>(size(random)), '\0');
        for (char &byte : source)
            byte = static_cast<char>(byteValue(random));
        for (const uint32_t flags : {3u, 7u}) {
            const Encoded encoded = encodeEx(source, flags);
            ASSERT_FALSE(encoded.bytes.empty());
            ASSERT_EQ(encoded.bytes.back(), '\0');
            std::vector<char> decoded(encoded.bytes.size(), kUntouched);
            const int32_t count = api().decode(encoded.bytes.c_str(), decoded.data());
            ASSERT_EQ(std::string(decoded.data(), static_cast<std::size_t>(count)), source)
                << "flags " << flags << " round " << round;
        }
    }
}

} // namespace
