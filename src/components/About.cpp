#include "About.h"

#include "Shiney.h"
#include "gui/TApplication.h"
#include "ui_About.h"

#include <QtGui/QMouseEvent>
#include <QtGui/QScreen>

#include <algorithm>

QString ProductHomePage() {
    return QStringLiteral(PINGBOX_HOMEPAGE);
}

TAboutbox::TAboutbox(ClassesRoot& classes, ProgramStarter& starter, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), ui_(std::make_unique<Ui::TAboutbox>()),
      url1_(classes, starter, this), timer1_(this) {
    ui_->setupUi(this);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(372, 325);

    ui_->lblWeblink->setText(ProductHomePage());
    ui_->lblWeblink->installEventFilter(this);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, [this] {
        TApplication::Instance()->Guarded(ui_->BitBtn1, [this] { BitBtn1Click(); });
    });

    url1_.UrlShowCommand = TUrlShowCmd::ssMaximize;
    timer1_.SetInterval(3000);
    timer1_.OnTimer = [this] { Timer1Timer(); };
    timer1_.SetEnabled(true);
}

TAboutbox::~TAboutbox() = default;

void TAboutbox::fitTexts() {
    // The texts are measured in the faces the desktop really has, which may
    // run wider than the ones the boxes were drawn for: a text grows to fit,
    // never below its box, and the line "Version 2.02  Windows 95 and NT"
    // keeps its gap. The tagline may widen towards the panel's right edge
    // before it has to wrap.
    ensurePolished(); // the labels' style sheets give them their fonts
    const int gap = ui_->Label7->x() - (ui_->Label4->x() + ui_->Label4->width());
    for (QLabel* label : {ui_->Label1, ui_->Label4, ui_->Label7, ui_->Label13, ui_->lblWeblink})
        label->resize(label->size().expandedTo(label->sizeHint()));
    QLabel* tagline = ui_->Label3;
    const int room = ui_->Panel1->width() - tagline->x() - 8;
    const int wanted = tagline->fontMetrics().horizontalAdvance(tagline->text()) + 2;
    tagline->resize(std::clamp(wanted, tagline->width(), std::max(room, tagline->width())),
                    tagline->height());
    tagline->resize(tagline->width(),
                    std::max(tagline->height(), tagline->heightForWidth(tagline->width())));
    ui_->Label7->move(std::max(ui_->Label7->x(), ui_->Label4->geometry().right() + 1 + gap),
                      ui_->Label7->y());
}

TShiney& TAboutbox::Shiney1() {
    return *ui_->Shiney1;
}

void TAboutbox::BitBtn1Click() {
    accept();
}

void TAboutbox::lblWeblinkClick() {
    url1_.Url = ProductHomePage();
    url1_.Launch();
}

void TAboutbox::Timer1Timer() {
    // Hidden, nothing of the sparkle could be seen: the tick skips drawing.
    if (isVisible())
        ui_->Shiney1->Shine(ui_->ShineSpot);
}

void TAboutbox::showEvent(QShowEvent* event) {
    // Pictures loaded and texts measured when first shown, not at start-up:
    // the images, fonts and style sheets this takes stay out of a resident
    // program until then.
    if (!fitted_) {
        ui_->Image2->setPixmap(QPixmap(QStringLiteral(":/pingbox/about/envelope.png")));
        ui_->Image3->setPixmap(QPixmap(QStringLiteral(":/pingbox/about/letters.png")));
        fitTexts();
        fitted_ = true;
    }
    if (QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

bool TAboutbox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->lblWeblink && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            ui_->lblWeblink->rect().contains(mouse->position().toPoint())) {
            TApplication::Instance()->Guarded(ui_->lblWeblink, [this] { lblWeblinkClick(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
