#include "TFrmCheck.h"

#include "ui_TFrmCheck.h"

#include <QtGui/QScreen>

TFrmCheck::TFrmCheck(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), ui_(std::make_unique<Ui::TFrmCheck>()),
      timer1_(this) {
    ui_->setupUi(this);
    setFixedSize(size());
    QFont face = font();
    face.setPixelSize(10); // 13 pixels at the 120 pixels per inch it was laid out for
    setFont(face);
    timer1_.SetEnabled(false);
    timer1_.SetInterval(1000);
    timer1_.OnTimer = [this] { Timer1Timer(); };
    connect(ui_->Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

TFrmCheck::~TFrmCheck() = default;

void TFrmCheck::showEvent(QShowEvent* event) {
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TFrmCheck::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (isVisible())
        timer1_.SetEnabled(true);
}

void TFrmCheck::Timer1Timer() {
    // Filled in one go without yielding; the value one above the maximum
    // is the full bar.
    for (int i = 1; i <= 2000; ++i)
        ui_->ProgressBar1->setValue(i + 1);
    close();
}

void TFrmCheck::Button1Click() {
    close();
}

void TFrmCheck::hideEvent(QHideEvent* event) {
    // Off while hidden, so that the next showing runs its full second.
    QDialog::hideEvent(event);
    timer1_.SetEnabled(false);
    ui_->ProgressBar1->setValue(ui_->ProgressBar1->minimum());
}
