#include "cli/progress_bar.h"

#include <cstdio>

#include "platform/console.h"

namespace cli {

ProgressBar::ProgressBar() : enabled_(platform::StderrIsTerminal()) {}
ProgressBar::~ProgressBar() { Clear(); }

void ProgressBar::Show(double percent, const std::string& phase) {
    if (!enabled_)
        return;
    if (percent < 0)
        percent = 0;
    if (percent > 100)
        percent = 100;
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(percent / 100.0 * kWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar += std::string(static_cast<size_t>(kWidth - filled), '-');
    std::fprintf(stderr, "\r\x1b[K[%s] %3d%%  %s", bar.c_str(), static_cast<int>(percent), phase.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::Clear() {
    if (enabled_ && drawn_) {
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }
}

} // namespace cli
