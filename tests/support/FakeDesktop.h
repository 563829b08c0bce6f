#pragma once

#include "FakeDialogs.h"
#include "FakeInstanceMarker.h"
#include "FakeMediaPlayer.h"
#include "FakeNotifyArea.h"
#include "FakeProgramStarter.h"
#include "FakeSecretCommand.h"
#include "FakeSecretStore.h"
#include "FixedRandom.h"
#include "MemoryRegistry.h"
#include "app/Just1_32.h"
#include "app/TMainForm.h"
#include "gui/TApplication.h"

// Every service the configuration window uses, in memory, for tests and
// tools that link the program's libraries. The POP client is the caller's.
struct FakeDesktop {
    MemoryRegistry registry;
    FakeDialogs dialogs;
    FixedRandom random{0x5A, 0x11, 0x22, 0x33};
    FakeMediaPlayer sound;
    FakeProgramStarter starter;
    FakeNotifyArea notifyArea;
    FakeInstanceMarker marker;
    FakeTopLevelWindows windows;
    TPreviousInstance previous{marker, QStringLiteral("test")};
    FakeSecretCommand secretCommand;
    FakeSecretStore secretStore;

    MainFormServices services(POPControl& pop) {
        return {*TApplication::Instance(),
                registry,
                dialogs,
                random,
                sound,
                pop,
                starter,
                notifyArea,
                previous,
                windows,
                secretCommand,
                secretStore};
    }
};
