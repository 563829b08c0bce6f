#include "platform/qt/QtDialogs.h"
#include "platform/EventSounds.h"
#include "platform/qt/OpenFileDialog.h"

#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <gtest/gtest.h>

namespace {

struct RecordingSounds : EventSounds {
    bool Play(const QString& name) override {
        played << name;
        return true;
    }
    QStringList played;
};

QString touch(const QTemporaryDir& dir, const char* name, bool executable) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner);
    return f.fileName();
}

// Opens the real dialog for the request, types NAME and presses Open.
std::optional<QString> pick(const OpenFileRequest& request, const QString& name) {
    QTimer::singleShot(0, [name] {
        auto* dialog = qobject_cast<OpenFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(name);
        dialog->accept();
    });
    return QtDialogs().OpenFile(request);
}

} // namespace

TEST(QtDialogs, EachBeepKindPlaysItsDesktopSoundAndTheBellStandsIn) {
    RecordingSounds sounds;
    QtDialogs dialogs(&sounds);
    for (unsigned kind : {MB_OK_SOUND, MB_ICONASTERISK_SOUND, MB_ICONEXCLAMATION_SOUND,
                          MB_ICONHAND_SOUND, MB_ICONQUESTION_SOUND, MB_SIMPLE_BEEP})
        dialogs.MessageBeep(kind);
    EXPECT_EQ(sounds.played, QStringList({"bell", "dialog-information", "dialog-warning",
                                          "dialog-error", "dialog-question"}));
}

TEST(QtDialogs, BrowseTakesAnExistingProgramAsItIsAndAddsTheSuffixOnlyToAMissingName) {
    QTemporaryDir dir;
    const QString thunderbird = touch(dir, "thunderbird", true);
    const QString setup = touch(dir, "setup.exe", false);
    OpenFileRequest request;
    request.filter = QStringLiteral("Programs|*|Executable Applications|*.exe");
    request.programsFilter = QStringLiteral("Programs");
    request.defaultExt = QStringLiteral("exe");
    request.initialDir = dir.path();
    request.fileMustExist = true;
    EXPECT_EQ(pick(request, thunderbird), thunderbird);
    EXPECT_EQ(pick(request, dir.filePath("setup")), setup);

    EXPECT_EQ(OpenFileDialog::withDefaultExt(thunderbird, "exe"), thunderbird);
    EXPECT_EQ(OpenFileDialog::withDefaultExt(dir.filePath("a.b"), "exe"), dir.filePath("a.b"));
    EXPECT_EQ(OpenFileDialog::withDefaultExt(dir.filePath("new"), ""), dir.filePath("new"));
}
