#include "app/shell/program_objects.h"

#include "platform/log.h"
#include "platform/syserror.h"

namespace shell {

namespace {

bool MakeTermEvent(std::unique_ptr<platform::Event>& event) {
    if (event) return true;
    auto made = std::make_unique<platform::Event>(true, false);
    if (!made->IsValid()) {
        WriteLog(QStringLiteral("Error. Can't create hTermEvent event object."));
        return false;
    }
    event = std::move(made);
    return true;
}

}  // namespace

ProgramObjects::ProgramObjects() = default;

int ProgramObjects::InitSyncObjects() {
    if (!noDupAppMutex_.Held()) {
        const int error = noDupAppMutex_.Acquire("NO_DUP_OSTROVID_APP_MUTEX");
        if (error == platform::kErrorAlreadyExists) {
            WriteLog(QStringLiteral("One instance of application already running. Exit."));
            return settings::kAttachFailed;
        }
        if (error != platform::kErrorSuccess) {
            WriteLog(QStringLiteral("Error. Can't create LocalNoDupAppMutex object: ") +
                     platform::FormatSystemError(error));
            return settings::kAttachFailed;
        }
    }
    if (!MakeTermEvent(term_)) return settings::kAttachFailed;
    if (!channel_) channel_ = std::make_unique<settings::SvcChannel>(term_.get());
    return channel_->InitSyncObjects();
}

void ProgramObjects::Close() {
    if (channel_) channel_->Close();
    channel_.reset();
    term_.reset();
    noDupAppMutex_.Release();
}

}  // namespace shell
