// The pattern matcher: a small regular-expression engine over wide text, with a syntax of its own. Braces
// capture, parentheses only group, "!" turns the next element into a test that must fail, and a backslash before
// one of the letters a b c d h n q w z stands for a fixed sub-pattern. The HTTP client uses it through FindAll on
// response headers (the charset) and page bodies (the HTML tags).
//
// A pattern compiles to a list of instructions (an operation and one operand each); matching walks them by
// backtracking on an explicit stack, so no input can overflow the thread's own stack. Portable: no Win32 here,
// and nothing here throws; running out of memory or of work is reported as a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class RegExpOp : uint8_t
{
    Char,             // operand: a character; matches it
    Any,              // "." : matches any one character
    Class,            // operand: number of item instructions that follow; matches one character among them
    NotClass,         // the same, negated
    ClassChar,        // class item; operand: a character
    ClassFrom,        // class item; operand: lower bound of a range, whose upper bound is in the ClassTo after it
    ClassTo,          //
    GroupStart,       // operand: group number; the group's capture starts here
    GroupEnd,         // operand: group number; the group's capture ends here
    BackReference,    // operand: group number; matches the text the group captured
    SplitNextFirst,   // operand: index of the alternative; the next instruction is tried first
    SplitTargetFirst, // operand: index tried first; the next instruction is the alternative
    Jump,             // operand: index
    NegationStart,    // operand: index after the matching NegationEnd; the element in between must not match here
    NegationEnd,      //
    TextEnd,          // "$" ending the pattern: matches only at the end of the text
    Match,            // the end of the pattern
};

struct RegExpInstruction
{
    RegExpOp op;
    uint32_t operand;
};

// Where a group's last capture starts and ends in the caller's text; npos until the group has captured.
struct RegExpCapture
{
    size_t start = std::wstring::npos;
    size_t end = std::wstring::npos;

    bool IsSet() const noexcept { return start != std::wstring::npos && end != std::wstring::npos; }
    bool operator==(const RegExpCapture&) const = default;
};

// One entry of the backtracking stack (used by RegExp::Match only).
struct RegExpStackEntry
{
    uint32_t kind;
    uint32_t index;
    size_t value;
};

class RegExp;

// The state of matching one compiled pattern over one text: the captures and bounds of the last match, the
// backtracking stack, the lowercased copy of the text and the record of positions already known to fail, so a
// series of Match calls over the same text (as FindAll makes) lowercases it once and never repeats failed work.
// The context recognises its text by address and length: Reset() it before matching a text changed in place.
class MatchContext
{
public:
    size_t MatchStart() const noexcept { return matchStart; }
    size_t MatchEnd() const noexcept { return matchEnd; }
    size_t GroupCount() const noexcept { return captures.size() / 2; }
    // The last capture of the group of the last match; unset for a group that did not take part.
    RegExpCapture Group(size_t group) const noexcept;

    // True once matching over this text ran out of memory, of stack or of its work allowance (which grows with
    // the length of the text and the size of the pattern, and stops hostile patterns from running for ages): a
    // false result may then be wrong.
    bool LimitReached() const noexcept { return limitReached; }

    // The search jumps between occurrences of the literal text a pattern starts with; tests switch that off to
    // compare with the plain attempt at every position, which must find exactly the same matches.
    void SetLiteralScan(bool enabled) noexcept { literalScan = enabled; }

    void Reset() noexcept;

private:
    friend class RegExp;

    const RegExp* pattern = nullptr;
    const wchar_t* source = nullptr;
    size_t sourceSize = 0;
    std::wstring lowered;
    const wchar_t* subject = nullptr; // what the instructions read: the lowercased copy or the caller's text
    std::vector<size_t> captures;     // start and end of each group
    std::vector<RegExpStackEntry> stack;
    std::vector<uint64_t> failed; // one bit per (position, memo slot) known not to lead to a match
    bool memoAllowed = false;
    size_t memoValidFrom = 0; // bits below this position may belong to the last successful match's path
    uint64_t stepsLeft = 0;
    size_t matchStart = std::wstring::npos;
    size_t matchEnd = std::wstring::npos;
    bool literalScan = true;
    bool limitReached = false;
};

class RegExp
{
public:
    // Compile results.
    enum Error : int
    {
        kNoError = 0,
        kOutOfMemory = 1,          // also when groups and "!" nest deeper than kMaxNesting
        kGroupNotClosed = 2,       // "{" without its "}"
        kParenthesisNotClosed = 3, // "(" without its ")"
        kClassNotClosed = 4,       // "[" without its "]", or a range without its upper bound
        kAbbreviationFailed = 5,   // the sub-pattern a backslash letter stands for did not compile
        kEmptyClass = 6,           // "[]" or "[^]"
        kUnknownGroup = 7,         // a back-reference to a group not opened before it
        kReversedRange = 8,        // a range whose upper bound is below its lower bound
        kRepeatedEmpty = 9,        // "*" or "+" after an element that can match the empty text
    };

    static constexpr int kMaxNesting = 100;

    // Compiles the pattern, after lowercasing a copy of it (ASCII letters) unless caseSensitive. Returns the
    // error code, also kept for LastError(); a pattern that failed to compile matches nothing.
    //
    // Syntax: "^" first anchors the match where the search starts and "$" last matches only at the end of the
    // text (elsewhere both are literals); "." any character; "[...]" a class of characters and ranges x-y, "^"
    // first negating it, "\t" in it a tab, a backslash before any other character making it literal; "{...}"
    // a capturing group, numbered from 0 by its opening brace; "(...)" a group; "|" alternatives, the left tried
    // first; "!" followed by an element matches the empty text where that element does not match; "\" and a
    // number a back-reference to a group opened before it; "\" and one of the letters a b c d h n q w z an
    // abbreviation; "\" and any other character that character. "*", "+" and "?" repeat the element before them
    // as often as possible, followed by "?" as rarely as possible.
    int Compile(const std::wstring& pattern, bool caseSensitive = false) noexcept;

    int LastError() const noexcept { return lastError; }
    size_t GroupCount() const noexcept { return groupCount; }

    // Finds the leftmost match at or after start, trying each position before the end of the text (only start
    // itself when the pattern is anchored). On success fills the context's match bounds and captures, sets next
    // to the end of the match and returns true. An attempt whose backtracking stack cannot grow ends the search
    // as one that ran out of work does: false, with LimitReached().
    bool Match(const std::wstring& text, size_t start, MatchContext& context, size_t& next) const noexcept;

private:
    enum class Outcome
    {
        Matched,
        Failed,
        StackFull,
        OutOfWork
    };

    void Prepare(const std::wstring& text, MatchContext& context) const;
    Outcome RunAttempt(MatchContext& context, size_t start) const noexcept;
    bool KnownToFail(MatchContext& context, size_t pc, size_t position) const noexcept;
    void Analyse();

    std::vector<RegExpInstruction> instructions;
    std::vector<uint32_t> memoSlots; // per instruction: its slot in MatchContext::failed, or kNoSlot
    uint32_t memoSlotCount = 0;
    size_t groupCount = 0;
    bool caseSensitive = false;
    bool anchored = false;
    bool hasBackReference = false;
    std::wstring literalPrefix; // the characters every match starts with (lowercased unless caseSensitive)
    int lastError = kNoError;
};

// Every distinct text captured by group 0 of the pattern in the text, matched case-insensitively from the start
// of the text on, each match continuing where the previous one ended (one character further after an empty
// match). Texts equal but for ASCII case are listed once, as first found, in the caller's case. Returns false,
// with an empty list, for an empty pattern or text, a pattern that does not compile, or a search that ran out
// of memory or work; true otherwise, also when nothing was found. A pattern without a group gives an empty list.
bool FindAll(const std::wstring& pattern, const std::wstring& text, std::vector<std::wstring>& out) noexcept;
