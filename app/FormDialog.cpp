#include "app/FormDialog.h"

#include <QCloseEvent>
#include <QShowEvent>

#include "app/WindowHelpers.h"

namespace app {

void TFormDialog::showEvent(QShowEvent* e) {
  if (!e->spontaneous()) {
    CentreOnScreen(this);
    FormShow();
  }
  QDialog::showEvent(e);
}

void TFormDialog::closeEvent(QCloseEvent* e) {
  if (!FormCloseQuery()) {
    e->ignore();
    return;
  }
  QDialog::closeEvent(e);
}

void TFormDialog::reject() {
  if (FormCloseQuery()) QDialog::reject();
}

}  // namespace app
