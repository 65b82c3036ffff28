#include "news/Article.h"

namespace news {

std::string CArticle::FromLastAngle(std::string_view value)
{
    const std::size_t at = value.rfind('<');
    if (at == std::string_view::npos)
        return {};
    return std::string(value.substr(at));
}

} // namespace news
