#include "TfrmNetDialog.h"

#include "platform/Dialogs.h"
#include "ui_TfrmNetDialog.h"

const QStringList& TfrmNetDialog::MemoLines() {
    static const QStringList lines{
        QStringLiteral("Possible Causes:"),
        QStringLiteral("        Invalid Mail Server name or address.  Verify that you have"),
        QStringLiteral("        entered the correct Server Name or IP address.  "),
        QStringLiteral("Or:"),
        QStringLiteral("        You are not connected to the network the Mail Server is on.  "),
        QStringLiteral("        If you are connecting to a server on the Internet via a dialup "),
        QStringLiteral("        line and don't want to see this message while disconnected, "),
        QStringLiteral("        check the box below. "),
    };
    return lines;
}

TfrmNetDialog::TfrmNetDialog(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      dialogs_(dialogs), ui_(std::make_unique<Ui::TfrmNetDialog>()) {
    ui_->setupUi(this);
    setFixedSize(size());
    QFont face = font();
    face.setPixelSize(11); // laid out for a character height of 11 pixels
    setFont(face);
    // Our substitute face runs wider than the original; keep the lines whole.
    QFont memoFace = face;
    memoFace.setPixelSize(10);
    memoFace.setStretch(QFont::SemiCondensed);
    ui_->Memo1->setFont(memoFace);
    ui_->Memo1->setPlainText(MemoLines().join(QLatin1Char('\n')));
    connect(ui_->chkSkipThis, &QCheckBox::clicked, this, [this] { chkSkipThisClick(); });
    connect(ui_->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    move(207, 123);
}

TfrmNetDialog::~TfrmNetDialog() = default;

void TfrmNetDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfrmNetDialog::FormShow() {
    dialogs_.MessageBeep(MB_ICONASTERISK_SOUND);
}

void TfrmNetDialog::chkSkipThisClick() {
    if (OnSkipThisClick)
        OnSkipThisClick();
}

void TfrmNetDialog::BitBtn1Click() {
    accept();
}
