#pragma once
// The windows' pictures: JPEG resources decoded once through our libjpeg wrapper.
#include <QPixmap>
#include <QString>

namespace app {

// Registers the embedded pictures (they live in a static library, so nothing else pulls them
// in); Picture() does it on first use.
void InitPictures();

// ":/pictures/<name>" decoded (JPEG) or loaded (PNG); a null pixmap when missing.
QPixmap Picture(const QString& name);

}  // namespace app
