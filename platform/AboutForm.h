#pragma once
// The about box: the program's name, version, build and copyright line as the executable's own version
// information states them, and the maker's home page and tech-support mail links.

#include <QDialog>
#include <string>

#include "datetime/FormatSettings.h"

class QFrame;
class QLabel;
class QPushButton;

namespace almanex {

class TFrmAbout : public QDialog {
  Q_OBJECT

 public:
  /// For the running executable, in the user's formats.
  explicit TFrmAbout(QWidget* owner);
  /// For the executable at `executablePath`, its modification time written in `formats`. Throws the
  /// errors of TVerInfoRes when the file has no usable version information.
  TFrmAbout(QWidget* owner, std::string executablePath, const FormatSettings& formats);

  QLabel* ImageBanner = nullptr;
  QLabel* lblSlogan = nullptr;
  QLabel* ImageProduct = nullptr;
  QLabel* LabelTitle = nullptr;
  QLabel* LabelVerInfo = nullptr;
  QLabel* LabelCopyRight = nullptr;
  QLabel* LabelTechSupport = nullptr;
  QLabel* labelURL = nullptr;
  QFrame* Bevel1 = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* BitBtnOk = nullptr;

  void labelURLClick();
  void LabelTechSupportClick();
  void BitBtnOkClick();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void FormCreate();
  void FormKeyPress(int characterCode);

  std::string executablePath_;
  FormatSettings formats_;
};

/// The version line: "Version " + file version + " (Build " + build text + ") Build At " + build time.
std::string AboutVersionLine(const std::string& fileVersion, int buildNumber, const std::string& buildTime);

}  // namespace almanex
