#include "AboutForm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <charconv>

#include "ShellUnit.h"
#include "datetime/DateFormat.h"
#include "platform/core/SystemClock.h"
#include "platform/core/VerInfoUnit.h"
#include "platform/locale/LocaleBridge.h"

namespace almanex {

namespace {

constexpr int kClientWidth = 424;
constexpr int kClientHeight = 330;
constexpr int kEscape = 27;

constexpr const char* kSlogan = "Almanex, my work partner.";
constexpr const char* kLegalNotice =
    "Warning: this program is protected by copyright law. Copying or distributing it, or any part of it, "
    "without the maker's permission is not allowed.";

QFont PixelFont(const char* family, int pixels, bool bold = false, bool italic = false) {
  QFont font{QString::fromLatin1(family)};
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

void SetTextColor(QLabel* label, const QColor& color) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
}

/// The banner behind the top of the box: a dark sky behind the yellow slogan that clears to a pale one
/// behind the black and blue texts.
QPixmap DrawBanner() {
  QPixmap pixmap(473, 188);
  QPainter painter(&pixmap);
  QLinearGradient sky(0, 0, 0, 188);
  sky.setColorAt(0.0, QColor(24, 44, 96));
  sky.setColorAt(0.22, QColor(70, 110, 180));
  sky.setColorAt(0.42, QColor(214, 227, 245));
  sky.setColorAt(1.0, QColor(242, 246, 252));
  painter.fillRect(pixmap.rect(), sky);
  painter.setPen(QPen(QColor(70, 110, 180, 120), 2));
  painter.drawLine(0, 150, 473, 150);
  return pixmap;
}

/// The product picture: a calendar page.
QPixmap DrawProductPicture() {
  QPixmap pixmap(96, 96);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(60, 60, 60), 2));
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(QRectF(8, 12, 80, 76), 8, 8);
  painter.setBrush(QColor(200, 40, 40));
  painter.drawRoundedRect(QRectF(8, 12, 80, 22), 8, 8);
  painter.setPen(QColor(40, 40, 40));
  painter.setFont(PixelFont("Arial", 34, true));
  painter.drawText(QRectF(8, 34, 80, 54), Qt::AlignCenter, QStringLiteral("31"));
  return pixmap;
}

QLabel* MakeLabel(QWidget* parent, const char* name, int left, int top) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->move(left, top);
  label->setAttribute(Qt::WA_TranslucentBackground);  // drawn over the banner
  label->setAutoFillBackground(false);
  return label;
}

void SetLabelText(QLabel* label, const std::string& text) {
  label->setText(QString::fromStdString(text));
  label->adjustSize();
}

void MakeLink(QLabel* label, const char* hint) {
  label->setCursor(Qt::PointingHandCursor);
  label->setToolTip(QString::fromLatin1(hint));
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
  SetTextColor(label, Qt::blue);
}

std::string BuildTimeText(const std::string& executablePath, const FormatSettings& formats) {
  const QFileInfo info(QString::fromStdString(executablePath));
  const DateTime modified = LocalDateTimeFromUnixMilliseconds(info.lastModified().toMSecsSinceEpoch());
  return FormatShortDate(modified, formats) + " " + FormatLongTime(modified, formats);
}

std::string ApplicationTitle() {
  const QString name = QCoreApplication::applicationName();
  return name.isEmpty() ? std::string("Almanex") : name.toStdString();
}

}  // namespace

std::string AboutVersionLine(const std::string& fileVersion, int buildNumber, const std::string& buildTime) {
  return "Version " + fileVersion + " (Build " + FormatBuildText(buildNumber) + ") " + "Build At " + buildTime;
}

TFrmAbout::TFrmAbout(QWidget* owner)
    : TFrmAbout(owner, QCoreApplication::applicationFilePath().toStdString(), UserFormatSettings()) {}

TFrmAbout::TFrmAbout(QWidget* owner, std::string executablePath, const FormatSettings& formats)
    : QDialog(owner), executablePath_(std::move(executablePath)), formats_(formats) {
  BuildControls();
  FormCreate();
}

void TFrmAbout::BuildControls() {
  setObjectName(QStringLiteral("FrmAbout"));
  // A fixed single border with only the system menu: no minimise or maximise box, no resizing.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  setFont(PixelFont("MS Sans Serif", 11));

  ImageBanner = new QLabel(this);
  ImageBanner->setObjectName(QStringLiteral("ImageBanner"));
  ImageBanner->setGeometry(0, 0, kClientWidth, 188);
  ImageBanner->setScaledContents(true);
  ImageBanner->setAlignment(Qt::AlignCenter);
  ImageBanner->setPixmap(DrawBanner());

  lblSlogan = MakeLabel(this, "lblSlogan", 0, 3);
  lblSlogan->setFixedSize(423, 46);
  lblSlogan->setAlignment(Qt::AlignCenter);
  lblSlogan->setFont(PixelFont("Script", 21, true, true));
  SetTextColor(lblSlogan, Qt::yellow);

  ImageProduct = MakeLabel(this, "ImageProduct", 8, 48);
  ImageProduct->setFixedSize(96, 96);
  ImageProduct->setPixmap(DrawProductPicture());
  ImageProduct->setVisible(false);  // shown once the form is filled

  LabelTitle = MakeLabel(this, "LabelTitle", 116, 48);
  LabelTitle->setAlignment(Qt::AlignCenter);
  LabelTitle->setFont(PixelFont("Arial", 13, true));
  SetTextColor(LabelTitle, Qt::black);

  LabelVerInfo = MakeLabel(this, "LabelVerInfo", 116, 87);
  LabelVerInfo->setFont(PixelFont("Arial", 11));
  SetTextColor(LabelVerInfo, Qt::black);

  LabelCopyRight = MakeLabel(this, "LabelCopyRight", 116, 106);
  LabelCopyRight->setFont(PixelFont("Arial", 11));
  SetTextColor(LabelCopyRight, Qt::black);

  LabelTechSupport = MakeLabel(this, "LabelTechSupport", 116, 143);
  MakeLink(LabelTechSupport, "Write mail to tech suport");

  labelURL = MakeLabel(this, "labelURL", 116, 164);
  labelURL->setFont(PixelFont("Arial", 11));
  MakeLink(labelURL, "Visit web site");

  for (QLabel* label : {lblSlogan, LabelTitle, LabelVerInfo, LabelCopyRight, LabelTechSupport, labelURL}) {
    label->setTextFormat(Qt::PlainText);  // texts from the version block are text, not markup
  }
  LabelTechSupport->installEventFilter(this);
  labelURL->installEventFilter(this);

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(7, 245, 411, 2);

  Label2 = new QLabel(this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(16, 254, 311, 65);
  Label2->setWordWrap(true);
  Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label2->setText(QString::fromLatin1(kLegalNotice));

  BitBtnOk = new QPushButton(QStringLiteral("OK"), this);
  BitBtnOk->setObjectName(QStringLiteral("BitBtnOk"));
  BitBtnOk->setGeometry(341, 253, 75, 25);
  BitBtnOk->setDefault(true);
  connect(BitBtnOk, &QPushButton::clicked, this, &TFrmAbout::BitBtnOkClick);

  // Centred on the screen, not on the owner.
  if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TFrmAbout::FormCreate() {
  const std::string title = ApplicationTitle();
  const QString caption = QString::fromStdString("About " + title);
  setWindowTitle(caption);
  ImageProduct->setVisible(true);
  {
    const TVerInfoRes versionInfo(executablePath_);
    int buildNumber = 0;
    {
      // The build text is read through an object of its own.
      const TVerInfoRes buildInfo(executablePath_);
      const std::string buildText = buildInfo.GetBuildNumberText();
      std::from_chars(buildText.data(), buildText.data() + buildText.size(), buildNumber);
    }
    SetLabelText(LabelVerInfo, AboutVersionLine(versionInfo.GetFileVersionText(), buildNumber,
                                                BuildTimeText(executablePath_, formats_)));
    SetLabelText(LabelCopyRight, versionInfo.GetVersionString("LegalCopyright"));
    SetLabelText(LabelTitle, title + "(TM)");
  }
  SetLabelText(LabelTechSupport, MailToLink(kTechSupportMailbox));
  SetLabelText(labelURL, std::string(kHomePageUrl));
  setWindowTitle(caption);
  lblSlogan->setText(QString::fromLatin1(kSlogan));
}

void TFrmAbout::labelURLClick() {
  ShellRun(this, "Open", labelURL->text().toStdString(), std::nullopt, std::nullopt, kShowNormal);
}

void TFrmAbout::LabelTechSupportClick() {
  ShellRun(this, std::nullopt, LabelTechSupport->text().toStdString(), std::nullopt, std::nullopt, kShowNormal);
}

void TFrmAbout::BitBtnOkClick() { accept(); }

void TFrmAbout::FormKeyPress(int characterCode) {
  if (characterCode == kEscape) reject();
}

void TFrmAbout::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  const int code = event->key() == Qt::Key_Escape ? kEscape : (text.size() == 1 ? text.at(0).unicode() : 0);
  FormKeyPress(code);
  if (code == kEscape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TFrmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == labelURL) {
      labelURLClick();
      return true;
    }
    if (watched == LabelTechSupport) {
      LabelTechSupportClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace almanex
