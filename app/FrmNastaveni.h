#pragma once
// Settings window: the recorder, the write speeds the recorder accepts for the loaded medium,
// buffer-underrun protection and the temporary folder; "Uložit" keeps them in the settings file.
#include <QComboBox>
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TFrmHlavni;

// A selection-only list that tells when it is about to open, so its entries can be rebuilt first.
class TDropDownComboBox : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
  void showPopup() override;
 signals:
  void dropDown();
};

class TFrmNastaveni : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmNastaveni(TFrmHlavni* main);

  QComboBox* cbDrives;
  TDropDownComboBox* cbSpeed;
  QLineEdit* DirectoryEdit1;
  QToolButton* btnBrowse;
  QCheckBox* BrnPrf;
  QPushButton* btnUloz;
  QPushButton* Button1;

 public slots:
  void FormShow();
  void cbDrivesChange(int index);
  void cbSpeedDropDown();
  void btnUlozClick();
  void Button1Click();
  void btnBrowseClick();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  TFrmHlavni* main_;
  bool speedProbed_ = false;  // the speed list was rebuilt from the recorder since FormShow
};
