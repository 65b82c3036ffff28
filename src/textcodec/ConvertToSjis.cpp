#include "textcodec/ConvertToSjis.h"

#include "textcodec/CodeConverter.h"

namespace textcodec {

bool ConvertToSjis(std::string& out, std::string_view text, size_t size, int inputCode)
{
    CodeConverter cv;
    if (cv.Init(size) != 0)
        return false;
    if (cv.SetCode(inputCode, TC_SJIS) != 0)
        return false;
    cv.KeepHalfKana(true);
    cv.ComposeMarks(false);
    static const char empty = 0;
    if (cv.PutView(text.empty() ? &empty : text.data(), text.size()) != 0 || cv.EndInput() != 0)
        return false;
    std::string result(size, '\0');
    size_t n = cv.Get(result.data(), size);
    n += cv.GetLoneLead(result.data() + n, size - n);
    size_t m = cv.GetRest(result.data() + n, size - n);
    result.resize(n + m);
    cv.Term();
    out = std::move(result);
    return true;
}

} // namespace textcodec
