// Loading and saving a read-marks file of 100 000 groups, against a plain read
// and a plain synced write of the same bytes. Prints figures; asserts only the
// content.

#include "TestSupport.h"

#include "news/ReadMarksFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace newstest;
namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

TEST(ReadMarksBenchmark, HundredThousandGroups)
{
    TempDir dir;
    std::string file;
    for (int i = 0; i < 100000; ++i) {
        file += "fj.bench.group" + std::to_string(i) + (i % 3 ? ": " : "! ");
        file += "1-" + std::to_string(1000 + i) + "," + std::to_string(1002 + i) + "-" + std::to_string(1010 + i);
        file += "\r\n";
    }
    WriteFile(dir / "news.rc", file);

    auto t = std::chrono::steady_clock::now();
    const std::string plain = ReadFile(dir / "news.rc");
    const double plainRead = Seconds(t);
    t = std::chrono::steady_clock::now();
    {
        const int fd = ::open((dir / "plain.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, plain.data(), plain.size()), static_cast<ssize_t>(plain.size()));
        ::fsync(fd);
        ::close(fd);
    }
    const double plainWrite = Seconds(t);

    CGroupTable table;
    t = std::chrono::steady_clock::now();
    ASSERT_EQ(LoadReadMarksFile(dir / "news.rc", table, nullptr), ReadMarksLoad::Loaded);
    const double load = Seconds(t);
    ASSERT_EQ(table.GetCount(), 100000u);
    t = std::chrono::steady_clock::now();
    ASSERT_TRUE(SaveReadMarksFile(dir / "news.rc", table, nullptr));
    const double save = Seconds(t);
    EXPECT_EQ(ReadFile(dir / "news.rc"), file);

    std::printf("read-marks file, 100000 groups, %zu bytes\n"
                "  load %.1f ms (plain read %.1f ms, ratio %.1f)\n"
                "  save %.1f ms (plain synced write %.1f ms, ratio %.1f)\n",
                file.size(), load * 1e3, plainRead * 1e3, load / plainRead, save * 1e3, plainWrite * 1e3,
                save / plainWrite);
}

} // namespace
