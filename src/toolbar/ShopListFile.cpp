// Loading "get_merchant.txt": the text-mode read, the system URL parser, and the process-wide table cache.
#include "toolbar/ShopListFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shlwapi.h>
#include <stdio.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/ScopedHandle.h"
#include "core/Text.h"
#include "toolbar/ShopTable.h"

namespace
{
// A C runtime stream: the file is read through the runtime because its text mode (CR LF as LF, Ctrl-Z as the
// end) decides which files yield records.
using CrtFile = GenericScopedHandle<FILE*, &fclose>;

constexpr DWORD kHostRoom = 512;

// What identifies an unchanged file: its size and last-write time, taken from the open file.
struct FileStamp
{
    uint64_t size = 0;
    uint64_t lastWrite = 0;

    bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> StampOf(FILE* file)
{
    // Not GetFileInformationByHandle: it asks for much more and costs far more than a small list's whole load.
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    FILETIME lastWrite{};
    LARGE_INTEGER size{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileTime(handle, nullptr, nullptr, &lastWrite) ||
        !GetFileSizeEx(handle, &size))
        return std::nullopt;
    FileStamp stamp;
    stamp.size = static_cast<uint64_t>(size.QuadPart);
    stamp.lastWrite = uint64_t{lastWrite.dwHighDateTime} << 32 | lastWrite.dwLowDateTime;
    return stamp;
}

// The bytes up to the first NUL, converted from the thread's code page as NarrowToWide does, but in one pass
// (a code page never gives more UTF-16 code units than bytes), which matters for a large list.
std::wstring WideText(const std::string& bytes)
{
    const void* nul = std::memchr(bytes.data(), '\0', bytes.size());
    const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes.data()) : bytes.size();
    if (length == 0 || length > INT_MAX)
        return NarrowToWide(bytes);
    std::wstring text(length, L'\0');
    const int written = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), static_cast<int>(length), text.data(),
                                            static_cast<int>(length));
    if (written <= 0)
        return NarrowToWide(bytes);
    text.resize(static_cast<size_t>(written));
    return text;
}

std::wstring ReadText(FILE* file)
{
    if (_fseeki64(file, 0, SEEK_END) != 0)
        return {};
    const int64_t size = _ftelli64(file);
    if (size < 0 || _fseeki64(file, 0, SEEK_SET) != 0)
        return {};
    std::string bytes(static_cast<size_t>(size), '\0');
    // In text mode each CR LF pair arrives as one byte and a Ctrl-Z ends the stream: such files read short.
    if (fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
        return {};
    return WideText(bytes);
}

// Parsed tables by file, held weakly: a table lives as long as some list holds it. Toolbars on different tab
// threads load at the same time, hence the lock; it is never held while a file is read or parsed.
class SharedTables
{
public:
    std::shared_ptr<const ShopTable> Find(const std::wstring& path, const FileStamp& stamp)
    {
        const std::scoped_lock hold(lock);
        for (const Entry& entry : entries)
            if (entry.path == path && entry.stamp == stamp)
                return entry.table.lock();
        return nullptr;
    }

    // Records the table for the file, or hands back the one another thread recorded for it meanwhile.
    std::shared_ptr<const ShopTable> Publish(const std::wstring& path, const FileStamp& stamp,
                                             std::shared_ptr<const ShopTable> table)
    {
        const std::scoped_lock hold(lock);
        std::erase_if(entries, [&](const Entry& entry) { return entry.table.expired(); });
        for (Entry& entry : entries)
        {
            if (entry.path != path)
                continue;
            if (entry.stamp == stamp)
                return entry.table.lock();
            entry.stamp = stamp; // the file changed: lists holding the old table keep it
            entry.table = table;
            return table;
        }
        entries.push_back(Entry{path, stamp, table});
        return table;
    }

private:
    struct Entry
    {
        std::wstring path;
        FileStamp stamp;
        std::weak_ptr<const ShopTable> table;
    };

    std::mutex lock;
    std::vector<Entry> entries;
};

SharedTables& Cache()
{
    static SharedTables cache;
    return cache;
}

// A text-mode stream over the file, opened so that others may read, write, rename or delete it meanwhile: a
// worker replacing the list must not fail because a toolbar is reading it. Null when it cannot be opened.
FILE* OpenForReading(const std::wstring& path)
{
    KernelHandle handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle)
        return nullptr;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle.Get()), _O_RDONLY | _O_TEXT);
    if (descriptor == -1)
        return nullptr;
    static_cast<void>(handle.Detach()); // the descriptor owns it now
    FILE* file = _fdopen(descriptor, "rt");
    if (!file)
        _close(descriptor);
    return file;
}

// The file's records as a table; null when the file cannot be opened.
std::shared_ptr<const ShopTable> LoadTable(const std::wstring& path)
{
    CrtFile file(OpenForReading(path));
    if (!file)
        return nullptr;
    const std::optional<FileStamp> stamp = StampOf(file.Get());
    if (stamp)
    {
        if (std::shared_ptr<const ShopTable> shared = Cache().Find(path, *stamp))
            return shared;
    }
    std::wstring text = ReadText(file.Get());
    file.Reset();
    ShopList parsed;
    ParseShopList(parsed, std::move(text), SystemHostOfAddress);
    if (!stamp)
        return parsed.Table();
    return Cache().Publish(path, *stamp, parsed.Table());
}

// "<path>.<process>.<thread><tag>.tmp": RemoveLeftoverListFiles knows the writer by the process number.
std::wstring TemporaryPathBeside(const std::wstring& path, const wchar_t* tag = L"")
{
    return path + L"." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(GetCurrentThreadId()) + tag +
           L".tmp";
}

// Moves the written file over the list. While a reader has the list open the system renames it but does not
// replace it: the list is then moved aside under a temporary name and deleted, which takes effect when the
// reader closes it.
bool ReplaceList(const std::wstring& temporary, const std::wstring& path)
{
    constexpr DWORD kReplace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (MoveFileExW(temporary.c_str(), path.c_str(), kReplace))
        return true;
    const std::wstring retired = TemporaryPathBeside(path, L".old");
    if (!MoveFileExW(path.c_str(), retired.c_str(), MOVEFILE_REPLACE_EXISTING))
        return false;
    if (!MoveFileExW(temporary.c_str(), path.c_str(), kReplace))
    {
        MoveFileExW(retired.c_str(), path.c_str(), 0);
        return false;
    }
    DeleteFileW(retired.c_str());
    return true;
}

// True when the process is known to have ended (or the number names none); false while it runs or when this
// process may not ask.
bool ProcessHasEnded(DWORD processId)
{
    if (processId == GetCurrentProcessId())
        return false;
    const KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process)
        return GetLastError() == ERROR_INVALID_PARAMETER;
    return WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
}

bool WriteWholeFile(const std::wstring& path, const unsigned char* bytes, uint32_t count)
{
    const KernelHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes, count, &written, nullptr) && written == count;
}
} // namespace

std::wstring SystemHostOfAddress(const std::wstring& address)
{
    wchar_t host[kHostRoom] = {};
    DWORD room = kHostRoom;
    if (FAILED(UrlGetPartW(address.c_str(), host, &room, URL_PART_HOSTNAME, 0 /* flags */)))
        return {};
    return host;
}

std::wstring ReadShopListText(const std::wstring& path)
{
    const CrtFile file(OpenForReading(path));
    if (!file)
        return {};
    return ReadText(file.Get());
}

void LoadShopList(ShopList& list, const std::wstring& path)
{
    list.Append(LoadTable(path));
    list.SetLoaded();
}

bool StoreShopListFile(const std::wstring& path, const unsigned char* bytes, uint32_t count)
{
    const std::wstring temporary = TemporaryPathBeside(path);
    if (!WriteWholeFile(temporary, bytes, count) || !ReplaceList(temporary, path))
    {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

void RemoveLeftoverListFiles(const std::wstring& path)
{
    if (path.empty())
        return;
    const size_t folderLength = path.find_last_of(L'\\') + 1;
    const size_t numberAt = path.size() - folderLength + 1; // past "<name>."
    WIN32_FIND_DATAW found{};
    const FindHandle search(FindFirstFileW((path + L".*.tmp").c_str(), &found));
    if (!search)
        return;
    do
    {
        const std::wstring name = found.cFileName;
        if (name.size() > numberAt && ProcessHasEnded(wcstoul(name.c_str() + numberAt, nullptr, 10)))
            DeleteFileW((path.substr(0, folderLength) + name).c_str());
    } while (FindNextFileW(search.Get(), &found));
}
