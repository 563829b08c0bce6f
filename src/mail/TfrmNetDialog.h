#pragma once

#include <QtWidgets/QDialog>

#include <functional>
#include <memory>

class Dialogs;

namespace Ui {
class TfrmNetDialog;
}

// The connection-error window: the likely causes of an unreachable server
// and a box that silences the window for good.
class TfrmNetDialog : public QDialog {
    Q_OBJECT
public:
    explicit TfrmNetDialog(Dialogs& dialogs, QWidget* parent = nullptr);
    ~TfrmNetDialog() override;

    void FormShow();
    void chkSkipThisClick();
    void BitBtn1Click();

    // Raised on every click of the box, checking or clearing it: the owner
    // stores that this window is not to be shown again.
    std::function<void()> OnSkipThisClick;

    Ui::TfrmNetDialog& ui() { return *ui_; }
    static const QStringList& MemoLines();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Dialogs& dialogs_;
    std::unique_ptr<Ui::TfrmNetDialog> ui_;
};
