#include "components/About.h"
#include "FakeClassesRoot.h"
#include "FakeDialogs.h"
#include "FakeProgramStarter.h"
#include "components/AppEvent.h"
#include "components/Shiney.h"

#include <QtCore/QDir>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <gtest/gtest.h>

namespace {

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        classes.Set(QStringLiteral(".htm"), "browser.desktop");
        classes.Set(QStringLiteral("browser.desktop\\shell\\open\\command"), "browser \"%1\"");
    }
    QLabel* link() { return box.findChild<QLabel*>(QStringLiteral("lblWeblink")); }
    FakeClassesRoot classes;
    FakeProgramStarter starter;
    TAboutbox box{classes, starter};
};

TEST_F(AboutTest, WindowAndControls) {
    EXPECT_EQ(box.windowTitle(), "About Pingbox");
    EXPECT_EQ(box.size(), QSize(372, 325));
    EXPECT_TRUE(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(box.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_EQ(link()->text(), ProductHomePage());
    EXPECT_EQ(link()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(box.Url1().UrlShowCommand, TUrlShowCmd::ssMaximize);
    EXPECT_TRUE(box.Url1().Url.isEmpty());
    EXPECT_EQ(box.Timer1().Interval(), 3000u);
    // The sparkle timer runs from creation, shown or not.
    EXPECT_TRUE(box.Timer1().IsRunning());
    box.show();
    box.hide();
    EXPECT_TRUE(box.Timer1().IsRunning());
    EXPECT_EQ(box.Shiney1().geometry(), QRect(100, 256, 25, 25));
    EXPECT_EQ(box.Shiney1().ShineColor, 0xFFFFFFu);

    // Z-order of the panel's controls, back to front.
    QStringList order;
    for (QObject* child : box.findChild<QWidget*>(QStringLiteral("Panel1"))->children())
        if (child->isWidgetType())
            order << child->objectName();
    EXPECT_EQ(order.mid(0, 11),
              (QStringList{"Image2", "Image3", "Bevel1", "Label1", "Label3", "Label4", "Label7",
                           "Label13", "lblWeblink", "BitBtn1", "Shiney1"}));
}

TEST_F(AboutTest, EnterPressesOkAndClosesTheModalWindow) {
    QTimer::singleShot(0, [] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        QTest::keyClick(modal, Qt::Key_Return);
    });
    EXPECT_EQ(box.ShowModal(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

TEST_F(AboutTest, EachLinkClickLaunchesAnew) {
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(link(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(link(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(starter.starts.size(), 2u);
    for (const auto& start : starter.starts) {
        EXPECT_EQ(start.commandLine, "browser  " + ProductHomePage());
        EXPECT_EQ(start.showCode, 3);
    }
    EXPECT_EQ(box.Url1().Url, ProductHomePage());
}

TEST_F(AboutTest, FailedBrowserIsShownAndTheWindowStaysOpen) {
    FakeDialogs dialogs;
    TApplication::Instance()->SetDialogs(&dialogs);
    TAppEvents appEvents;
    starter.results = {2};
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(link(), Qt::LeftButton, {}, QPoint(5, 5));
    TApplication::Instance()->SetDialogs(nullptr);
    EXPECT_EQ(dialogs.exceptions, QStringList{"Couldn't launch default browser."});
    EXPECT_TRUE(box.isVisible());
}

TEST_F(AboutTest, SparkleIsCentredOnThePanelPoint) {
    QPoint at;
    QImage photo;
    int shines = 0;
    box.Shiney1().OnShine = [&] {
        ++shines;
        at = box.Shiney1().pos();
        photo = box.Shiney1().findChild<QLabel*>(QStringLiteral("Image"))->pixmap().toImage();
    };
    box.Timer1Timer(); // hidden: the tick draws nothing
    EXPECT_EQ(shines, 0);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    box.Timer1Timer();
    EXPECT_EQ(shines, 1);
    EXPECT_EQ(at, QPoint(4, 240));
    ASSERT_EQ(photo.size(), QSize(25, 25));
    EXPECT_EQ(QColor(photo.pixel(12, 12)), QColor(0, 64, 128)); // the panel beneath
    EXPECT_FALSE(box.Shiney1().isVisible());
}

TEST_F(AboutTest, RendersThePanel) {
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const QImage shot = box.grab().toImage();
    const QString out = qEnvironmentVariable("PINGBOX_ABOUT_PNG");
    if (!out.isEmpty())
        shot.save(out);
    EXPECT_EQ(QColor(shot.pixel(5, 200)), QColor(0, 64, 128));
    EXPECT_EQ(QColor(shot.pixel(300, 222)), QColor(0, 0, 128)); // link background
    EXPECT_NE(QColor(shot.pixel(0, 0)), QColor(0, 64, 128));    // the bevel
    // The pictures are there: something neither panel blue nor empty.
    EXPECT_NE(QColor(shot.pixel(11 + 40, 29 + 75)), QColor(0, 64, 128));
}

} // namespace
