#include "app/management/subscription_rules.h"

#include "app/management/image_encoding.h"
#include "app/management/xml_documents.h"

namespace management {

SubscriptionOutcome ReadSubscription(const QDomElement& root) {
    SubscriptionOutcome outcome;
    const QDomElement eventMask = root.firstChildElement(QStringLiteral("EventMask"));
    if (eventMask.isNull()) {
        outcome.error = {2, QStringLiteral("Неправильная структура XML запроса. Отсутствует тег <EventMask>.")};
        return outcome;
    }
    const std::optional<uint32_t> events = ParseNumber(eventMask.text(), NumberForm::DecimalOrHex);
    if (!events || (*events & kAllEventBits) == 0) {
        outcome.error = {3, QStringLiteral("Неверно задан параметр маски событий (EventMask)")};
        return outcome;
    }
    outcome.sendCameraStateNow = (*events & kCameraStateEventBit) != 0;
    outcome.subscription.eventMask = *events & kAllEventBits;

    const QDomElement listMask = root.firstChildElement(QStringLiteral("ListMask"));
    if (!listMask.isNull()) {
        const std::optional<uint32_t> lists = ParseNumber(listMask.text(), NumberForm::DecimalOrHex);
        if (!lists || (*lists & kAllListBits) == 0) {
            outcome.error = {4, QStringLiteral("Неверно задан параметр маски списков учета (ListMask)")};
            return outcome;
        }
        outcome.subscription.listMask = *lists & kAllListBits;
    } else if (outcome.subscription.eventMask & kListFilteredEventBits) {
        outcome.error = {4, QStringLiteral("Неправильная структура XML запроса. Отсутствует тег <ListMask>.")};
        return outcome;
    } else {
        outcome.subscription.listMask = kAllListBits;
    }

    const QDomElement format = root.firstChildElement(QStringLiteral("PreferredImgFormat"));
    if (!format.isNull()) {
        const std::optional<uint32_t> number = ParseNumber(format.text(), NumberForm::Decimal);
        const std::optional<ImageFormat> chosen = number ? ImageFormatFromNumber(*number) : std::nullopt;
        if (!chosen) {
            outcome.error = {
                4, QStringLiteral(
                       "Неверно задан параметр предпочтительного формата графических файлов (PreferredImgFormat)")};
            return outcome;
        }
        outcome.subscription.format = *chosen;
    }
    return outcome;
}

}  // namespace management
