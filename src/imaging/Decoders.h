#pragma once
// Reading any picture file the program shows: the decoder is chosen by the
// file's content (PictureFormat), never by its name.
//
// Every decoder below reads the whole file at full size into the sink: rows
// top to bottom, 3 bytes per pixel in R, G, B order; transparent pixels
// composed over black; the picture turned as its orientation says (EXIF where
// the format carries it, the container's own rotation and mirroring for
// HEIF/AVIF). finish() is called only once the whole file was read without
// error; after an error the sink sees no further call. Errors:
//   Error("Cannot open file \"<path>\". <system text>")
//   Error("The picture \"<path>\" (<w> x <h>) is too large"), before any pixel
//       memory is taken (see kMaxPicturePixels)
//   Error("<FORMAT> error in \"<path>\": <what the library says>") for damaged data

#include "imaging/Jpeg.h"
#include "imaging/PictureFormat.h"

#include <string>

namespace plimbury {

void decodePngFile(const std::string& path, RowSink& sink);
void decodeWebpFile(const std::string& path, RowSink& sink);
void decodeGifFile(const std::string& path, RowSink& sink);    // the first frame
void decodeTiffFile(const std::string& path, RowSink& sink);   // the first page
void decodeHeifFile(const std::string& path, RowSink& sink);   // HEIC, HEIF, AVIF: the primary picture

// Whether this build has a decoder for the format (each rests on a library
// that a build may lack: HEIF on Windows, say).
bool canDecode(PictureFormat format);

// The text for a file no decoder reads: "<path> is not a picture this program can read".
std::string notAPictureText(const std::string& path);

// Sniffs the file and decodes it with its decoder (options apply to JPEG
// only: the others decode at full size with their orientation applied).
// Error(notAPictureText(path)) for a file of no format this build reads.
void decodePicture(const std::string& path, RowSink& sink, const DecodeOptions& options = {});

// Converts a picture of any format this build reads into the bitmap at
// bmpPath, replacing it atomically, as convertJpegToBmp() does for JPEG (a
// JPEG goes exactly that way). The errors of decodePicture() and of
// convertJpegToBmp().
void convertPictureToBmp(const std::string& picturePath, const std::string& bmpPath,
                         BmpColours colours = BmpColours::TrueColour);

} // namespace plimbury
