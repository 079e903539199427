#include "workers/NoticeWorker.h"

#include "module/ProcessObjects.h"
#include "net/ServiceRequests.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "workers/Replies.h"

void StartNoticeWorker(volatile LONG* done, volatile LONG* running) noexcept
{
    StartWorker(&NoticeWorker, WorkerContext{done, running, 0});
}

void StartNoticeWorker() noexcept
{
    SharedBlock& shared = Shared();
    StartNoticeWorker(&shared.noticeDone, &shared.noticeRunning);
}

void NoticeWorker(const WorkerContext& context)
{
    *context.running = 1;
    const std::wstring nonce = RequestNonce();
    const RegistryKey key(HKEY_CURRENT_USER, kSettingsKeyPath);
    const ServiceAccount account{key.ReadString(L"email"), key.ReadString(L"password")};
    if (Shared().signedIn == 0 && !account.email.empty() && !account.digest.empty())
    {
        std::wstring reply;
        if (FetchServiceAnswer(service_urls::Notice(nonce, account), reply))
        {
            if (const auto notice = ParseNotice(reply))
            {
                StoreSharedText(Shared().noticeText, *notice);
                *context.done = 1;
            }
        }
    }
    *context.running = 0;
}
