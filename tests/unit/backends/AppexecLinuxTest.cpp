// The launcher with the real Linux program start, as the viewer is started.
#include "notify/Appexec.h"
#include "platform/linux/LinuxProgramStarter.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>

#include <gtest/gtest.h>

namespace {

// Fields of the recording program's record with the given key.
QStringList recorded(const QString& path, const QByteArray& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList values;
    for (const QByteArray& field : file.readAll().split('\0')) {
        if (field.startsWith(key + '='))
            values.append(QFile::decodeName(field.mid(key.size() + 1)));
    }
    return values;
}

TEST(AppexecLinuxTest, StartsAViewerPathWithBlanksMaximised) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    ASSERT_TRUE(QDir(tmp.path()).mkdir("Mail Reader"));
    const QString viewer = tmp.path() + "/Mail Reader/read mail";
    ASSERT_TRUE(QFile::copy(QStringLiteral(PINGBOX_ARGV_RECORDER), viewer));
    const QString record = tmp.path() + "/record";
    qputenv("ARGV_RECORDER_OUT", QFile::encodeName(record));

    LinuxProgramStarter starter;
    TAppExecute app(starter);
    app.SetAppName(viewer);
    app.SetShowType(TShowType::S_SHOWMAXIMIZED);
    app.Execute();
    EXPECT_GT(app.AppInstance(), 31);

    const QDeadlineTimer deadline(10000);
    while (!QFile::exists(record) && !deadline.hasExpired())
        QThread::msleep(10);
    qunsetenv("ARGV_RECORDER_OUT");
    EXPECT_EQ(recorded(record, "arg"), QStringList({viewer}));
    EXPECT_EQ(recorded(record, "show"), QStringList({"3"}));
}

} // namespace
