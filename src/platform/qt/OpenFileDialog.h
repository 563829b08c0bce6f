#pragma once

#include "platform/Dialogs.h"

#include <QtWidgets/QFileDialog>

// Qt's open-file dialog set up from a request. Unlike Qt's default suffix,
// the request's default extension is added only to a name that does not
// exist as typed, so an existing program without a suffix stays itself; and
// the request's programs filter lists folders and executable files only.
class OpenFileDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit OpenFileDialog(const OpenFileRequest& request, QWidget* parent = nullptr);

    // The name the dialog would take for the typed one.
    static QString withDefaultExt(const QString& path, const QString& defaultExt);

    void accept() override;

private:
    OpenFileRequest request_;
};
