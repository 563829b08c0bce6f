#pragma once

#include "platform/Dialogs.h"

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

// Records every beep, box and dialog; answers from scripted queues. A box
// with no scripted answer gets No for Yes/No and OK otherwise.
class FakeDialogs : public Dialogs {
public:
    struct Box {
        QString text;
        TMsgDlgType type;
        TMsgDlgButtons buttons;
    };

    void MessageBeep(unsigned sound) override {
        beeps.push_back(sound);
        events << QStringLiteral("beep %1").arg(sound);
    }
    TModalResult MessageDlg(const QString& text, TMsgDlgType type,
                            TMsgDlgButtons buttons) override {
        boxes.push_back({text, type, buttons});
        events << QStringLiteral("box %1").arg(text);
        if (onBox)
            onBox(text);
        if (!answers.empty()) {
            const TModalResult answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == TMsgDlgButtons::mbYesNo ? TModalResult::mrNo : TModalResult::mrOk;
    }
    std::optional<QString> OpenFile(const OpenFileRequest& request) override {
        fileRequests.push_back(request);
        return fileAnswer;
    }
    void ShowException(const QString& message) override {
        exceptions << message;
        events << QStringLiteral("exception %1").arg(message);
    }

    std::vector<unsigned> beeps;
    std::vector<Box> boxes;
    std::deque<TModalResult> answers;
    std::function<void(const QString&)> onBox; // runs inside the "modal" box
    std::vector<OpenFileRequest> fileRequests;
    std::optional<QString> fileAnswer;
    QStringList exceptions;
    QStringList events; // beeps, boxes and exceptions in order
};
