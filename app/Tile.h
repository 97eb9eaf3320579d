#pragma once
// One tile of the main window: icon, bold title and subtitle on a white panel, a highlight bar
// beneath them that shows while the mouse is over the tile, and a transparent click area on top.
#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace app {

// Invisible area that reports the mouse entering, leaving and clicking.
class TClickArea : public QWidget {
  Q_OBJECT
 public:
  explicit TClickArea(QWidget* parent);
 signals:
  void clicked();
  void mouseEntered();
  void mouseLeft();

 protected:
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  bool pressed_ = false;
};

class TTile : public QWidget {
  Q_OBJECT
 public:
  TTile(const QString& title, const QString& subtitle, const QPixmap& icon,
        const QPixmap& highlight, QWidget* parent);
  TClickArea* ClickArea() const { return area_; }
  QLabel* Highlight() const { return highlight_; }
  QLabel* Title() const { return title_; }
  QLabel* Subtitle() const { return subtitle_; }

 protected:
  void changeEvent(QEvent* e) override;

 private:
  QLabel* highlight_;
  QLabel* icon_;
  QLabel* title_;
  QLabel* subtitle_;
  TClickArea* area_;
};

}  // namespace app
