// Draws the application's pictures and writes them into the assets folder: backgrounds, banner,
// tile icons and highlight bars as JPEG files (encoded with libjpeg through app/JpegImage), the
// program icon as PNG files with transparency. Everything is drawn here from gradients and simple
// shapes, so the pictures are ours. Usage: ardovan-make-pictures <assets folder>
#include <QConicalGradient>
#include <QFile>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

#include "app/JpegImage.h"

namespace {

QString gOut;

bool SaveJpeg(const QImage& img, const char* name) {
  const QByteArray bytes = app::EncodeJpeg(img, 92);
  QFile f(gOut + "/" + name);
  if (bytes.isEmpty() || !f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
    std::fprintf(stderr, "cannot write %s\n", name);
    return false;
  }
  return true;
}

QImage Canvas(int w, int h, const QColor& fill) {
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(fill);
  return img;
}

// An optical disc: silver face with a rainbow sheen, a clear hub ring and the centre hole.
void DrawDisc(QPainter& p, QPointF c, double r, double alpha = 1.0) {
  p.save();
  p.setOpacity(alpha);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient face(c, r);
  face.setColorAt(0.0, QColor(250, 250, 252));
  face.setColorAt(0.7, QColor(205, 212, 222));
  face.setColorAt(1.0, QColor(160, 170, 186));
  p.setPen(QPen(QColor(120, 130, 150), r / 40.0 + 0.5));
  p.setBrush(face);
  p.drawEllipse(c, r, r);
  QConicalGradient sheen(c, 30);
  const QColor hues[] = {QColor(255, 120, 120, 90), QColor(255, 230, 110, 90),
                         QColor(120, 230, 140, 90), QColor(110, 190, 255, 90),
                         QColor(200, 130, 255, 90), QColor(255, 120, 120, 90)};
  for (int i = 0; i < 6; ++i) sheen.setColorAt(i / 5.0, hues[i]);
  p.setPen(Qt::NoPen);
  p.setBrush(sheen);
  p.drawEllipse(c, r * 0.97, r * 0.97);
  p.setBrush(QColor(235, 238, 242));
  p.setPen(QPen(QColor(150, 158, 172), r / 60.0 + 0.3));
  p.drawEllipse(c, r * 0.34, r * 0.34);
  p.setBrush(QColor(255, 255, 255, 0));
  p.drawEllipse(c, r * 0.22, r * 0.22);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.setBrush(Qt::transparent);
  p.setPen(Qt::NoPen);
  p.drawEllipse(c, r * 0.12, r * 0.12);
  p.restore();
}

// Draws an icon at four times its size and scales it down smoothly onto white.
QImage Icon(int size, void (*draw)(QPainter&, double)) {
  const int big = size * 4;
  QImage art(big, big, QImage::Format_ARGB32_Premultiplied);
  art.fill(Qt::transparent);
  {
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, big);
  }
  QImage out = Canvas(size, size, Qt::white);
  QPainter p(&out);
  p.drawImage(0, 0, art.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  return out;
}

void DrawDocument(QPainter& p, QRectF r, QColor ink) {
  QPainterPath page;
  const double fold = r.width() * 0.3;
  page.moveTo(r.topLeft());
  page.lineTo(r.right() - fold, r.top());
  page.lineTo(r.right(), r.top() + fold);
  page.lineTo(r.bottomRight());
  page.lineTo(r.bottomLeft());
  page.closeSubpath();
  p.setPen(QPen(ink, r.width() / 14));
  p.setBrush(Qt::white);
  p.drawPath(page);
  for (int i = 0; i < 4; ++i) {
    const double y = r.top() + r.height() * (0.38 + i * 0.14);
    p.drawLine(QPointF(r.left() + r.width() * 0.18, y), QPointF(r.right() - r.width() * 0.18, y));
  }
}

void DrawDataIcon(QPainter& p, double s) {
  DrawDisc(p, QPointF(s * 0.42, s * 0.5), s * 0.4);
  DrawDocument(p, QRectF(s * 0.56, s * 0.42, s * 0.36, s * 0.48), QColor(30, 90, 170));
}

void DrawCopyIcon(QPainter& p, double s) {
  DrawDisc(p, QPointF(s * 0.36, s * 0.38), s * 0.32);
  DrawDisc(p, QPointF(s * 0.62, s * 0.62), s * 0.32);
  p.setPen(QPen(QColor(30, 140, 60), s / 14, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(s * 0.12, s * 0.88), QPointF(s * 0.34, s * 0.88));
  p.drawLine(QPointF(s * 0.26, s * 0.80), QPointF(s * 0.34, s * 0.88));
  p.drawLine(QPointF(s * 0.26, s * 0.96), QPointF(s * 0.34, s * 0.88));
}

void DrawIsoIcon(QPainter& p, double s) {
  DrawDisc(p, QPointF(s * 0.4, s * 0.42), s * 0.38);
  const QRectF box(s * 0.38, s * 0.58, s * 0.58, s * 0.34);
  p.setPen(QPen(QColor(20, 60, 120), s / 30));
  p.setBrush(QColor(40, 100, 190));
  p.drawRoundedRect(box, s * 0.05, s * 0.05);
  QFont f("DejaVu Sans");
  f.setBold(true);
  f.setPixelSize(static_cast<int>(s * 0.22));
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(box, Qt::AlignCenter, "ISO");
}

void DrawEraseIcon(QPainter& p, double s) {
  DrawDisc(p, QPointF(s * 0.44, s * 0.46), s * 0.4);
  // circular arrow: the disc is written again
  p.setPen(QPen(QColor(200, 40, 40), s / 11, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  const QRectF arc(s * 0.5, s * 0.5, s * 0.42, s * 0.42);
  p.drawArc(arc, 30 * 16, 280 * 16);
  const QPointF tip(arc.center().x() + arc.width() / 2 * std::cos(30 * M_PI / 180),
                    arc.center().y() - arc.height() / 2 * std::sin(30 * M_PI / 180));
  p.drawLine(tip, tip + QPointF(-s * 0.12, -s * 0.02));
  p.drawLine(tip, tip + QPointF(s * 0.01, -s * 0.13));
}

void DrawGearIcon(QPainter& p, double s) {
  const QPointF c(s * 0.5, s * 0.5);
  QPainterPath gear;
  const int teeth = 8;
  for (int i = 0; i < teeth * 2; ++i) {
    const double a0 = (i - 0.5) * M_PI / teeth, a1 = (i + 0.5) * M_PI / teeth;
    const double r = (i % 2 == 0) ? s * 0.46 : s * 0.36;
    QPointF p0 = c + QPointF(r * std::cos(a0), r * std::sin(a0));
    QPointF p1 = c + QPointF(r * std::cos(a1), r * std::sin(a1));
    if (i == 0)
      gear.moveTo(p0);
    else
      gear.lineTo(p0);
    gear.lineTo(p1);
  }
  gear.closeSubpath();
  QPainterPath hole;
  hole.addEllipse(c, s * 0.16, s * 0.16);
  QLinearGradient metal(0, 0, s, s);
  metal.setColorAt(0, QColor(150, 165, 185));
  metal.setColorAt(1, QColor(70, 85, 110));
  p.setPen(QPen(QColor(50, 60, 80), s / 40));
  p.setBrush(metal);
  p.drawPath(gear.subtracted(hole));
  DrawDisc(p, c, s * 0.24);
}

// Light bar shown under a tile while the mouse is over it.
QImage Highlight(int w, int h) {
  QImage img = Canvas(w, h, Qt::white);
  QPainter p(&img);
  QLinearGradient g(0, 0, 0, h);
  g.setColorAt(0, QColor(236, 244, 253));
  g.setColorAt(0.5, QColor(212, 230, 250));
  g.setColorAt(1, QColor(194, 218, 246));
  p.fillRect(img.rect(), g);
  p.setPen(QColor(140, 180, 230));
  p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
  QLinearGradient edge(0, 0, 6, 0);
  edge.setColorAt(0, QColor(40, 110, 200));
  edge.setColorAt(1, QColor(40, 110, 200, 0));
  p.fillRect(QRect(1, 1, 6, h - 2), edge);
  return img;
}

QImage Background(int w, int h) {
  QImage img = Canvas(w, h, Qt::black);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, w * 0.3, h);
  g.setColorAt(0, QColor(18, 44, 86));
  g.setColorAt(0.6, QColor(28, 74, 128));
  g.setColorAt(1, QColor(40, 100, 160));
  p.fillRect(img.rect(), g);
  // faint rings of a large disc in the lower right corner
  const QPointF c(w * 0.88, h * 0.95);
  for (int i = 0; i < 14; ++i) {
    p.setPen(QPen(QColor(255, 255, 255, 10 + (i % 3) * 6), 1.2));
    const double r = h * 0.12 + i * h * 0.045;
    p.drawEllipse(c, r, r);
  }
  QRadialGradient glow(QPointF(w * 0.15, h * 0.05), w * 0.6);
  glow.setColorAt(0, QColor(255, 255, 255, 40));
  glow.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillRect(img.rect(), glow);
  return img;
}

QImage Banner(int w, int h) {
  QImage img = Canvas(w, h, Qt::black);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, w, 0);
  g.setColorAt(0, QColor(10, 30, 64));
  g.setColorAt(0.55, QColor(24, 72, 136));
  g.setColorAt(1, QColor(60, 130, 200));
  p.fillRect(img.rect(), g);
  QLinearGradient gloss(0, 0, 0, h);
  gloss.setColorAt(0, QColor(255, 255, 255, 50));
  gloss.setColorAt(0.5, QColor(255, 255, 255, 8));
  gloss.setColorAt(0.51, QColor(255, 255, 255, 0));
  p.fillRect(img.rect(), gloss);
  DrawDisc(p, QPointF(h * 0.62, h * 0.5), h * 0.4);
  for (int i = 0; i < 3; ++i)
    DrawDisc(p, QPointF(w - 60 - i * 70, h * 0.5), h * (0.3 - i * 0.05), 0.25);
  QFont title("DejaVu Sans");
  title.setBold(true);
  title.setPixelSize(h * 36 / 96);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRectF(h * 1.2, h * 0.12, w, h * 0.5), Qt::AlignLeft | Qt::AlignVCenter, "Ardovan");
  QFont sub("DejaVu Sans");
  sub.setPixelSize(h * 15 / 96);
  p.setFont(sub);
  p.setPen(QColor(200, 222, 250));
  p.drawText(QRectF(h * 1.22, h * 0.58, w, h * 0.3), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromUtf8("CD · DVD · Blu-ray · HD DVD"));
  p.setPen(QColor(255, 255, 255, 60));
  p.drawLine(0, h - 1, w, h - 1);
  return img;
}

QImage AppIcon(int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(size / 2.0, size / 2.0);
  QRadialGradient ring(c, size * 0.5);
  ring.setColorAt(0.85, QColor(30, 90, 170));
  ring.setColorAt(1.0, QColor(16, 50, 110));
  p.setPen(Qt::NoPen);
  p.setBrush(ring);
  p.drawEllipse(c, size * 0.49, size * 0.49);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.setBrush(Qt::transparent);
  p.drawEllipse(c, size * 0.43, size * 0.43);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  DrawDisc(p, c, size * 0.43);
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication qapp(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <assets folder>\n", argv[0]);
    return 2;
  }
  gOut = QString::fromLocal8Bit(argv[1]);
  bool ok = true;
  ok &= SaveJpeg(Background(783, 510), "hlavni-pozadi.jpg");
  ok &= SaveJpeg(Banner(783, 96), "hlavni-banner.jpg");
  ok &= SaveJpeg(Background(783, 530), "okno-pozadi.jpg");
  ok &= SaveJpeg(Icon(36, DrawDataIcon), "ikona-data.jpg");
  ok &= SaveJpeg(Icon(36, DrawCopyIcon), "ikona-kopie.jpg");
  ok &= SaveJpeg(Icon(36, DrawIsoIcon), "ikona-iso.jpg");
  ok &= SaveJpeg(Icon(36, DrawEraseIcon), "ikona-mazani.jpg");
  ok &= SaveJpeg(Icon(36, DrawGearIcon), "ikona-nastaveni.jpg");
  ok &= SaveJpeg(Highlight(389, 45), "dlazdice-zvyrazneni.jpg");
  ok &= SaveJpeg(Highlight(259, 45), "nastaveni-zvyrazneni.jpg");
  {
    QImage logo = Canvas(128, 128, Qt::white);
    QPainter p(&logo);
    p.drawImage(0, 0, AppIcon(128));
    p.end();
    ok &= SaveJpeg(logo, "oprogramu-logo.jpg");
  }
  for (int size : {48, 128, 256}) {
    const QString name = QString("%1/icons/ardovan-%2.png").arg(gOut).arg(size);
    ok &= AppIcon(size).save(name, "PNG");
  }
  return ok ? 0 : 1;
}
