#include "QtDialogs.h"

#include "OpenFileDialog.h"
#include "gui/TApplication.h"
#include "platform/EventSounds.h"

#include <QtCore/QFileInfo>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

#include <utility>

namespace {

// The icon and the title of a message box of TYPE.
std::pair<QMessageBox::Icon, const char*> boxLook(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::mtWarning:
        return {QMessageBox::Warning, "Warning"};
    case TMsgDlgType::mtError:
        return {QMessageBox::Critical, "Error"};
    case TMsgDlgType::mtInformation:
        return {QMessageBox::Information, "Information"};
    case TMsgDlgType::mtConfirmation:
        return {QMessageBox::Question, "Confirm"};
    }
    return {QMessageBox::NoIcon, ""};
}

} // namespace

QString QtDialogs::eventSoundName(unsigned sound) {
    switch (sound) {
    case MB_OK_SOUND:
        return QStringLiteral("bell");
    case MB_ICONASTERISK_SOUND:
        return QStringLiteral("dialog-information");
    case MB_ICONEXCLAMATION_SOUND:
        return QStringLiteral("dialog-warning");
    case MB_ICONHAND_SOUND:
        return QStringLiteral("dialog-error");
    case MB_ICONQUESTION_SOUND:
        return QStringLiteral("dialog-question");
    default:
        return {};
    }
}

void QtDialogs::MessageBeep(unsigned sound) {
    const QString name = eventSoundName(sound);
    if (name.isEmpty() || !sounds_ || !sounds_->Play(name))
        QApplication::beep();
}

TModalResult QtDialogs::MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    QMessageBox box;
    const auto [icon, title] = boxLook(type);
    box.setIcon(icon);
    box.setWindowTitle(QString::fromLatin1(title));
    box.setText(text);
    if (buttons == TMsgDlgButtons::mbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return TModalResult::mrYes;
    case QMessageBox::No:
        return TModalResult::mrNo;
    case QMessageBox::Ok:
        return TModalResult::mrOk;
    default:
        return TModalResult::mrNone;
    }
}

QString QtDialogs::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<QString> QtDialogs::OpenFile(const OpenFileRequest& request) {
    OpenFileDialog dialog(request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

void QtDialogs::ShowException(const QString& message) {
    QMessageBox box(QMessageBox::Critical, TApplication::Instance()->Title(), message,
                    QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}
