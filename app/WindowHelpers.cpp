#include "app/WindowHelpers.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

#include "app/Pictures.h"

namespace app {

void SetFixedFrame(QWidget* w, bool minimiseBox) {
  Qt::WindowFlags flags = (w->windowFlags() & Qt::WindowType_Mask) | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint;
  if (minimiseBox) flags |= Qt::WindowMinimizeButtonHint;
  w->setWindowFlags(flags);
}

void CentreOnScreen(QWidget* w) {
  QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  QRect frame = w->frameGeometry();
  frame.moveCenter(area.center());
  w->move(frame.topLeft());
}

QLabel* AddBackground(QWidget* w, const QString& picture) {
  auto* label = new QLabel(w);
  label->setPixmap(Picture(picture));
  label->setGeometry(0, 0, w->width(), w->height());
  label->setScaledContents(false);
  label->lower();
  return label;
}

}  // namespace app
