// Loading the shop list file "get_merchant.txt" with the system's file and URL services, and sharing one parsed
// copy among the toolbars of a process that load the same unchanged file.
#pragma once

#include <cstdint>
#include <string>

#include "toolbar/ShopList.h"

// The host of an address, by the system URL parser (UrlGetPartW, URL_PART_HOSTNAME, no flags, a buffer of 512
// characters): without user name, password or port. Empty when the parser fails, e.g. for text without scheme.
[[nodiscard]] std::wstring SystemHostOfAddress(const std::wstring& address);

// The file's text as the list reads it: opened in text mode (CR LF read as LF, Ctrl-Z ends the file), as many
// bytes read as the file is long, up to the first NUL, converted from the thread's ANSI code page. Empty when the
// file cannot be opened or reads short (so a file with a CR LF pair or a Ctrl-Z byte gives no text).
[[nodiscard]] std::wstring ReadShopListText(const std::wstring& path);

// Reads the file and appends its records to the list (ParseShopList with SystemHostOfAddress), then sets the
// loaded flag, also when the file is missing or unreadable. Lists loaded in this process from the same path,
// while the file keeps its size and last-write time, share one immutable parsed table, freed with the last list
// that holds it. Any thread. Throws std::bad_alloc, or std::length_error for a list too large to index.
void LoadShopList(ShopList& list, const std::wstring& path);

// Writes the bytes as the list at `path`: into a temporary file beside it ("<path>.<process>.<thread>.tmp"),
// which then replaces the list, also while toolbars are reading it. False when it could not be written or could not
// replace the list; the old list is kept then and the temporary file removed.
[[nodiscard]] bool StoreShopListFile(const std::wstring& path, const unsigned char* bytes, uint32_t count);
// Deletes the temporary files beside `path` whose writing process has ended (killed mid-write). A file being
// written stays: its process runs, and it is open without sharing.
void RemoveLeftoverListFiles(const std::wstring& path);
