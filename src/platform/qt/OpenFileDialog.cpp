#include "OpenFileDialog.h"

#include "QtDialogs.h"

#include <QtCore/QFileInfo>
#include <QtCore/QSortFilterProxyModel>
#include <QtGui/QFileSystemModel>

namespace {

// Hides files that are not executable while the programs filter is chosen.
class ProgramsProxy : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetActive(bool active) {
        if (active == active_)
            return;
        active_ = active;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (!active_)
            return true;
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files)
            return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || info.isExecutable();
    }

private:
    bool active_ = false;
};

} // namespace

OpenFileDialog::OpenFileDialog(const OpenFileRequest& request, QWidget* parent)
    : QFileDialog(parent, request.title, request.initialDir, QtDialogs::qtFilter(request.filter)),
      request_(request) {
    setFileMode(request.fileMustExist ? ExistingFile : AnyFile);
    setAcceptMode(AcceptOpen);
    setOption(ReadOnly, request.hideReadOnly);
    if (!request.programsFilter.isEmpty()) {
        // A proxy model needs Qt's own dialog rather than the desktop's.
        setOption(DontUseNativeDialog, true);
        auto* proxy = new ProgramsProxy(this);
        setProxyModel(proxy); // the dialog takes it
        const QString programs = request.programsFilter;
        auto follow = [proxy, programs](const QString& filter) {
            proxy->SetActive(filter.startsWith(programs + QStringLiteral(" (")));
        };
        connect(this, &QFileDialog::filterSelected, this, follow);
        follow(selectedNameFilter());
    }
}

QString OpenFileDialog::withDefaultExt(const QString& path, const QString& defaultExt) {
    if (defaultExt.isEmpty() || path.isEmpty() || QFileInfo::exists(path))
        return path;
    if (QFileInfo(path).fileName().contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + defaultExt;
}

void OpenFileDialog::accept() {
    const QStringList typed = selectedFiles();
    if (typed.size() == 1) {
        const QString name = withDefaultExt(typed.first(), request_.defaultExt);
        if (name != typed.first())
            selectFile(name);
    }
    QFileDialog::accept();
}
