// The streaming converter fed and drained in chunk sizes taken from the
// input, with every input and output code and both kana flags; the one-shot
// ConvertToSjis on the same bytes.
#include <cstdint>
#include <cstring>
#include <string>

#include "textcodec/CodeConverter.h"
#include "textcodec/ConvertToSjis.h"

using namespace textcodec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    static const int inCodes[] = {TC_AUTO, TC_JIS, TC_SJIS, TC_EUC, TC_JIS7, TC_AUTO_SJIS, TC_AUTO_EUC};
    static const int outCodes[] = {TC_JIS, TC_SJIS, TC_EUC, TC_JIS7};
    int in = inCodes[data[0] % 7];
    int out = outCodes[data[1] % 4];
    size_t putChunk = 1 + data[2] % 16;
    size_t getChunk = 1 + data[3] % 24;
    bool keep = data[2] & 0x80, compose = data[3] & 0x80;
    const char* text = reinterpret_cast<const char*>(data + 4);
    size_t len = size - 4;

    CodeConverter cv;
    if (cv.Init(len + 4) != 0 || cv.SetCode(in, out) != 0)
        __builtin_trap();
    cv.KeepHalfKana(keep);
    cv.ComposeMarks(compose);
    std::string result, buf(getChunk, '\0');
    for (size_t i = 0; i < len; i += putChunk) {
        size_t n = len - i < putChunk ? len - i : putChunk;
        // The first piece is used in place, the rest copied in.
        if ((i == 0 ? cv.PutView(text, n) : cv.Put(text + i, n)) != 0)
            __builtin_trap();
        size_t got;
        while ((got = cv.Get(buf.data(), buf.size())) > 0)
            result.append(buf.data(), got);
    }
    cv.EndInput();
    size_t got;
    while ((got = cv.Get(buf.data(), buf.size())) > 0)
        result.append(buf.data(), got);
    std::string rest(len + 64, '\0');
    result.append(rest.data(), cv.GetRest(rest.data(), rest.size()));
    cv.Term();

    // The byte-run shortcuts agree with the plain table walk.
    std::string once[2];
    int info[2][3];
    for (int fast = 0; fast < 2; ++fast) {
        CodeConverter c;
        c.SetShortcuts(fast == 1);
        c.Init(len + 4);
        c.SetCode(in, out);
        c.KeepHalfKana(keep);
        c.ComposeMarks(compose);
        c.Put(text, len);
        info[fast][0] = c.Error() * 100 + c.DetectionState();
        c.EndInput();
        std::string o(len * 12 + 16, '\0');
        size_t k = c.Get(o.data(), o.size());
        info[fast][1] = c.Error() * 10000 + c.ConversionState();
        k += c.GetRest(o.data() + k, o.size() - k);
        info[fast][2] = c.InputCode();
        once[fast] = o.substr(0, k);
    }
    if (once[0] != once[1] || info[0][0] != info[1][0] || info[0][1] != info[1][1] || info[0][2] != info[1][2])
        __builtin_trap();

    std::string sjis;
    size_t bound = len < 4 ? 4 : len;
    if (!ConvertToSjis(sjis, std::string_view(text, len), bound, in) || sjis.size() > bound)
        __builtin_trap();
    return 0;
}
