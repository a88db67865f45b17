#include "imaging/Decoders.h"

#include "imaging/BmpWriter.h"
#include "imaging/Picture.h"
#include "platform/Error.h"

#include <algorithm>
#include <vector>

namespace plimbury {

bool canDecode(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg:
    case PictureFormat::Bmp:
        return true;
#ifdef PLIMBURY_HAVE_PNG
    case PictureFormat::Png:
        return true;
#endif
#ifdef PLIMBURY_HAVE_WEBP
    case PictureFormat::WebP:
        return true;
#endif
#ifdef PLIMBURY_HAVE_GIF
    case PictureFormat::Gif:
        return true;
#endif
#ifdef PLIMBURY_HAVE_TIFF
    case PictureFormat::Tiff:
        return true;
#endif
#ifdef PLIMBURY_HAVE_HEIF
    case PictureFormat::Heif:
        return true;
#endif
    default:
        return false;
    }
}

std::string notAPictureText(const std::string& path)
{
    return path + " is not a picture this program can read";
}

void decodePicture(const std::string& path, RowSink& sink, const DecodeOptions& options)
{
    const PictureFormat format = pictureFormatOf(path);
    if (!canDecode(format))
        throw Error(notAPictureText(path));
    switch (format) {
    case PictureFormat::Jpeg:
        decodeJpegFile(path, sink, options);
        return;
    case PictureFormat::Bmp:
        decodeBmpFile(path, sink);
        return;
#ifdef PLIMBURY_HAVE_PNG
    case PictureFormat::Png:
        decodePngFile(path, sink);
        return;
#endif
#ifdef PLIMBURY_HAVE_WEBP
    case PictureFormat::WebP:
        decodeWebpFile(path, sink);
        return;
#endif
#ifdef PLIMBURY_HAVE_GIF
    case PictureFormat::Gif:
        decodeGifFile(path, sink);
        return;
#endif
#ifdef PLIMBURY_HAVE_TIFF
    case PictureFormat::Tiff:
        decodeTiffFile(path, sink);
        return;
#endif
#ifdef PLIMBURY_HAVE_HEIF
    case PictureFormat::Heif:
        decodeHeifFile(path, sink);
        return;
#endif
    default:
        break;
    }
    throw Error(notAPictureText(path));
}

void convertPictureToBmp(const std::string& picturePath, const std::string& bmpPath, BmpColours colours)
{
    if (pictureFormatOf(picturePath) == PictureFormat::Jpeg) {
        convertJpegToBmp(picturePath, bmpPath, colours);
        return;
    }
    BmpWriter writer(bmpPath, colours);
    decodePicture(picturePath, writer);
}

} // namespace plimbury
