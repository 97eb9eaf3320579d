#pragma once
// The options section of the compilation page: the on/off options of the data disc (one check
// box per row of fe::kBurnOptionFlags), a boot image and the write speed. It tells each change,
// so the wizard can keep the options in the settings file.
#include <QWidget>
#include <vector>

#include "frontend/BurnOptions.h"

class QCheckBox;
class QLineEdit;
class QToolButton;
class TDropDownComboBox;
class TFrmHlavni;

namespace app {

class TBurnOptionsPanel : public QWidget {
  Q_OBJECT
 public:
  TBurnOptionsPanel(TFrmHlavni* main, QWidget* parent);

  // Shows the options (the volume label is the page's own field).
  void Load(const fe::TBurnOptions& o);
  // The options as the controls show them; VolumeLabel left at its default.
  fe::TBurnOptions Options() const;

  std::vector<QCheckBox*> Flags;  // in the order of fe::kBurnOptionFlags
  QLineEdit* BootImage;
  QToolButton* btnBoot;
  TDropDownComboBox* cbSpeed;

 public slots:
  void btnBootClick();
  void cbSpeedDropDown();  // the speeds the recorder accepts for the loaded medium

 signals:
  void Changed();

 private:
  // The list's entries "Podle nastavení", "Max" and, when it is another, the speed `kbps`.
  void ResetSpeeds(int kbps);
  TFrmHlavni* main_;
};

}  // namespace app
