// The pattern matcher: the compiler from pattern text to instructions, the backtracking matcher and FindAll.
#include "net/RegExp.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <unordered_set>

namespace
{
constexpr size_t kNone = static_cast<size_t>(-1);
constexpr uint32_t kNoSlot = UINT32_MAX;

constexpr size_t kInitialStackEntries = 256;
// 4 MiB of stack entries: room for some 260000 iterations of a simple loop in one attempt.
constexpr size_t kMaxStackEntries = size_t{1} << 18;
constexpr size_t kMaxInstructions = size_t{1} << 24;
// At most 16 MiB for the bits that record failed positions; longer texts are matched without them.
constexpr uint64_t kMaxMemoBits = uint64_t{1} << 27;
// Work allowance of one context: instructions executed, a fixed part plus a part per character of the text and
// instruction of the pattern (counted up to kCountedInstructions), so a longer pattern over the same text may do
// more, as it must to answer ordinary inputs, while a hostile one still stops within a bounded time.
constexpr uint64_t kBaseSteps = uint64_t{1} << 20;
constexpr uint64_t kStepsPerCharacter = 256;
constexpr uint64_t kCountedInstructions = 16;

enum EntryKind : uint32_t
{
    kBranch,  // resume at index with position value
    kRestore, // put value back into capture slot index
    kLink,    // value: the previous negation barrier
    kBarrier, // the element of a negation failed: resume at index with position value
};

// Growth of the instruction list and of the backtracking stack: by an eighth, at least 4 and at most 1024
// entries at a time, or straight to what is needed when that is more.
size_t GrownCapacity(size_t current, size_t required)
{
    const size_t step = std::clamp<size_t>(current / 8, 4, 1024);
    return std::max(current + step, required);
}

uint32_t CodeOf(wchar_t c)
{
    return static_cast<uint32_t>(c);
}

wchar_t LowerAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

std::wstring LowerAscii(std::wstring_view text)
{
    std::wstring lowered(text.size(), L'\0');
    std::transform(text.begin(), text.end(), lowered.begin(), [](wchar_t c) { return LowerAscii(c); });
    return lowered;
}

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool IsJump(RegExpOp op)
{
    return op == RegExpOp::SplitNextFirst || op == RegExpOp::SplitTargetFirst || op == RegExpOp::Jump ||
           op == RegExpOp::NegationStart;
}

// The abbreviations: the letter after a backslash is looked up, and one element of the entry's text after the
// letter is compiled in its place (so "q" stands for its first alternative, a double-quoted string).
struct Abbreviation
{
    wchar_t letter;
    const wchar_t* entry;
};

constexpr Abbreviation kAbbreviations[] = {
    {L'a', L"a([a-zA-Z0-9])"},
    {L'b', L"b([ \t])"},
    {L'c', L"c([a-zA-Z])"},
    {L'd', L"d([0-9])"},
    {L'h', L"h([0-9a-fA-F])"},
    {L'n', L"n(\r|(\r?\n))"},
    {L'q', L"q(\"[^\"]*\")|('[^']*')"},
    {L'w', L"w([a-zA-Z]+)"},
    {L'z', L"z([0-9]+)"},
};

const wchar_t* FindAbbreviation(wchar_t letter)
{
    for (const Abbreviation& abbreviation : kAbbreviations)
    {
        if (abbreviation.letter == letter)
            return abbreviation.entry + 1;
    }
    return nullptr;
}

struct Cursor
{
    std::wstring_view text;
    size_t at = 0;
    bool isPattern = true; // false inside an abbreviation's text, where "$" is always a literal

    bool AtEnd() const { return at >= text.size(); }
    wchar_t Peek() const { return text[at]; }
    wchar_t Take() { return text[at++]; }
};

// Recursive descent over the (lowercased) pattern. Each Parse function emits the instructions of what it read
// and tells whether that can match the empty text; on a compile error it records the code and returns false.
// Running out of memory throws std::bad_alloc, which Compile turns into error 1.
class PatternCompiler
{
public:
    explicit PatternCompiler(std::vector<RegExpInstruction>& instructions) : code(instructions) {}

    int Error() const { return error; }
    size_t GroupCount() const { return groups.size(); }

    // closer: the character that ends the enclosing group, or 0 at the top.
    bool ParseAlternation(Cursor& in, wchar_t closer, int depth, bool& nullable)
    {
        // a|b|c:  split(L2) a jump(end)  L2: split(L3) b jump(end)  L3: c  end:
        std::vector<size_t> exits;
        nullable = false;
        for (;;)
        {
            const size_t start = code.size();
            bool alternativeNullable = false;
            if (!ParseSequence(in, closer, depth, alternativeNullable))
                return false;
            nullable = nullable || alternativeNullable;
            if (in.AtEnd() || in.Peek() != L'|')
                break;
            in.at++;
            Insert(start, RegExpOp::SplitNextFirst);
            exits.push_back(Emit(RegExpOp::Jump, 0));
            code[start].operand = Index(code.size());
        }
        for (const size_t exit : exits)
            code[exit].operand = Index(code.size());
        return true;
    }

    bool ParsePiece(Cursor& in, wchar_t closer, int depth, bool& nullable)
    {
        if (depth > RegExp::kMaxNesting)
            return Fail(RegExp::kOutOfMemory);
        if (in.Peek() == L'!' && in.at + 1 < in.text.size() && !EndsSequence(in.text[in.at + 1], closer))
        {
            in.at++;
            const size_t negation = Emit(RegExpOp::NegationStart, 0);
            bool elementNullable = false;
            if (!ParsePiece(in, closer, depth + 1, elementNullable))
                return false;
            Emit(RegExpOp::NegationEnd, 0);
            code[negation].operand = Index(code.size());
            nullable = true;
            return true;
        }
        const size_t start = code.size();
        if (!ParseAtom(in, depth, nullable))
            return false;
        while (!in.AtEnd() && (in.Peek() == L'*' || in.Peek() == L'+' || in.Peek() == L'?'))
        {
            const wchar_t mark = in.Take();
            const bool lazy = !in.AtEnd() && in.Peek() == L'?';
            if (lazy)
                in.at++;
            if (mark != L'?' && nullable)
                return Fail(RegExp::kRepeatedEmpty);
            Repeat(start, mark, lazy);
            nullable = nullable || mark != L'+';
        }
        return true;
    }

private:
    struct GroupInfo
    {
        bool closed = false;
        bool nullable = false;
    };

    static bool EndsSequence(wchar_t c, wchar_t closer) { return c == L'|' || (closer != 0 && c == closer); }

    bool Fail(int failure)
    {
        error = failure;
        return false;
    }

    static uint32_t Index(size_t index) { return static_cast<uint32_t>(index); }

    void Reserve(size_t required)
    {
        if (required > kMaxInstructions)
            throw std::bad_alloc();
        if (required > code.capacity())
            code.reserve(GrownCapacity(code.capacity(), required));
    }

    size_t Emit(RegExpOp op, uint32_t operand = 0)
    {
        Reserve(code.size() + 1);
        code.push_back({op, operand});
        return code.size() - 1;
    }

    // Puts an instruction in front of the code from start on; the jumps in that code all stay within it (or
    // point just past it) and move along.
    void Insert(size_t start, RegExpOp op)
    {
        Reserve(code.size() + 1);
        for (size_t i = start; i < code.size(); ++i)
        {
            if (IsJump(code[i].op))
                code[i].operand++;
        }
        code.insert(code.begin() + static_cast<std::ptrdiff_t>(start), RegExpInstruction{op, 0});
    }

    void Repeat(size_t start, wchar_t mark, bool lazy)
    {
        // Greedy forms try the element (once more) first, lazy forms the way past it.
        if (mark == L'+')
        {
            // element  split(back to the element)
            Emit(lazy ? RegExpOp::SplitNextFirst : RegExpOp::SplitTargetFirst, Index(start));
            return;
        }
        // "*":  split(exit)  element  jump(split)  exit:        "?":  split(exit)  element  exit:
        Insert(start, lazy ? RegExpOp::SplitTargetFirst : RegExpOp::SplitNextFirst);
        if (mark == L'*')
            Emit(RegExpOp::Jump, Index(start));
        code[start].operand = Index(code.size());
    }

    bool ParseSequence(Cursor& in, wchar_t closer, int depth, bool& nullable)
    {
        nullable = true;
        while (!in.AtEnd() && !EndsSequence(in.Peek(), closer))
        {
            bool pieceNullable = false;
            if (!ParsePiece(in, closer, depth, pieceNullable))
                return false;
            nullable = nullable && pieceNullable;
        }
        return true;
    }

    bool ParseAtom(Cursor& in, int depth, bool& nullable)
    {
        nullable = false;
        const wchar_t c = in.Take();
        switch (c)
        {
        case L'(':
            if (!ParseAlternation(in, L')', depth + 1, nullable))
                return false;
            if (in.AtEnd())
                return Fail(RegExp::kParenthesisNotClosed);
            in.at++;
            return true;
        case L'{':
        {
            const size_t group = groups.size();
            groups.push_back({});
            Emit(RegExpOp::GroupStart, Index(group));
            if (!ParseAlternation(in, L'}', depth + 1, nullable))
                return false;
            if (in.AtEnd())
                return Fail(RegExp::kGroupNotClosed);
            in.at++;
            Emit(RegExpOp::GroupEnd, Index(group));
            groups[group] = {true, nullable};
            return true;
        }
        case L'[':
            return ParseClass(in);
        case L'.':
            Emit(RegExpOp::Any);
            return true;
        case L'\\':
            return ParseEscape(in, depth, nullable);
        case L'$':
            if (in.isPattern && in.AtEnd())
            {
                Emit(RegExpOp::TextEnd);
                nullable = true;
                return true;
            }
            break;
        default:
            break;
        }
        Emit(RegExpOp::Char, CodeOf(c));
        return true;
    }

    bool ParseEscape(Cursor& in, int depth, bool& nullable)
    {
        if (in.AtEnd())
        {
            Emit(RegExpOp::Char, CodeOf(L'\\'));
            return true;
        }
        if (IsDigit(in.Peek()))
        {
            size_t group = 0;
            while (!in.AtEnd() && IsDigit(in.Peek()))
                group = std::min<size_t>(group * 10 + static_cast<size_t>(in.Take() - L'0'), kMaxInstructions);
            if (group >= groups.size())
                return Fail(RegExp::kUnknownGroup);
            Emit(RegExpOp::BackReference, Index(group));
            // Only a closed group that cannot capture the empty text gives a reference that cannot match it.
            nullable = !groups[group].closed || groups[group].nullable;
            return true;
        }
        const wchar_t c = in.Take();
        if (const wchar_t* expansion = FindAbbreviation(c))
        {
            Cursor inner{expansion, 0, false};
            if (!ParsePiece(inner, 0, depth + 1, nullable))
                return Fail(RegExp::kAbbreviationFailed);
            return true;
        }
        Emit(RegExpOp::Char, CodeOf(c));
        return true;
    }

    static wchar_t ClassEscape(wchar_t c) { return c == L't' ? L'\t' : c; }

    // A class character: "\t" is a tab, a backslash before anything else makes that character literal.
    bool TakeClassCharacter(Cursor& in, wchar_t& c)
    {
        c = in.Take();
        if (c != L'\\')
            return true;
        if (in.AtEnd())
            return Fail(RegExp::kClassNotClosed);
        c = ClassEscape(in.Take());
        return true;
    }

    bool ParseClass(Cursor& in)
    {
        const bool negated = !in.AtEnd() && in.Peek() == L'^';
        if (negated)
            in.at++;
        const size_t head = Emit(negated ? RegExpOp::NotClass : RegExpOp::Class);
        size_t items = 0;
        for (;;)
        {
            if (in.AtEnd())
                return Fail(RegExp::kClassNotClosed);
            if (in.Peek() == L']')
            {
                in.at++;
                break;
            }
            wchar_t low = 0;
            if (!TakeClassCharacter(in, low))
                return false;
            if (in.AtEnd() || in.Peek() != L'-')
            {
                Emit(RegExpOp::ClassChar, CodeOf(low));
                items++;
                continue;
            }
            in.at++;
            if (in.AtEnd() || in.Peek() == L']')
                return Fail(RegExp::kClassNotClosed);
            wchar_t high = 0;
            if (!TakeClassCharacter(in, high))
                return false;
            if (CodeOf(high) < CodeOf(low))
                return Fail(RegExp::kReversedRange);
            Emit(RegExpOp::ClassFrom, CodeOf(low));
            Emit(RegExpOp::ClassTo, CodeOf(high));
            items += 2;
        }
        if (items == 0)
            return Fail(RegExp::kEmptyClass);
        code[head].operand = Index(items);
        return true;
    }

    std::vector<RegExpInstruction>& code;
    std::vector<GroupInfo> groups;
    int error = RegExp::kNoError;
};

bool InClass(const RegExpInstruction* items, uint32_t count, uint32_t c)
{
    for (uint32_t i = 0; i < count; ++i)
    {
        if (items[i].op == RegExpOp::ClassChar)
        {
            if (items[i].operand == c)
                return true;
        }
        else
        {
            if (c >= items[i].operand && c <= items[i + 1].operand)
                return true;
            ++i;
        }
    }
    return false;
}

bool Push(std::vector<RegExpStackEntry>& stack, uint32_t kind, size_t index, size_t value) noexcept
{
    if (stack.size() == stack.capacity())
    {
        if (stack.size() >= kMaxStackEntries)
            return false;
        try
        {
            stack.reserve(std::min(GrownCapacity(stack.capacity(), stack.size() + 1), kMaxStackEntries));
        }
        catch (const std::bad_alloc&)
        {
            return false;
        }
    }
    stack.push_back({kind, static_cast<uint32_t>(index), value});
    return true;
}
} // namespace

RegExpCapture MatchContext::Group(size_t group) const noexcept
{
    if (group >= GroupCount())
        return {};
    return {captures[2 * group], captures[2 * group + 1]};
}

void MatchContext::Reset() noexcept
{
    pattern = nullptr;
    source = nullptr;
    sourceSize = 0;
    subject = nullptr;
    matchStart = matchEnd = std::wstring::npos;
    limitReached = false;
}

int RegExp::Compile(const std::wstring& pattern, bool caseSensitiveMatch) noexcept
{
    instructions.clear();
    memoSlots.clear();
    memoSlotCount = 0;
    groupCount = 0;
    caseSensitive = caseSensitiveMatch;
    anchored = false;
    hasBackReference = false;
    literalPrefix.clear();
    try
    {
        const std::wstring text = caseSensitive ? pattern : LowerAscii(pattern);
        Cursor in{text, 0, true};
        anchored = !text.empty() && text[0] == L'^';
        if (anchored)
            in.at = 1;
        PatternCompiler compiler(instructions);
        bool nullable = false;
        // At the top a sequence ends only with the pattern, so the alternation reads all of it.
        if (!compiler.ParseAlternation(in, 0, 0, nullable))
        {
            lastError = compiler.Error();
            instructions.clear();
            return lastError;
        }
        if (instructions.size() + 1 > instructions.capacity())
            instructions.reserve(GrownCapacity(instructions.capacity(), instructions.size() + 1));
        instructions.push_back({RegExpOp::Match, 0});
        groupCount = compiler.GroupCount();
        Analyse();
        lastError = kNoError;
    }
    catch (...)
    {
        instructions.clear();
        memoSlots.clear();
        lastError = kOutOfMemory;
    }
    return lastError;
}

// Finds what the search may use: the literal characters every match starts with, and the branch points whose
// failure at a position can be remembered. That holds where the outcome depends on the position alone, so not
// with back-references, and not inside the element of a negation, whose search is cut short when it succeeds.
void RegExp::Analyse()
{
    for (const RegExpInstruction& instruction : instructions)
    {
        if (instruction.op == RegExpOp::Char)
            literalPrefix.push_back(static_cast<wchar_t>(instruction.operand));
        else if (instruction.op != RegExpOp::GroupStart && instruction.op != RegExpOp::GroupEnd)
            break;
    }
    memoSlots.assign(instructions.size(), kNoSlot);
    std::vector<size_t> negationEnds;
    for (size_t pc = 0; pc < instructions.size(); ++pc)
    {
        while (!negationEnds.empty() && pc >= negationEnds.back())
            negationEnds.pop_back();
        const RegExpOp op = instructions[pc].op;
        if (op == RegExpOp::BackReference)
            hasBackReference = true;
        else if (op == RegExpOp::NegationStart)
            negationEnds.push_back(instructions[pc].operand);
        else if ((op == RegExpOp::SplitNextFirst || op == RegExpOp::SplitTargetFirst) && negationEnds.empty())
            memoSlots[pc] = memoSlotCount++;
    }
}

void RegExp::Prepare(const std::wstring& text, MatchContext& context) const
{
    if (context.pattern == this && context.source == text.data() && context.sourceSize == text.size())
        return;
    context.Reset();
    if (caseSensitive)
    {
        context.lowered.clear();
        context.subject = text.data();
    }
    else
    {
        context.lowered.resize(text.size());
        std::transform(text.begin(), text.end(), context.lowered.begin(), [](wchar_t c) { return LowerAscii(c); });
        context.subject = context.lowered.data();
    }
    context.captures.assign(2 * groupCount, std::wstring::npos);
    if (context.stack.capacity() < kInitialStackEntries)
        context.stack.reserve(kInitialStackEntries);
    context.failed.clear();
    const uint64_t positions = uint64_t{text.size()} + 1;
    context.memoAllowed = !hasBackReference && memoSlotCount > 0 && positions <= kMaxMemoBits / memoSlotCount;
    context.memoValidFrom = 0;
    context.stepsLeft =
        kBaseSteps + kStepsPerCharacter * positions * std::min<uint64_t>(instructions.size(), kCountedInstructions);
    context.pattern = this;
    context.source = text.data();
    context.sourceSize = text.size();
}

// True when the branch point at pc was already tried at this position without leading to a match; otherwise
// records that it is being tried now. The bits are allocated on first use.
bool RegExp::KnownToFail(MatchContext& context, size_t pc, size_t position) const noexcept
{
    const uint32_t slot = memoSlots[pc];
    if (slot == kNoSlot || !context.memoAllowed)
        return false;
    const uint64_t positions = uint64_t{context.sourceSize} + 1;
    if (context.failed.empty())
    {
        try
        {
            context.failed.assign(static_cast<size_t>((positions * memoSlotCount + 63) / 64), 0);
        }
        catch (const std::bad_alloc&)
        {
            context.memoAllowed = false;
            return false;
        }
    }
    const uint64_t bit = slot * positions + position;
    uint64_t& word = context.failed[static_cast<size_t>(bit / 64)];
    const uint64_t mask = uint64_t{1} << (bit % 64);
    if (word & mask)
        return true;
    word |= mask;
    return false;
}

RegExp::Outcome RegExp::RunAttempt(MatchContext& context, size_t start) const noexcept
{
    const wchar_t* const subject = context.subject;
    const size_t size = context.sourceSize;
    std::vector<RegExpStackEntry>& stack = context.stack;
    std::vector<size_t>& captures = context.captures;
    stack.clear();
    size_t barrier = kNone; // index of the innermost negation's barrier entry
    size_t pc = 0;
    size_t position = start;
    for (;;)
    {
        if (context.stepsLeft == 0)
            return Outcome::OutOfWork;
        context.stepsLeft--;
        const RegExpInstruction& instruction = instructions[pc];
        bool ok = true;
        switch (instruction.op)
        {
        case RegExpOp::Char:
            ok = position < size && CodeOf(subject[position]) == instruction.operand;
            position++;
            pc++;
            break;
        case RegExpOp::Any:
            ok = position < size;
            position++;
            pc++;
            break;
        case RegExpOp::Class:
        case RegExpOp::NotClass:
            ok = position < size && InClass(&instruction + 1, instruction.operand, CodeOf(subject[position])) ==
                                        (instruction.op == RegExpOp::Class);
            position++;
            pc += 1 + size_t{instruction.operand};
            break;
        case RegExpOp::GroupStart:
        {
            const size_t slot = 2 * size_t{instruction.operand};
            if (!Push(stack, kRestore, slot, captures[slot]) || !Push(stack, kRestore, slot + 1, captures[slot + 1]))
                return Outcome::StackFull;
            captures[slot] = position;
            captures[slot + 1] = std::wstring::npos;
            pc++;
            break;
        }
        case RegExpOp::GroupEnd:
        {
            const size_t slot = 2 * size_t{instruction.operand} + 1;
            if (!Push(stack, kRestore, slot, captures[slot]))
                return Outcome::StackFull;
            captures[slot] = position;
            pc++;
            break;
        }
        case RegExpOp::BackReference:
        {
            const size_t from = captures[2 * size_t{instruction.operand}];
            const size_t to = captures[2 * size_t{instruction.operand} + 1];
            ok = from != std::wstring::npos && to != std::wstring::npos && from <= to && to - from <= size - position &&
                 std::equal(subject + from, subject + to, subject + position);
            if (ok)
                position += to - from;
            pc++;
            break;
        }
        case RegExpOp::SplitNextFirst:
        case RegExpOp::SplitTargetFirst:
        {
            if (KnownToFail(context, pc, position))
            {
                ok = false;
                break;
            }
            const bool nextFirst = instruction.op == RegExpOp::SplitNextFirst;
            if (!Push(stack, kBranch, nextFirst ? instruction.operand : pc + 1, position))
                return Outcome::StackFull;
            pc = nextFirst ? pc + 1 : instruction.operand;
            break;
        }
        case RegExpOp::Jump:
            pc = instruction.operand;
            break;
        case RegExpOp::NegationStart:
            if (!Push(stack, kLink, 0, barrier))
                return Outcome::StackFull;
            barrier = stack.size();
            if (!Push(stack, kBarrier, instruction.operand, position))
                return Outcome::StackFull;
            pc++;
            break;
        case RegExpOp::NegationEnd:
            // The element matched, so the negation fails: drop the element's alternatives, undoing its captures.
            while (stack.size() > barrier + 1)
            {
                if (stack.back().kind == kRestore)
                    captures[stack.back().index] = stack.back().value;
                stack.pop_back();
            }
            stack.pop_back();
            barrier = stack.back().value;
            stack.pop_back();
            ok = false;
            break;
        case RegExpOp::TextEnd:
            ok = position == size;
            pc++;
            break;
        case RegExpOp::Match:
            context.matchStart = start;
            context.matchEnd = position;
            return Outcome::Matched;
        default:
            ok = false;
            break;
        }
        // Backtrack to the latest alternative, undoing captures on the way.
        while (!ok)
        {
            if (stack.empty())
                return Outcome::Failed;
            const RegExpStackEntry entry = stack.back();
            stack.pop_back();
            switch (entry.kind)
            {
            case kRestore:
                captures[entry.index] = entry.value;
                break;
            case kBarrier:
                // Every way of matching the negated element failed: the negation holds here.
                barrier = stack.back().value;
                stack.pop_back();
                [[fallthrough]];
            case kBranch:
                pc = entry.index;
                position = entry.value;
                ok = true;
                break;
            default:
                break;
            }
        }
    }
}

bool RegExp::Match(const std::wstring& text, size_t start, MatchContext& context, size_t& next) const noexcept
{
    try
    {
        if (lastError != kNoError || instructions.empty())
            return false;
        Prepare(text, context);
        context.matchStart = context.matchEnd = std::wstring::npos;
        std::fill(context.captures.begin(), context.captures.end(), std::wstring::npos);
        if (context.limitReached)
            return false;
        if (start < context.memoValidFrom)
        {
            std::fill(context.failed.begin(), context.failed.end(), 0);
            context.memoValidFrom = 0;
        }
        const size_t size = text.size();
        const bool scan = context.literalScan && !anchored && !literalPrefix.empty();
        const std::wstring_view subject(context.subject, size);
        for (size_t at = start; at < size; ++at)
        {
            // An attempt can succeed only where the literal start of the pattern is.
            if (scan)
            {
                at = subject.find(literalPrefix, at);
                if (at == std::wstring_view::npos)
                    return false;
            }
            switch (RunAttempt(context, at))
            {
            case Outcome::Matched:
            {
                // The branch points on the path of this match have not failed; of those, only the ones at its
                // end can be met again by a search that goes on from there.
                const size_t end = context.matchEnd;
                const uint64_t positions = uint64_t{size} + 1;
                for (uint64_t slot = 0; !context.failed.empty() && slot < memoSlotCount; ++slot)
                {
                    const uint64_t bit = slot * positions + end;
                    context.failed[static_cast<size_t>(bit / 64)] &= ~(uint64_t{1} << (bit % 64));
                }
                context.memoValidFrom = end;
                next = end;
                return true;
            }
            case Outcome::OutOfWork:
                context.limitReached = true;
                std::fill(context.captures.begin(), context.captures.end(), std::wstring::npos);
                return false;
            case Outcome::StackFull:
                // An attempt that ran out of stack was not tried in full: whatever a later position would match,
                // the leftmost match is unknown, so this is an unanswered search, like one out of work.
                context.limitReached = true;
                std::fill(context.captures.begin(), context.captures.end(), std::wstring::npos);
                return false;
            case Outcome::Failed:
                break;
            }
            if (anchored)
                break;
        }
        return false;
    }
    catch (...)
    {
        context.limitReached = true;
        return false;
    }
}

bool FindAll(const std::wstring& pattern, const std::wstring& text, std::vector<std::wstring>& out) noexcept
{
    out.clear();
    if (pattern.empty() || text.empty())
        return false;
    try
    {
        RegExp regExp;
        if (regExp.Compile(pattern) != RegExp::kNoError)
            return false;
        MatchContext context;
        std::unordered_set<std::wstring> seen; // lowercased texts already listed
        size_t position = 0;
        while (position < text.size())
        {
            size_t next = 0;
            if (!regExp.Match(text, position, context, next))
                break;
            const RegExpCapture capture = context.Group(0);
            if (capture.IsSet())
            {
                std::wstring captured = text.substr(capture.start, capture.end - capture.start);
                if (seen.insert(LowerAscii(captured)).second)
                    out.push_back(std::move(captured));
            }
            position = next == context.MatchStart() ? next + 1 : next;
        }
        if (context.LimitReached())
        {
            out.clear();
            return false;
        }
        return true;
    }
    catch (...)
    {
        out.clear();
        return false;
    }
}
