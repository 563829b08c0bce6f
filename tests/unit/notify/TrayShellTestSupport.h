#pragma once

#include "FakeNotifyArea.h"
#include "IconTestData.h"
#include "notify/TrayShell.h"

#include <QtCore/QBuffer>
#include <gtest/gtest.h>

#include <memory>

// A tray with the shipped still icon and frames, loaded as the main window
// loads it, over a fake notification area.
class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        still.LoadFromBytes(icontest::stillIcon());
        QBuffer in;
        in.setData(icontest::shippedFrames());
        in.open(QIODevice::ReadOnly);
        frames.ReadData(in);
        tray = std::make_unique<TTrayIcon>(nullptr, area);
    }

    // Icon, frames and a long interval (the thread then never advances on
    // its own), then Loaded; the record of calls starts empty.
    void load(std::uint16_t interval = 60000) {
        tray->SetInterval(interval);
        tray->SetIcon(&still);
        tray->SetIcons(&frames);
        tray->Loaded();
        area.Reset();
    }

    HICON frameHandle(int i) const { return tray->Icons()->Items(i)->Handle(); }
    HICON stillHandle() const { return tray->Icon()->Handle(); }
    QList<HICON> handles() const {
        QList<HICON> result;
        for (const auto& call : area.Calls())
            result.append(call.data.hIcon);
        return result;
    }

    FakeNotifyArea area;
    TIcon still;
    TIconList frames;
    std::unique_ptr<TTrayIcon> tray;
};

using Calls = QList<std::uint32_t>;
