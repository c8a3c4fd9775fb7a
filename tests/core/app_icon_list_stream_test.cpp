#include "app/icon_list_stream.h"

#include "base/error.h"
#include "support/icon_list_samples.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

namespace corvalo {
namespace {

using namespace test;

TEST(IconListFile, WritesTheMainWindowListByteForByte) {
    // clang-format off
    const Bytes expected = {
        0xFF,                                                   // resource marker
        0x0A, 0x00,                                             // resource type 10
        'T', 'I', 'M', 'A', 'G', 'E', 'L', 'I', 'S', 'T', 0x00, // name
        0x30, 0x10,                                             // flags
        0x73, 0x00, 0x00, 0x00,                                 // 115 bytes of object stream
        'T', 'P', 'F', '0',
        10, 'T', 'I', 'm', 'a', 'g', 'e', 'L', 'i', 's', 't',
        10, 'I', 'm', 'a', 'g', 'e', 'L', 'i', 's', 't', '1',
        12, 'D', 'r', 'a', 'w', 'i', 'n', 'g', 'S', 't', 'y', 'l', 'e',
            0x07, 13, 'd', 's', 'T', 'r', 'a', 'n', 's', 'p', 'a', 'r', 'e', 'n', 't',
        6, 'H', 'e', 'i', 'g', 'h', 't', 0x02, 32,
        11, 'S', 'h', 'a', 'r', 'e', 'I', 'm', 'a', 'g', 'e', 's', 0x09,
        5, 'W', 'i', 'd', 't', 'h', 0x02, 32,
        4, 'L', 'e', 'f', 't', 0x03, 0xA8, 0x00,               // 168 needs 16 bits
        3, 'T', 'o', 'p', 0x02, 24,
        6, 'B', 'i', 't', 'm', 'a', 'p', 0x0A, 0x03, 0x00, 0x00, 0x00, 'I', 'L', 0x01,
        0x00,                                                   // end of properties
        0x00,                                                   // no owned objects
    };
    // clang-format on
    EXPECT_EQ(WriteIconListFile(MainWindowList(Bytes{'I', 'L', 0x01})), expected);
}

TEST(IconListFile, AListWithoutImagesHasNoBitmapProperty) {
    const Bytes file = WriteIconListFile(MainWindowList(std::nullopt));
    const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
    EXPECT_EQ(text.find("Bitmap"), std::string_view::npos);
    EXPECT_EQ(text.substr(text.size() - 8), std::string_view("\x03Top\x02\x18\0\0", 8));

    const IconListProperties read = ReadIconListFile(file);
    EXPECT_FALSE(read.bitmap.has_value());
    EXPECT_EQ(read, MainWindowList(std::nullopt));
}

TEST(IconListFile, DefaultPropertiesAreNotWritten) {
    Bytes expected = {0xFF, 0x0A, 0x00};
    AppendChars(expected, "TIMAGELIST");
    Append(expected, {0x00, 0x30, 0x10, 28, 0, 0, 0});
    AppendChars(expected, "TPF0\x0ATImageList\x0AImageList1");
    Append(expected, {0x00, 0x00});
    EXPECT_EQ(WriteIconListFile(IconListProperties{}), expected);
}

TEST(IconListFile, IntegersTakeTheSmallestType) {
    struct Case {
        int32_t value;
        uint8_t type;
    };
    for (const Case& c : {Case{1, 2}, Case{-1, 2}, Case{127, 2}, Case{-128, 2}, Case{128, 3},
                          Case{-129, 3}, Case{32767, 3}, Case{-32768, 3}, Case{32768, 4},
                          Case{-32769, 4}, Case{INT32_MAX, 4}, Case{INT32_MIN, 4}}) {
        IconListProperties list;
        list.top = c.value;
        const Bytes file = WriteIconListFile(list);
        // Name, type byte, the value in that many bytes, then the two closing zeros.
        const size_t valueSize = c.type == 2 ? 1 : c.type == 3 ? 2 : 4;
        const size_t typeAt = file.size() - 2 - valueSize - 1;
        EXPECT_EQ(file[typeAt], c.type) << c.value;
        EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(&file[typeAt - 4]), 4), "\x03Top")
            << c.value;
        EXPECT_EQ(ReadIconListFile(file).top, c.value);
    }
}

TEST(IconListFile, RoundTripsEveryProperty) {
    Bytes large(100000);
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<uint8_t>(i * 7 + 3);

    IconListProperties other;
    other.objectName = "Icons";
    other.drawingStyle = "dsSelected";
    other.height = 48;
    other.width = 300;
    other.left = -5;
    other.top = 100000;
    other.bitmap = Bytes{};  // present but empty

    for (const IconListProperties& list :
         {IconListProperties{}, MainWindowList(std::nullopt), MainWindowList(large), other}) {
        EXPECT_EQ(ReadIconListFile(WriteIconListFile(list)), list);
    }
}

TEST(IconListFile, EveryTruncationIsRefused) {
    const Bytes file = WriteIconListFile(MainWindowList(Bytes{'I', 'L', 1, 0, 2, 0, 0, 0}));
    for (size_t length = 0; length < file.size(); ++length) {
        const Bytes cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(length));
        EXPECT_THROW(ReadIconListFile(cut), Error) << "length " << length;
    }
    // The same with the header's length made to match, so the stream's own lengths must hold.
    const size_t headerSize = 1 + 2 + 11 + 2 + 4;
    const Bytes stream(file.begin() + headerSize, file.end());
    for (size_t length = 0; length < stream.size(); ++length) {
        const Bytes cut(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(length));
        EXPECT_THROW(ReadIconListFile(WithHeader(cut)), Error) << "stream length " << length;
    }
}

TEST(IconListFile, AcceptsTheOtherPropertiesByName) {
    const IconListProperties list = ReadIconListFile(WithHeader(StreamWith(OtherProperties())));
    EXPECT_EQ(list.height, 64);
    EXPECT_EQ(list.width, 16);
    EXPECT_EQ(list.drawingStyle, "dsFocus");
    EXPECT_FALSE(list.bitmap.has_value());
}

TEST(IconListFile, NamesAndIdentifiersIgnoreAsciiCase) {
    const Bytes properties = Concat({
        IdentProperty("drawingstyle", "DSTRANSPARENT"),
        Property("WIDTH", {0x02, 32}),
        Property("shareimages", {0x09}),
        IdentProperty("bkcolor", "CLWINDOW"),
    });
    const IconListProperties list =
        ReadIconListFile(WithHeader(StreamWith(properties, "TIMAGELIST")));
    EXPECT_EQ(list.drawingStyle, "dsTransparent");
    EXPECT_EQ(list.width, 32);
    EXPECT_TRUE(list.shareImages);
}

TEST(IconListFile, RefusesUnknownClassesPropertiesAndValues) {
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"another class", StreamWith({}, "TImageLists")},
        {"a control", StreamWith({}, "TButton")},
        {"unknown property", StreamWith(Property("Tag", {0x02, 0x01}))},
        {"string value", StreamWith(Concat({Property("Height", {0x06, 0x02}), {'3', '2'}}))},
        {"64-bit integer", StreamWith(Property("Width", {0x13, 32, 0, 0, 0, 0, 0, 0, 0}))},
        {"integer as boolean", StreamWith(Property("ShareImages", {0x02, 0x01}))},
        {"boolean as integer", StreamWith(Property("Height", {0x09}))},
        {"unknown drawing style", StreamWith(IdentProperty("DrawingStyle", "dsShiny"))},
        {"drawing style as integer", StreamWith(Property("DrawingStyle", {0x02, 0x01}))},
        {"unknown image type", StreamWith(IdentProperty("ImageType", "itColour"))},
        {"colour that is no colour", StreamWith(IdentProperty("BkColor", "dsNormal"))},
        {"bitmap as identifier", StreamWith(IdentProperty("Bitmap", "IL"))},
        {"zero height", StreamWith(Property("Height", {0x02, 0x00}))},
        {"negative width", StreamWith(Property("Width", {0x02, 0xF0}))},
        {"huge width", StreamWith(Property("Width", {0x04, 0x00, 0x80, 0x00, 0x00}))},
        {"owned object",
         [] {
             // Where the empty list of owned objects should end, another object begins.
             Bytes s = StreamWith({});
             s.pop_back();
             AppendShortString(s, "TImageList");
             AppendShortString(s, "Child");
             Append(s, {0x00, 0x00, 0x00});
             return s;
         }()},
        {"prefixed class",
         [] {
             Bytes s = StreamWith({});
             s.insert(s.begin() + 4, 0xF1);
             return s;
         }()},
    };
    for (const auto& [what, stream] : cases) {
        EXPECT_THROW(ReadIconListFile(WithHeader(stream)), Error) << what;
    }
}

TEST(IconListFile, RefusesDamagedHeadersAndLengths) {
    const Bytes good = WriteIconListFile(MainWindowList(Bytes{1, 2, 3}));
    ASSERT_NO_THROW(ReadIconListFile(good));

    Bytes marker = good;
    marker[0] = 0xFE;
    EXPECT_THROW(ReadIconListFile(marker), Error);

    Bytes type = good;
    type[1] = 0x0B;
    EXPECT_THROW(ReadIconListFile(type), Error);

    // A name that never ends.
    Bytes name = {0xFF, 0x0A, 0x00};
    AppendChars(name, "TIMAGELIST");
    EXPECT_THROW(ReadIconListFile(name), Error);

    Bytes signature = good;
    signature[20] = 'X';  // "TPF0" -> "XPF0"
    EXPECT_THROW(ReadIconListFile(signature), Error);

    // The stream's declared length larger than the file, and too short for the stream.
    Bytes tooLong = good;
    tooLong[16] = static_cast<uint8_t>(tooLong[16] + 1);
    EXPECT_THROW(ReadIconListFile(tooLong), Error);
    Bytes tooShort = good;
    tooShort[16] = static_cast<uint8_t>(tooShort[16] - 1);
    EXPECT_THROW(ReadIconListFile(tooShort), Error);

    // A bitmap length far beyond the data.
    Bytes bitmap = WithHeader(StreamWith(Property("Bitmap", {0x0A, 0xFF, 0xFF, 0xFF, 0xFF, 1})));
    EXPECT_THROW(ReadIconListFile(bitmap), Error);
}

TEST(IconListFile, IgnoresOtherHeaderNamesAndBytesAfterTheStream) {
    Bytes file = {0xFF, 0x0A, 0x00};
    AppendChars(file, "ICONS");
    Append(file, {0x00, 0x00, 0x00});
    const Bytes stream = StreamWith(Property("Height", {0x02, 32}));
    AppendU32(file, static_cast<uint32_t>(stream.size()));
    file.insert(file.end(), stream.begin(), stream.end());
    Append(file, {0xDE, 0xAD});
    EXPECT_EQ(ReadIconListFile(file).height, 32);
}

TEST(IconListFile, DamagedFilesNeverCrashTheReader) {
    // Deterministic byte flips over a valid file: each read returns or throws Error; the
    // sanitizers watch the reads.
    const Bytes good = WriteIconListFile(MainWindowList(Bytes{'I', 'L', 1, 0, 4, 0, 0, 0, 9}));
    uint32_t seed = 99;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    int read = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes file = good;
        const int flips = 1 + static_cast<int>(next() % 3);
        for (int i = 0; i < flips; ++i)
            file[next() % file.size()] = static_cast<uint8_t>(next());
        try {
            ReadIconListFile(file);
            ++read;
        } catch (const Error&) {
        }
    }
    // Flips inside the bitmap data and the object name still read.
    EXPECT_GT(read, 0);
}

TEST(IconListFile, WriterRefusesWhatCouldNotBeReadBack) {
    IconListProperties style;
    style.drawingStyle = "dsShiny";
    EXPECT_THROW(WriteIconListFile(style), Error);

    IconListProperties size;
    size.height = 0;
    EXPECT_THROW(WriteIconListFile(size), Error);

    IconListProperties name;
    name.objectName = std::string(256, 'N');
    EXPECT_THROW(WriteIconListFile(name), Error);
    name.objectName.pop_back();
    EXPECT_EQ(ReadIconListFile(WriteIconListFile(name)).objectName, name.objectName);
}

TEST(ImageListStream, IsRecognisedByItsMarkAndFirstTwoWords) {
    EXPECT_TRUE(IsImageListStream(Bytes{'I', 'L', 0x01, 0x01, 0x04, 0x00, 0x04, 0x00}));
    EXPECT_TRUE(IsImageListStream(Bytes{'I', 'L', 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x55}));
    // Equal words: the older layout, whose first word happens to spell "IL".
    EXPECT_FALSE(IsImageListStream(Bytes{'I', 'L', 0x01, 0x01, 'I', 'L', 0x01, 0x01}));
    EXPECT_FALSE(IsImageListStream(Bytes{'L', 'I', 0x01, 0x01, 0x04, 0x00, 0x04, 0x00}));
    EXPECT_FALSE(IsImageListStream(Bytes{'i', 'l', 0x01, 0x01, 0x04, 0x00, 0x04, 0x00}));
    // Too short for two words.
    EXPECT_FALSE(IsImageListStream(Bytes{'I', 'L', 0x01, 0x01, 0x04, 0x00, 0x04}));
    EXPECT_FALSE(IsImageListStream(Bytes{'I', 'L'}));
    EXPECT_FALSE(IsImageListStream(Bytes{}));
}

TEST(OlderIconLayout, SplitsTheImagesFromTheMasks) {
    const Bytes images = FakeBitmapFile(0x11, 40);
    const Bytes masks = FakeBitmapFile(0x22, 30);
    const Bytes data = OlderLayout(images, 3, masks);
    EXPECT_FALSE(IsImageListStream(data));

    const OlderIconLayout layout = ParseOlderIconLayout(data);
    EXPECT_EQ(layout.imageCount, 3u);
    EXPECT_EQ(layout.imagesBmp, images);
    EXPECT_EQ(layout.masksBmp, masks);
}

TEST(OlderIconLayout, EveryTruncationIsRefused) {
    const Bytes data = OlderLayout(FakeBitmapFile(0x11, 40), 2, FakeBitmapFile(0x22, 26));
    ASSERT_NO_THROW(ParseOlderIconLayout(data));
    for (size_t length = 0; length < data.size(); ++length) {
        const Bytes cut(data.begin(), data.begin() + static_cast<ptrdiff_t>(length));
        EXPECT_THROW(ParseOlderIconLayout(cut), Error) << "length " << length;
    }
}

TEST(OlderIconLayout, RefusesSizesAndPartsThatDoNotFit) {
    const Bytes images = FakeBitmapFile(0x11, 40);
    const Bytes masks = FakeBitmapFile(0x22, 30);

    Bytes sizeBeyond = OlderLayout(images, 1, masks);
    sizeBeyond[0] = 0xFF;
    sizeBeyond[3] = 0xFF;
    EXPECT_THROW(ParseOlderIconLayout(sizeBeyond), Error);

    EXPECT_THROW(ParseOlderIconLayout(OlderLayout(images, 0x80000000u, masks)), Error);
    EXPECT_THROW(ParseOlderIconLayout(OlderLayout(images, 1, {})), Error);
    EXPECT_THROW(ParseOlderIconLayout(OlderLayout({}, 1, masks)), Error);

    Bytes notBitmap = images;
    notBitmap[0] = 'X';
    EXPECT_THROW(ParseOlderIconLayout(OlderLayout(notBitmap, 1, masks)), Error);
    EXPECT_THROW(ParseOlderIconLayout(OlderLayout(images, 1, notBitmap)), Error);

    // The size field decides where the masks begin: one byte off and the masks lose their "BM".
    Bytes shifted = OlderLayout(images, 1, masks);
    shifted[0] = static_cast<uint8_t>(shifted[0] + 1);
    EXPECT_THROW(ParseOlderIconLayout(shifted), Error);
}

}  // namespace
}  // namespace corvalo
