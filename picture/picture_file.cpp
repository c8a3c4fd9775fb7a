#include "picture/picture_file.h"

#include "base/error.h"
#include "base/text.h"
#include "picture/bmp_format.h"
#include "picture/picture_decoders.h"

#include <algorithm>

namespace corvalo {

namespace {

constexpr wchar_t kUnknownExtension[] = L"Unknown picture file extension (.%s)";
constexpr size_t kGeneralPathProbe = 54;  // a bitmap file's file and info headers

// The registry of picture formats as start-up fills it. Lookups take the entry registered last.
class FormatRegistry {
  public:
    void Register(std::wstring_view extensions, std::wstring_view description,
                  PictureDecoder decoder, bool standard = false) {
        size_t start = 0;
        for (;;) {
            const size_t end = extensions.find(L' ', start);
            formats_.push_back({std::wstring(extensions.substr(start, end - start)),
                                std::wstring(description), decoder});
            standard_.push_back(standard);
            if (end == std::wstring_view::npos) {
                break;
            }
            start = end + 1;
        }
    }
    // The multi-format library takes over the standard kinds: their entries go.
    void RemoveStandardKinds() {
        std::vector<RegisteredFormat> kept;
        for (size_t i = 0; i < formats_.size(); ++i) {
            if (!standard_[i]) {
                kept.push_back(formats_[i]);
            }
        }
        formats_ = std::move(kept);
        standard_.assign(formats_.size(), false);
    }
    std::vector<RegisteredFormat> Take() { return std::move(formats_); }

  private:
    std::vector<RegisteredFormat> formats_;
    std::vector<bool> standard_;
};

std::vector<RegisteredFormat> BuildRegisteredFormats() {
    using D = PictureDecoder;
    FormatRegistry r;
    // The standard kinds of the toolkit, the OLE picture loader and the standard JPEG kind.
    r.Register(L"wmf", L"Metafiles", D::WindowsMetafile, true);
    r.Register(L"emf", L"Enhanced Metafiles", D::WindowsMetafile, true);
    r.Register(L"ico", L"Icons", D::WindowsIcon, true);
    r.Register(L"bmp", L"Bitmaps", D::WindowsBitmap, true);
    r.Register(L"", L"OLE pictures", D::OlePicture);
    r.Register(L"jpeg jpg", L"JPEG Image File", D::Jpeg, true);
    // The multi-format library replaces the standard kinds with its own list.
    r.RemoveStandardKinds();
    r.Register(L"bmp", L"Windows bitmaps", D::WindowsBitmap);
    r.Register(L"ico", L"Windows icons", D::WindowsIcon);
    r.Register(L"wmf", L"Windows metafiles", D::WindowsMetafile);
    r.Register(L"emf", L"Enhanced Windows metafiles", D::WindowsMetafile);
    r.Register(L"jfif jpg jpe jpeg", L"JPEG images", D::Jpeg);
    r.Register(L"msk rle dib", L"Windows bitmaps", D::WindowsBitmap);
    r.Register(L"tga vst vda win icb", L"Truevision images", D::Targa);
    r.Register(L"tif tiff fax", L"TIFF images", D::Tiff);
    r.Register(L"eps", L"Encapsulated PostScript images (TIFF preview)", D::EpsTiffPreview);
    r.Register(L"pcx pcc scr", L"ZSoft Paintbrush images", D::Pcx);
    r.Register(L"rpf rla", L"Alias/Wavefront images", D::Rla);
    r.Register(L"sgi rgba rgb bw", L"SGI images", D::SgiImage);
    r.Register(L"psd pdd", L"Photoshop images", D::PhotoshopImage);
    r.Register(L"ppm pgm pbm", L"Portable pixel, gray and bit maps", D::PortableAnymap);
    r.Register(L"cel pic", L"Autodesk images", D::AutodeskCel);
    r.Register(L"pcd", L"Kodak Photo-CD images", D::PhotoCd);
    r.Register(L"gif", L"CompuServe images", D::Gif);
    r.Register(L"cut", L"Dr. Halo images", D::Cut);
    r.Register(L"psp pfr tub", L"Paint Shop Pro images", D::PaintShopPro);
    r.Register(L"png", L"Portable network graphic images", D::Png);
    r.Register(L"ged", L"Arts & Letters images", D::Ged);
    // The GIF, PNG, JPEG 2000 and WebP libraries come last and win for their extensions.
    r.Register(L"gif", L"CompuServe GIF image", D::Gif);
    r.Register(L"png", L"Portable Network Graphics", D::Png);
    r.Register(L"jp2 j2k jpc", L"JPEG 2000 image", D::Jpeg2000);
    r.Register(L"webp", L"WebP image", D::Webp);
    return r.Take();
}

// The picture as its decoder reads it.
DecodedPicture Decode(PictureDecoder decoder, std::span<const uint8_t> file,
                      std::wstring_view extension) {
    switch (decoder) {
        case PictureDecoder::WindowsBitmap:
            return DecodeWindowsBitmap(file);
        case PictureDecoder::WindowsIcon:
            return DecodeIcon(file);
        case PictureDecoder::WindowsMetafile:
            return DecodeMetafile(file);
        case PictureDecoder::Jpeg:
            return DecodeJpeg(file);
        case PictureDecoder::Png:
            return DecodePng(file);
        case PictureDecoder::Gif:
            return DecodeGif(file);
        case PictureDecoder::Targa:
            return DecodeTarga(file);
        case PictureDecoder::Jpeg2000:
            return DecodeJpeg2000(file);
        case PictureDecoder::Tiff:
            return DecodeTiff(file);
        case PictureDecoder::EpsTiffPreview:
            return DecodeEpsPreview(file);
        case PictureDecoder::PortableAnymap:
            return DecodePortableAnymap(file);
        case PictureDecoder::OlePicture:
            return DecodeOlePicture(file);
        case PictureDecoder::Webp:
            return DecodeWebp(file);
        default:
            // Registered, but this build has no reader for it.
            throw Error(FillText(kUnknownExtension, {extension}));
    }
}

}  // namespace

const std::vector<RegisteredFormat>& RegisteredFormats() {
    static const std::vector<RegisteredFormat> formats = BuildRegisteredFormats();
    return formats;
}

std::optional<PictureDecoder> RegisteredDecoder(std::wstring_view extension) {
    const std::wstring wanted = LowerCase(extension);
    const auto& formats = RegisteredFormats();
    for (auto it = formats.rbegin(); it != formats.rend(); ++it) {
        if (it->extension == wanted) {
            return it->decoder;
        }
    }
    return std::nullopt;
}

bool CanDecode(PictureDecoder decoder) {
    switch (decoder) {
        case PictureDecoder::Pcx:
        case PictureDecoder::Rla:
        case PictureDecoder::SgiImage:
        case PictureDecoder::PhotoshopImage:
        case PictureDecoder::AutodeskCel:
        case PictureDecoder::PhotoCd:
        case PictureDecoder::Cut:
        case PictureDecoder::PaintShopPro:
        case PictureDecoder::Ged:
            return false;
        default:
            return true;
    }
}

std::wstring PictureFileExtension(std::wstring_view fileName) {
    const size_t dot = fileName.rfind(L'.');
    if (dot == std::wstring_view::npos ||
        fileName.find_first_of(L"\\/:", dot) != std::wstring_view::npos) {
        return {};
    }
    return std::wstring(fileName.substr(dot));
}

std::optional<PictureDecoder> DecoderForFile(std::wstring_view fileName) {
    static constexpr struct {
        const wchar_t* extension;
        PictureDecoder decoder;
    } kFixedTable[] = {
        {L".bmp", PictureDecoder::WindowsBitmap},
        {L".jpg", PictureDecoder::Jpeg},
        {L".png", PictureDecoder::Png},
        {L".gif", PictureDecoder::Gif},
        {L".tga", PictureDecoder::Targa},
        {L".jp2", PictureDecoder::Jpeg2000},
        {L".emf", PictureDecoder::WindowsMetafile},
        {L".webp", PictureDecoder::Webp},
    };
    const std::wstring extension = LowerCase(PictureFileExtension(fileName));
    for (const auto& entry : kFixedTable) {
        if (extension == entry.extension) {
            return entry.decoder;
        }
    }
    return std::nullopt;
}

std::wstring PictureFileMask() {
    std::wstring mask;
    const auto& formats = RegisteredFormats();
    for (auto it = formats.rbegin(); it != formats.rend(); ++it) {
        if (it->extension.empty()) {
            continue;
        }
        if (!mask.empty()) {
            mask += L';';
        }
        mask += L"*.";
        mask += it->extension;
    }
    return mask;
}

bool IsPictureFile(const std::wstring& fileName) {
    const std::wstring extension = LowerCase(PictureFileExtension(fileName));
    if (extension.empty()) {
        return false;
    }
    static const std::wstring mask = LowerCase(PictureFileMask());
    return mask.find(extension) != std::wstring::npos;
}

Bitmap DecodePictureFile(std::wstring_view fileName, std::span<const uint8_t> contents) {
    DecodedPicture picture;
    const std::wstring extension = PictureFileExtension(fileName);
    if (const auto decoder = DecoderForFile(fileName)) {
        picture = Decode(*decoder, contents, extension.substr(1));
    } else {
        // The general loading path: a bitmap file whatever its name, else the registered formats.
        if (contents.size() < kGeneralPathProbe) {
            throw Error(kStreamReadError);
        }
        const std::wstring_view bare =
            extension.empty() ? std::wstring_view() : std::wstring_view(extension).substr(1);
        if (contents[0] == 'B' && contents[1] == 'M') {
            picture = DecodeWindowsBitmap(contents);
        } else {
            const auto registered = RegisteredDecoder(bare);
            if (!registered) {
                throw Error(FillText(kUnknownExtension, {bare}));
            }
            picture = Decode(*registered, contents, bare);
        }
        // What this path hands on is a plain opaque bitmap of the picture.
        picture.transparent = false;
        picture.transparentColor.reset();
    }

    Bitmap result = std::move(picture.bitmap);
    if (picture.transparent) {
        result.SetTransparent(true);
        if (picture.transparentColor) {
            result.SetTransparentColor(*picture.transparentColor);
        } else {
            result.SetMode(TransparentMode::Automatic);
        }
    }
    result.SetPalette(std::move(picture.palette));
    return result;
}

Bitmap LoadPictureFile(const std::wstring& fileName) {
    const std::vector<uint8_t> contents = ReadPictureFileBytes(fileName);
    return DecodePictureFile(fileName, contents);
}

void CheckPictureSize(uint64_t width, uint64_t height, const wchar_t* invalidMessage) {
    if (width == 0 || height == 0) {
        throw Error(invalidMessage);
    }
    if (width > uint64_t(kMaxBitmapSide) || height > uint64_t(kMaxBitmapSide) ||
        width * height > kMaxPicturePixels) {
        throw Error(L"Invalid image size");
    }
}

Bitmap NewPictureBitmap(uint64_t width, uint64_t height, const wchar_t* invalidMessage) {
    CheckPictureSize(width, height, invalidMessage);
    return NewSizedBitmap(int(width), int(height), std::nullopt);
}

DecodedPicture DecodeWindowsBitmap(std::span<const uint8_t> file) {
    Bitmap stored = ReadBmp(file, size_t(kMaxPicturePixels) * 4);
    // A file may say it has no rows or no columns; a picture of nothing is no picture, whatever
    // its pixel format.
    CheckPictureSize(uint64_t(stored.Width()), uint64_t(stored.Height()),
                     L"Bitmap image is not valid");
    DecodedPicture picture;
    picture.palette = stored.Palette();
    if (stored.BitsPerPixel() == 24) {
        picture.bitmap = std::move(stored);  // already what the result holds
        picture.bitmap.SetPalette({});
        return picture;
    }
    picture.bitmap = NewPictureBitmap(uint64_t(stored.Width()), uint64_t(stored.Height()),
                                      L"Bitmap image is not valid");
    DrawBitmap(picture.bitmap, stored, 0, 0);
    return picture;
}

}  // namespace corvalo
