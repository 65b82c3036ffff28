#pragma once
// NNTP reply codes the client acts on, by their meaning.

namespace net::reply {

inline constexpr int None = 0; // no reply line arrived (connection failure)
inline constexpr int CapabilityList = 101;
inline constexpr int ServerDate = 111;
inline constexpr int PostingAllowed = 200;
inline constexpr int PostingProhibited = 201;
inline constexpr int CompressionActive = 206;
inline constexpr int GroupSelected = 211;
inline constexpr int ListFollows = 215;
inline constexpr int ArticleFollows = 220;
inline constexpr int HeadFollows = 221;
inline constexpr int BodyFollows = 222;
inline constexpr int ArticleExists = 223;
inline constexpr int OverviewFollows = 224;
inline constexpr int HeadersFollow = 225;
inline constexpr int ArticleReceived = 240;
inline constexpr int LoggedIn = 281;
inline constexpr int SendArticle = 340;
inline constexpr int PasswordRequired = 381;
inline constexpr int ContinueWithTls = 382;
inline constexpr int ServiceUnavailable = 400;
inline constexpr int WrongMode = 401;
inline constexpr int NoSuchGroup = 411;
inline constexpr int NoCurrentArticle = 420;
inline constexpr int NoArticleWithNumber = 423;
inline constexpr int NoArticleWithId = 430;
inline constexpr int PostingFailed = 441;
inline constexpr int AuthRequired = 480;
inline constexpr int LoginRefused = 481;
inline constexpr int LoginOutOfOrder = 482;
inline constexpr int FirstPermanentError = 500;
inline constexpr int ServiceNotAvailable = 502;

// The article is gone from the server: there is nothing to read, so it counts as read.
constexpr bool ArticleGone(int code) { return code == NoArticleWithNumber || code == NoArticleWithId; }

// A multi-line block follows a reply with this code.
constexpr bool DataFollows(int code)
{
    switch (code) {
    case 100: case 101: case 215: case 220: case 221: case 222: case 224: case 225: case 230: case 231:
        return true;
    default:
        return false;
    }
}

// After such a reply every further request of the same kind is refused the same way.
constexpr bool RefusesService(int code)
{
    return code == None || code == ServiceUnavailable || code == WrongMode || code == AuthRequired ||
           code >= FirstPermanentError;
}

} // namespace net::reply
