#include "platform/qt/QtMediaPlayer.h"
#include "platform/Errors.h"

#include <QtCore/QDataStream>
#include <QtCore/QFile>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

// A mono 16-bit PCM WAV of a short tone.
QByteArray toneWav(int milliseconds) {
    const int rate = 8000;
    const int samples = rate * milliseconds / 1000;
    QByteArray pcm;
    QDataStream out(&pcm, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    for (int i = 0; i < samples; ++i)
        out << qint16(8000 * std::sin(2 * M_PI * 440 * i / rate));
    QByteArray wav;
    QDataStream w(&wav, QIODevice::WriteOnly);
    w.setByteOrder(QDataStream::LittleEndian);
    w.writeRawData("RIFF", 4);
    w << quint32(36 + pcm.size());
    w.writeRawData("WAVEfmt ", 8);
    w << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2)
      << quint16(16);
    w.writeRawData("data", 4);
    w << quint32(pcm.size());
    w.writeRawData(pcm.constData(), int(pcm.size()));
    return wav;
}

QString write(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
}

} // namespace

TEST(QtMediaPlayer, AValidWaveOpensAndPlaysToItsEnd) {
    QTemporaryDir dir;
    QtMediaPlayer player;
    player.SetFileName(write(dir, "tone.wav", toneWav(200)));
    player.Close();
    ASSERT_NO_THROW(player.Open());
    player.Rewind();
    player.Play();
    EXPECT_TRUE(player.WaitForEnd(10000));
}

TEST(QtMediaPlayer, MissingForeignAndEmptyFilesFailToOpen) {
    QTemporaryDir dir;
    QByteArray noise(4096, '\0');
    for (char& c : noise)
        c = char(QRandomGenerator::global()->bounded(256));
    QtMediaPlayer player;
    for (const QString& name :
         {dir.filePath("missing.wav"), write(dir, "noise.wav", noise), write(dir, "empty.wav", {}),
          QString(), QStringLiteral("  "), dir.path()}) {
        player.SetFileName(name);
        EXPECT_THROW(player.Open(), Exception) << qPrintable(name);
        EXPECT_THROW(player.Play(), Exception); // nothing is open
    }
}

TEST(QtMediaPlayer, ABareNameIsFoundInTheWorkingFolderThenInTheProgramsFolders) {
    QTemporaryDir program;
    write(program, "chime.wav", toneWav(50));
    QtMediaPlayer player({program.filePath("missing"), program.path()});
    player.SetFileName(QStringLiteral("chime.wav"));
    EXPECT_NO_THROW(player.Open());
    player.SetFileName(QStringLiteral("other.wav"));
    EXPECT_THROW(player.Open(), Exception);
    QtMediaPlayer nowhere(QStringList{});
    nowhere.SetFileName(QStringLiteral("chime.wav"));
    EXPECT_THROW(nowhere.Open(), Exception);
}
