// ParseDate against Python's email.utils.parsedate_to_datetime on generated dates.
#include "RenderSupport.h"

#include "message/HeaderFields.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace message;

namespace {

std::string Generate(std::mt19937& rng)
{
    static const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "DEC"};
    // Zones both sides know (Python has no JST).
    static const char* kNamed[] = {"GMT", "UT", "Z", "EST", "EDT", "CST", "CDT", "MST", "MDT", "PST", "PDT", "gmt"};
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    int year = 1970 + pick(131);
    int month = pick(12);
    static const int kLength[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int day = 1 + pick(kLength[month]);
    if (year == 1970 && month == 0 && day == 1)
        day = 2; // zones east of UTC would fall before 1970
    std::string y = std::to_string(year);
    if (pick(4) == 0 && year <= 2049)
        y = y.substr(2); // two-digit years both read alike: 69-99 and 00-49
    char time[32], zone[16];
    std::snprintf(time, sizeof time, pick(5) ? "%02d:%02d:%02d" : "%02d:%02d", pick(24), pick(60), pick(60));
    // "-0000" would mean an unknown zone to Python.
    std::snprintf(zone, sizeof zone, "%c%02d%02d", pick(2) ? '+' : '-', 1 + pick(14), pick(4) ? 0 : 15 * pick(4));
    return (pick(2) ? std::string(kDays[pick(7)]) + ", " : "") + std::to_string(day) + (pick(6) ? " " : "  ") +
           kMonths[month] + " " + y + " " + time + " " + (pick(3) ? zone : kNamed[pick(12)]);
}

TEST(ParseDate, AgreesWithPythonOnGeneratedDates)
{
    std::mt19937 rng(20261206);
    std::vector<std::string> dates;
    for (int i = 0; i < 400; ++i)
        dates.push_back(Generate(rng));
    const auto file = testutil::ScratchFile(testutil::Join(dates) + "\n", "dates.txt");
    const std::string out = testutil::Shell("python3 -c 'import sys, email.utils\nfor l in open(sys.argv[1]):\n"
                                            "    print(int(email.utils.parsedate_to_datetime(l.strip()).timestamp()))' " +
                                            testutil::Quote(file) + " 2>&1");
    if (out.empty())
        GTEST_SKIP() << "python3 not available";
    const auto lines = testutil::SplitLines(out);
    ASSERT_EQ(lines.size(), dates.size()) << out.substr(0, 500);
    for (std::size_t i = 0; i < dates.size(); ++i)
        EXPECT_EQ(std::to_string(ParseDate(dates[i])), lines[i]) << dates[i];
}

} // namespace
