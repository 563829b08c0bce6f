#pragma once

#include "components/pvlUrl.h"
#include "platform/TTimer.h"

#include <QtWidgets/QDialog>

#include <memory>

namespace Ui {
class TAboutbox;
}
class ClassesRoot;
class ProgramStarter;
class TShiney;

// The product's web page: the link's text and target.
QString ProductHomePage();

// The About window: name, version and systems over a dark blue panel, a link
// to the product's web page, and a sparkle every three seconds. Created once;
// ShowModal shows it centred and returns when it is closed (which only hides
// it).
class TAboutbox : public QDialog {
    Q_OBJECT
public:
    TAboutbox(ClassesRoot& classes, ProgramStarter& starter, QWidget* parent = nullptr);
    ~TAboutbox() override;

    int ShowModal() { return exec(); }

    void BitBtn1Click();
    void lblWeblinkClick();
    void Timer1Timer();

    TpvlUrl& Url1() { return url1_; }
    TTimer& Timer1() { return timer1_; }
    TShiney& Shiney1();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitTexts();

    std::unique_ptr<Ui::TAboutbox> ui_;
    TpvlUrl url1_;
    TTimer timer1_;
    bool fitted_ = false;
};
