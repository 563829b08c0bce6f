#pragma once

class MailHost;
class POPControl;

namespace mail {

// Starts one check from the host's fields and returns at once: asks a
// logged-in idle connection for a fresh count, opens a connection when the
// control is closed, and otherwise drops the request.
void StartCheck(POPControl& pop, MailHost& host);

// Menu "&Check Email" and a double click on the tray icon: the progress
// window first, then the check, however the window was closed.
void CheckWithProgress(POPControl& pop, MailHost& host);

} // namespace mail
