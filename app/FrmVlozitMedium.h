#pragma once
// The insert dialog of the virtual recorder: which blank medium goes in (the kinds the recorder
// writes, the last one chosen first) and whether the recorder takes a real drive's time.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;

class TFrmVlozitMedium : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmVlozitMedium(QWidget* parent);

  // Offers the kinds (their names) with `current` selected and the pace switch as it is; true
  // when the user chose "Vložit".
  bool Ask(const QStringList& kinds, int current, bool pace);
  int Chosen() const;
  bool Pace() const;

  QComboBox* cbTyp;
  QCheckBox* chkTempo;
  QPushButton* btnVlozit;
  QPushButton* btnStorno;
};
