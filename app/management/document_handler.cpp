#include "app/management/document_handler.h"

#include "app/management/event_broadcaster.h"
#include "app/management/incoming_document.h"
#include "app/management/subscription_rules.h"
#include "platform/log.h"

#include <new>

namespace management {

namespace {

const ReplyError kWrongPassword{1, QStringLiteral("Неправильный пароль")};
const ReplyError kNoMemory{8, QStringLiteral("Недостаточно памяти в системе")};
const ReplyError kNotPosted{1002, QStringLiteral("Windows cannot act on SendNotifyMessage")};
const ReplyError kShuttingDown{1115, QStringLiteral("Application shutdown in progress")};

// "<text> %S (%S)" with the client's address and host name.
QString ClientText(const QString& text, const Session& session) {
    return QStringLiteral("%1 %2 (%3)").arg(text, session.ClientAddress(), session.ClientHost());
}

}  // namespace

DocumentHandler::DocumentHandler(const QString& password, const shell::Journal& journal, CameraStateSource& camera,
                                 platform::Event& termEvent, platform::Event& stopEvent,
                                 std::chrono::milliseconds wrongPasswordDelayStep)
    : password_(password),
      wrongPasswords_(wrongPasswordDelayStep),
      journal_(journal), camera_(camera), termEvent_(termEvent), stopEvent_(stopEvent) {}

bool DocumentHandler::HandleTcpSubscribeToEvents(Session& session, std::span<const std::byte> data) {
    const std::optional<IncomingDocument> incoming =
        ReadIncomingDocument(DocumentKind::Subscription, session.Number(), data);
    if (!incoming) return false;

    ReplyDocument reply(QStringLiteral("SubscribeToEventsReply"));
    bool sendCameraState = false;
    if (!password_.Matches(incoming->password)) {
        if (!RefuseWrongPassword(session, DocumentKind::Subscription)) return false;
        reply.SetError(kWrongPassword);
    } else {
        // Every station place is taken: the session ends as a ninth connection would be refused.
        if (session.LogIn() != LoginResult::Station) return false;
        const SubscriptionOutcome outcome = ReadSubscription(incoming->root);
        sendCameraState = outcome.sendCameraStateNow;
        if (outcome.error.Failed())
            reply.SetError(outcome.error);
        else
            session.SetSubscription(outcome.subscription);
    }

    if (!session.SendTcpPacket(PacketType::_S2C_TCP_SUBSCRIBE_REPLY, reply.Text(), WhenQueueFull::Wait)) return false;
    journal_.PostNotification(shell::NotificationIcon::Information,
                              ClientText(QStringLiteral("Отправка ответа (подписка на события) на"), session));
    if (!sendCameraState) return true;
    const CameraStatus status = camera_.CurrentCameraStatus();
    // Sent on this session's own receive thread, so waiting for room holds no one else.
    return EventBroadcaster::SendCameraStateEvent(session, status.name, status.state, 0, WhenQueueFull::Wait);
}

bool DocumentHandler::HandleTcpRequest(Session& session, std::span<const std::byte> data) {
    const std::optional<IncomingDocument> incoming =
        ReadIncomingDocument(DocumentKind::Request, session.Number(), data);
    if (!incoming) return false;

    ReplyDocument reply(QStringLiteral("Reply"));
    if (!password_.Matches(incoming->password)) {
        if (!RefuseWrongPassword(session, DocumentKind::Request)) return false;
        reply.SetError(kWrongPassword);
    } else {
        if (session.LogIn() != LoginResult::Station) return false;
        const CameraInfoQuery query = ReadCameraInfoQuery(incoming->root);
        if (query.error.Failed())
            reply.SetError(query.error);
        else
            AskViewport(session, query, reply);
    }

    if (!session.SendTcpPacket(PacketType::_S2C_TCP_REPLY, reply.Text(), WhenQueueFull::Wait)) return false;
    journal_.PostNotification(shell::NotificationIcon::Information,
                              ClientText(QStringLiteral("Отправка ответа на запрос от"), session));
    return true;
}

bool DocumentHandler::RefuseWrongPassword(Session& session, DocumentKind kind) {
    const int onSession = session.CountWrongPassword();
    const WrongPasswordGuard::Verdict verdict =
        wrongPasswords_.WrongPassword(session.ClientAddress(), WrongPasswordGuard::Clock::now());
    switch (verdict.line) {
    case WrongPasswordGuard::JournalLine::Single:
        journal_.PostNotification(
            shell::NotificationIcon::Warning,
            ClientText(kind == DocumentKind::Request
                           ? QStringLiteral("Неправильный пароль в запросе от")
                           : QStringLiteral("Неправильный пароль в запросе подписки на события от"),
                       session));
        break;
    case WrongPasswordGuard::JournalLine::Summary:
        journal_.PostNotification(
            shell::NotificationIcon::Warning,
            QStringLiteral("Неправильный пароль ещё в %1 запросах от %2 (%3)")
                .arg(QString::number(verdict.count), session.ClientAddress(), session.ClientHost()));
        break;
    case WrongPasswordGuard::JournalLine::None:
        break;
    }
    if (onSession >= kMaxWrongPasswords) {
        WriteLog(QStringLiteral("%1() Session %2: %3 неправильных паролей от %4 (%5). Сеанс будет закрыт.")
                     .arg(kind == DocumentKind::Request ? QStringLiteral("HandleTcpRequest")
                                                        : QStringLiteral("HandleTcpSubscribeToEvents"),
                          QString::number(session.Number()), QString::number(onSession), session.ClientAddress(),
                          session.ClientHost()));
        return false;
    }
    // Bounded, and cut short when the server stops or the program ends.
    if (verdict.delay.count() > 0) platform::WaitForAny({&termEvent_, &stopEvent_}, verdict.delay);
    return true;
}

void DocumentHandler::AskViewport(Session& session, const CameraInfoQuery& query, ReplyDocument& reply) {
    const QString prefix = QStringLiteral("HandleTcpRequest() Session %1: ").arg(session.Number());
    std::shared_ptr<recognition::CameraStateRequest> request;
    try {
        request = std::make_shared<recognition::CameraStateRequest>();
    } catch (const std::bad_alloc&) {
    }
    // Without its event nobody could tell when the viewport has answered.
    if (!request || !request->completed.IsValid()) {
        WriteLog(kNoMemory.description);
        reply.SetError(kNoMemory);
        return;
    }
    request->flags = query.flags;
    if (!camera_.PostStateRequest(request)) {
        reply.SetError(kNotPosted);
        return;
    }
    WriteLog(prefix + QStringLiteral("Запрос информации у главного потока..."));
    // The answer wins when several are set. A session that stops waiting lets go of its share of
    // the request; the viewport's event keeps the rest alive until it is answered or dropped.
    if (platform::WaitForAny({&request->completed, &termEvent_, &stopEvent_}, platform::kInfinite) != 0) {
        WriteLog(prefix + QStringLiteral("hTermEvent signaled"));
        reply.SetError(kShuttingDown);
        return;
    }
    WriteLog(prefix + QStringLiteral("Главный потока вернул информацию по запросу"));
    AppendCameraInfo(reply.Root(), *request, query);
}

}  // namespace management
