// The about box as a user sees it: its texts from the executable's version information, its links
// opened through the shell, and how it closes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <ctime>
#include <memory>

#include "platform/AboutForm.h"
#include "platform/CommUnit.h"
#include "platform/ShellUnit.h"
#include "platform/core/VerInfoUnit.h"
#include "tests/common/Fakes.h"
#include "tests/common/TestSupport.h"
#include "tests/platform/VersionTestSupport.h"

namespace almanex {
namespace {

using version_block::MakeVersionInfo;
using version_block::Serialize;

/// An executable stamped 7.0.0.174, last modified 2024-03-05 14:07:09 UTC, shown in fixed formats.
class AboutBox : public ::testing::Test {
 protected:
  AboutBox() : oldName_(QCoreApplication::applicationName()) {
    QCoreApplication::setApplicationName(QStringLiteral("Almanex"));
    SetShellLauncher(&launcher_);
    executable_ = dir_.File("almanex");
    test::WriteFileBytes(executable_,
                         test::MakeElfWithVersionBlock(Serialize(MakeVersionInfo(test::TypicalContents()))).bytes);
    const timespec modified{1709647629, 0};  // 2024-03-05 14:07:09 UTC; the tests run with TZ=UTC
    const timespec times[2] = {modified, modified};
    utimensat(AT_FDCWD, executable_.c_str(), times, 0);
    formats_.shortDateFormat = "dd/mm/yyyy";
    formats_.longTimeFormat = "hh:nn:ss";
  }
  ~AboutBox() override {
    SetShellLauncher(nullptr);
    QCoreApplication::setApplicationName(oldName_);
  }

  std::unique_ptr<TFrmAbout> MakeForm() { return std::make_unique<TFrmAbout>(nullptr, executable_, formats_); }

  test::TempDir dir_;
  std::string executable_;
  FormatSettings formats_;
  test::RecordingMessageBoxes presenter_;
  test::RecordingShellLauncher launcher_;
  QString oldName_;
};

TEST_F(AboutBox, ShowsNameVersionBuildCopyrightAndLinks) {
  const auto form = MakeForm();
  EXPECT_EQ(form->windowTitle(), "About Almanex");
  EXPECT_EQ(form->LabelTitle->text(), "Almanex(TM)");
  EXPECT_EQ(form->LabelVerInfo->text(), "Version 7.0 (Build 0.174) Build At 05/03/2024 14:07:09");
  EXPECT_EQ(form->LabelCopyRight->text().toStdString(), "Copyright \xC2\xA9 2026 Quorvel");
  EXPECT_EQ(form->LabelTechSupport->text(), "MailTo: support@quorvel.example");
  EXPECT_EQ(form->labelURL->text(), "https://almanex.quorvel.example/");
  EXPECT_EQ(form->lblSlogan->text(), "Almanex, my work partner.");
  EXPECT_EQ(form->LabelTechSupport->toolTip(), "Write mail to tech suport");
  EXPECT_EQ(form->labelURL->toolTip(), "Visit web site");
  EXPECT_EQ(form->BitBtnOk->text(), "OK");
  EXPECT_FALSE(form->Label2->text().isEmpty());
  EXPECT_FALSE(form->ImageProduct->isHidden());
}

TEST_F(AboutBox, FixedSizeWithEveryBannerTextInsideTheBanner) {
  const auto form = MakeForm();
  form->show();
  EXPECT_EQ(form->size(), QSize(424, 330));
  EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the box cannot be resized";
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
  // Everything drawn over the banner stays inside it and inside the box, whatever the texts' fonts.
  for (const QLabel* label : {form->lblSlogan, form->ImageProduct, form->LabelTitle, form->LabelVerInfo,
                              form->LabelCopyRight, form->LabelTechSupport, form->labelURL}) {
    const QRect place = label->geometry();
    EXPECT_LE(place.bottom(), 187) << label->objectName().toStdString();
    EXPECT_LE(place.right(), 423) << label->objectName().toStdString();
  }
  EXPECT_LE(form->BitBtnOk->geometry().right(), 423);
}

TEST_F(AboutBox, LinksOpenTheHomePageAndTheSupportMailbox) {
  const auto form = MakeForm();
  form->show();
  QTest::mouseClick(form->labelURL, Qt::LeftButton);
  QTest::mouseClick(form->LabelTechSupport, Qt::LeftButton);
  QTest::mouseClick(form->LabelTitle, Qt::LeftButton);  // not a link
  EXPECT_EQ(launcher_.links,
            (std::vector<std::string>{"https://almanex.quorvel.example/", "mailto:support@quorvel.example"}));
  EXPECT_TRUE(presenter_.boxes.empty());
  EXPECT_TRUE(form->isVisible());
}

TEST_F(AboutBox, MailLinkWithoutMailProgramShowsTheErrorAndTheBoxStaysOpen) {
  launcher_.result = kShellNoAssociation;
  const auto form = MakeForm();
  form->show();
  QTest::mouseClick(form->LabelTechSupport, Qt::LeftButton);
  ASSERT_EQ(presenter_.boxes.size(), 1U);
  EXPECT_EQ(presenter_.boxes[0].caption, "Error");
  EXPECT_NE(presenter_.boxes[0].text.find("1, please make sure that MailTo: support@quorvel.example\r\n"),
            std::string::npos);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->result(), 0);
}

TEST_F(AboutBox, EscapeClosesWhereverTheFocusIsAndOtherKeysDoNot) {
  const auto form = MakeForm();
  form->show();
  QTest::keyClick(form.get(), Qt::Key_A);
  QTest::keyClick(form.get(), Qt::Key_Space);
  EXPECT_TRUE(form->isVisible());
  form->Label2->setFocusPolicy(Qt::StrongFocus);
  form->Label2->setFocus();
  QTest::keyClick(form->Label2, Qt::Key_Escape);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->result(), QDialog::Rejected);
}

TEST_F(AboutBox, OkCloses) {
  const auto form = MakeForm();
  form->show();
  QTest::mouseClick(form->BitBtnOk, Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(AboutBox, AnExecutableWithoutVersionInformationIsNotCaughtHere) {
  const std::string plain = dir_.File("plain");
  test::WriteFileBytes(plain, test::MakeElf({{".text", {0xC3}}}).bytes);
  EXPECT_THROW(TFrmAbout(nullptr, plain, formats_), ENoVerInfoError);
}

}  // namespace
}  // namespace almanex
