#pragma once
// The model of the wizard's file list: the files of one folder, sorted by the column the user
// picks. The file-system model underneath keeps the folder it showed before, and the folders on
// the way to the shown one, as rows; they are filtered out here so that the list never offers a
// folder as a file.
#include <QCollator>
#include <QSortFilterProxyModel>
#include <QString>

class QFileSystemModel;

namespace app {

class TFileListModel : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit TFileListModel(QObject* parent);

  // Shows the files of the folder; returns the index to give the view as its root.
  QModelIndex ShowFolder(const QString& folder);
  QString FileName(const QModelIndex& index) const;

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  QFileSystemModel* files_;
  QString folder_;
  QCollator names_;
};

}  // namespace app
