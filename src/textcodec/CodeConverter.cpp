#include "textcodec/CodeConverter.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace textcodec {

namespace {

constexpr int X = -1; // no transition
constexpr int kClasses = 18;
constexpr int kStates = 29;
constexpr uint16_t kNothing = 0xFF7F;
constexpr uint16_t kNone = 0xFFFF;
constexpr uint16_t kGeta = 0x222E; // JIS X 0208 GETA MARK
constexpr uint8_t ESC = 0x1B;

struct StateRow {
    int label;
    bool decided;
    int code;
    int convStart; // label
    int next[kClasses]; // labels
};

// clang-format off
const StateRow kTable[kStates] = {
    {0,    false, 5, 8, {0, 0, 408, 8, 0, 0, 0, X, 2004, 3006, 5, 207, 2806, 802, 802, 99, 9, 408}},
    {1,    true,  2, 1, {1, 1, 408, 1, 1, 1, 1, X, X, X, 1, 1, X, X, X, 11, 1, 408}},
    {11,   true,  2, 1, {11, 1, 488, 11, X, 21, 21, X, X, X, 11, 11, X, X, X, 11, 1, 408}},
    {21,   true,  2, 1, {X, X, X, X, X, 41, 41, X, X, X, X, X, X, X, X, 11, 1, 408}},
    {41,   true,  2, 1, {41, 1, 488, 41, X, 21, 21, X, X, X, X, X, X, X, X, 11, 1, 408}},
    {8,    true,  5, 8, {8, 8, 408, 8, 8, 8, 8, X, X, X, X, X, X, X, X, 88, 8, 408}},
    {88,   true,  5, 8, {88, 8, 488, 88, X, 108, 108, X, X, X, X, X, X, X, X, 88, 8, 408}},
    {108,  true,  5, 8, {X, X, X, X, X, 88, 88, X, X, X, X, X, X, X, X, X, 8, 408}},
    {408,  true,  5, 8, {408, 8, 408, 8, 408, 408, 408, X, X, X, X, X, X, X, X, 488, 8, 408}},
    {488,  true,  5, 8, {488, 8, 488, 88, X, 508, 508, X, X, X, X, X, X, X, X, 488, 8, 408}},
    {508,  true,  5, 8, {X, X, X, X, X, 488, 488, X, X, X, X, X, X, X, X, X, 8, X}},
    {2,    true,  4, 2, {2, 2, 2, 2, 2, 2, 2, X, X, 1002, X, 802, 802, 802, 802, X, X, X}},
    {802,  true,  4, 2, {X, X, X, X, X, X, X, X, X, X, X, 2, 2, 2, 2, X, X, X}},
    {1002, true,  4, 2, {X, X, X, X, X, X, X, X, X, X, 2, 2, X, X, X, X, X, X}},
    {4,    true,  3, 4, {4, 4, 4, 4, 4, 4, 4, X, 2004, 2004, 4, 4, 2004, X, X, X, X, X}},
    {2004, true,  3, 4, {X, X, X, X, X, X, 4, 4, 4, 4, 4, 4, 4, 4, X, X, X, X}},
    {9,    true,  5, 8, {9, 9, 408, 8, 9, 9, 9, X, X, X, 1, 1, X, X, X, 99, 9, 408}},
    {99,   true,  5, 8, {99, 9, 88, 88, X, 129, 129, X, X, X, 11, 11, X, X, X, 99, 9, 408}},
    {129,  true,  5, 8, {X, X, X, X, X, 449, 449, X, X, X, X, X, X, X, X, 99, 9, 408}},
    {449,  true,  5, 8, {449, 9, 408, 8, X, 129, 129, X, X, X, X, X, X, X, X, 99, 9, 408}},
    {5,    false, 3, 4, {5, 5, 408, 8, 5, 5, 5, X, 2004, 2004, X, X, 2004, X, X, 11, 1, 408}},
    {6,    false, 4, 2, {6, 6, 6, 6, 6, 6, 6, X, 2004, 3006, 6, 806, 2806, 802, 802, X, X, X}},
    {2006, false, 4, 2, {2, 2, 2, 2, 2, 2, 6, 4, 4, 1006, 4, 806, 806, 806, 802, X, X, X}},
    {806,  false, 4, 2, {4, 4, 4, 4, 4, 4, 4, X, 2004, 2004, 4, 6, 2006, 2, 2, X, X, X}},
    {2806, false, 4, 2, {X, X, X, X, X, X, 4, 4, 4, 4, 4, 6, 6, 6, 2, X, X, X}},
    {1006, false, 4, 2, {4, 4, 4, 4, 4, 4, 4, X, 2004, 2004, 6, 6, 2004, X, X, X, X, X}},
    {3006, false, 4, 2, {X, X, X, X, X, X, 4, 4, 4, 4, 6, 6, 4, 4, X, X, X, X}},
    {207,  false, 4, 2, {5, 5, 408, 8, 5, 5, 5, X, 2004, 2004, 5, 7, 2006, 2, 2, 11, 1, 408}},
    {7,    false, 4, 2, {7, 7, 408, 8, 7, 7, 7, X, 2004, 2004, 5, 207, 2806, 802, 802, 11, 1, 408}},
};

struct HandlerRow {
    int label;
    char action[kClasses + 1];
};

// Actions by class c0-c17: P pass, D drop, L lead, J JIS second byte,
// E EUC second byte, S Shift_JIS second byte, K kana under shift.
const HandlerRow kHandlers[] = {
    {1,    "PPDDPPPPPPPPPPPDDD"},
    {11,   "PPDDPLLPPPPPPPPDDD"},
    {21,   "PPPPPJJPPPPPPPPDDD"},
    {41,   "PPDDPLLPPPPPPPPDDD"},
    {8,    "PPDDPPPPPPPPPPPDDD"},
    {88,   "PPDDPLLPPPPPPPPDDD"},
    {108,  "PPPPPJJPPPPPPPPDDD"},
    {408,  "PPDDKKKPPPPPPPPDDD"},
    {488,  "PPDDKLLPPPPPPPPDDD"},
    {508,  "PPPPPJJPPPPPPPPDDD"},
    {2,    "PPDDPPPPPDPLLLLDDD"},
    {802,  "PPPPPPPPPPPEEEEDDD"},
    {1002, "PPPPPPPPPPPPPPPDDD"},
    {4,    "PPPPPPPPLLPPLPPDDD"},
    {2004, "PPPPPPSSSSSSSSPDDD"},
};
// clang-format on

// Row of the composition table: base, voiced, half-voiced (0 for none).
const uint16_t kCompose[20][3] = {
    {0x252B, 0x252C, 0}, {0x252D, 0x252E, 0}, {0x252F, 0x2530, 0}, {0x2531, 0x2532, 0},
    {0x2533, 0x2534, 0}, {0x2535, 0x2536, 0}, {0x2537, 0x2538, 0}, {0x2539, 0x253A, 0},
    {0x253B, 0x253C, 0}, {0x253D, 0x253E, 0}, {0x253F, 0x2540, 0}, {0x2541, 0x2542, 0},
    {0x2544, 0x2545, 0}, {0x2546, 0x2547, 0}, {0x2548, 0x2549, 0}, {0x254F, 0x2550, 0x2551},
    {0x2552, 0x2553, 0x2554}, {0x2555, 0x2556, 0x2557}, {0x2558, 0x2559, 0x255A},
    {0x255B, 0x255C, 0x255D},
};

int ComposeRow(uint16_t v)
{
    for (int i = 0; i < 20; ++i)
        if (kCompose[i][0] == v)
            return i;
    return -1;
}

struct Tables {
    int next[kStates][kClasses]; // indices, X for none
    const char* action[kStates]; // null when the state has no handler row
    int convStart[kStates];      // index
    uint8_t byteClass[256];
    // Bytes below 0x80 that a state passes through unchanged and stays in.
    uint8_t passByte[kStates][256];
    // Next state by byte rather than class; ESC is kEscape (classified apart).
    int8_t nextByte[kStates][256];
    bool decided[kStates];
    static constexpr int8_t kEscape = -2;
    // For the direct Shift_JIS path: a byte that leads a character in a state
    // (action L, a valid move to a state with a handler row), and the action
    // (J, E or S, else 0) of a byte that completes one.
    uint8_t lead[kStates][256];
    char second[kStates][256];
    // JIS X 0208 row/cell to Shift_JIS.
    uint16_t sjisOf[94][94];
    // Every byte 0x20-0x7F keeps the state (detection) / passes (conversion).
    bool asciiStay[kStates];
    bool asciiPass[kStates];
    // A state whose pairs of bytes in 0x21-0x7E (pairGraphic) or 0xA1-0xFE
    // (pairHigh) all go to pairMate and back: double-byte text in JIS or EUC.
    int8_t pairMate[kStates];
    bool pairHigh[kStates];
    // The conversion start shared by every decided state reachable from a
    // state (itself included): an index, kNoDecided, or kMixed.
    static constexpr int kNoDecided = -1, kMixed = -2;
    int laterStart[kStates];
    // The same over 7-bit text without kana shifts: no SO, no ESC ( I, no
    // byte above 0x7F (classes 2, 7-14 and 17).
    int laterStartPlain[kStates];

    int LaterStart(int st, bool plainOnly) const
    {
        bool seen[kStates] = {};
        int stack[kStates], top = 0, start = kNoDecided;
        seen[st] = true;
        stack[top++] = st;
        while (top) {
            const int s = stack[--top];
            if (decided[s])
                start = start == kNoDecided || start == convStart[s] ? convStart[s] : kMixed;
            for (int c = 0; c < kClasses; ++c) {
                const int nx = next[s][c];
                if (nx != X && !seen[nx] && !(plainOnly && (c == 2 || (c >= 7 && c <= 14) || c == 17))) {
                    seen[nx] = true;
                    stack[top++] = nx;
                }
            }
        }
        return start;
    }

    static int Index(int label)
    {
        for (int i = 0; i < kStates; ++i)
            if (kTable[i].label == label)
                return i;
        return X;
    }

    Tables()
    {
        for (int s = 0; s < kStates; ++s) {
            for (int c = 0; c < kClasses; ++c)
                next[s][c] = kTable[s].next[c] == X ? X : Index(kTable[s].next[c]);
            convStart[s] = Index(kTable[s].convStart);
            action[s] = nullptr;
            for (const HandlerRow& h : kHandlers)
                if (h.label == kTable[s].label)
                    action[s] = h.action;
        }
        for (int b = 0; b < 256; ++b) {
            int c;
            if (b == 0x0A || b == 0x0D) c = 1;
            else if (b == 0x0E) c = 2;
            else if (b == 0x0F) c = 3;
            else if (b == 0x20) c = 4;
            else if (b >= 0x21 && b <= 0x3F) c = 5;
            else if (b >= 0x40 && b <= 0x7E) c = 6;
            else if (b == 0x80) c = 7;
            else if ((b >= 0x81 && b <= 0x8D) || (b >= 0x90 && b <= 0x9F)) c = 8;
            else if (b == 0x8E || b == 0x8F) c = 9;
            else if (b == 0xA0) c = 10;
            else if (b >= 0xA1 && b <= 0xDF) c = 11;
            else if (b >= 0xE0 && b <= 0xEF) c = 12;
            else if (b >= 0xF0 && b <= 0xFC) c = 13;
            else if (b == 0xFD || b == 0xFE) c = 14;
            else c = 0; // other controls, DEL, 0xFF, a lone ESC
            byteClass[b] = static_cast<uint8_t>(c);
        }
        for (int st = 0; st < kStates; ++st) {
            decided[st] = kTable[st].decided;
            for (int b = 0; b < 256; ++b)
                nextByte[st][b] = static_cast<int8_t>(b == ESC ? kEscape : next[st][byteClass[b]]);
        }
        for (int st = 0; st < kStates; ++st)
            for (int b = 0; b < 256; ++b) {
                int c = byteClass[b];
                int nx = b == ESC ? X : next[st][c];
                char a = action[st] ? action[st][c] : 0;
                lead[st][b] = a == 'L' && nx != X && action[nx];
                second[st][b] = (nx != X && (a == 'J' || a == 'E' || a == 'S')) ? a : 0;
            }
        for (int r = 0; r < 94; ++r)
            for (int c = 0; c < 94; ++c)
                sjisOf[r][c] = JisToSjis(static_cast<uint16_t>((r + 0x21) << 8 | (c + 0x21)));
        for (int st = 0; st < kStates; ++st)
            for (int b = 0; b < 256; ++b) {
                int c = byteClass[b];
                passByte[st][b] = b < 0x80 && b != ESC && action[st] && action[st][c] == 'P' && next[st][c] == st;
            }
        for (int st = 0; st < kStates; ++st) {
            pairMate[st] = X;
            pairHigh[st] = false;
            for (int high = 0; high < 2 && pairMate[st] == X; ++high) {
                int lo = high ? 0xA1 : 0x21, hi = high ? 0xFE : 0x7E;
                int mate = nextByte[st][lo];
                bool ok = mate >= 0 && mate != st;
                for (int b = lo; ok && b <= hi; ++b)
                    ok = nextByte[st][b] == mate && nextByte[mate][b] == st;
                if (ok) {
                    pairMate[st] = static_cast<int8_t>(mate);
                    pairHigh[st] = high;
                }
            }
        }
        for (int st = 0; st < kStates; ++st) {
            laterStart[st] = LaterStart(st, false);
            laterStartPlain[st] = LaterStart(st, true);
        }
        for (int st = 0; st < kStates; ++st) {
            asciiStay[st] = asciiPass[st] = true;
            for (int b = 0x20; b < 0x80; ++b) {
                asciiStay[st] = asciiStay[st] && nextByte[st][b] == st;
                asciiPass[st] = asciiPass[st] && passByte[st][b];
            }
        }
    }
};

const Tables& T()
{
    static const Tables tables;
    return tables;
}

int StartLabel(int code)
{
    switch (code) {
    case TC_AUTO: return 0;
    case TC_JIS: return 1;
    case TC_SJIS: return 4;
    case TC_EUC: return 2;
    case TC_JIS7: return 8;
    case TC_AUTO_SJIS: return 5;
    case TC_AUTO_EUC: return 6;
    default: return X;
    }
}

bool IsConcrete(int code) { return code >= TC_JIS && code <= TC_JIS7; }

} // namespace

const char* tcErrorText(int code)
{
    switch (code) {
    case 0: return "no error";
    case 22: return "invalid argument";
    case 12: return "Memory short or buffer over";
    case 512: return "Bad mode";
    case 513: return "In code not determinated";
    case 514: return "Bad code";
    case 515: return "Area short";
    default: return "";
    }
}

CodeConverter::CodeConverter() = default;

int CodeConverter::DetectionState() const { return kTable[detState_].label; }
int CodeConverter::ConversionState() const { return kTable[convState_].label; }

int CodeConverter::Init(size_t bufferSize)
{
    error_ = 0;
    if (bufferSize < 4) {
        error_ = TC_ERR_INVALID;
        return -1;
    }
    phase_ = 1;
    inputCode_ = outputCode_ = TC_AUTO;
    detState_ = convState_ = Tables::Index(0);
    shift_ = 1;
    held_ = kNone;
    Term();
    bufferSize_ = bufferSize;
    return 0;
}

int CodeConverter::SetCode(int inputCode, int outputCode)
{
    error_ = 0;
    int start = StartLabel(inputCode);
    if (start == X || !IsConcrete(outputCode)) {
        error_ = TC_ERR_INVALID;
        return -1;
    }
    phase_ = IsConcrete(inputCode) ? 3 : 1;
    inputCode_ = inputCode;
    outputCode_ = outputCode;
    detState_ = convState_ = Tables::Index(start);
    if (bufferSize_ == 0) {
        error_ = TC_ERR_MODE;
        return -1;
    }
    buffer_.reset(new (std::nothrow) uint8_t[bufferSize_]);
    if (!buffer_) {
        haveBuffer_ = false;
        input_ = nullptr;
        error_ = TC_ERR_MEMORY;
        return -1;
    }
    input_ = buffer_.get();
    borrowed_ = false;
    haveBuffer_ = true;
    convPos_ = detPos_ = end_ = 0;
    staged_.clear();
    stagedPos_ = 0;
    badCode_ = false;
    held_ = kNone;
    heldKana_ = -1;
    shift_ = 1;
    return 0;
}

// Class of the byte at pos, recognising the three kinds of escape sequence.
// Advances pos past what was used; an ESC whose two followers are not yet
// buffered leaves pos alone and reports incomplete.
// Length of the run of bytes 0x20-0x7F at p (up to n), eight at a time.
static inline size_t PrintableRun(const uint8_t* p, size_t n)
{
    constexpr uint64_t kOnes = 0x2020202020202020ull, kHigh = 0x8080808080808080ull;
    size_t i = 0;
    while (i + 8 <= n) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (((w - kOnes) | w) & kHigh)
            break;
        i += 8;
    }
    while (i < n && p[i] >= 0x20 && p[i] < 0x80)
        ++i;
    return i;
}

// Length of the run of bytes 0x21-0x7E (or 0xA1-0xFE with high) at p.
static inline size_t GraphicRun(const uint8_t* p, size_t n, bool high)
{
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    const uint64_t flip = high ? kHigh : 0;
    const uint8_t f = high ? 0x80 : 0;
    size_t i = 0;
    while (i + 8 <= n) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        w ^= flip;
        // Any byte below 0x21, above 0x7E or with the top bit set.
        if (((w - 0x21 * kOnes) | (w + 0x01 * kOnes) | w) & kHigh)
            break;
        i += 8;
    }
    while (i < n && static_cast<uint8_t>(p[i] ^ f) >= 0x21 && static_cast<uint8_t>(p[i] ^ f) <= 0x7E)
        ++i;
    return i;
}

static inline int Classify(const uint8_t* buf, size_t& pos, size_t end, bool& incomplete)
{
    uint8_t b = buf[pos];
    if (b != ESC) {
        ++pos;
        return T().byteClass[b];
    }
    if (end - pos < 3) {
        incomplete = true;
        return 0;
    }
    uint8_t a = buf[pos + 1], c = buf[pos + 2];
    if (a == '$' && (c == 'B' || c == '@')) {
        pos += 3;
        return 15;
    }
    if (a == '(' && (c == 'B' || c == 'H' || c == 'J')) {
        pos += 3;
        return 16;
    }
    if (a == '(' && c == 'I') {
        pos += 3;
        return 17;
    }
    ++pos; // the followers are read again as ordinary bytes
    return 0;
}

void CodeConverter::Detect()
{
    const Tables& t = T();
    const uint8_t* buf = input_;
    int st = detState_;
    int lastDecided = -1; // state the last valid transition was taken from, if decided
    size_t pos = detPos_;
    while (pos < end_) {
        const int8_t* row = t.nextByte[st];
        if (shortcuts_ && t.asciiStay[st]) {
            size_t run = PrintableRun(buf + pos, end_ - pos);
            if (run) {
                pos += run;
                if (t.decided[st])
                    lastDecided = st;
                if (pos >= end_)
                    break;
            }
        }
        if (shortcuts_ && row[buf[pos]] == st) {
            // A run of bytes that keep the state.
            do
                ++pos;
            while (pos < end_ && row[buf[pos]] == st);
            if (t.decided[st])
                lastDecided = st;
            continue;
        }
        if (shortcuts_ && t.pairMate[st] >= 0) {
            size_t run = GraphicRun(buf + pos, end_ - pos, t.pairHigh[st]) & ~size_t(1);
            if (run) {
                pos += run;
                int mate = t.pairMate[st];
                if (t.decided[mate])
                    lastDecided = mate;
                else if (t.decided[st])
                    lastDecided = st;
                if (pos >= end_)
                    break;
            }
        }
        int next = row[buf[pos]];
        if (shortcuts_ && next >= 0 && pos + 1 < end_ && t.nextByte[next][buf[pos + 1]] == st) {
            // Pairs that leave the state and come back (double-byte characters).
            const int8_t* back = t.nextByte[next];
            do
                pos += 2;
            while (pos + 1 < end_ && row[buf[pos]] == next && back[buf[pos + 1]] == st);
            if (t.decided[next])
                lastDecided = next;
            else if (t.decided[st])
                lastDecided = st;
            continue;
        }
        if (next == Tables::kEscape) {
            bool incomplete = false;
            int cls = Classify(buf, pos, end_, incomplete);
            if (incomplete)
                break; // wait for more input
            next = t.next[st][cls];
        } else {
            ++pos;
        }
        if (next == X) {
            badCode_ = true;
            continue;
        }
        if (t.decided[st])
            lastDecided = st;
        st = next;
    }
    detPos_ = pos;
    detState_ = st;
    if (lastDecided >= 0) {
        inputCode_ = kTable[lastDecided].code;
        convState_ = t.convStart[lastDecided];
    }
    if (badCode_) {
        badCode_ = false;
        error_ = TC_ERR_BADCODE;
    }
}

int CodeConverter::CheckPut(const char* data, size_t length)
{
    error_ = 0;
    if (!data) {
        error_ = TC_ERR_INVALID;
        return -1;
    }
    if (!haveBuffer_) {
        error_ = TC_ERR_MODE;
        return -1;
    }
    if (length > bufferSize_ - Buffered()) {
        error_ = TC_ERR_OVERFLOW;
        return -1;
    }
    return 0;
}

void CodeConverter::AfterPut()
{
    if (phase_ == 1 || phase_ == 2) {
        if (detPos_ < convPos_)
            detPos_ = convPos_;
        Detect();
        phase_ = IsConcrete(inputCode_) ? 3 : 2;
    }
}

// The bytes not yet converted go to the front of the own buffer.
void CodeConverter::MoveUnconvertedToFront()
{
    size_t keep = end_ - convPos_;
    std::memmove(buffer_.get(), input_ + convPos_, keep);
    detPos_ -= (detPos_ >= convPos_) ? convPos_ : detPos_;
    convPos_ = 0;
    end_ = keep;
    input_ = buffer_.get();
    borrowed_ = false;
}

int CodeConverter::Put(const char* data, size_t length)
{
    if (CheckPut(data, length) != 0)
        return -1;
    if (borrowed_ || bufferSize_ - end_ < length) {
        MoveUnconvertedToFront();
    }
    if (length)
        std::memcpy(buffer_.get() + end_, data, length);
    end_ += length;
    AfterPut();
    return 0;
}

int CodeConverter::PutView(const char* data, size_t length)
{
    if (Buffered() != 0 || borrowed_)
        return Put(data, length);
    if (CheckPut(data, length) != 0)
        return -1;
    input_ = reinterpret_cast<const uint8_t*>(data);
    borrowed_ = true;
    convPos_ = detPos_ = 0;
    end_ = length;
    AfterPut();
    return 0;
}

char* CodeConverter::InputRoom(size_t& room)
{
    room = 0;
    if (!haveBuffer_)
        return nullptr;
    if (borrowed_ || convPos_ != 0) {
        MoveUnconvertedToFront();
    }
    room = bufferSize_ - end_;
    return reinterpret_cast<char*>(buffer_.get() + end_);
}

bool CodeConverter::TakeAppended(size_t length)
{
    error_ = 0;
    if (!haveBuffer_ || borrowed_) {
        error_ = TC_ERR_MODE;
        return false;
    }
    if (length > bufferSize_ - end_) {
        error_ = TC_ERR_OVERFLOW;
        return false;
    }
    end_ += length;
    return true;
}

int CodeConverter::Append(size_t length)
{
    if (!TakeAppended(length))
        return -1;
    AfterPut();
    return 0;
}

int CodeConverter::AppendScan(size_t length)
{
    if (!TakeAppended(length))
        return -1;
    if (phase_ == 3) {
        convPos_ = detPos_ = end_;
        return 0;
    }
    if (detPos_ < convPos_)
        detPos_ = convPos_;
    Detect();
    // Examined bytes are let go; only a cut escape stays.
    convPos_ = detPos_;
    return 0;
}

int CodeConverter::EndScan()
{
    error_ = 0;
    if (!haveBuffer_) {
        error_ = TC_ERR_MODE;
        return -1;
    }
    convPos_ = detPos_ = end_ = 0;
    input_ = buffer_.get();
    badCode_ = false;
    if (phase_ == 3)
        return 0;
    phase_ = IsConcrete(inputCode_) ? 3 : 2;
    return EndInput();
}

bool CodeConverter::ScanSettled(bool unlessShiftOrHigh) const
{
    if (phase_ == 3)
        return true;
    if (!IsConcrete(inputCode_))
        return false;
    int later = unlessShiftOrHigh ? T().laterStartPlain[detState_] : T().laterStart[detState_];
    return later == Tables::kNoDecided || later == convState_;
}

int CodeConverter::EndInput()
{
    error_ = 0;
    if (phase_ == 1 || phase_ == 3)
        return 0;
    if (phase_ != 2) {
        error_ = TC_ERR_MODE;
        return -1;
    }
    inputCode_ = kTable[detState_].code;
    convState_ = T().convStart[detState_];
    if (convState_ == X) {
        error_ = TC_ERR_UNDECIDED;
        return -1;
    }
    phase_ = 3;
    return 0;
}

void CodeConverter::Write(uint16_t v, uint8_t* d, int& k)
{
    bool dbl = (v & 0xFF00) != 0;
    uint8_t lo = static_cast<uint8_t>(v);
    auto esc = [&](uint8_t a, uint8_t b) {
        d[k++] = ESC;
        d[k++] = a;
        d[k++] = b;
    };
    switch (outputCode_) {
    case TC_SJIS:
        if (dbl) {
            uint16_t s = JisToSjis(v);
            d[k++] = static_cast<uint8_t>(s >> 8);
            d[k++] = static_cast<uint8_t>(s);
        } else {
            d[k++] = lo;
        }
        break;
    case TC_EUC:
        if (dbl) {
            d[k++] = static_cast<uint8_t>((v >> 8) | 0x80);
            d[k++] = static_cast<uint8_t>(lo | 0x80);
        } else {
            if (lo & 0x80)
                d[k++] = 0x8E;
            d[k++] = lo;
        }
        break;
    case TC_JIS7:
        if (shift_ == 3 && !dbl) {
            esc('(', 'B');
            shift_ = 1;
        }
        if (shift_ == 4 && !(lo & 0x80)) {
            d[k++] = 0x0F;
            shift_ = 1;
        }
        if (shift_ == 1) {
            if (dbl) {
                esc('$', 'B');
                shift_ = 3;
            } else if (lo & 0x80) {
                d[k++] = 0x0E;
                shift_ = 4;
            }
        }
        if (dbl)
            d[k++] = static_cast<uint8_t>(v >> 8);
        d[k++] = lo & 0x7F;
        break;
    case TC_JIS:
    default:
        if (shift_ == 3 && !dbl) {
            esc('(', 'B');
            shift_ = 1;
        }
        if (shift_ == 1 && dbl) {
            esc('$', 'B');
            shift_ = 3;
        }
        if (dbl)
            d[k++] = static_cast<uint8_t>(v >> 8);
        d[k++] = lo;
        break;
    }
}

void CodeConverter::Emit(uint16_t v, uint8_t* d, int& k)
{
    if (!keepHalfKana_)
        v = WidenHalfKana(v);
    if (!composeMarks_) {
        Write(v, d, k);
        return;
    }
    if (heldKana_ >= 0) {
        const uint16_t* row = kCompose[heldKana_];
        heldKana_ = -1;
        if (v == 0x212B) {
            Write(row[1], d, k);
            return;
        }
        if (v == 0x212C) {
            if (row[2]) {
                Write(row[2], d, k);
            } else {
                Write(row[0], d, k);
                Write(v, d, k);
            }
            return;
        }
        Write(row[0], d, k);
    }
    int r = ComposeRow(v);
    if (r >= 0)
        heldKana_ = r;
    else
        Write(v, d, k);
}

size_t CodeConverter::Get(char* out, size_t size)
{
    error_ = 0;
    if (phase_ != 3)
        return 0;
    size_t n = 0;
    if (!TakeStaged(out, size, n))
        return 0;
    // Shift_JIS output with kana kept and no composition writes every value
    // as its own bytes; whole characters then go straight through.
    const bool direct = shortcuts_ && outputCode_ == TC_SJIS && keepHalfKana_ && !composeMarks_;
    Step step = Step::More;
    while (step == Step::More) {
        if (direct && held_ == kNone)
            CopySjisRun(out, size, n);
        if (shortcuts_ && held_ == kNone && heldKana_ < 0 &&
            (outputCode_ == TC_SJIS || outputCode_ == TC_EUC || shift_ == 1))
            CopyPlainRun(out, size, n);
        step = ConvertOne(out, size, n);
    }
    if (step == Step::Undecided) {
        error_ = TC_ERR_UNDECIDED;
        return n;
    }
    if (step == Step::InputEnd && !moreInput_)
        EndHeldKana(out, size, n);
    if (badCode_) {
        badCode_ = false;
        error_ = TC_ERR_BADCODE;
    }
    return n;
}

bool CodeConverter::TakeStaged(char* out, size_t size, size_t& n)
{
    const size_t pending = staged_.size() - stagedPos_;
    if (pending > size)
        return false;
    if (pending)
        std::memcpy(out, staged_.data() + stagedPos_, pending);
    n = pending;
    staged_.clear();
    stagedPos_ = 0;
    return true;
}

void CodeConverter::CopySjisRun(char* out, size_t size, size_t& n)
{
    const Tables& t = T();
    const uint8_t* buf = input_;
    int st = convState_;
    size_t pos = convPos_;
    while (pos < end_ && size - n >= 2 && t.action[st]) {
        const uint8_t* pass = t.passByte[st];
        if (pass[buf[pos]]) {
            size_t limit = std::min(size - n, end_ - pos);
            size_t j = t.asciiPass[st] ? PrintableRun(buf + pos, limit) : 0;
            if (j == 0)
                j = 1;
            while (j < limit && pass[buf[pos + j]])
                ++j;
            std::memcpy(out + n, buf + pos, j);
            n += j;
            pos += j;
            continue;
        }
        uint8_t b1 = buf[pos];
        if (b1 == ESC) {
            // Shift sequences are dropped; the writer needs none.
            size_t p2 = pos;
            bool incomplete = false;
            int cls = Classify(buf, p2, end_, incomplete);
            if (incomplete || cls < 15 || t.next[st][cls] == X || t.action[st][cls] != 'D' ||
                !t.action[t.next[st][cls]])
                break;
            st = t.next[st][cls];
            pos = p2;
            continue;
        }
        if (!t.lead[st][b1] || pos + 1 >= end_)
            break;
        int n1 = t.nextByte[st][b1];
        uint8_t b2 = buf[pos + 1];
        char a2 = t.second[n1][b2];
        uint16_t v;
        if (a2 == 'J')
            v = static_cast<uint16_t>(b1 << 8 | b2);
        else if (a2 == 'E')
            v = static_cast<uint16_t>((b1 & 0x7F) << 8 | (b2 & 0x7F));
        else if (a2 == 'S')
            v = SjisToJis(static_cast<uint16_t>(b1 << 8 | b2));
        else
            break;
        unsigned r = (v >> 8) - 0x21, c = (v & 0xFF) - 0x21;
        uint16_t sj = (r < 94 && c < 94) ? t.sjisOf[r][c] : v;
        out[n++] = static_cast<char>(sj >> 8);
        out[n++] = static_cast<char>(sj);
        pos += 2;
        st = t.nextByte[n1][b2];
    }
    convPos_ = pos;
    convState_ = st;
}

void CodeConverter::CopyPlainRun(char* out, size_t size, size_t& n)
{
    const uint8_t* pass = T().passByte[convState_];
    const size_t limit = std::min(size - n, end_ - convPos_);
    size_t j = 0;
    while (j < limit && pass[input_[convPos_ + j]])
        ++j;
    if (j) {
        std::memcpy(out + n, input_ + convPos_, j);
        n += j;
        convPos_ += j;
    }
}

uint16_t CodeConverter::TakeByte(char action, uint8_t byte)
{
    uint16_t value = kNothing;
    switch (action) {
    case 'P':
    case 'K': {
        uint8_t b = action == 'K' ? static_cast<uint8_t>(byte | 0x80) : byte;
        if (held_ == kNone) {
            value = b;
        } else {
            value = held_;
            held_ = b;
        }
        break;
    }
    case 'D':
        break;
    case 'L':
        value = held_ == kNone ? kNothing : held_;
        held_ = byte;
        break;
    case 'J':
    case 'E':
    case 'S':
        if (held_ == kNone)
            return byte;
        if (action == 'J')
            value = static_cast<uint16_t>(held_ << 8 | byte);
        else if (action == 'E')
            value = static_cast<uint16_t>((held_ & 0x7F) << 8 | (byte & 0x7F));
        else
            value = SjisToJis(static_cast<uint16_t>(held_ << 8 | byte));
        held_ = kNone;
        break;
    }
    return value;
}

CodeConverter::Step CodeConverter::ConvertOne(char* out, size_t size, size_t& n)
{
    const Tables& t = T();
    if (convPos_ >= end_)
        return Step::InputEnd;
    size_t pos = convPos_;
    bool incomplete = false;
    const uint8_t byte = input_[pos];
    const int cls = Classify(input_, pos, end_, incomplete);
    if (incomplete)
        return Step::InputEnd;
    const char* actions = t.action[convState_];
    if (!actions)
        return Step::Undecided;
    const char action = actions[cls];
    uint16_t value;
    if (held_ != kNone && held_ >= 0x80 && action != 'J' && action != 'E' && action != 'S') {
        // A lead byte pairs only with a second byte: alone it is a geta mark,
        // and the byte after it is read again as the start of a character,
        // so a stray lead can never swallow the ASCII (or line end) after it.
        held_ = kNone;
        convState_ = leadState_;
        badCode_ = true;
        value = kGeta;
    } else {
        convPos_ = pos;
        const int next = t.next[convState_][cls];
        if (action == 'L')
            leadState_ = convState_;
        if (next == X)
            badCode_ = true;
        else
            convState_ = next;
        value = TakeByte(action, byte);
    }
    if (value == kNothing)
        return Step::More;
    uint8_t tmp[16];
    int k = 0;
    Emit(value, tmp, k);
    if (static_cast<size_t>(k) > size - n) {
        staged_.assign(tmp, tmp + k); // handed out by the next call
        return Step::OutputFull;
    }
    std::memcpy(out + n, tmp, k);
    n += k;
    return Step::More;
}

size_t CodeConverter::GetLoneLead(char* out, size_t size)
{
    if (phase_ != 3 || held_ == kNone || held_ < 0x80 || staged_.size() > stagedPos_ || Buffered() > 0)
        return 0;
    uint8_t tmp[16];
    int k = 0;
    Write(kGeta, tmp, k);
    if (static_cast<size_t>(k) > size)
        return 0;
    held_ = kNone;
    convState_ = leadState_;
    std::memcpy(out, tmp, k);
    return static_cast<size_t>(k);
}

void CodeConverter::EndHeldKana(char* out, size_t size, size_t& n)
{
    if (heldKana_ < 0)
        return;
    uint8_t tmp[16];
    int k = 0;
    Write(kCompose[heldKana_][0], tmp, k);
    heldKana_ = -1;
    if (static_cast<size_t>(k) <= size - n) {
        std::memcpy(out + n, tmp, k);
        n += k;
    } else {
        staged_.assign(tmp, tmp + k);
    }
}

size_t CodeConverter::GetRest(char* out, size_t size)
{
    error_ = 0;
    if (phase_ != 3)
        return 0;
    size_t pending = staged_.size() - stagedPos_;
    size_t need = pending + (held_ != kNone ? 1 : 0);
    if (need > size) {
        error_ = TC_ERR_AREA;
        return 0;
    }
    size_t n = 0;
    if (pending)
        std::memcpy(out, staged_.data() + stagedPos_, pending);
    n = pending;
    staged_.clear();
    stagedPos_ = 0;
    if (held_ != kNone) {
        out[n++] = static_cast<char>(held_);
        held_ = kNone;
    }
    size_t raw = end_ - convPos_;
    if (raw > size - n)
        raw = size - n;
    if (raw)
        std::memcpy(out + n, input_ + convPos_, raw);
    convPos_ += raw;
    return n + raw;
}

void CodeConverter::Term()
{
    buffer_.reset();
    haveBuffer_ = false;
    input_ = nullptr;
    borrowed_ = false;
    convPos_ = detPos_ = end_ = 0;
}

int tcInit(CodeConverter& cv, size_t bufferSize) { return cv.Init(bufferSize); }
int tcSetCode(CodeConverter& cv, int inputCode, int outputCode) { return cv.SetCode(inputCode, outputCode); }
void tcKeepHalfKana(CodeConverter& cv, int flag) { cv.KeepHalfKana(flag != 0); }
void tcComposeMarks(CodeConverter& cv, int flag) { cv.ComposeMarks(flag != 0); }
int tcPut(CodeConverter& cv, const char* data, size_t length) { return cv.Put(data, length); }
int tcEndInput(CodeConverter& cv) { return cv.EndInput(); }
size_t tcGet(CodeConverter& cv, char* out, size_t size) { return cv.Get(out, size); }
size_t tcGetRest(CodeConverter& cv, char* out, size_t size) { return cv.GetRest(out, size); }
void tcTerm(CodeConverter& cv) { cv.Term(); }
int tcError(const CodeConverter& cv) { return cv.Error(); }

} // namespace textcodec
