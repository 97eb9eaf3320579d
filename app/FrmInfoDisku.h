#pragma once
// Report on the selected recorder and the medium in it.
#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;
class TQuorvexPro;

class TFrmInfoDisku : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmInfoDisku(QWidget* parent = nullptr);

  // The 44 lines of the report, in order, from the component's queries.
  static QStringList BuildReport(TQuorvexPro& qvx);
  // Replaces the text of Memo1 with the lines.
  void SetReport(const QStringList& lines);

  QPlainTextEdit* Memo1;
  QPushButton* Button1;

 public slots:
  void FormShow() {}
  void Button1Click();

 protected:
  void showEvent(QShowEvent* e) override;
};
