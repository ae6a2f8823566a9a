#pragma once

#include "export/view/RgbImage.h"

#include <stdexcept>
#include <string>

class EJpegError : public std::runtime_error {
public:
    explicit EJpegError(const std::string& message) : std::runtime_error(message) {}
};

// Encodes a picture as a baseline colour JPEG (JFIF) through libjpeg.
// Raises EJpegError when the picture cannot be encoded (empty, too large).
void EncodeJpeg(const TRgbImage& image, int quality, std::string& out);

// Encodes the picture and writes it to `path`, replacing a file of that name
// only once the whole picture is written (a link of that name is replaced,
// not followed). Raises EJpegError or EStreamError naming the file.
void SaveJpegFile(const TRgbImage& image, const std::string& path, int quality = 90);
