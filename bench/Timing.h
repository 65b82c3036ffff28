#pragma once
// Wall-clock timing shared by the benchmark drivers, in milliseconds.
#include <chrono>
#include <functional>

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

inline double Time(const std::function<void()>& f)
{
    const auto t = Clock::now();
    f();
    return Ms(Clock::now() - t);
}
