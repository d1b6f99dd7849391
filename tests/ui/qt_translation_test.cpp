// Qt's own save dialog in Japanese once Qt's translation is loaded.

#include "ui/qt_translation.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

#include "ui_test_support.h"

namespace waveharm {
namespace {

TEST(QtJapanese, TheSaveDialogSpeaksJapanese) {
    testing::ensureApplication();
    ASSERT_TRUE(installQtJapanese(*QCoreApplication::instance()));
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
    auto* lookIn = dialog.findChild<QLabel*>("lookInLabel");
    auto* fileName = dialog.findChild<QLabel*>("fileNameLabel");
    ASSERT_TRUE(buttons && lookIn && fileName);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Save)->text(), QStringLiteral("保存(&S)"));
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(lookIn->text(), QStringLiteral("アドレス:"));
    EXPECT_EQ(fileName->text(), QStringLiteral("ファイル名(&N):"));
}

}  // namespace
}  // namespace waveharm
