#pragma once
// The wizard's compilation list `files`: one owner-drawn row of 16 pixels per file or folder, the
// full source path as the row's text and a TData with its kind and size. It takes drops, the
// Delete key and the pop-up menu "Smazat", and leaves what they mean to the wizard.
#include <QListWidget>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <cstdint>
#include <functional>

class QMenu;
class QMimeData;

namespace app {

// What an entry of the compilation is.
struct TData {
  QString Kind;        // "1" file, "2" folder
  int64_t SizeKB = 0;  // counted when the entry was added
};

class TFilesList : public QListWidget {
  Q_OBJECT
 public:
  static constexpr int kRowHeight = 16;

  explicit TFilesList(QWidget* parent);

  // The entry's data (an empty TData for a row without one).
  static TData Data(const QListWidgetItem* item);
  static void SetData(QListWidgetItem* item, const TData& data);

  QMenu* PopupMenu() const { return popup_; }
  QAction* Smazat1() const { return smazat_; }

  // The wizard's answers: whether a drag is taken, what a drop does, how a row looks.
  std::function<bool(QObject* source, const QMimeData* data)> OnDragOver;
  std::function<void(QObject* source, const QMimeData* data)> OnDragDrop;
  std::function<void(QPainter* painter, int row, const QRect& rect, bool selected)> OnDrawItem;
  std::function<void(int key)> OnKeyDown;

 protected:
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  bool Accepts(QDropEvent* e);
  QMenu* popup_;
  QAction* smazat_;
};

// Draws each row through the list's OnDrawItem, at the list's row height.
class TFilesDelegate : public QStyledItemDelegate {
 public:
  explicit TFilesDelegate(TFilesList* list) : QStyledItemDelegate(list), list_(list) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  TFilesList* list_;
};

// The 17 x 17 icons of a file and of a folder, drawn on pure red, the colour that stays
// transparent when they are drawn.
QPixmap FileIcon();
QPixmap FolderIcon();
// The picture with every pure red pixel made transparent.
QPixmap RedTransparent(const QPixmap& picture);

}  // namespace app
