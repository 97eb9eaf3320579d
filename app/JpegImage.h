#pragma once
// JPEG pictures through libjpeg, without Qt's image plugins: the windows' backgrounds, banners,
// tile icons and highlight bars are JPEG files embedded as resources and decoded here.
#include <QByteArray>
#include <QImage>
#include <QString>

namespace app {

// Decodes a baseline or progressive JPEG (grey or colour) into an RGB32 image. Returns a null
// image for data that is not a JPEG, is truncated beyond use, or is CMYK.
QImage DecodeJpeg(const QByteArray& data);
// Reads and decodes a JPEG file or resource (":/..." paths work too).
QImage LoadJpeg(const QString& path);
// Encodes an image as a baseline JPEG of the given quality (1..100); empty on failure.
QByteArray EncodeJpeg(const QImage& image, int quality = 92);

}  // namespace app
