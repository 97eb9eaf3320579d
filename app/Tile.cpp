#include "app/Tile.h"

#include <QEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>

namespace app {

TClickArea::TClickArea(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_NoSystemBackground);
  setCursor(Qt::PointingHandCursor);
}

void TClickArea::enterEvent(QEnterEvent*) { emit mouseEntered(); }
void TClickArea::leaveEvent(QEvent*) {
  pressed_ = false;
  emit mouseLeft();
}
void TClickArea::mousePressEvent(QMouseEvent* e) { pressed_ = e->button() == Qt::LeftButton; }
void TClickArea::mouseReleaseEvent(QMouseEvent* e) {
  const bool click =
      pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
  pressed_ = false;
  if (click) emit clicked();
}

TTile::TTile(const QString& title, const QString& subtitle, const QPixmap& icon,
             const QPixmap& highlight, QWidget* parent)
    : QWidget(parent) {
  const QSize size = highlight.isNull() ? QSize(389, 45) : highlight.size();
  setFixedSize(size);
  highlight_ = new QLabel(this);
  highlight_->setGeometry(0, 0, size.width(), size.height());
  highlight_->setPixmap(highlight);
  highlight_->hide();

  icon_ = new QLabel(this);
  icon_->setPixmap(icon);
  icon_->setGeometry(6, (size.height() - 36) / 2, 36, 36);

  title_ = new QLabel(title, this);
  QFont bold = title_->font();
  bold.setBold(true);
  bold.setPixelSize(12);
  title_->setFont(bold);
  title_->setGeometry(50, 5, size.width() - 54, 18);

  subtitle_ = new QLabel(subtitle, this);
  QFont small = subtitle_->font();
  small.setPixelSize(11);
  subtitle_->setFont(small);
  subtitle_->setStyleSheet(QStringLiteral("color: #505a66;"));
  subtitle_->setGeometry(50, 23, size.width() - 54, 17);

  for (QLabel* l : {title_, subtitle_}) l->setAttribute(Qt::WA_TransparentForMouseEvents);
  area_ = new TClickArea(this);
  area_->setGeometry(0, 0, size.width(), size.height());
  area_->raise();
}

void TTile::changeEvent(QEvent* e) {
  // A tile that cannot start its job now looks faded and shows no highlight.
  if (e->type() == QEvent::EnabledChange) {
    if (!isEnabled()) {
      highlight_->hide();
      auto* fade = new QGraphicsOpacityEffect(this);
      fade->setOpacity(0.45);
      setGraphicsEffect(fade);
    } else {
      setGraphicsEffect(nullptr);
    }
  }
  QWidget::changeEvent(e);
}

}  // namespace app
