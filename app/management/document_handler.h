#pragma once
// Purpose: the answers to a client's documents: a subscription is checked, stored in the session
//          and answered (a camera-state subscriber also gets the current state at once); a
//          camera request is answered with what the viewport reports.
// Threads: the handlers run on the sessions' receive threads, several at a time; a camera request
//          holds its receive thread until the viewport has answered, the program ends or the
//          server stops; a wrong password holds it for at most WrongPasswordGuard::kMaxDelay.
// Owns: nothing beyond its password digest; a camera request is shared with the viewport's event.

#include "app/management/camera_info.h"
#include "app/management/camera_state_source.h"
#include "app/management/incoming_document.h"
#include "app/management/password_guard.h"
#include "app/management/reply_document.h"
#include "app/management/server_password.h"
#include "app/management/session_link.h"
#include "app/recognition/state_request.h"
#include "app/shell/journal.h"
#include "platform/sync.h"

#include <QString>

#include <memory>

namespace management {

class DocumentHandler final : public PacketHandler {
public:
    // The password is kept only as a digest. termEvent is set when the program ends, stopEvent when
    // the server stops while the program goes on (the viewport's thread is then the one waiting for
    // the sessions, so a request must not wait for its answer). wrongPasswordDelayStep: see
    // WrongPasswordGuard (a mutation test that guesses thousands of passwords does without it).
    DocumentHandler(const QString& password, const shell::Journal& journal, CameraStateSource& camera,
                    platform::Event& termEvent, platform::Event& stopEvent,
                    std::chrono::milliseconds wrongPasswordDelayStep = WrongPasswordGuard::kDelayStep);

    bool HandleTcpRequest(Session& session, std::span<const std::byte> data) override;
    bool HandleTcpSubscribeToEvents(Session& session, std::span<const std::byte> data) override;

    // A session that has sent this many wrong passwords is ended without a reply to the last.
    static constexpr int kMaxWrongPasswords = 5;

private:
    // Journals and holds back a wrong password; false when the session is to end.
    bool RefuseWrongPassword(Session& session, DocumentKind kind);
    // Asks the viewport and waits; fills the reply's camera part or its error.
    void AskViewport(Session& session, const CameraInfoQuery& query, ReplyDocument& reply);

    ServerPassword password_;
    WrongPasswordGuard wrongPasswords_;
    const shell::Journal& journal_;
    CameraStateSource& camera_;
    platform::Event& termEvent_;
    platform::Event& stopEvent_;
};

}  // namespace management
