#include "app/Pictures.h"

#include <QHash>

#include "app/JpegImage.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterAssets() { Q_INIT_RESOURCE(assets); }

namespace app {

void InitPictures() {
  static const bool once = (RegisterAssets(), true);
  (void)once;
}

QPixmap Picture(const QString& name) {
  InitPictures();
  static QHash<QString, QPixmap> cache;
  auto it = cache.find(name);
  if (it != cache.end()) return *it;
  const QString path = QStringLiteral(":/pictures/") + name;
  QPixmap pixmap;
  if (name.endsWith(QStringLiteral(".jpg")))
    pixmap = QPixmap::fromImage(LoadJpeg(path));
  else
    pixmap.load(path);
  cache.insert(name, pixmap);
  return pixmap;
}

}  // namespace app
