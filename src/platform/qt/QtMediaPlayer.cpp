#include "QtMediaPlayer.h"

#include "platform/Errors.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QEventLoop>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtMultimedia/QAudioOutput>
#include <QtMultimedia/QMediaPlayer>

namespace {
constexpr int kOpenTimeoutMs = 5000;
}

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
    if (!info.isReadable())
        fail(QStringLiteral("the file cannot be read"));

    player();
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QString error;
    auto settle = [&] {
        const auto status = player_->mediaStatus();
        if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia ||
            status == QMediaPlayer::InvalidMedia || player_->error() != QMediaPlayer::NoError)
            loop.quit();
    };
    auto c1 = QObject::connect(player_.get(), &QMediaPlayer::mediaStatusChanged, &loop, settle);
    auto c2 = QObject::connect(player_.get(), &QMediaPlayer::errorOccurred, &loop, settle);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    player_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    deadline.start(kOpenTimeoutMs);
    settle();
    if (deadline.isActive())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    QObject::disconnect(c1);
    QObject::disconnect(c2);

    const auto status = player_->mediaStatus();
    if (player_->error() != QMediaPlayer::NoError)
        fail(player_->errorString().isEmpty() ? QStringLiteral("it cannot be played")
                                              : player_->errorString());
    if (status == QMediaPlayer::InvalidMedia)
        fail(QStringLiteral("it is not a media file that can be played"));
    if (status != QMediaPlayer::LoadedMedia && status != QMediaPlayer::BufferedMedia) {
        player_->setSource(QUrl());
        fail(QStringLiteral("it did not load in time"));
    }
    open_ = true;
}

void QtMediaPlayer::Rewind() {
    if (!open_)
        throw Exception(QStringLiteral("No media file is open"));
    player_->setPosition(0);
}

void QtMediaPlayer::Play() {
    if (!open_)
        throw Exception(QStringLiteral("No media file is open"));
    player_->play();
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
