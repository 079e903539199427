#include "workers/NoticeWorker.h"

#include "module/ProcessObjects.h"
#include "net/ServiceRequests.h"
#include "net/WinHttpClient.h"
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
        WinHttpClient client(service_urls::Notice(nonce, account));
        client.SetUserAgent(L"Mozilla/4.0");
        if (client.Send(L"GET"))
        {
            if (const auto notice = ParseNotice(client.ResponseText()))
            {
                StoreSharedText(Shared().noticeText, *notice);
                *context.done = 1;
            }
        }
    }
    *context.running = 0;
}
