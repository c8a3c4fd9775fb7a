#include "app/legacy_list.h"

#include "base/text.h"
#include "support/sample_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace corvalo {
namespace {

using test::Bytes;
using test::Utf16Be;
using test::Utf16Le;
using Units = std::vector<uint16_t>;

Bytes FromChars(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Lines as UTF-16 units, so the comparison means the same where wchar_t is 32 bits wide.
std::vector<Units> LinesAsUnits(const Bytes& bytes) {
    std::vector<Units> out;
    for (const std::wstring& line : DecodeLegacyList(bytes))
        out.push_back(WideToUtf16(line));
    return out;
}

std::vector<std::wstring> Decode(const Bytes& bytes) {
    return DecodeLegacyList(bytes);
}

using Lines = std::vector<std::wstring>;

TEST(LegacyList, DetectsTheEncodingFromTheByteOrderMark) {
    // "Caf\u00E9=c:\\x" in each encoding.
    const Lines expected = {L"Caf\u00E9=c:\\x"};
    EXPECT_EQ(Decode(Utf16Le({'C', 'a', 'f', 0xE9, '=', 'c', ':', '\\', 'x'})), expected);
    EXPECT_EQ(Decode(Utf16Be({'C', 'a', 'f', 0xE9, '=', 'c', ':', '\\', 'x'})), expected);
    EXPECT_EQ(Decode(FromChars("\xEF\xBB\xBF"
                               "Caf\xC3\xA9=c:\\x")),
              expected);
    EXPECT_EQ(Decode(FromChars("Caf\xE9=c:\\x")), expected);
}

TEST(LegacyList, TextWithoutAMarkIsInTheAnsiCodePage) {
    // UTF-8 bytes without the mark are taken as code-page characters, one per byte.
    EXPECT_EQ(Decode(FromChars("\xC3\xA9")), Lines{L"\u00C3\u00A9"});
    EXPECT_EQ(Decode(FromChars("\x80=euro")), Lines{L"\u20AC=euro"});
    // An incomplete mark is text too.
    EXPECT_EQ(Decode(FromChars("\xEF\xBB")), Lines{L"\u00EF\u00BB"});
    EXPECT_EQ(Decode(Bytes{0xFF}), Lines{L"\u00FF"});
}

TEST(LegacyList, TheMarkAloneOrNothingGivesNoLines) {
    EXPECT_TRUE(Decode({}).empty());
    EXPECT_TRUE(Decode({0xFF, 0xFE}).empty());
    EXPECT_TRUE(Decode({0xFE, 0xFF}).empty());
    EXPECT_TRUE(Decode({0xEF, 0xBB, 0xBF}).empty());
}

TEST(LegacyList, SplitsAtEveryKindOfLineEnd) {
    const Lines expected = {L"a=1", L"b=2", L"c=3", L"d=4", L"e=5"};
    EXPECT_EQ(Decode(FromChars("a=1\r\nb=2\rc=3\nd=4\r\ne=5")), expected);
    EXPECT_EQ(Decode(Utf16Le({'a', '=', '1',  0x2028, 'b', '=', '2',  '\r', '\n', 'c',
                              '=', '3', '\r', 'd',    '=', '4', '\n', 'e',  '=',  '5'})),
              expected);
    EXPECT_EQ(Decode(FromChars("\xEF\xBB\xBF"
                               "a=1\xE2\x80\xA8"
                               "b=2\nc=3\rd=4\xE2\x80\xA8"
                               "e=5")),
              expected);
}

TEST(LegacyList, ALineEndFollowedByLineSeparatorIsOneLineEnd) {
    EXPECT_EQ(Decode(Utf16Le({'a', '\r', 0x2028, 'b'})), (Lines{L"a", L"b"}));
    EXPECT_EQ(Decode(Utf16Le({'a', '\n', 0x2028, 'b'})), (Lines{L"a", L"b"}));
    EXPECT_EQ(Decode(Utf16Le({'a', '\r', '\n', 0x2028, 'b'})), (Lines{L"a", L"b"}));
    // Other orders are two line ends, with an empty line between them.
    EXPECT_EQ(Decode(Utf16Le({'a', 0x2028, '\r', 'b'})), (Lines{L"a", L"", L"b"}));
    EXPECT_EQ(Decode(Utf16Le({'a', 0x2028, 0x2028, 'b'})), (Lines{L"a", L"", L"b"}));
    EXPECT_EQ(Decode(FromChars("a\n\rb")), (Lines{L"a", L"", L"b"}));
    EXPECT_EQ(Decode(FromChars("a\r\r\nb")), (Lines{L"a", L"", L"b"}));
}

TEST(LegacyList, ALineEndAtTheVeryEndAddsNoEmptyLine) {
    EXPECT_EQ(Decode(FromChars("a=1\r\n")), Lines{L"a=1"});
    EXPECT_EQ(Decode(FromChars("a=1\n")), Lines{L"a=1"});
    EXPECT_EQ(Decode(Utf16Le({'a', '\r', '\n', 0x2028})), Lines{L"a"});
    // Only the last one: earlier empty lines stay.
    EXPECT_EQ(Decode(FromChars("a=1\r\n\r\n")), (Lines{L"a=1", L""}));
    EXPECT_EQ(Decode(FromChars("\r\n")), Lines{L""});
    EXPECT_EQ(Decode(FromChars("\n\nx")), (Lines{L"", L"", L"x"}));
}

TEST(LegacyList, AZeroCharacterEndsTheText) {
    EXPECT_EQ(Decode(Bytes{'a', '=', '1', '\n', 'b', 0, 'c', '\n', 'd'}), (Lines{L"a=1", L"b"}));
    EXPECT_EQ(Decode(Bytes{0, 'a'}), Lines{});
    EXPECT_EQ(Decode(Utf16Le({'a', '\n', 'b', 0, 'c'})), (Lines{L"a", L"b"}));
    EXPECT_EQ(Decode(Utf16Be({'a', 0, '\n', 'c'})), Lines{L"a"});
    EXPECT_EQ(Decode(Bytes{0xEF, 0xBB, 0xBF, 'a', 0, 'b'}), Lines{L"a"});
    // A zero byte inside a UTF-16 unit is no zero character.
    EXPECT_EQ(Decode(Utf16Le({0x0100, 'x'})), Lines{L"\u0100x"});
    // A line end just before the zero adds no empty line either.
    EXPECT_EQ(Decode(Bytes{'a', '\r', '\n', 0, 'b'}), Lines{L"a"});
}

TEST(LegacyList, AnOddLastByteOfUtf16IsDropped) {
    Bytes little = Utf16Le({'a', '=', 'b'});
    little.push_back('c');
    EXPECT_EQ(Decode(little), Lines{L"a=b"});
    Bytes big = Utf16Be({'a'});
    big.push_back(0x00);
    EXPECT_EQ(Decode(big), Lines{L"a"});
    // A mark and half a unit.
    EXPECT_TRUE(Decode({0xFF, 0xFE, 0x41}).empty());
}

TEST(LegacyList, KeepsSurrogatePairsAndLoneSurrogatesAsUnits) {
    EXPECT_EQ(LinesAsUnits(Utf16Le({'x', 0xD83D, 0xDE00, '\n', 0xDC00, 'y', '\n', 'z', 0xD800})),
              (std::vector<Units>{{'x', 0xD83D, 0xDE00}, {0xDC00, 'y'}, {'z', 0xD800}}));
    EXPECT_EQ(LinesAsUnits(Utf16Be({0xD83D, 0xDE00, '=', 0xDBFF})),
              (std::vector<Units>{{0xD83D, 0xDE00, '=', 0xDBFF}}));
    // A high surrogate just before a line end stays lone and does not swallow the line end.
    EXPECT_EQ(LinesAsUnits(Utf16Le({'a', 0xD800, '\r', '\n', 'b'})),
              (std::vector<Units>{{'a', 0xD800}, {'b'}}));
}

TEST(LegacyList, InvalidUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(LinesAsUnits(FromChars("\xEF\xBB\xBF"
                                     "a\xFF\n\xC3\n\xF0\x9F\x98\x80")),
              (std::vector<Units>{{'a', 0xFFFD}, {0xFFFD}, {0xD83D, 0xDE00}}));
    // A sequence cut by the end of the data.
    EXPECT_EQ(LinesAsUnits(FromChars("\xEF\xBB\xBF"
                                     "ab\xE2\x80")),
              (std::vector<Units>{{'a', 'b', 0xFFFD, 0xFFFD}}));
}

TEST(LegacyList, EveryPrefixOfEveryEncodingDecodes) {
    // Cut at every length after the mark (a cut mark is 8-bit text), each decodes to a prefix of
    // the whole text's lines; under the sanitizers this also shows that nothing is read past the
    // end.
    const std::vector<std::pair<size_t, Bytes>> files = {
        {2, Utf16Le({'C', 'a', 'l', 'c', '=', 0xD83D, 0xDE00, '\r', '\n', 'b', '=', 0x2028, 'x'})},
        {2, Utf16Be({'a', '=', '1', '\r', 0x2028, 'b', '=', '2', '\n'})},
        {3, FromChars("\xEF\xBB\xBF"
                      "M\xC3\xA4il=\xE2\x80\xA8x\r\n")},
        {0, FromChars("Mail=c:\\mail.exe /x\r\nWeb=http://e.org/?a=b\n")},
    };
    for (const auto& [markLength, file] : files) {
        const std::vector<Units> whole = LinesAsUnits(file);
        for (size_t length = markLength; length <= file.size(); ++length) {
            const Bytes cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(length));
            std::vector<Units> lines = LinesAsUnits(cut);
            ASSERT_LE(lines.size(), whole.size()) << "length " << length;
            if (lines.empty())
                continue;
            // The last line may end in half a character: a lone high surrogate is a prefix
            // already, a cut UTF-8 sequence has become U+FFFD.
            Units& last = lines.back();
            while (!last.empty() && last.back() == 0xFFFD)
                last.pop_back();
            const Units& full = whole[lines.size() - 1];
            EXPECT_TRUE(std::equal(last.begin(), last.end(), full.begin(),
                                   full.begin() + static_cast<ptrdiff_t>(
                                                      std::min(last.size(), full.size()))) &&
                        last.size() <= full.size())
                << "length " << length;
            for (size_t i = 0; i + 1 < lines.size(); ++i)
                EXPECT_EQ(lines[i], whole[i]) << "length " << length << ", line " << i;
        }
    }
}

TEST(LegacyList, ArbitraryBytesDecodeWithoutLineEndsOrZerosInTheLines) {
    // A fixed pseudo-random walk over marks, line ends, zeros and high bytes.
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 16);
    };
    const Bytes marks[] = {{}, {0xFF, 0xFE}, {0xFE, 0xFF}, {0xEF, 0xBB, 0xBF}};
    for (int round = 0; round < 400; ++round) {
        Bytes data = marks[round % 4];
        const int length = next() % 40;
        for (int i = 0; i < length; ++i) {
            const uint8_t pick = next();
            static const uint8_t kInteresting[] = {0,    '\r', '\n', 0x20, 0x28, 0xE2,
                                                   0x80, 0xA8, 0xD8, 0xDC, 0xFF, '='};
            data.push_back(pick < 128 ? kInteresting[pick % 12] : next());
        }
        for (const std::wstring& line : Decode(data)) {
            EXPECT_EQ(line.find_first_of(L"\r\n\u2028"), std::wstring::npos);
            EXPECT_EQ(line.find(L'\0'), std::wstring::npos);
        }
    }
}

}  // namespace
}  // namespace corvalo
