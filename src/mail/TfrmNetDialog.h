#pragma once

#include <QtWidgets/QDialog>

#include <functional>
#include <memory>

class Dialogs;
class RegistryStore;

namespace Ui {
class TfrmNetDialog;
}

// The connection-error window: the likely causes of an unreachable server
// and a box that silences the window for good.
class TfrmNetDialog : public QDialog {
    Q_OBJECT
public:
    TfrmNetDialog(RegistryStore& registry, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TfrmNetDialog() override;

    void FormShow();
    void chkSkipThisClick();
    void BitBtn1Click();

    // Sets the main window's ShowNetError field.
    std::function<void(const QString&)> SetShowNetError;

    Ui::TfrmNetDialog& ui() { return *ui_; }
    static const QStringList& MemoLines();

protected:
    void showEvent(QShowEvent* event) override;

private:
    RegistryStore& registry_;
    Dialogs& dialogs_;
    std::unique_ptr<Ui::TfrmNetDialog> ui_;
};
