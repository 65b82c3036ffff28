#pragma once
// Finding URLs in body text as it is shown.

#include "message/BodySink.h"

#include <string_view>

namespace message {

// At least 3 characters and holding "://" or a "news:" link.
bool IsUrlCandidate(std::string_view text);

// Appends text to sink in role/colour, URLs as Url runs in linkColour.
// True when a URL was marked.
bool AppendWithUrls(BodySink& sink, std::string_view text, TextRole role, Colour colour,
                    Colour linkColour);

} // namespace message
