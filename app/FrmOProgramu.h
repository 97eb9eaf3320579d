#pragma once
// About window: version and a few words on what the program does.
#include <QDialog>

class QLabel;
class QPushButton;

class TFrmOProgramu : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmOProgramu(QWidget* parent = nullptr);

  QLabel* lblVerze;
  QLabel* lblPopis;
  QPushButton* btnZavrit;

 protected:
  void showEvent(QShowEvent* e) override;
};
