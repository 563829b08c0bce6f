#include "QtMediaPlayer.h"

#include "platform/Errors.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtMultimedia/QAudioOutput>
#include <QtMultimedia/QMediaPlayer>

QStringList QtMediaPlayer::defaultSearchFolders() {
    const QString programFolder = QCoreApplication::applicationDirPath();
    return {programFolder, QDir(programFolder).filePath(QStringLiteral("../share/pingbox"))};
}

QtMediaPlayer::QtMediaPlayer(QStringList searchFolders)
    : searchFolders_(std::move(searchFolders)) {}

QMediaPlayer& QtMediaPlayer::player() {
    // Made on first use: Qt Multimedia and its GStreamer backend cost a few
    // MiB that a resident program that seldom plays need not hold from start.
    if (!player_) {
        output_ = std::make_unique<QAudioOutput>();
        player_ = std::make_unique<QMediaPlayer>();
        player_->setAudioOutput(output_.get());
    }
    return *player_;
}

QtMediaPlayer::~QtMediaPlayer() = default;

void QtMediaPlayer::Close() {
    if (player_) {
        player_->stop();
        player_->setSource(QUrl());
    }
    open_ = false;
}

void QtMediaPlayer::Open() {
    Close();
    const QString name = fileName_;
    auto fail = [&](const QString& why) {
        throw Exception(QStringLiteral("Cannot open %1: %2").arg(name, why));
    };
    if (name.trimmed().isEmpty())
        fail(QStringLiteral("no file name"));
    QFileInfo info(QDir::current(), name);
    if (!info.exists() && QFileInfo(name).isRelative()) {
        for (const QString& folder : searchFolders_) {
            const QFileInfo candidate(QDir(folder), name);
            if (candidate.exists()) {
                info = candidate;
                break;
            }
        }
    }
    if (!info.exists() || !info.isFile())
        fail(QStringLiteral("the file does not exist"));
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("the file cannot be read"));
    if (!looksLikeMedia(file.read(12)))
        fail(QStringLiteral("it is not a media file that can be played"));
    openPath_ = info.absoluteFilePath();
    open_ = true;
}

bool QtMediaPlayer::looksLikeMedia(const QByteArray& head) {
    auto at = [&](qsizetype offset, const char* magic) {
        return head.mid(offset).startsWith(QByteArray(magic));
    };
    if (at(0, "RIFF"))
        return at(8, "WAVE") || at(8, "AVI ") || at(8, "RMID");
    if (head.size() >= 2 && uchar(head[0]) == 0xFF && (uchar(head[1]) & 0xE0) == 0xE0)
        return true; // an MPEG audio frame
    return at(0, "MThd") || at(0, ".snd") || at(0, "OggS") || at(0, "fLaC") || at(0, "ID3");
}

void QtMediaPlayer::Rewind() {
    if (!open_)
        throw Exception(QStringLiteral("No media file is open"));
    if (player_)
        player_->setPosition(0);
}

void QtMediaPlayer::Play() {
    if (!open_)
        throw Exception(QStringLiteral("No media file is open"));
    QMediaPlayer& p = player();
    const QUrl url = QUrl::fromLocalFile(openPath_);
    if (p.source() != url)
        p.setSource(url);
    else
        p.setPosition(0);
    p.play();
}

bool QtMediaPlayer::ReachedEnd() const {
    return player_ && player_->mediaStatus() == QMediaPlayer::EndOfMedia;
}

bool QtMediaPlayer::WaitForEnd(int timeoutMs) {
    if (!player_)
        return false;
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    auto check = [&] {
        if (player_->mediaStatus() == QMediaPlayer::EndOfMedia ||
            player_->error() != QMediaPlayer::NoError)
            loop.quit();
    };
    QObject::connect(player_.get(), &QMediaPlayer::mediaStatusChanged, &loop, check);
    QObject::connect(player_.get(), &QMediaPlayer::errorOccurred, &loop, check);
    check();
    if (!ReachedEnd() && player_->error() == QMediaPlayer::NoError)
        loop.exec();
    return ReachedEnd();
}
