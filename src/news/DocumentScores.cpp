// The document's side of scoring: articles are scored as they arrive, the
// killed ones are marked read, and a change of the rules scores the list again.

#include "news/LumeDoc.h"
#include "news/ScoreBook.h"
#include "textcodec/Charsets.h"

#include <ctime>

namespace news {

ScoreBook& CLumeDoc::Scores()
{
    if (!scores_)
        scores_ = std::make_unique<ScoreBook>(registry_);
    return *scores_;
}

void CLumeDoc::PrepareScores()
{
    ScoreBook& book = Scores();
    book.OpenGroup(m_pCurrentGroup ? m_pCurrentGroup->m_strName : std::string(), std::time(nullptr),
                   articles_.empty());
    const std::string problems = book.TakeProblems();
    if (!problems.empty() && host_)
        host_->ShowMessageText(textcodec::Utf8ToSjis("The score file has rules that were skipped:\n" + problems),
                               MessageIcon::Information);
}

void CLumeDoc::MarkKilledRead(CArticle& article)
{
    if (!article.m_bKilled || article.m_bRead)
        return;
    // As slrn does: a killed article is read, so it stays out of unread counts.
    article.m_bRead = true;
    readList_.Add(article.m_nNumber);
    SetModifiedFlag(true);
}

void CLumeDoc::ScoreArrival(CArticle& article)
{
    Scores().Apply(article);
    MarkKilledRead(article);
}

void CLumeDoc::ScoreList()
{
    for (CArticle* article : Scores().ApplyToList(articles_))
        MarkKilledRead(*article);
}

void CLumeDoc::RescoreArticles()
{
    PrepareScores();
    ScoreBook& book = Scores();
    book.OpenGroup(book.Group(), std::time(nullptr), true);
    for (const auto& article : articles_)
        ScoreArrival(*article);
    ScoreList();
}

} // namespace news
