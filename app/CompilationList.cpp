#include "app/CompilationList.h"

#include <QBitmap>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

namespace app {
namespace {

// TData travels in the item's user role as two values.
constexpr int kKindRole = Qt::UserRole;
constexpr int kSizeRole = Qt::UserRole + 1;

}  // namespace

TFilesList::TFilesList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setUniformItemSizes(true);
  setItemDelegate(new TFilesDelegate(this));
  popup_ = new QMenu(this);
  smazat_ = popup_->addAction(QStringLiteral("Smazat"));
}

TData TFilesList::Data(const QListWidgetItem* item) {
  TData d;
  if (item == nullptr) return d;
  d.Kind = item->data(kKindRole).toString();
  d.SizeKB = item->data(kSizeRole).toLongLong();
  return d;
}

void TFilesList::SetData(QListWidgetItem* item, const TData& data) {
  item->setData(kKindRole, data.Kind);
  item->setData(kSizeRole, static_cast<qlonglong>(data.SizeKB));
}

bool TFilesList::Accepts(QDropEvent* e) {
  if (!OnDragOver || !OnDragOver(e->source(), e->mimeData())) {
    e->ignore();
    return false;
  }
  // Always a copy: a source that was told "moved" would delete its files.
  e->setDropAction(Qt::CopyAction);
  e->accept();
  return true;
}

void TFilesList::dragEnterEvent(QDragEnterEvent* e) { Accepts(e); }
void TFilesList::dragMoveEvent(QDragMoveEvent* e) { Accepts(e); }

void TFilesList::dropEvent(QDropEvent* e) {
  if (!Accepts(e)) return;
  if (OnDragDrop) OnDragDrop(e->source(), e->mimeData());
}

void TFilesList::keyPressEvent(QKeyEvent* e) {
  if (OnKeyDown) OnKeyDown(e->key());
  QListWidget::keyPressEvent(e);
}

void TFilesList::contextMenuEvent(QContextMenuEvent* e) { popup_->popup(e->globalPos()); }

void TFilesDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  if (list_->OnDrawItem)
    list_->OnDrawItem(painter, index.row(), option.rect,
                      (option.state & QStyle::State_Selected) != 0);
}

QSize TFilesDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  return {QStyledItemDelegate::sizeHint(option, index).width(), TFilesList::kRowHeight};
}

namespace {

QPixmap RedCanvas() {
  QPixmap p(17, 17);
  p.fill(QColor(255, 0, 0));
  return p;
}

}  // namespace

QPixmap FileIcon() {
  QPixmap p = RedCanvas();
  QPainter g(&p);
  // A sheet with a folded corner and three lines of text.
  QPainterPath sheet;
  sheet.moveTo(3, 1);
  sheet.lineTo(10, 1);
  sheet.lineTo(14, 5);
  sheet.lineTo(14, 15);
  sheet.lineTo(3, 15);
  sheet.closeSubpath();
  g.setPen(QColor(70, 80, 100));
  g.setBrush(Qt::white);
  g.drawPath(sheet);
  g.drawLine(10, 1, 10, 5);
  g.drawLine(10, 5, 14, 5);
  g.setPen(QColor(60, 110, 190));
  for (int y : {7, 9, 11, 13}) g.drawLine(5, y, 12, y);
  return p;
}

QPixmap FolderIcon() {
  QPixmap p = RedCanvas();
  QPainter g(&p);
  g.setPen(QColor(150, 110, 20));
  g.setBrush(QColor(236, 190, 80));
  g.drawRect(1, 3, 6, 3);  // the tab
  g.setBrush(QColor(250, 210, 100));
  g.drawRect(1, 5, 14, 9);
  g.setPen(QColor(255, 236, 170));
  g.drawLine(2, 6, 14, 6);
  return p;
}

QPixmap RedTransparent(const QPixmap& picture) {
  QPixmap p = picture;
  p.setMask(picture.createMaskFromColor(QColor(255, 0, 0), Qt::MaskInColor));
  return p;
}

}  // namespace app
