#pragma once
// A modal window of the program in the shape its handlers expect: FormShow runs at every
// showing (the window centred first), and FormCloseQuery can refuse the closing, whether it is
// asked for by close(), by the frame's close button or by Escape.
#include <QDialog>

namespace app {

class TFormDialog : public QDialog {
 public:
  using QDialog::QDialog;

  virtual bool FormCloseQuery() const { return true; }
  void reject() override;

 protected:
  virtual void FormShow() {}
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
};

}  // namespace app
