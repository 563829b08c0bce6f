#pragma once

#include "platform/TTimer.h"

#include <QtWidgets/QDialog>

#include <memory>

namespace Ui {
class TFrmCheck;
}

// The progress window shown before a manual check: it fills its bar and
// closes itself about one second after each showing. It cannot cancel the
// check; "Cancel" only closes it sooner.
class TFrmCheck : public QDialog {
    Q_OBJECT
public:
    explicit TFrmCheck(QWidget* parent = nullptr);
    ~TFrmCheck() override;

    void Timer1Timer();
    void Button1Click();

    TTimer& Timer1() { return timer1_; }
    Ui::TFrmCheck& ui() { return *ui_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::unique_ptr<Ui::TFrmCheck> ui_;
    TTimer timer1_;
};
