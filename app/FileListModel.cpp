#include "app/FileListModel.h"

#include <QDateTime>
#include <QFileSystemModel>

namespace app {

TFileListModel::TFileListModel(QObject* parent) : QSortFilterProxyModel(parent) {
  files_ = new QFileSystemModel(this);
  files_->setFilter(QDir::Files | QDir::NoDotAndDotDot);
  files_->setReadOnly(true);
  setSourceModel(files_);
  // Names as people sort them: "2.jpg" before "10.jpg", case aside.
  names_.setNumericMode(true);
  names_.setCaseSensitivity(Qt::CaseInsensitive);
}

QModelIndex TFileListModel::ShowFolder(const QString& folder) {
  const QModelIndex root = files_->setRootPath(folder);
  folder_ = files_->filePath(root);
  invalidateFilter();
  return mapFromSource(root);
}

QString TFileListModel::FileName(const QModelIndex& index) const {
  return files_->fileName(mapToSource(index));
}

bool TFileListModel::filterAcceptsRow(int row, const QModelIndex& parent) const {
  const QModelIndex index = files_->index(row, 0, parent);
  if (!files_->isDir(index)) return true;
  // Only the folders that lead to the shown one (the view's root must stay reachable).
  const QString path = files_->filePath(index);
  return path == folder_ || path == QStringLiteral("/") ||
         folder_.startsWith(path + QLatin1Char('/'));
}

bool TFileListModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  switch (left.column()) {
    case 1:
      return files_->size(left) < files_->size(right);
    case 2:
      return names_.compare(files_->type(left), files_->type(right)) < 0;
    case 3:
      return files_->lastModified(left) < files_->lastModified(right);
    default:
      break;
  }
  return names_.compare(files_->fileName(left), files_->fileName(right)) < 0;
}

}  // namespace app
