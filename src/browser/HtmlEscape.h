// Filling the popup templates: every value that goes into a template is escaped for HTML first, so a voucher
// code or an address can never add markup or script to the page it is shown in. Portable.
#pragma once

#include <string>
#include <utility>
#include <vector>

using TemplateReplacements = std::vector<std::pair<std::wstring, std::wstring>>;

// The text with '&', '<', '>', '"' and '\'' written as "&amp;", "&lt;", "&gt;", "&quot;" and "&#39;". The
// browser decodes them again, so an escaped address in an attribute still leads to the same address.
[[nodiscard]] std::wstring EscapeHtml(const std::wstring& text);

// Applies the replacements in order; each replaces every occurrence of its placeholder (exact,
// case-sensitive) by its escaped value. Text inserted by a replacement is not searched again by that same
// replacement; an empty placeholder replaces nothing.
[[nodiscard]] std::wstring FillTemplate(std::wstring text, const TemplateReplacements& replacements);
