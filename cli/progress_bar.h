#pragma once
// A one-line progress bar on standard error, drawn only on a terminal.
#include <string>

namespace cli {

class ProgressBar {
public:
    ProgressBar();
    ~ProgressBar();
    void Show(double percent, const std::string& phase);
    void Clear();

private:
    bool enabled_;
    bool drawn_ = false;
};

} // namespace cli
